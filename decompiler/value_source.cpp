#include "decompiler/value_source.h"

#include <cmath>

#include "decompiler/decompiler.h"
#include "decompiler/function_frame.h"
#include "decompiler/quoted_value.h"
#include "decompiler/source_text.h"
#include "objects/ref.h"
#include "objects/symbol.h"
#include "objects/text.h"
#include "packaging/big_endian.h"

namespace {
std::string HexWord(uint32_t word) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", word);
  return text;
}

bool IsString(const PrintedBinary& binary) {
  return !binary.isSymbol && IsStringClass(binary.className);
}

bool IsReal(const PrintedBinary& binary) {
  return !binary.isSymbol && NamesEqualIgnoringCase(binary.className, "real") && binary.length == 8 &&
         std::isfinite(LoadBigDouble(binary.bytes));
}

}  // namespace

std::string ValueSource::Place() const { return path.empty() ? "the top" : path; }

std::string ValueSource::Hex(int64_t offset) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<long long>(offset));
  return text;
}

// Integers, characters, immediates, magic pointers: the same quoted or not.
std::string ValueSource::Scalar(const PrintedValue& value) const {
  switch (value.kind) {
    case PrintedValue::kInteger:
      return std::to_string(static_cast<int32_t>(value.word) >> 2);
    case PrintedValue::kCharacter:
      return CharacterLiteral(value.word >> 4 & 0xFFFF);
    case PrintedValue::kMagicPointer:
      return Concat({"@", std::to_string(value.word >> 2)});
    case PrintedValue::kImmediate:
      if (value.word == Ref::kNil) return "nil";
      if (value.word == Ref::kTrue) return "true";
      return "nil /* the immediate " + HexWord(value.word) + " */";
    case PrintedValue::kBadPointer:
      return "nil /* a bad pointer, " + HexWord(value.word) + " */";
    default:
      return {};
  }
}

bool ValueSource::WrittenBefore(const PrintedValue& value, SourceText& out, int depth) {
  if (out.IsFull()) return true;
  if (inCode && open.count(value.object)) {
    out.Put("nil /* a cycle back to a value that holds this one */");
    return true;
  }
  // In code a literal is named by its offset: it has no path of its own.
  auto [place, first] = places.try_emplace(value.object, inCode ? Hex(value.offset) : Place());
  if (!first) {
    out.Put("nil /* written above, at " + place->second + " */");
    return true;
  }
  if (inCode && value.kind == PrintedValue::kFrame) inside.emplace(value.object, outermost);
  if (depth > kDeepestPrinted) {
    out.Put("nil /* nested too deep */");
    return true;
  }
  return false;
}

void ValueSource::Value(const PrintedValue& value, SourceText& out, int depth, const void* frame) {
  switch (value.kind) {
    case PrintedValue::kFrame: case PrintedValue::kArray:
      if (WrittenBefore(value, out, depth)) return;
      open.insert(value.object);
      Composite(value, out, depth, frame);
      open.erase(value.object);
      return;
    case PrintedValue::kBinary:
      return Binary(value, out, frame);
    default:
      out.Put(Scalar(value));
  }
}

ValueSource::ValueSource(const PrintedTree& tree) : tree(tree) {}

void ValueSource::Immediate(uint32_t word, SourceText& out, int depth) { Value(ImmediateValue(word), out, depth); }

void ValueSource::BeginFunction(const PrintedValue& frame) {
  places.try_emplace(frame.object, Hex(frame.offset));
  outermost = frame.offset;
}

std::optional<int64_t> ValueSource::WrittenInside(const void* frame) const {
  auto found = inside.find(frame);
  if (found == inside.end()) return std::nullopt;
  return found->second;
}

ValueSource::~ValueSource() = default;

void ValueSource::Composite(const PrintedValue& value, SourceText& out, int depth, const void* frame) {
  if (value.kind == PrintedValue::kArray) return Array(value, out, depth);
  if (!IsFunctionFrame(tree, value)) return Frame(value, out, depth);
  while (decompilers.size() <= static_cast<size_t>(inCode)) decompilers.push_back(std::make_unique<Decompiler>(tree));
  Decompiler& function = *decompilers[inCode];
  function.Read(value);
  // The function's literals are written wherever its code uses them.
  ++inCode;
  function.Print(out, *this, depth);
  --inCode;
  (void)frame;
}

void ValueSource::Frame(const PrintedValue& frame, SourceText& out, int depth) {
  int32_t count = tree.NumberOfSlots(frame.object);
  if (count == 0) return out.Put("{}");
  out.Put("{");
  out.Indent();
  for (int32_t i = 0; i < count && !out.IsFull(); ++i) {
    size_t mark = path.size();
    path += '.';
    AppendIdentifier(path, tree.SlotName(frame.object, i));
    out.NewLine();
    out.Put(std::string_view(path).substr(mark + 1));
    out.Put(": ");
    Value(tree.SlotValue(frame.object, i), out, depth + 1, frame.object);
    path.resize(mark);
    if (i + 1 < count) out.Put(",");
  }
  out.Outdent();
  out.NewLine();
  out.Put("}");
}

