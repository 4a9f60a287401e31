#pragma once

#include <cstdint>

class Ref;
class SlotIndex;

// An encoded object's size, its 12 header bytes included, must fit the 24-bit
// size field of its first word. That bounds a binary's bytes and an array's
// or frame's elements.
constexpr int32_t kMaxBinaryLength = 0xFFFFFF - 12;
constexpr int32_t kMaxElements = (0xFFFFFF - 12) / 4;

// A heap object of the object model: a binary (bytes with a class), an array
// (Refs with a class) or a frame (slot values whose names are the elements of
// its map, an array). `header1` holds the kind in bits 0-1, the flag 0x40 and,
// in bits 8-31, the size of the data: bytes for a binary, 4 per element or
// slot for an array or frame.
class Object {
 public:
  // Kind bits of header1.
  static constexpr int kBinary = 0;
  static constexpr int kArray = 1;
  static constexpr int kFrame = 3;

  Object(int kind, Ref* classOrMap, const uint8_t* data, int32_t size);

  bool IsBinary() const { return (header1 & 0x3) == kBinary; }
  bool IsArray() const { return (header1 & 0x3) == kArray; }
  bool IsFrame() const { return (header1 & 0x3) == kFrame; }
  bool IsSymbol() const;

  int32_t NumberOfIndexes() const;
  int32_t NumberOfSlots() const;
  int32_t BinaryLength() const;
  const uint8_t* BinaryData() const;

  Ref* GetElement(int32_t index) const;
  void SetElement(int32_t index, Ref* value);
  void AppendElement(Ref* value);
  Ref* Supermap() const;

  Ref* Map() const;
  Ref* GetSlotValue(int32_t index) const;
  void SetSlotValue(int32_t index, Ref* value);
  void AddSlot(Ref* name, Ref* value);
  int32_t FindSlot(Ref* name) const;

  const char* SymbolName() const;
  uint32_t SymbolHashWord() const;

  // A binary whose bytes are a data file's: its number among the package's
  // data files (0 for none). Such bytes go to the package file from where
  // they lie instead of through the image.
  uint32_t GetDataFile() const { return IsBinary() ? data.binary.file : 0; }
  void SetDataFile(uint32_t number) { data.binary.file = number; }

  // The class of a binary or array (a frame's map sits in the same place).
  Ref* GetClass() const { return _class_or_map; }
  int32_t GetPackageOffset() const { return packageOffset; }

  // Serialisation: allocate this object's run (and everything it reaches)
  // depth first, then fill the runs.
  void Layout();
  void Write() const;

  void Dump(int depth) const;
  void Discard();

 private:
  // Makes room for one more element or slot value.
  void Grow();
  // The index of a map's names 1 to `last`, brought up to date; none when one
  // of them is not a symbol object, so that the scan meets it as before.
  SlotIndex* IndexNames(int32_t last);

  uint32_t header1;
  // The second header word is 1 for every object the system builds.
  static constexpr uint32_t header2 = 1;
  int32_t packageOffset = -1;
  Ref* _class_or_map;
  union {
    struct {
      const uint8_t* bytes;  // owned elsewhere
      uint32_t file;
    } binary;
    struct {  // an array's elements, or a frame's slot values
      Ref** slot;
      SlotIndex* index;  // a map's index of its names, once it is large
      uint32_t room;
    } array;
  } data = {};
};
