#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "objects/ref.h"
#include "objects/symbol.h"

namespace compiler {

struct Object;

// A value as a slot holds it: an immediate Ref word (an integer, a
// character, nil, true, a magic pointer or another immediate) or an object.
struct Value {
  uint32_t word = Ref::kNil;
  Object* object = nullptr;

  static Value Word(uint32_t word) { return {word, nullptr}; }
  static Value Integer(int32_t value) { return {static_cast<uint32_t>(value) << 2, nullptr}; }
  static Value Of(Object* object) { return {0, object}; }
  bool IsObject() const { return object != nullptr; }
  bool IsNil() const { return !object && word == Ref::kNil; }
  bool operator==(const Value&) const = default;
};

// Which rule makes a frame's map where the source gives none.
enum class MapRule : uint8_t {
  kFrame,     // a frame of the package: a map of its own, or shared where the part merges maps
  kFunction,  // a function's frame: one map for each list of names
  kArgFrame,  // a function's argFrame: a map of its own
};

struct Object {
  enum Kind : uint8_t { kSymbol, kBinary, kArray, kFrame };
  Kind kind = kArray;
  std::string name;           // kSymbol: its spelling
  std::string bytes;          // kBinary
  Value cls;                  // kBinary, kArray: the class
  std::vector<Value> values;  // kArray: the elements; kFrame: the slot values
  // kFrame: the slot names (symbols), the supermap's first; its map where the
  // source gives one, else the rule's and the flags the map takes (-1: the
  // part's).
  std::vector<Object*> names;
  Object* map = nullptr;
  MapRule rule = MapRule::kFrame;
  int32_t mapFlags = -1;
  // A map that the part may merge with an equal one (a frame constructor's),
  // or instructions, by the part's rules.
  bool mergeable = false;
  bool merged = false;  // merged with an equal one whatever the rules
  int32_t group = 0;    // literals: merged with equal ones of their group
  // A frame constructor's map: the frames it makes (functions written as
  // their frames) have their instructions, their literals merged so.
  bool mergesInstructions = false;
  int32_t mergesLiterals = 0;  // their group
};

// The objects a compilation makes; they live as long as it does. Symbols are
// made once for each spelling.
class Objects {
 public:
  Object* Symbol(std::string_view name);
  Object* New(Object::Kind kind);
  Object* Binary(std::string bytes, Value cls);
  Object* Array(std::vector<Value> elements, Value cls);
  // A frame: names (symbols) and values, its map made by `rule`.
  Object* Frame(std::vector<Object*> names, std::vector<Value> values, MapRule rule = MapRule::kFrame);
  // A frame map: flags as its class, no supermap, the names.
  Object* Map(const std::vector<Object*>& names, int32_t flags, Value supermap = {});
  // UTF-16 text as a string object holds it, with its terminator.
  Object* String(const std::u16string& text);
  Object* Real(double value);
  template <typename Each>
  void ForEach(Each each) {
    for (Object& object : objects) each(object);
  }

 private:
  std::deque<Object> objects;
  std::unordered_map<std::string, Object*> symbols;
};

// Whether an object is a frame map: an array whose class is an integer.
bool IsMap(const Object& object);
// Marks a function frame's instructions, or its literals, to be one object
// with equal ones so marked, whatever the part's rules.
void MergeInstructions(Object& frame);
void MergeLiterals(Object& frame, int32_t group);
// Whether a map, with its supermaps, names these slots in this order.
bool MapNames(const Object& map, const std::vector<Object*>& names);

}  // namespace compiler
