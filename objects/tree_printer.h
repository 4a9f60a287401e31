#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The readable listing of an object tree: one value a line, four spaces a
// level; a frame puts its slot names one level in and their values two, an
// array its elements one level in. The one printer serves pkgembed, which
// prints the tree it builds, and pkginspect, which prints the trees of a
// package file; each hands it the tree through PrintedTree.

// A value of a tree, as the printer sees it.
struct PrintedValue {
  enum Kind {
    kInteger,
    kCharacter,
    kImmediate,
    kMagicPointer,
    kArray,
    kFrame,
    kBinary,
    kBadPointer
  };
  Kind kind;
  uint32_t word = 0;             // the Ref word
  const void* object = nullptr;  // an array, frame or binary: the tree's own handle
  int64_t offset = -1;           // where the object lies in a package file, if known
};

// A binary object, as the printer sees it.
struct PrintedBinary {
  bool isSymbol;               // its class is the symbol class itself
  std::string_view name;       // a symbol's name
  uint32_t hashWord;           // a symbol's first four bytes, least significant first
  std::string_view className;  // another binary's class, when that is a symbol
  const uint8_t* bytes;
  size_t length;
};

// What the printer asks of a tree.
class PrintedTree {
 public:
  virtual ~PrintedTree() = default;
  virtual int32_t NumberOfElements(const void* array) const = 0;
  virtual PrintedValue Element(const void* array, int32_t index) const = 0;
  virtual int32_t NumberOfSlots(const void* frame) const = 0;
  virtual std::string_view SlotName(const void* frame, int32_t index) const = 0;
  virtual PrintedValue SlotValue(const void* frame, int32_t index) const = 0;
  virtual PrintedBinary Binary(const void* binary) const = 0;
  // A symbol's name, or none for any other binary: quicker than Binary().
  virtual std::optional<std::string_view> SymbolName(const void* binary) const {
    PrintedBinary printed = Binary(binary);
    return printed.isSymbol ? std::optional<std::string_view>(printed.name) : std::nullopt;
  }
  // An array's class; NIL for trees whose arrays carry none.
  virtual PrintedValue ArrayClass(const void* /*array*/) const { return {PrintedValue::kImmediate, 2}; }
  // False when an array or frame has been printed before: it is then shown by
  // one line that names its offset. Trees without sharing need not track.
  virtual bool FirstPrinting(const PrintedValue&) { return true; }
  // A NewtonScript function shown in the report as its source, lines
  // separated by new lines, in place of its frame; empty for any other frame.
  virtual std::string Source(const PrintedValue& /*frame*/) { return {}; }
  // A binary drawn as lines of text in the report, in place of its bytes;
  // none for most. `frame` is the frame whose slot holds it, if any.
  virtual std::vector<std::string> Picture(const void* /*binary*/, const void* /*frame*/) const {
    return {};
  }
  // A line under a binary's heading in the report that says what it holds
  // (a sound, a picture); empty for most.
  virtual std::string Description(const void* /*binary*/, const void* /*frame*/) const { return {}; }
};

// Arrays and frames deeper than this are only named, so that a crafted file
// cannot make the listing quadratic in its nesting or exhaust the stack.
constexpr int kDeepestPrinted = 128;

// kBuild prints what pkgembed prints; kReport also shows the text of
// strings, characters, magic pointers and reals, and the classes of other
// binaries.
enum class PrintStyle { kBuild, kReport };

class TreePrinter {
 public:
  // A listing that would pass `limit` bytes is cut short there with a line
  // that says so, and the rest of the tree is not walked.
  TreePrinter(PrintedTree& tree, PrintStyle style, FILE* out, uint64_t limit = UINT64_MAX)
      : tree(tree), style(style), out(out), left(limit) {}
  // `frame` is the frame whose slot the value is, if it is one.
  void Print(const PrintedValue& value, int depth, const void* frame = nullptr);

 private:
  void PrintFrame(const PrintedValue& frame, int depth);
  void PrintArray(const PrintedValue& array, int depth);
  // An array or frame already printed, or too deep to print: one line for it.
  bool PrintedElsewhere(const PrintedValue& value, const char* kind, int depth);
  void PrintBinary(const PrintedValue& value, const void* frame, int depth);
  void PrintBytes(const uint8_t* bytes, size_t length, int depth);
  void PrintImmediate(uint32_t word, int depth);
  void Line(int depth, std::string_view text);

  PrintedTree& tree;
  PrintStyle style;
  FILE* out;
  uint64_t left;
  bool cut = false;
  std::string line;
};

// The text of a UTF-16 big-endian string up to its terminator, as UTF-8 in
// double quotes, with escapes for quotes, backslashes and control characters.
std::string QuotedUtf16(const uint8_t* bytes, size_t length);
// The same for 8-bit text, each byte a character of its own.
std::string QuotedLatin1(const uint8_t* bytes, size_t length);
