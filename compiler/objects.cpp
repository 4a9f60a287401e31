#include "compiler/objects.h"

#include <cstring>

#include "objects/symbol.h"
#include "packaging/big_endian.h"

namespace compiler {

Object* Objects::New(Object::Kind kind) {
  Object& object = objects.emplace_back();
  object.kind = kind;
  return &object;
}

Object* Objects::Symbol(std::string_view name) {
  auto [found, fresh] = symbols.try_emplace(std::string(name), nullptr);
  if (fresh) {
    found->second = New(Object::kSymbol);
    found->second->name = name;
  }
  return found->second;
}

Object* Objects::Binary(std::string bytes, Value cls) {
  Object* object = New(Object::kBinary);
  object->bytes = std::move(bytes);
  object->cls = cls;
  return object;
}

Object* Objects::Array(std::vector<Value> elements, Value cls) {
  Object* object = New(Object::kArray);
  object->values = std::move(elements);
  object->cls = cls;
  return object;
}

Object* Objects::Frame(std::vector<Object*> names, std::vector<Value> values, MapRule rule) {
  Object* object = New(Object::kFrame);
  object->names = std::move(names);
  object->values = std::move(values);
  object->rule = rule;
  return object;
}

Object* Objects::Map(const std::vector<Object*>& names, int32_t flags, Value supermap) {
  std::vector<Value> elements = {supermap};
  for (Object* name : names) elements.push_back(Value::Of(name));
  return Array(std::move(elements), Value::Integer(flags));
}

Object* Objects::String(const std::u16string& text) {
  std::string bytes(2 * text.size() + 2, '\0');
  for (size_t k = 0; k < text.size(); ++k) {
    bytes[2 * k] = static_cast<char>(text[k] >> 8);
    bytes[2 * k + 1] = static_cast<char>(text[k] & 0xFF);
  }
  Object* string = Binary(std::move(bytes), Value::Of(Symbol("string")));
  string->mergeable = true;
  return string;
}

Object* Objects::Real(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  std::string bytes(8, '\0');
  StoreBig32(reinterpret_cast<uint8_t*>(bytes.data()), static_cast<uint32_t>(bits >> 32));
  StoreBig32(reinterpret_cast<uint8_t*>(bytes.data()) + 4, static_cast<uint32_t>(bits));
  return Binary(std::move(bytes), Value::Of(Symbol("real")));
}

bool IsMap(const Object& object) {
  return object.kind == Object::kArray && !object.cls.IsObject() && (object.cls.word & 3) == 0;
}

namespace {
Object* SlotObject(Object& frame, const char* name, Object::Kind kind) {
  for (size_t k = 0; k < frame.names.size() && k < frame.values.size(); ++k) {
    Object* value = frame.values[k].object;
    if (NamesEqualIgnoringCase(frame.names[k]->name, name) && value && value->kind == kind) return value;
  }
  return nullptr;
}
}  // namespace

void MergeInstructions(Object& frame) {
  if (Object* code = SlotObject(frame, "instructions", Object::kBinary)) code->mergeable = code->merged = true;
}

void MergeLiterals(Object& frame, int32_t group) {
  if (Object* literals = SlotObject(frame, "literals", Object::kArray)) {
    literals->merged = true;
    literals->group = group;
  }
}

bool MapNames(const Object& map, const std::vector<Object*>& names) {
  std::vector<const Object*> chain;
  for (const Object* at = &map; at && IsMap(*at) && chain.size() <= names.size();
       at = at->values.empty() ? nullptr : at->values[0].object) {
    chain.push_back(at);
  }
  size_t next = 0;
  for (auto map = chain.rbegin(); map != chain.rend(); ++map) {
    for (size_t k = 1; k < (*map)->values.size(); ++k) {
      const Object* name = (*map)->values[k].object;
      if (next >= names.size() || !name || !NamesEqualIgnoringCase(name->name, names[next++]->name)) return false;
    }
  }
  return next == names.size();
}

}  // namespace compiler
