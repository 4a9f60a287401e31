#include "compiler/code_generator.h"

#include "compiler/parser.h"
#include "objects/errors.h"
#include "packaging/big_endian.h"

namespace compiler {

namespace {
const uint32_t kLongest = 0xFFFF;

}  // namespace

CodeGenerator::CodeGenerator(FunctionScope& function, Objects& objects, bool nos1, const Parser& parser)
    : function(function), objects(objects), nos1(nos1), parser(parser) {}

void CodeGenerator::Fail(const std::string& what) const { throw SourceError(function.at, what); }

// A simple instruction is one byte (pop-handlers three); another is one
// byte where B is below 7, else three with B after it. A branch forward is
// always three (EmitForward), as the compiler patched it in place.
void CodeGenerator::Emit(Op op, uint32_t b) {
  if (op < Op::kPush) {
    if (op == Op::kPopHandlers) {
      code += std::string("\x07\x00\x07", 3);
    } else {
      code += static_cast<char>(op);
    }
    return;
  }
  if (b > kLongest) Fail("the function is too large: an operand passes 65,535");
  int a = OpcodeOf(op);
  if (b < 7) {
    code += static_cast<char>(a << 3 | b);
  } else {
    code += {static_cast<char>(a << 3 | 7), static_cast<char>(b >> 8), static_cast<char>(b & 0xFF)};
  }
}

// A branch whose target is not known yet: always three bytes.
size_t CodeGenerator::EmitForward(Op op) {
  size_t at = code.size();
  code += {static_cast<char>(OpcodeOf(op) << 3 | 7), '\0', '\0'};
  return at;
}

void CodeGenerator::Patch(size_t at, uint32_t target) {
  if (target > kLongest) Fail("the function is too large: its code passes 65,535 bytes");
  code[at + 1] = static_cast<char>(target >> 8);
  code[at + 2] = static_cast<char>(target & 0xFF);
}

void CodeGenerator::PatchAll(std::vector<size_t>& sites, uint32_t target) {
  for (size_t at : sites) Patch(at, target);
  sites.clear();
}

// The function's literal `literal`, numbered where the code first uses it.
uint32_t CodeGenerator::LiteralIndex(uint32_t literal) {
  if (literal >= finalIndex.size()) finalIndex.resize(literal + 1, -1);
  if (finalIndex[literal] < 0) {
    finalIndex[literal] = static_cast<int32_t>(literals.size());
    literals.push_back(function.literals[literal]);
  }
  return static_cast<uint32_t>(finalIndex[literal]);
}

void CodeGenerator::Push(uint32_t literal) { Emit(Op::kPush, LiteralIndex(literal)); }

uint32_t CodeGenerator::Symbol(std::string_view name) { return LiteralIndex(function.SymbolLiteral(objects, name)); }

void CodeGenerator::Get(const Variable& variable) {
  if (variable.byName) return Emit(Op::kFindVar, LiteralIndex(variable.id));
  int32_t slot = slots[variable.id];
  if (slot >= 0) return Emit(Op::kGetVar, static_cast<uint32_t>(slot));
  Emit(Op::kFindVar, Symbol(function.variables[variable.id].name));
}

void CodeGenerator::Set(const Variable& variable) {
  if (variable.byName) return Emit(Op::kFindAndSetVar, LiteralIndex(variable.id));
  int32_t slot = slots[variable.id];
  if (slot >= 0) return Emit(Op::kSetVar, static_cast<uint32_t>(slot));
  Emit(Op::kFindAndSetVar, Symbol(function.variables[variable.id].name));
}

}  // namespace compiler
