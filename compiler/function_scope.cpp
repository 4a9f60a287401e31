#include "compiler/function_scope.h"

namespace compiler {

int32_t FunctionScope::Find(std::string_view name) const {
  auto found = names.find(FoldedName(name));
  return found == names.end() ? -1 : found->second;
}

int32_t FunctionScope::Declare(std::string_view name, bool argument) {
  auto [found, fresh] = names.try_emplace(FoldedName(name), static_cast<int32_t>(variables.size()));
  if (!fresh) return found->second;
  variables.push_back({std::string(name), argument, false});
  if (argument) ++arguments;
  return found->second;
}

uint32_t FunctionScope::Literal(Value value, bool fresh) {
  uint32_t index = static_cast<uint32_t>(literals.size());
  if (value.IsObject() && value.object->kind == Object::kSymbol) {
    // A function holds a symbol once whatever its case; data as it is spelled.
    auto [found, added] = symbols.try_emplace(frame ? FoldedName(value.object->name) : value.object->name, index);
    if (!added) return found->second;
  } else if (!fresh && value.IsObject()) {
    auto [found, added] = objects.try_emplace(value.object, index);
    if (!added) return found->second;
  } else if (!fresh) {
    auto [found, added] = words.try_emplace(value.word, index);
    if (!added) return found->second;
  }
  literals.push_back(value);
  return index;
}

uint32_t FunctionScope::SymbolLiteral(Objects& objects, std::string_view name) {
  return Literal(Value::Of(objects.Symbol(name)));
}

}  // namespace compiler
