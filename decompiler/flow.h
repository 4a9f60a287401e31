#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "decompiler/instructions.h"

struct FunctionFrame;

// The control flow of decoded bytecode, checked: every branch and handler
// target on an instruction start, no stack underflow, the same stack depth on
// every path into an instruction, a value at every return.
class Flow {
 public:
  // False, with the reason, where the code breaks one of the rules.
  bool Build(const std::vector<Instruction>& code, const FunctionFrame& function,
             std::string& why);

  // The instruction at `pc`, or -1 where none starts there.
  int32_t IndexOf(uint32_t pc) const { return pc < indexOfPc.size() ? indexOfPc[pc] : -1; }
  bool IsReachable(int32_t index) const { return depth[index] >= 0; }
  // The stack depth before instruction `index` (from the function's start).
  int32_t DepthAt(int32_t index) const { return depth[index]; }
  // Where a branch or a handler leads, as an instruction index.
  int32_t Target(int32_t index) const { return targets[index]; }
  // Whether a branch or a handler leads to instruction `index`.
  bool IsTarget(int32_t index) const { return targeted[index]; }
  // The backward branches to instruction `index`, latest first.
  std::span<const int32_t> LoopsTo(int32_t index) const {
    return {loops.data() + loopStarts[index], loops.data() + loopStarts[index + 1]};
  }
  // The handler entries that new-handlers at `index` installs, in order.
  std::vector<int32_t> Handlers(int32_t index) const;

 private:
  bool Handle(const std::vector<Instruction>& code, const FunctionFrame& function, int32_t index,
              std::string& why);
  bool Reach(int32_t index, int32_t at, std::string& why);

  const std::vector<Instruction>* instructions = nullptr;
  std::vector<int32_t> indexOfPc;
  std::vector<int32_t> depth;
  std::vector<int32_t> targets;
  std::vector<bool> targeted;
  // The entries of each new-handlers, by its index.
  std::vector<std::pair<int32_t, std::vector<int32_t>>> handlerEntries;
  // The backward branches, grouped by target: those to instruction i are
  // loops[loopStarts[i]] up to loops[loopStarts[i + 1]].
  std::vector<int32_t> loops, loopStarts;
  std::vector<int32_t> work;
};
