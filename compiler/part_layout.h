#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "compiler/objects.h"
#include "compiler/package_definition.h"

namespace compiler {

// Where the objects of a package's NewtonScript parts lie, as the platform's
// own tools placed them: a part's root array first, then every object the
// first time a depth-first walk from it reaches it (a frame, then its map
// and the map's supermap and names, then its slots' values in order; an
// array or binary, then its class, then its elements), each aligned. A part
// holds one symbol for each name, in any letter case; a frame that the
// source gives no map gets one by the part's rules as it is reached.
class PackageLayout {
 public:
  explicit PackageLayout(Objects& objects) : objects(objects) {}
  // Lays out the part that starts at file offset `start`; returns its size.
  uint32_t AddPart(const PartDefinition& part, uint32_t start);
  // The part's bytes, once every part is laid out.
  std::string PartBytes(size_t part) const;

 private:
  struct Placed {
    const Object* object;
    uint32_t offset;     // in the file
    uint32_t size;       // without padding
    const Object* part;  // for a symbol: the spelling the part holds
  };
  struct Part {
    uint32_t start, end;
    uint32_t alignment;
    uint8_t padding;
    bool foldSymbols;
    std::vector<size_t> placed;  // into `objects`, in order
    Value root;
  };
  using MapKey = std::tuple<int32_t, const Object*, std::vector<std::string>>;

  void Place(const Value& value);
  const Object* Resolved(const Object* object) const;
  std::string IdentityKey(const Object& array) const;
  Object* MapOf(Object* frame);
  Object* SharedMap(const std::vector<Object*>& names, int32_t flags);
  uint32_t Allocate(const Object* object, uint32_t size);
  uint32_t Word(const Value& value, const Part& part) const;
  void Encode(const Placed& placed, const Part& part, std::string& out) const;

  Objects& objects;
  std::vector<Part> parts;
  std::vector<Placed> placed;
  std::unordered_map<const Object*, size_t> where;       // object: its entry in `placed`
  std::unordered_map<const Object*, const Object*> same;  // a map merged into an equal one
  // Of the part being laid out:
  const PartRules* rules = nullptr;
  std::unordered_map<std::string, size_t> symbols;        // by folded name
  std::unordered_map<std::string, std::string> spellings; // by folded name
  std::map<MapKey, Object*> maps;
  std::unordered_map<std::string, const Object*> instructions;  // by their bytes
  std::unordered_map<std::string, const Object*> strings;       // by their bytes
  std::unordered_map<std::string, const Object*> literals;      // by their class and elements
  std::vector<std::unordered_map<std::string, size_t>> partSymbols;
};

}  // namespace compiler
