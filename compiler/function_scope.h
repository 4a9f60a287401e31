#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "compiler/lexer.h"
#include "compiler/objects.h"
#include "decompiler/syntax.h"

namespace compiler {

// How a function's frame is made, beyond its code: the source's options, else
// the part's.
struct FunctionOptions {
  enum Format : int8_t { kPartFormat = -1, kNos2 = 0, kNos1 = 1 };
  enum Debug : int8_t { kPartDebug = -1, kNoDebug = 0, kDebug = 1, kNilDebug = 2, kGivenDebug = 3 };
  Format format = kPartFormat;
  Debug debug = kPartDebug;
  Value debugInfo;  // kGivenDebug: the DebuggerInfo as it is, for names another compiler kept
  // The argFrame's first three slots, where they are not NIL; in the newer
  // format, the variables it keeps by name and their values, first.
  bool specialsGiven = false;
  Value specials[3];
  std::vector<std::pair<std::string, Value>> kept;
  // Literals after those the code uses, which some compilers left.
  std::vector<Value> extraLiterals;
  Object* map = nullptr;  // the frame's map, where given
  Object* argFrameMap = nullptr;  // the argFrame's
  bool mergeInstructions = false;  // one object with equal instructions, whatever the rules
  int32_t literalsGroup = 0;       // one object with equal literals of the group
};

// A variable of a function: an argument, a local, or one the compiler adds
// for a loop (`i|limit`).
struct ScopeVariable {
  std::string name;
  bool argument = false;
  bool captured = false;  // a function inside reaches it by name
};

// A function as it is read: its variables in the order they were declared,
// its literals in the order the source made them, its statements. Nodes name
// a variable by its index here and a literal by its index here; the code
// generator gives them their slots and their order in the code.
struct FunctionScope {
  explicit FunctionScope(FunctionScope* outer, Position at) : outer(outer), at(at) {}

  // The variable named so in this function, or -1.
  int32_t Find(std::string_view name) const;
  int32_t Declare(std::string_view name, bool argument = false);
  // Literals: a symbol once for each name, other objects once each, and a
  // fresh entry when `fresh` (a frame constructor's map, a path).
  uint32_t Literal(Value value, bool fresh = false);
  uint32_t SymbolLiteral(Objects& objects, std::string_view name);

  FunctionScope* outer;
  Position at;
  std::vector<ScopeVariable> variables;
  int arguments = 0;
  std::vector<Value> literals;
  std::unordered_map<std::string, Value> constants;  // by folded name
  Syntax syntax;
  Block body;
  FunctionOptions options;
  Object* frame = nullptr;  // what the code generator fills

 private:
  std::unordered_map<std::string, uint32_t> symbols;  // by folded name
  std::unordered_map<const void*, uint32_t> objects;
  std::unordered_map<uint32_t, uint32_t> words;
  std::unordered_map<std::string, int32_t> names;  // by folded name
};

}  // namespace compiler