void ValueSource::Array(const PrintedValue& array, SourceText& out, int depth) {
  int32_t count = tree.NumberOfElements(array.object);
  std::string prefix = "[";
  std::optional<std::string_view> name = SymbolOf(tree, tree.ArrayClass(array.object));
  if (name && !NamesEqualIgnoringCase(*name, "Array")) prefix += Identifier(*name) + ": ";
  bool lines = false;
  for (int32_t i = 0; i < count && !lines; ++i) {
    PrintedValue::Kind kind = tree.Element(array.object, i).kind;
    lines = kind == PrintedValue::kArray || kind == PrintedValue::kFrame || kind == PrintedValue::kBinary;
  }
  out.Put(prefix);
  if (lines) out.Indent();
  for (int32_t i = 0; i < count && !out.IsFull(); ++i) {
    if (lines) out.NewLine();
    size_t mark = path.size();
    char step[16];
    path.append(step, std::snprintf(step, sizeof step, "[%d]", i));
    Value(tree.Element(array.object, i), out, depth + 1);
    path.resize(mark);
    if (i + 1 < count) out.Put(lines ? "," : ", ");
  }
  if (lines) {
    out.Outdent();
    out.NewLine();
  }
  out.Put("]");
}

void ValueSource::Binary(const PrintedValue& value, SourceText& out, const void* frame) {
  PrintedBinary binary = tree.Binary(value.object);
  if (binary.isSymbol) return out.Put(Concat({"'", Identifier(binary.name)}));
  if (IsString(binary)) return out.Put(StringLiteral(binary.bytes, binary.length));
  if (IsReal(binary)) return out.Put(RealLiteral(LoadBigDouble(binary.bytes)));
  if (WrittenBefore(value, out, 0)) return;
  std::string hex = HexText(binary.bytes, binary.length);
  std::string cls = binary.className.empty() ? "nil" : Concat({"'", Identifier(binary.className)});
  out.Put(Concat({"MakeBinaryFromHex(\"", hex, "\", ", cls, ") /* ", std::to_string(binary.length), " bytes"}));
  std::vector<std::string> picture = tree.Picture(value.object, frame);
  if (!picture.empty()) {
    out.Put(":");
    for (const std::string& row : picture) {
      out.NewLine();
      out.Put(row);
    }
    out.NewLine();
  } else {
    out.Put(" ");
  }
  out.Put("*/");
}

void ValueSource::Literal(const PrintedValue& value, SourceText& out, int depth) {
  std::unordered_set<const void*> seen;
  ++inCode;
  if ((value.kind == PrintedValue::kArray || value.kind == PrintedValue::kFrame) &&
      Quotable(value, depth, seen)) {
    if (!WrittenBefore(value, out, depth)) {
      out.Put("'");
      Quoted(value, out);
    }
  } else {
    Value(value, out, depth);
  }
  --inCode;
}

// Each array and frame once: one reached twice is written in expression form,
// where the second is named, so the walk stays linear in the objects.
bool ValueSource::Quotable(const PrintedValue& value, int depth,
                           std::unordered_set<const void*>& seen) const {
  if (depth > kDeepestPrinted) return false;
  switch (value.kind) {
    case PrintedValue::kInteger: case PrintedValue::kCharacter:
      return true;
    case PrintedValue::kImmediate:
      return value.word == Ref::kNil || value.word == Ref::kTrue;
    case PrintedValue::kBinary: {
      PrintedBinary binary = tree.Binary(value.object);
      return binary.isSymbol || IsString(binary) || IsReal(binary);
    }
    case PrintedValue::kArray: {
      if (!seen.insert(value.object).second) return false;
      PrintedValue cls = tree.ArrayClass(value.object);
      if (!SymbolOf(tree, cls) && !(cls.kind == PrintedValue::kImmediate && cls.word == Ref::kNil)) return false;
      for (int32_t i = 0; i < tree.NumberOfElements(value.object); ++i) {
        if (!Quotable(tree.Element(value.object, i), depth + 1, seen)) return false;
      }
      return true;
    }
    case PrintedValue::kFrame: {
      if (!seen.insert(value.object).second || IsFunctionFrame(tree, value)) {
        return false;
      }
      for (int32_t i = 0; i < tree.NumberOfSlots(value.object); ++i) {
        if (!Quotable(tree.SlotValue(value.object, i), depth + 1, seen)) return false;
      }
      return true;
    }
    default:
      return false;
  }
}

void ValueSource::Quoted(const PrintedValue& value, SourceText& out) {
  WriteQuoted(tree, value, out, [&](const PrintedValue& other) {
    if (other.kind == PrintedValue::kBinary) return Value(other, out, 0);
    out.Put(Scalar(other));
  });
}
