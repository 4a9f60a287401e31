#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "decompiler/literal_writer.h"
#include "objects/tree_printer.h"

class Decompiler;
class SourceText;

// Values of a package as NewtonScript: frames as {slot: value}, arrays as
// [...], functions decompiled, other binaries as MakeBinaryFromHex. An
// array, frame, function or binary (but a symbol, string or real) is written
// once, where it is first reached; later it is nil with a comment naming that
// place: its path in the tree, or the offset of a function's literal. So
// however many functions share a literal, the text stays in proportion to
// the package.
class ValueSource : public LiteralWriter {
 public:
  explicit ValueSource(const PrintedTree& tree);
  ~ValueSource() override;

  // `value` in expression form; `frame` is the frame whose slot it is.
  void Value(const PrintedValue& value, SourceText& out, int depth, const void* frame = nullptr);
  // A literal of a function: quoted ('[...], '{...}, 'sym) where all of it
  // can be.
  void Literal(const PrintedValue& value, SourceText& out, int depth);
  void Literal(const PrintedValue& value, SourceText& out, int depth, bool /*closure*/) override {
    Literal(value, out, depth);
  }
  void Immediate(uint32_t word, SourceText& out, int depth) override;
  // The path to the values written next, for the comments that name where a
  // shared value was written.
  void SetPlace(std::string place) { path = std::move(place); }
  // `frame`, a function about to be written outside any other, as written;
  // the functions in its literals are written inside its source.
  void BeginFunction(const PrintedValue& frame);
  // The offset of the function whose source holds the function `frame`,
  // where one does.
  std::optional<int64_t> WrittenInside(const void* frame) const;

 private:
  bool Quotable(const PrintedValue& value, int depth, std::unordered_set<const void*>& seen) const;
  void Quoted(const PrintedValue& value, SourceText& out);
  bool WrittenBefore(const PrintedValue& value, SourceText& out, int depth);
  void Composite(const PrintedValue& value, SourceText& out, int depth, const void* frame);
  void Frame(const PrintedValue& frame, SourceText& out, int depth);
  void Array(const PrintedValue& array, SourceText& out, int depth);
  void Binary(const PrintedValue& binary, SourceText& out, const void* frame);
  std::string Scalar(const PrintedValue& value) const;
  std::string Place() const;
  static std::string Hex(int64_t offset);

  const PrintedTree& tree;
  std::unordered_map<const void*, std::string> places;
  std::unordered_map<const void*, int64_t> inside;  // functions written in another's source
  int64_t outermost = -1;  // the function being written outside any other
  std::unordered_set<const void*> open;  // being written, for cycles
  std::string path;  // one string, grown and cut back as the walk goes
  int inCode = 0;
  // By how deep in functions' code a function is written: each reads its
  // functions in turn and keeps what it holds.
  std::vector<std::unique_ptr<Decompiler>> decompilers;
};
