#include "reader/heap_tree.h"

#include <algorithm>

#include "decompiler/decompiler.h"
#include "decompiler/source_text.h"
#include "decompiler/value_source.h"
#include "reader/file_bytes.h"
#include "reader/half_blocks.h"
#include "media/picture.h"
#include "media/sound.h"
#include "objects/errors.h"
#include "objects/ref.h"
#include "objects/symbol.h"

namespace {
const char kBadName[] = "<bad slot name>";
}  // namespace

const char HeapTree::kNilName[] = "nil";

HeapTree::HeapTree(const Heap& heap) : heap(heap), printed(heap.File().Size()) {}

HeapTree::~HeapTree() = default;

uint64_t HeapTree::Offset(const void* object) const {
  return static_cast<const uint8_t*>(object) - heap.File().At(0);
}

uint32_t HeapTree::RawWord(uint64_t at) const { return heap.File().Word(at); }

uint8_t HeapTree::RawByte(uint64_t at) const { return heap.File().Byte(at); }

PrintedValue HeapTree::Root(uint64_t offset) const {
  return {PrintedValue::kArray, static_cast<uint32_t>(offset + 1), heap.File().At(offset),
          static_cast<int64_t>(offset)};
}

PrintedValue HeapTree::Value(uint64_t at) const {
  uint32_t word = heap.File().Word(at);
  switch (word & 0x3) {
    case 0x0:
      return {PrintedValue::kInteger, word};
    case 0x2:
      return {(word & 0xFFF0000F) == 0x6 ? PrintedValue::kCharacter : PrintedValue::kImmediate,
              word};
    case 0x3:
      return {PrintedValue::kMagicPointer, word};
  }
  uint64_t object;
  if (!heap.Follow(at, object)) return {PrintedValue::kBadPointer, word};
  PrintedValue::Kind kind = heap.Flags(object) == Heap::kFrame   ? PrintedValue::kFrame
                            : heap.Flags(object) == Heap::kArray ? PrintedValue::kArray
                                                                 : PrintedValue::kBinary;
  return {kind, word, heap.File().At(object), static_cast<int64_t>(object)};
}

int32_t HeapTree::NumberOfElements(const void* array) const {
  return static_cast<int32_t>(heap.NumberOfRefs(Offset(array)));
}

PrintedValue HeapTree::Element(const void* array, int32_t index) const {
  return Value(Offset(array) + 12 + 4 * static_cast<uint64_t>(index));
}

int32_t HeapTree::NumberOfSlots(const void* frame) const { return NumberOfElements(frame); }

PrintedValue HeapTree::SlotValue(const void* frame, int32_t index) const {
  return Element(frame, index);
}

std::string_view HeapTree::SlotName(const void* frame, int32_t index) const {
  uint64_t map;
  if (!heap.Follow(Offset(frame) + 8, map)) return kBadName;
  if (const std::vector<std::string_view>* names = NamesOfMap(map)) {
    return index >= 0 && static_cast<size_t>(index) < names->size() ? (*names)[index] : kBadName;
  }
  return ChainName(map, index);
}

// The names of a map's chain, or none where there are too many to keep.
const std::vector<std::string_view>* HeapTree::NamesOfMap(uint64_t map) const {
  const size_t kMostKept = 1 << 18;
  if (lastNames && lastMap == map) return lastNames;
  if (auto found = mapNames.find(map); found != mapNames.end()) {
    lastMap = map;
    return lastNames = &found->second;
  }
  int64_t total = std::max<int64_t>(heap.NamesInChain(map), 0);
  if (static_cast<size_t>(total) > kMostKept) return nullptr;
  if (namesKept + total > kMostKept) {
    mapNames.clear();
    namesKept = 0;
  }
  namesKept += total;
  std::vector<std::string_view>& names = mapNames[map];
  names.reserve(total);
  for (int32_t i = 0; i < total; ++i) names.push_back(ChainName(map, i));
  lastMap = map;
  return lastNames = &names;
}

// Slot i of a frame is named by its map chain: the outermost supermap's
// names first, then each map's own down to the frame's.
std::string_view HeapTree::ChainName(uint64_t map, int32_t index) const {
  while (true) {
    int64_t total = heap.NamesInChain(map);
    int64_t own = static_cast<int64_t>(heap.NumberOfRefs(map)) - 1;
    if (total < 0 || index >= total) return kBadName;
    if (index >= total - own) {
      uint64_t name;
      uint64_t at = map + 12 + 4 * static_cast<uint64_t>(1 + index - (total - own));
      if (heap.File().Word(at) == Ref::kNil) return kNilName;
      return heap.Follow(at, name) && heap.IsSymbol(name) ? heap.SymbolName(name) : kBadName;
    }
    if (!heap.Follow(map + 12, map)) return kBadName;
  }
}

