#include "decompiler/flow.h"

#include "decompiler/function_frame.h"
#include "objects/errors.h"

namespace {
// A handler address: pushed as an integer constant, or as an integer literal
// where the pc does not fit one.
bool HandlerAddress(const Instruction& push, const FunctionFrame& function, uint32_t& pc) {
  if (push.op == Op::kPushConstant && (push.b & 3) == 0) {
    pc = static_cast<int16_t>(push.b) >> 2;
    return true;
  }
  if (push.op == Op::kPush && push.b < function.literals.size() &&
      function.literals[push.b].kind == PrintedValue::kInteger) {
    pc = static_cast<int32_t>(function.literals[push.b].word) >> 2;
    return true;
  }
  return false;
}
}  // namespace

std::vector<int32_t> Flow::Handlers(int32_t index) const {
  for (const auto& [at, entries] : handlerEntries) {
    if (at == index) return entries;
  }
  return {};
}

bool Flow::Reach(int32_t index, int32_t at, std::string& why) {
  if (depth[index] == at) return true;
  if (depth[index] >= 0) {
    why = Format("the stack is %d deep at pc %u on one path and %d on another", depth[index],
                 (*instructions)[index].pc, at);
    return false;
  }
  depth[index] = at;
  work.push_back(index);
  return true;
}

bool Flow::Build(const std::vector<Instruction>& code, const FunctionFrame& function,
                 std::string& why) {
  size_t count = code.size();
  instructions = &code;
  indexOfPc.assign(function.codeLength, -1);
  for (size_t i = 0; i < count; ++i) indexOfPc[code[i].pc] = static_cast<int32_t>(i);
  depth.assign(count, -1);
  targets.assign(count, -1);
  targeted.assign(count, false);
  handlerEntries.clear();
  loops.clear();
  loopStarts.assign(count + 1, 0);
  work.clear();
  work.reserve(count);
  if (count == 0) {
    why = "the function has no instructions";
    return false;
  }
  for (size_t i = 0; i < count; ++i) {
    if (!code[i].IsBranch()) continue;
    targets[i] = IndexOf(code[i].b);
    if (targets[i] < 0) {
      why = Format("the branch at pc %u leads to pc %u, where no instruction starts", code[i].pc,
                   code[i].b);
      return false;
    }
    targeted[targets[i]] = true;
    if (targets[i] <= static_cast<int32_t>(i)) ++loopStarts[targets[i] + 1];
  }
  // Grouped by target, each group latest first.
  for (size_t i = 0; i < count; ++i) loopStarts[i + 1] += loopStarts[i];
  loops.assign(loopStarts[count], 0);
  std::vector<int32_t> filled(loopStarts.begin(), loopStarts.end() - 1);
  for (size_t i = count; i-- > 0;) {
    if (targets[i] >= 0 && targets[i] <= static_cast<int32_t>(i)) loops[filled[targets[i]]++] = static_cast<int32_t>(i);
  }
  depth[0] = 0;
  work.push_back(0);
  // A loop that no break leaves is followed all the same by the code the
  // compiler wrote for its value (a pop, the function's return, the rest of
  // the function): it is read as if the loop ended there, its value pushed.
  for (size_t next = 0; !work.empty();) {
    while (!work.empty()) {
      int32_t index = work.back();
      work.pop_back();
      if (!Handle(code, function, index, why)) return false;
    }
    for (; next + 1 < count && work.empty(); ++next) {
      if (code[next].op == Op::kBranch && targets[next] <= static_cast<int32_t>(next) && depth[next] >= 0 &&
          depth[next + 1] < 0) {
        depth[next + 1] = depth[next] + 1;
        work.push_back(static_cast<int32_t>(next + 1));
      }
    }
  }
  return true;
}

bool Flow::Handle(const std::vector<Instruction>& code, const FunctionFrame& function,
                  int32_t index, std::string& why) {
  const Instruction& ins = code[index];
  int32_t before = depth[index];
  if (before < ins.Pops() || (ins.op == Op::kReturn && before < 1)) {
    why = Format("%s at pc %u takes %d values from a stack that holds %d", OpName(ins.op), ins.pc,
                 ins.op == Op::kReturn ? 1 : ins.Pops(), before);
    return false;
  }
  if ((ins.op == Op::kPush || ins.op == Op::kFindVar || ins.op == Op::kFindAndSetVar) &&
      ins.b >= function.literals.size()) {
    why = Format("%s at pc %u names literal %u of %zu", OpName(ins.op), ins.pc, ins.b,
                 function.literals.size());
    return false;
  }
  if (ins.op == Op::kReturn) return true;
  int32_t after = before - ins.Pops() + ins.Pushes();
  if (ins.op == Op::kNewHandlers) {
    // The compiler pushes each handler's symbol and address just before.
    if (index < 2 * ins.b) {
      why = Format("new-handlers at pc %u has no handler addresses before it", ins.pc);
      return false;
    }
    handlerEntries.emplace_back(index, std::vector<int32_t>());
    for (int k = 0; k < ins.b; ++k) {
      uint32_t pc;
      const Instruction& push = code[index - 2 * ins.b + 2 * k + 1];
      int32_t entry = HandlerAddress(push, function, pc) ? IndexOf(pc) : -1;
      if (entry < 0) {
        why = Format("the handler %d of new-handlers at pc %u has no instruction address", k + 1,
                     ins.pc);
        return false;
      }
      handlerEntries.back().second.push_back(entry);
      targeted[entry] = true;
      if (!Reach(entry, after, why)) return false;
    }
  }
  if (ins.IsBranch() && !Reach(targets[index], after, why)) return false;
  if (ins.op == Op::kBranch) return true;
  if (static_cast<size_t>(index) + 1 >= code.size()) {
    why = Format("the code runs past its end after pc %u", ins.pc);
    return false;
  }
  return Reach(index + 1, after, why);
}
