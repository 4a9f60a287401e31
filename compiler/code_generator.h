#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compiler/function_scope.h"
#include "compiler/objects.h"
#include "compiler/package_definition.h"
#include "decompiler/instructions.h"

namespace compiler {

class Parser;

// Compiles a function as it was read into its frame (class, instructions,
// literals, argFrame, numArgs and, with debugging information,
// DebuggerInfo), in the format its options or its part's rules give. Each
// source form becomes the instructions the platform's compiler made of it;
// literals are numbered in the order the code first uses them.
void GenerateCode(FunctionScope& function, Objects& objects, const PartRules& rules, const Parser& parser);

class CodeGenerator {
 public:
  CodeGenerator(FunctionScope& function, Objects& objects, bool nos1, const Parser& parser);
  void Generate();
  const std::string& Code() const { return code; }
  const std::vector<Value>& Literals() const { return literals; }
  // By variable: its slot, or -1 where it lives in the argFrame.
  const std::vector<int32_t>& Slots() const { return slots; }
  int NumberOfLocals() const { return locals; }

 private:
  // Instructions.
  uint32_t Here() const { return static_cast<uint32_t>(code.size()); }
  void Emit(Op op, uint32_t b = 0);
  size_t EmitForward(Op op);
  void Patch(size_t at, uint32_t target);
  void PatchAll(std::vector<size_t>& sites, uint32_t target);
  uint32_t LiteralIndex(uint32_t literal);
  void Push(uint32_t literal);
  uint32_t Symbol(std::string_view name);
  void Get(const Variable& variable);
  void Set(const Variable& variable);

  // Forms.
  // A value left on the stack; a statement, which leaves none.
  void Expr(Node* node);
  void Stmt(Node* node);
  void Sequence(const Block& block, bool value);
  void LoopBody(const Node* loop);
  void Arguments(const Kids& kids, size_t first);
  size_t Condition(Node* node);
  void If(Node* node, bool value);
  void And(Node* node);
  void Or(Node* node);
  void For(Node* node);
  void Foreach(Node* node);
  void While(Node* node);
  void Repeat(Node* node);
  void Loop(Node* node);
  void Try(Node* node, bool value);
  void Break(Node* node);
  [[noreturn]] void Fail(const std::string& what) const;

  FunctionScope& function;
  Objects& objects;
  bool nos1;
  const Parser& parser;
  std::string code;
  std::vector<Value> literals;
  std::vector<int32_t> finalIndex;  // by the function's literal: its place in `literals`, or -1
  std::vector<int32_t> slots;
  int locals = 0;
  // The branches of each loop's breaks, innermost last, to its end.
  std::vector<std::vector<size_t>> breaks;
};

}  // namespace compiler