std::optional<PrintedValue> HeapTree::FindSlot(const void* frame, std::string_view name) const {
  for (int32_t i = 0; i < NumberOfSlots(frame); ++i) {
    std::string_view slot = SlotName(frame, i);
    if (slot.data() != kBadName && slot.data() != kNilName && NamesEqualIgnoringCase(slot, name)) return SlotValue(frame, i);
  }
  return std::nullopt;
}

const uint8_t* HeapTree::BinaryBytes(const void* binary, size_t& length) const {
  length = heap.Size(Offset(binary)) - 12;
  return heap.File().At(Offset(binary) + 12);
}

PrintedBinary HeapTree::Binary(const void* binary) const {
  uint64_t object = Offset(binary);
  size_t length;
  const uint8_t* bytes = BinaryBytes(binary, length);
  if (heap.IsSymbol(object)) {
    uint32_t hashWord = length >= 4 ? bytes[0] | bytes[1] << 8 | bytes[2] << 16 |
                                          static_cast<uint32_t>(bytes[3]) << 24
                                    : 0;
    return {true, heap.SymbolName(object), hashWord, {}, bytes, length};
  }
  uint64_t classSymbol;
  std::string_view className;
  if (heap.Follow(object + 8, classSymbol) && heap.IsSymbol(classSymbol)) {
    className = heap.SymbolName(classSymbol);
  }
  return {false, {}, 0, className, bytes, length};
}

bool HeapTree::FirstPrinting(const PrintedValue& value) {
  if (printed[value.offset]) return false;
  printed[value.offset] = true;
  return true;
}

std::optional<Bitmap> HeapTree::BitmapOf(const void* binary, const void* frame) const {
  PrintedBinary printed = Binary(binary);
  if (printed.isSymbol || !Bitmap::IsBitmapClass(printed.className)) return std::nullopt;
  int depth = 0;
  if (frame) {
    std::optional<PrintedValue> bitDepth = FindSlot(frame, "bitDepth");
    if (bitDepth && bitDepth->kind == PrintedValue::kInteger) {
      depth = static_cast<int32_t>(bitDepth->word) >> 2;
    }
  }
  return Bitmap::Read(printed.className, printed.bytes, printed.length, depth);
}

std::vector<std::string> HeapTree::Picture(const void* binary, const void* frame) const {
  std::optional<Bitmap> bitmap = BitmapOf(binary, frame);
  if (!bitmap || bitmap->Width() > kLargestDrawnBitmap || bitmap->Height() > kLargestDrawnBitmap) {
    return {};
  }
  return HalfBlockLines(*bitmap);
}

std::string HeapTree::Description(const void* binary, const void* frame) const {
  PrintedBinary printed = Binary(binary);
  if (std::optional<Sound> sound = SoundOf(*this, frame, printed)) {
    if (sound->compressed) return "sound: compressed";
    return Format("sound: %u Hz, %d bits, %llu samples, %.2f s", sound->rate, sound->bits,
                  static_cast<unsigned long long>(sound->frames), sound->Seconds());
  }
  if (printed.isSymbol || !NamesEqualIgnoringCase(printed.className, "picture")) return {};
  QdPicture picture = DecodePicture(printed.bytes, printed.length, false);
  const QdRect& frameRect = picture.frame;
  return Format("picture: bounds %d %d %d %d, %s", frameRect.top, frameRect.left, frameRect.bottom,
                frameRect.right, picture.decoded ? "decoded" : ("not decoded: " + picture.stop).c_str());
}

// As the listing's bound: a function's literals can be used many times over.
size_t HeapTree::SourceLimit() const { return 64 * heap.File().Size() + (1 << 20); }

std::string HeapTree::Source(const PrintedValue& frame) {
  if (!IsFunctionFrame(*this, frame)) return {};
  SourceText text(SourceLimit());
  if (!decompiler) decompiler = std::make_unique<Decompiler>(*this);
  // One for all the functions of the listing, so that each literal they
  // share is written once.
  if (!values) values = std::make_unique<ValueSource>(*this);
  values->BeginFunction(frame);
  decompiler->Read(frame);
  decompiler->Print(text, *values, 0);
  return std::move(text).Text();
}
