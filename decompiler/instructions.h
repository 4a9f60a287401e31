#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// NewtonScript bytecode: instructions of one byte (opcode in bits 7..3,
// operand B in bits 2..0) or three, where B is 7 and the real B follows as a
// big-endian 16-bit number.
enum class Op : uint8_t {
  kPop,
  kDup,
  kReturn,
  kPushSelf,
  kSetLexScope,
  kIterNext,
  kIterDone,
  kPopHandlers,
  kPush,
  kPushConstant,
  kCall,
  kInvoke,
  kSend,
  kSendIfDefined,
  kResend,
  kResendIfDefined,
  kBranch,
  kBranchIfTrue,
  kBranchIfFalse,
  kFindVar,
  kGetVar,
  kMakeFrame,
  kMakeArray,
  kGetPath,
  kSetPath,
  kSetVar,
  kFindAndSetVar,
  kIncrVar,
  kBranchIfLoopNotDone,
  kFreqFunc,
  kNewHandlers,
};

// Instructions with an operand come in the order of their opcodes, 3 to 25.
constexpr int kFirstWithOperand = 3;
constexpr int OpcodeOf(Op op) { return static_cast<int>(op) - static_cast<int>(Op::kPush) + kFirstWithOperand; }
static_assert(OpcodeOf(Op::kNewHandlers) == 25);

// The built-in functions of freq-func, by B.
enum class FreqFunc : uint16_t {
  kAdd, kSubtract, kAref, kSetAref, kEquals, kNot, kNotEquals, kMultiply, kDivide, kDiv,
  kLessThan, kGreaterThan, kGreaterOrEqual, kLessOrEqual, kBitAnd, kBitOr, kBitNot,
  kNewIterator, kLength, kClone, kSetClass, kAddArraySlot, kStringer, kHasPath, kClassOf,
  kCount
};

// make-array's B for "an array of `size` NILs".
constexpr uint16_t kSizedArray = 0xFFFF;

struct Instruction {
  uint32_t pc;
  Op op;
  uint8_t length;  // 1 or 3
  uint16_t b;

  bool HasOperand() const { return op >= Op::kPush; }
  bool IsBranch() const {
    return op == Op::kBranch || op == Op::kBranchIfTrue || op == Op::kBranchIfFalse ||
           op == Op::kBranchIfLoopNotDone;
  }
  // How many values it takes from the stack and leaves on it.
  int Pops() const;
  int Pushes() const;
};

const char* OpName(Op op);
const char* FreqFuncName(uint16_t b);
// How many arguments a freq-func takes.
int FreqFuncArguments(uint16_t b);

// Decodes the whole of `code`; false, with the reason, at the first byte that
// is no instruction.
bool DecodeInstructions(const uint8_t* code, size_t length, std::vector<Instruction>& out,
                        std::string& why);
