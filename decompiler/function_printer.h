#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "decompiler/local_numbering.h"
#include "decompiler/syntax.h"

class Decompiler;
class SourceText;
class LiteralWriter;

// A recovered function as NewtonScript source, with parentheses only where
// NewtonScript's precedence needs them.
class FunctionPrinter {
 public:
  FunctionPrinter(const Decompiler& function, const Block& body, LiteralWriter& values,
                  SourceText& out, int depth)
      : function(function), body(body), values(values), out(out), depth(depth) {}
  void Print();

  // Binding strength, loosest first.
  enum Level {
    kStatement, kAssignment, kOr, kAnd, kNot, kComparison, kExists, kConcatenation,
    kAdditive, kMultiplicative, kUnary, kPostfix, kPrimary
  };

 private:
  void Statements(const Block& block, bool top = false);
  void Declare(const std::vector<uint32_t>& slots);
  void Statement(const Node* node);
  // After a keyword: one plain statement as it is, or begin ... end.
  void Body(const Block& block, bool chain = false);
  void Expression(const Node* node, Level required);
  void Bare(const Node* node);
  void Arguments(const Kids& kids, size_t first);
  void Postfix(const Node* node);
  void Path(const Node* object, const Node* slot);
  void Operator(const Node* node);
  void Stringer(const Node* node);
  void Constructor(const Node* node);
  void Elements(const Node* node);
  void Control(const Node* node);
  void Foreach(const Node* node);
  void Try(const Node* node);
  void Unreachable(const Node* node);
  std::string Name(uint32_t literal) const;
  std::string Variable(const ::Variable& variable);
  std::optional<std::string_view> Symbol(const Node* node) const;
  std::optional<std::vector<std::string_view>> PathSteps(const Node* node) const;
  bool IsArrayClass(const Node* node) const;
  bool IsModulo(const Node* node) const;
  bool IsPieces(const Node* array) const;
  bool BeginsWithSendToName(const Node* node) const;
  bool IsSimple(const Node* node) const;
  Level LevelOf(const Node* node) const;

  const Decompiler& function;
  const Block& body;
  LiteralWriter& values;
  SourceText& out;
  int depth;
  std::vector<std::string> variables;  // by slot
  // Where the locals are declared, in source that compiles back.
  std::optional<LocalNumbering> numbering;
};
