#pragma once

#include <cstdint>

class Object;

// The value cell of the object model: a 32-bit word whose low two bits are a
// tag (00 integer, 01 pointer, 10 immediate, 11 magic pointer). In memory a
// pointer's word is just 1 and its Object is `target`; the package offset
// enters the word only when it is written. `location` is where this Ref's own
// word goes in the package image, so a Ref stands in exactly one place.
class Ref {
 public:
  // Immediate words.
  static constexpr uint32_t kNil = 0x2;
  static constexpr uint32_t kTrue = 0x1A;
  static constexpr uint32_t kCodeBlockClass = 0x32;
  static constexpr uint32_t kNativeFunctionClass = 0x232;
  static constexpr uint32_t kClassSymbol = 0x55552;

  // Kinds of the typed constructor.
  static constexpr int kArrayKind = 0;
  static constexpr int kFrameKind = 1;
  static constexpr int kMapKind = 2;
  static constexpr int kBinaryKind = 3;
  static constexpr int kClassSymbolKind = 4;

  // A Ref holding `word` as it is (an integer's shifted value or an immediate).
  explicit Ref(uint32_t word) : theRef(word) {}
  // The typed constructor: kinds 0 to 3 make a new Object, kind 4 is the
  // `kClassSymbol` immediate. An absent `classOrMap` stands for NIL.
  Ref(int kind, Ref* classOrMap, const uint8_t* data, int32_t size);

  bool IsInteger() const { return (theRef & 0x3) == 0x0; }
  bool IsPointer() const { return (theRef & 0x3) == 0x1; }
  bool IsImmediate() const { return (theRef & 0x3) == 0x2; }
  bool IsMagicPointer() const { return (theRef & 0x3) == 0x3; }
  bool IsCharacter() const { return (theRef & 0xFFF0000F) == 0x6; }
  bool IsNIL() const { return theRef == kNil; }
  bool IsClassSymbol() const { return theRef == kClassSymbol; }
  bool IsArray() const;
  bool IsFrame() const;
  bool IsBinary() const;
  bool IsSymbol() const;

  int32_t IntegerValue() const;
  Ref* GetElement(int32_t index) const;
  Ref* Supermap() const;
  const char* SymbolName() const;

  void AppendElement(Ref* value);
  void SetSlot(Ref* name, Ref* value);
  int32_t FindSlot(Ref* name) const;
  bool SymbolEquals(const Ref* aSymbol) const;

  // Serialisation: give this Ref its place in the image, then fill it.
  void Layout(int32_t at);
  void Write() const;

  void Dump(int depth) const;

  // Gives back the records of a value that nothing refers to any more (its
  // Refs, objects, symbol names and storage) and frees its data files. The
  // value must share nothing with what stays, as every value made by the
  // makers does; a symbol's name must be the one NewSymbolRef made.
  void Discard();

  Object* target = nullptr;
  uint32_t theRef;
  int32_t location = -1;
};

// Plain constructors, each a new record owned by the current Package.
Ref* IntegerRef(int32_t value);
Ref* ImmediateRef(uint32_t word);
Ref* TypedRef(int kind, Ref* classOrMap = nullptr, const uint8_t* data = nullptr, int32_t size = 0);
