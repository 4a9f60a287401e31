#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "objects/tree_printer.h"

class Decompiler;
class SourceText;

// Values of a package as NewtonScript: frames as {slot: value}, arrays as
// [...], functions decompiled, other binaries as MakeBinaryFromHex. In the
// tree an array, frame or binary reached a second time is written once, where
// it is first reached; later it is nil with a comment naming that place. A
// literal of a function is written whole wherever the code uses it, but for
// a cycle back into itself.
class ValueSource {
 public:
  explicit ValueSource(const PrintedTree& tree);
  ~ValueSource();

  // `value` in expression form; `frame` is the frame whose slot it is.
  void Value(const PrintedValue& value, SourceText& out, int depth, const void* frame = nullptr);
  // A literal of a function: quoted ('[...], '{...}, 'sym) where all of it
  // can be.
  void Literal(const PrintedValue& value, SourceText& out, int depth);
  // The path to the values written next, for the comments that name where a
  // shared value was written.
  void SetPlace(std::string place) { path = std::move(place); }

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

  const PrintedTree& tree;
  std::unordered_map<const void*, std::string> places;
  std::unordered_set<const void*> open;  // being written, for cycles
  std::string path;  // one string, grown and cut back as the walk goes
  int inCode = 0;
  // By how deep in functions' code a function is written: each reads its
  // functions in turn and keeps what it holds.
  std::vector<std::unique_ptr<Decompiler>> decompilers;
};
