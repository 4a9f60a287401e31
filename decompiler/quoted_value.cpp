#include "decompiler/quoted_value.h"

#include "decompiler/function_frame.h"
#include "decompiler/source_text.h"
#include "objects/symbol.h"

void WriteQuoted(const PrintedTree& tree, const PrintedValue& value, SourceText& out,
                 const std::function<void(const PrintedValue&)>& other) {
  if (out.IsFull()) return;
  if (value.kind == PrintedValue::kBinary) {
    PrintedBinary binary = tree.Binary(value.object);
    if (binary.isSymbol) return out.Put(Identifier(binary.name));
    return other(value);
  }
  if (value.kind == PrintedValue::kFrame) {
    out.Put("{");
    for (int32_t k = 0; k < tree.NumberOfSlots(value.object); ++k) {
      out.Put((k ? ", " : "") + Identifier(tree.SlotName(value.object, k)) + ": ");
      WriteQuoted(tree, tree.SlotValue(value.object, k), out, other);
    }
    return out.Put("}");
  }
  if (value.kind == PrintedValue::kArray) {
    out.Put("[");
    std::optional<std::string_view> cls = SymbolOf(tree, tree.ArrayClass(value.object));
    if (cls && !NamesEqualIgnoringCase(*cls, "Array")) out.Put(Identifier(*cls) + ": ");
    for (int32_t k = 0; k < tree.NumberOfElements(value.object); ++k) {
      if (k) out.Put(", ");
      WriteQuoted(tree, tree.Element(value.object, k), out, other);
    }
    return out.Put("]");
  }
  other(value);
}
