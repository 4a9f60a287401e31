#include "compiler/part_layout.h"

#include <functional>

#include "objects/symbol.h"
#include "packaging/big_endian.h"

namespace compiler {

namespace {
const uint32_t kHeader = 12;
const uint8_t kBinaryFlags = 0x40, kArrayFlags = 0x41, kFrameFlags = 0x43;
const uint32_t kProtoFlag = 4;

uint32_t SizeOf(const Object& object) {
  switch (object.kind) {
    case Object::kSymbol:
      return kHeader + 4 + static_cast<uint32_t>(object.name.size()) + 1;
    case Object::kBinary:
      return kHeader + static_cast<uint32_t>(object.bytes.size());
    default:
      return kHeader + 4 * static_cast<uint32_t>(object.values.size());
  }
}

bool HasProto(const std::vector<Object*>& names) {
  for (const Object* name : names) {
    if (NamesEqualIgnoringCase(name->name, "_proto")) return true;
  }
  return false;
}
}  // namespace

uint32_t PackageLayout::Allocate(const Object* object, uint32_t size) {
  Part& part = parts.back();
  uint32_t at = part.end;
  part.placed.push_back(placed.size());
  placed.push_back({object, at, size, nullptr});
  uint32_t padded = (size + part.alignment - 1) / part.alignment * part.alignment;
  part.end = at + padded;
  return at;
}

const Object* PackageLayout::Resolved(const Object* object) const {
  auto found = same.find(object);
  return found == same.end() ? object : found->second;
}

uint32_t PackageLayout::AddPart(const PartDefinition& part, uint32_t start) {
  parts.push_back({start, start, part.rules.alignment, part.rules.padding, part.rules.foldSymbols, {}, part.root});
  rules = &part.rules;
  symbols.clear();
  spellings.clear();
  maps.clear();
  instructions.clear();
  strings.clear();
  literals.clear();
  for (const std::string& spelling : part.rules.spellings) spellings[FoldedName(spelling)] = spelling;
  // The root array: 16 bytes, its class NIL and its one element the value;
  // or the value itself.
  if (!part.rootArray) Allocate(nullptr, 16);
  Place(part.root);
  partSymbols.push_back(symbols);
  return parts.back().end - start;
}

// An array's group and contents: words, symbols by which they are, other
// objects by their contents (a function's literals are its own objects)
// to a depth, past which by which they are.
std::string PackageLayout::IdentityKey(const Object& array) const {
  std::string key = std::to_string(array.group);
  auto word = [&](const void* pointer, uint32_t bits, char tag) {
    uintptr_t value = pointer ? reinterpret_cast<uintptr_t>(pointer) : bits;
    key.append(reinterpret_cast<const char*>(&value), sizeof value).push_back(tag);
  };
  std::function<void(const Value&, int)> add = [&](const Value& value, int depth) {
    const Object* object = value.object ? Resolved(value.object) : nullptr;
    if (!object) return word(nullptr, value.word, 'w');
    if (object->kind == Object::kSymbol || depth > 8) return word(object, 0, 'o');
    key += object->kind == Object::kBinary ? 'b' : object->kind == Object::kArray ? 'a' : 'f';
    add(object->cls, depth + 1);
    if (object->kind == Object::kBinary) {
      key += std::to_string(object->bytes.size()) + ':' + object->bytes;
      return;
    }
    for (const Object* name : object->names) word(name, 0, 'n');
    key += std::to_string(object->values.size()) + ':';
    for (const Value& each : object->values) add(each, depth + 1);
  };
  add(Value::Of(const_cast<Object*>(&array)), 0);
  return key;
}

void PackageLayout::Place(const Value& value) {
  if (!value.object) return;
  // A walk of its own, depth first, so that a long chain cannot exhaust the
  // stack: each object's class or map and values are placed in order after it.
  std::vector<std::pair<const Object*, size_t>> stack;
  auto place = [&](const Object* object) -> bool {
    object = Resolved(object);
    if (object->kind == Object::kSymbol) {
      std::string folded = rules->foldSymbols ? FoldedName(object->name) : object->name;
      if (symbols.count(folded)) return false;
      auto spelled = spellings.find(FoldedName(object->name));
      const Object* symbol = spelled == spellings.end() ? object : objects.Symbol(spelled->second);
      symbols[folded] = placed.size();
      Allocate(symbol, SizeOf(*symbol));
      return false;
    }
    if (where.count(object)) return false;
    if (object->mergeable && object->kind == Object::kBinary) {
      // Strings written in the source, or instructions.
      bool string = object->cls.IsObject() && NamesEqualIgnoringCase(object->cls.object->name, "string");
      if (string ? rules->mergeStrings : rules->mergeInstructions || object->merged) {
        auto [found, fresh] = (string ? strings : instructions).try_emplace(object->bytes, object);
        if (!fresh) {
          same[object] = found->second;
          return false;
        }
      }
    }
    if (object->merged && object->kind == Object::kArray) {
      // Literals: equal where they hold the same objects and words.
      auto [found, fresh] = literals.try_emplace(IdentityKey(*object), object);
      if (!fresh) {
        same[object] = found->second;
        return false;
      }
    }
    if (object->mergeable && object->kind == Object::kArray && rules->mergeMaps) {
      std::vector<std::string> names;
      for (size_t k = 1; k < object->values.size(); ++k) {
        names.push_back(object->values[k].object ? FoldedName(object->values[k].object->name) : std::string());
      }
      MapKey key{static_cast<int32_t>(object->cls.word >> 2), object->values[0].object, names};
      auto [found, fresh] = maps.try_emplace(key, const_cast<Object*>(object));
      if (!fresh) {
        same[object] = found->second;
        return false;
      }
    }
    where[object] = placed.size();
    Allocate(object, SizeOf(*object));
    return true;
  };
  if (!place(value.object)) return;
  stack.push_back({Resolved(value.object), 0});
  while (!stack.empty()) {
    auto& [object, next] = stack.back();
    // Step 0 is the class (or map); then the values in order.
    const Object* current = object;
    size_t step = next++;
    Value child;
    if (step == 0) {
      if (current->kind == Object::kFrame) {
        child = Value::Of(MapOf(const_cast<Object*>(current)));
      } else if (current->kind != Object::kSymbol) {
        child = current->cls;
      }
    } else if (current->kind != Object::kBinary && current->kind != Object::kSymbol &&
               step - 1 < current->values.size()) {
      child = current->values[step - 1];
    } else {
      stack.pop_back();
      continue;
    }
    if (child.object && place(child.object)) stack.push_back({Resolved(child.object), 0});
  }
}

// A frame's map: the source's, or one the part's rules make: flags (4 with
// _proto, where the source gives none), and shared with every equal one
// where the rules say so.
Object* PackageLayout::MapOf(Object* frame) {
  if (frame->map) return frame->map;
  int32_t flags = frame->mapFlags;
  bool given = flags >= 0;
  bool shared = rules->mergeMaps;
  switch (frame->rule) {
    case MapRule::kFrame:
      if (flags < 0) flags = rules->mapFlags;
      break;
    case MapRule::kFunction:
      if (flags < 0) flags = rules->functionMapFlags;
      shared = shared || rules->sharedFunctionMaps;
      break;
    case MapRule::kArgFrame:
      if (flags < 0) flags = rules->argFrameMapFlags;
      break;
  }
  if (!given && HasProto(frame->names)) flags |= kProtoFlag;
  frame->map = shared ? SharedMap(frame->names, flags) : objects.Map(frame->names, flags);
  return frame->map;
}

Object* PackageLayout::SharedMap(const std::vector<Object*>& names, int32_t flags) {
  std::vector<std::string> folded;
  for (const Object* name : names) folded.push_back(FoldedName(name->name));
  auto [found, fresh] = maps.try_emplace(MapKey{flags, nullptr, folded}, nullptr);
  if (fresh) found->second = objects.Map(names, flags);
  return found->second;
}

// A Ref as the file holds it: a pointer is the file offset plus one.
uint32_t PackageLayout::Word(const Value& value, const Part& part) const {
  if (!value.object) return value.word;
  const Object* object = Resolved(value.object);
  if (object->kind == Object::kSymbol) {
    size_t index = static_cast<size_t>(&part - parts.data());
    return placed[partSymbols[index].at(part.foldSymbols ? FoldedName(object->name) : object->name)].offset + 1;
  }
  return placed[where.at(object)].offset + 1;
}

void PackageLayout::Encode(const Placed& entry, const Part& part, std::string& out) const {
  uint8_t header[kHeader];
  auto word = [&](uint32_t value) {
    uint8_t bytes[4];
    StoreBig32(bytes, value);
    out.append(reinterpret_cast<const char*>(bytes), 4);
  };
  const Object* object = entry.object;
  // The root array's second word tells the part's alignment.
  uint32_t second = entry.offset == part.start ? (part.alignment == 4 ? 1 : 0) : 0;
  if (!object) {
    word(16 << 8 | kArrayFlags);
    word(second);
    word(Ref::kNil);
    word(Word(part.root, part));
    return;
  }
  uint8_t flags = object->kind == Object::kFrame ? kFrameFlags : object->kind == Object::kArray ? kArrayFlags
                                                                                                : kBinaryFlags;
  StoreBig32(header, entry.size << 8 | flags);
  StoreBig32(header + 4, second);
  switch (object->kind) {
    case Object::kSymbol:
      StoreBig32(header + 8, Ref::kClassSymbol);
      break;
    case Object::kFrame:
      StoreBig32(header + 8, Word(Value::Of(object->map), part));
      break;
    default:
      StoreBig32(header + 8, Word(object->cls, part));
  }
  out.append(reinterpret_cast<const char*>(header), kHeader);
  switch (object->kind) {
    case Object::kSymbol:
      word(SymbolHash(object->name.c_str()));
      out += object->name;
      out += '\0';
      break;
    case Object::kBinary:
      out += object->bytes;
      break;
    default:
      for (const Value& value : object->values) word(Word(value, part));
  }
}

std::string PackageLayout::PartBytes(size_t index) const {
  const Part& part = parts[index];
  std::string out;
  out.reserve(part.end - part.start);
  for (size_t at : part.placed) {
    const Placed& entry = placed[at];
    Encode(entry, part, out);
    out.resize(entry.offset + ((entry.size + part.alignment - 1) / part.alignment * part.alignment) - part.start,
               static_cast<char>(part.padding));
  }
  return out;
}

}  // namespace compiler
