#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "reader/bitmap.h"
#include "reader/heap.h"
#include "objects/tree_printer.h"

class Decompiler;
class ValueSource;

// The objects of a package file as the tree printer sees them, after the
// heap's checks: a pointer the checks refused is a bad pointer, a slot name
// that cannot be read is shown as such.
class HeapTree : public PrintedTree {
 public:
  explicit HeapTree(const Heap& heap);
  ~HeapTree() override;

  // The name of a slot that a map names NIL.
  static const char kNilName[];

  // The Ref word at `at`.
  PrintedValue Value(uint64_t at) const;
  // A part's root array.
  PrintedValue Root(uint64_t offset) const;
  // The value of a frame's slot whose name equals `name`, ignoring ASCII
  // letter case; none if it has none.
  std::optional<PrintedValue> FindSlot(const void* frame, std::string_view name) const;
  uint64_t Offset(const void* object) const;
  // The file's word and byte at `at`, as they are.
  uint32_t RawWord(uint64_t at) const;
  uint8_t RawByte(uint64_t at) const;
  // An object's size with its header, padding excluded.
  uint32_t ObjectSize(const void* object) const { return heap.Size(Offset(object)); }
  const uint8_t* BinaryBytes(const void* binary, size_t& length) const;
  // The bitmap a binary holds, if it is one; a `cbits` takes its depth from
  // the `bitDepth` slot of its frame.
  std::optional<Bitmap> BitmapOf(const void* binary, const void* frame) const;

  int32_t NumberOfElements(const void* array) const override;
  PrintedValue Element(const void* array, int32_t index) const override;
  int32_t NumberOfSlots(const void* frame) const override;
  std::string_view SlotName(const void* frame, int32_t index) const override;
  PrintedValue SlotValue(const void* frame, int32_t index) const override;
  PrintedBinary Binary(const void* binary) const override;
  std::optional<std::string_view> SymbolName(const void* binary) const override {
    if (!heap.IsSymbol(Offset(binary))) return std::nullopt;
    return heap.SymbolName(Offset(binary));
  }
  PrintedValue ArrayClass(const void* array) const override { return Value(Offset(array) + 8); }
  bool FirstPrinting(const PrintedValue& value) override;
  std::string Source(const PrintedValue& frame) override;
  // The most text one function's source may take.
  size_t SourceLimit() const;
  std::vector<std::string> Picture(const void* binary, const void* frame) const override;
  std::string Description(const void* binary, const void* frame) const override;

 private:
  std::string_view ChainName(uint64_t map, int32_t index) const;
  const std::vector<std::string_view>* NamesOfMap(uint64_t map) const;

  const Heap& heap;
  std::vector<bool> printed;  // by file offset
  std::unique_ptr<Decompiler> decompiler;  // one for every function, in turn
  std::unique_ptr<ValueSource> values;
  // Frames share maps, and a frame's slots are asked for one after another:
  // each map's names are found once and kept, up to a bound on their number.
  mutable std::unordered_map<uint64_t, std::vector<std::string_view>> mapNames;
  mutable size_t namesKept = 0;
  // The map asked for last, which is most often the next one asked for.
  mutable uint64_t lastMap = 0;
  mutable const std::vector<std::string_view>* lastNames = nullptr;
};
