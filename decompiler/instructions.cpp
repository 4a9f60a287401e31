#include "decompiler/instructions.h"

#include "objects/errors.h"
#include "packaging/big_endian.h"

namespace {

const char* const kOpNames[] = {
    "pop",        "dup",
    "return",     "push-self",
    "set-lex-scope", "iter-next",
    "iter-done",  "pop-handlers",
    "push",       "push-constant",
    "call",       "invoke",
    "send",       "send-if-defined",
    "resend",     "resend-if-defined",
    "branch",     "branch-if-true",
    "branch-if-false", "find-var",
    "get-var",    "make-frame",
    "make-array", "get-path",
    "set-path",   "set-var",
    "find-and-set-var", "incr-var",
    "branch-if-loop-not-done", "freq-func",
    "new-handlers",
};

struct FreqFuncInfo {
  const char* name;
  int arguments;
};
const FreqFuncInfo kFreqFuncs[] = {
    {"add", 2},          {"subtract", 2},      {"aref", 2},         {"set-aref", 3},
    {"equals", 2},       {"not", 1},           {"not-equals", 2},   {"multiply", 2},
    {"divide", 2},       {"div", 2},           {"less-than", 2},    {"greater-than", 2},
    {"greater-or-equal", 2}, {"less-or-equal", 2}, {"bit-and", 2},  {"bit-or", 2},
    {"bit-not", 1},      {"new-iterator", 2},  {"length", 1},       {"clone", 1},
    {"set-class", 2},    {"add-array-slot", 2}, {"stringer", 1},    {"has-path", 2},
    {"class-of", 1},
};
static_assert(sizeof kFreqFuncs / sizeof kFreqFuncs[0] == static_cast<size_t>(FreqFunc::kCount));

}  // namespace

const char* OpName(Op op) { return kOpNames[static_cast<int>(op)]; }

const char* FreqFuncName(uint16_t b) {
  return b < static_cast<uint16_t>(FreqFunc::kCount) ? kFreqFuncs[b].name : "?";
}

int FreqFuncArguments(uint16_t b) {
  return b < static_cast<uint16_t>(FreqFunc::kCount) ? kFreqFuncs[b].arguments : 0;
}

int Instruction::Pops() const {
  switch (op) {
    case Op::kPop: case Op::kDup: case Op::kReturn: case Op::kSetLexScope:
    case Op::kIterNext: case Op::kIterDone: case Op::kBranchIfTrue: case Op::kBranchIfFalse:
    case Op::kSetVar: case Op::kFindAndSetVar: case Op::kIncrVar:
      return 1;
    case Op::kCall: case Op::kInvoke: case Op::kResend: case Op::kResendIfDefined:
    case Op::kMakeFrame:
      return b + 1;
    case Op::kSend: case Op::kSendIfDefined:
      return b + 2;
    case Op::kMakeArray:
      return b == kSizedArray ? 2 : b + 1;
    case Op::kGetPath:
      return 2;
    case Op::kSetPath: case Op::kBranchIfLoopNotDone:
      return 3;
    case Op::kFreqFunc:
      return FreqFuncArguments(b);
    case Op::kNewHandlers:
      return 2 * b;
    default:
      return 0;
  }
}

int Instruction::Pushes() const {
  switch (op) {
    case Op::kPop: case Op::kReturn: case Op::kIterNext: case Op::kPopHandlers:
    case Op::kBranch: case Op::kBranchIfTrue: case Op::kBranchIfFalse: case Op::kSetVar:
    case Op::kFindAndSetVar: case Op::kBranchIfLoopNotDone: case Op::kNewHandlers:
      return 0;
    case Op::kDup: case Op::kIncrVar:
      return 2;
    case Op::kSetPath:
      return b ? 1 : 0;
    default:
      return 1;
  }
}

bool DecodeInstructions(const uint8_t* code, size_t length, std::vector<Instruction>& out,
                        std::string& why) {
  out.clear();
  for (size_t pc = 0; pc < length;) {
    uint8_t first = code[pc];
    int a = first >> 3;
    uint32_t b = first & 7;
    uint8_t size = 1;
    if (b == 7) {
      if (pc + 3 > length) {
        why = Format("the instruction at pc %zu is cut short by the end of the code", pc);
        return false;
      }
      b = LoadBig16(code + pc + 1);
      size = 3;
    }
    Instruction instruction{static_cast<uint32_t>(pc), Op::kPop, size, static_cast<uint16_t>(b)};
    if (a == 0) {
      // B 7 is pop-handlers, which only the long form with B 7 spells.
      if (b > 7 || (b == 7) != (size == 3)) {
        why = Format("the byte 0x%02x at pc %zu is no instruction", first, pc);
        return false;
      }
      instruction.op = static_cast<Op>(b);
      instruction.b = 0;
    } else if (a < kFirstWithOperand || a > OpcodeOf(Op::kNewHandlers)) {
      why = Format("the byte 0x%02x at pc %zu is an undefined opcode", first, pc);
      return false;
    } else {
      instruction.op = static_cast<Op>(static_cast<int>(Op::kPush) + a - kFirstWithOperand);
      if (instruction.op == Op::kFreqFunc && b >= static_cast<uint32_t>(FreqFunc::kCount)) {
        why = Format("freq-func %u at pc %zu names no built-in function", b, pc);
        return false;
      }
    }
    out.push_back(instruction);
    pc += size;
  }
  return true;
}
