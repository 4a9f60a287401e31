#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "decompiler/instructions.h"
#include "decompiler/syntax.h"

class Flow;
class PrintedTree;
struct FunctionFrame;

// Turns checked stack code into statements and expressions, recognising the
// shapes the compiler gives each control structure. Every instruction is
// used once: by the node it became, by the structure it belongs to, or as
// code that no path reaches.
class Structurer {
 public:
  Structurer(const PrintedTree& tree, const FunctionFrame& function,
             const std::vector<Instruction>& code, const Flow& flow, Syntax& syntax);
  // The body; false, with the reason, where the structure is not recovered.
  bool Recover(Block& body, std::string& why);

  // What the variable slots became: the loop counters and iterators the
  // compiler made are hidden, loop variables are declared by their loops.
  enum class Role : uint8_t { kUnused, kUsed, kHidden, kLoop };
  const std::vector<Role>& Roles() const { return roles; }
  // Captured variables that the code reaches by name.
  const std::vector<uint32_t>& NamedVariables() const { return named; }

 private:
  using Stack = std::vector<Node*>;
  struct Region {
    int32_t begin, end;
  };

  bool Sequence(Region region, Block& out, Stack& stack, int nesting);
  // A region that leaves no value, or one value, on a fresh stack.
  bool Statements(Region region, Block& out, int nesting);
  bool Valued(Region region, Block& out, size_t& values, int nesting);
  bool Step(int32_t& i, Region region, Block& out, Stack& stack, int nesting);
  bool Simple(int32_t i, Block& out, Stack& stack);
  bool Store(int32_t& i, Region region, Block& out, Stack& stack);
  bool Emit(Block& out, Stack& stack, Node* statement, int32_t i);
  void Take(Block& out, size_t count);
  bool Unreachable(int32_t& i, Region region, Block& out);

  bool Conditional(int32_t& i, Region region, Block& out, Stack& stack, int nesting);
  Node* Not(Node* condition);
  bool LoopAt(int32_t& i, Region region, Stack& stack, int nesting);
  bool ForwardBranch(int32_t& i, Region region, Block& out, Stack& stack, int nesting);
  bool While(int32_t i, int32_t q, Region region, Stack& stack, int nesting);
  bool For(int32_t i, int32_t q, Region region, Block& out, Stack& stack, int nesting);
  bool Foreach(int32_t& i, int32_t q, Region region, Block& out, Stack& stack, int nesting);
  bool ForeachBody(int32_t top, int32_t tail, Variable iterator, Node* loop, int nesting,
                   const Variable* result, const Variable* index);
  bool Try(int32_t& i, Region region, Block& out, Stack& stack, int nesting);
  bool Break(int32_t i, Block& out, Stack& stack);
  Node* LeadingAssignment(Node* condition);

  // Helpers for matching the compiler's shapes.
  bool Is(int32_t i, Op op) const;
  bool IsConstant(int32_t i, uint32_t word) const;
  bool VariableAt(int32_t i, Variable& variable) const;
  bool IsVariable(int32_t i, Op op, const Variable& variable) const;
  bool IsSymbolLiteral(const Node* node) const;
  bool IsTerminated(const Block& block) const;
  Node* Pop(Stack& stack);
  Node* Value(Block& block, Node* value);
  void Use(int32_t i);
  void Mark(const Variable& variable, Role role);
  bool Fail(const char* format, uint32_t pc);

  const PrintedTree& tree;
  const FunctionFrame& function;
  const std::vector<Instruction>& code;
  const Flow& flow;
  Syntax& syntax;
  std::vector<uint8_t> used;
  std::vector<bool> claimed;       // backward branches that a loop has taken
  std::vector<int32_t> breakTo;    // the exits of the loops being read, innermost last
  int iterators = 0;               // new-iterator nodes not taken by a foreach
  // Statements emitted while an expression waited on the stack, which only a
  // loop's own prologue may be.
  struct Waiting {
    Node* statement;
    uint32_t pc;
  };
  std::vector<Waiting> waiting;
  std::vector<Role> roles;
  std::vector<uint32_t> named;
  std::string why;
};
