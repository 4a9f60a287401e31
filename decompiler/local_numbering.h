#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "decompiler/syntax.h"

class Decompiler;

// Each variable the compiler adds for a loop of the function, with the name
// it gives it (i|limit, i|incr, kv|iter, v|index, v|result), loop by loop.
void ForEachLoopVariable(const Decompiler& function,
                         const std::function<void(const Variable& variable, const std::string& name)>& each);

// Where a function's source declares its locals so that the compiler numbers
// them as the function's slots are. The compiler gives a variable the next
// slot where it is first declared, and a loop's own variables where the loop
// begins; so each local is declared as soon as every slot before it is
// numbered, and a loop's variables are left to the loop where the loop is
// where they first appear.
class LocalNumbering {
 public:
  explicit LocalNumbering(const Decompiler& function);

  // Whether locals are due to be declared before the next statement.
  bool IsDue() const;
  // The slots of the locals to declare before the next statement, in order.
  std::vector<uint32_t> Due();
  // A loop begins: the slots it numbers.
  void LoopBegins(const Node* loop);
  // The slots of the locals never declared before a statement.
  std::vector<uint32_t> Rest();
  // The name the compiler gives a loop's own variable at the slot
  // (`i|limit`), where the loops that use it agree; else empty.
  const std::string& LoopName(uint32_t slot) const;

 private:
  enum State : uint8_t { kDeclared, kByLoop, kNumbered };
  void Classify(const Block& body);
  void NameLoopVariables(const Decompiler& function);
  void Number(const Variable& variable);
  void Advance();

  uint32_t first = 0;
  uint32_t next = 0;
  std::vector<State> states;  // by slot, from the first local's
  std::unordered_map<uint32_t, std::string> loopNames;  // by slot; empty where loops disagree
};
