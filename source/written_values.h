#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "decompiler/literal_writer.h"
#include "objects/tree_printer.h"

class Decompiler;
class HeapTree;
class PartPlan;
class SourceText;

// A string object that a string literal makes again: of class string (in any
// letter case), UTF-16 with its one terminator at its end.
bool IsPlainString(const PrintedTree& tree, const PrintedValue& value);
// A real that a real literal makes again: class real, 8 bytes, finite.
bool IsPlainReal(const PrintedTree& tree, const PrintedValue& value);

// The values of a part as the source that pkgcompile makes them from again:
// in data (a constant's value, the part's) every object written where it is,
// but those the plan names; in a function's code, literals as the source
// writes them (quoted, in place) or named. Frames say how they get their
// maps, functions how their frames are made, where the part's rules would not
// make them so.
class ExactWriter : public LiteralWriter {
 public:
  // Where a function written as source lies in the text.
  struct FunctionSpan {
    int64_t frame;
    size_t begin, end;
  };
  ExactWriter(HeapTree& tree, const PartPlan& plan) : tree(tree), plan(plan) {}

  void Value(const PrintedValue& value, SourceText& out, int depth);
  // A constant's own value, written whole.
  void Definition(const PrintedValue& value, SourceText& out);
  void Map(const PrintedValue& map, SourceText& out);

  void Immediate(uint32_t word, SourceText& out, int depth) override;
  void Literal(const PrintedValue& value, SourceText& out, int depth, bool closure) override;
  bool IsExact() const override { return true; }
  bool IsFresh(const PrintedValue& value) const override;
  std::string MapOptions(const PrintedValue& map) const override;
  const std::vector<FunctionSpan>& Spans() const { return spans; }

 private:
  void Written(const PrintedValue& value, SourceText& out, int depth);
  void Frame(const PrintedValue& frame, SourceText& out, int depth);
  void Array(const PrintedValue& array, SourceText& out, int depth);
  void Binary(const PrintedValue& binary, SourceText& out);
  void Function(const PrintedValue& frame, SourceText& out, int depth);
  void Quoted(const PrintedValue& value, SourceText& out);
  std::string Scalar(const PrintedValue& value) const;
  std::string Options(const PrintedValue& frame) const;
  std::string FunctionOptions(const PrintedValue& frame, SourceText& out, int depth);
  std::unordered_set<std::string> NamesReachedInside(const Decompiler& function) const;

  HeapTree& tree;
  const PartPlan& plan;
  std::vector<FunctionSpan> spans;
};
