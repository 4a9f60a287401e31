#include "reader/json_values.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <forward_list>
#include <unordered_set>
#include <vector>

#include "objects/ref.h"
#include "objects/symbol.h"
#include "objects/text.h"
#include "packaging/big_endian.h"
#include "decompiler/decompiler.h"
#include "decompiler/source_text.h"
#include "decompiler/value_source.h"
#include "media/picture.h"
#include "media/sound.h"
#include "reader/bitmap.h"
#include "reader/heap_tree.h"

namespace {
const size_t kLongestHex = 63;  // as the listing shows bytes
const int kLargestBitmap = 1024;
const char kDigits[] = "0123456789abcdef";


// A slot name not yet used in its frame: the name, or the name with "#2",
// "#3"... after it where a faulty frame holds it more than once. Most frames
// have a few slots, looked through in a list; a set takes over in large ones.
// Names are compared as the package holds them, before they become UTF-8,
// which changes no two names into one.
class SlotKeys {
 public:
  // The name's bytes must last as long as this.
  std::string_view Next(std::string_view name) {
    if (Take(name)) return name;
    for (int& n = suffixes.try_emplace(std::string(name), 2).first->second;; ++n) {
      made.push_front(std::string(name).append("#").append(std::to_string(n)));
      if (Take(made.front())) return made.front();
      made.pop_front();
    }
  }

 private:
  static constexpr size_t kListed = 32;

  bool Take(std::string_view key) {
    if (!many.empty() || numberListed == kListed) {
      if (many.empty()) {
        for (size_t i = 0; i < numberListed; ++i) many.emplace(listed[i].data, listed[i].size);
      }
      return many.insert(key).second;
    }
    for (size_t i = 0; i < numberListed; ++i) {
      if (std::string_view(listed[i].data, listed[i].size) == key) return false;
    }
    listed[numberListed++] = {key.data(), key.size()};
    return true;
  }

  // Left unset until used: a frame's keys are made far more often than
  // there are many of them.
  struct Listed {
    const char* data;
    size_t size;
  } listed[kListed];
  size_t numberListed = 0;
  std::unordered_set<std::string_view> many;
  std::unordered_map<std::string, int> suffixes;
  std::forward_list<std::string> made;  // the names with suffixes, which stay in place
};
}  // namespace

JsonValues::JsonValues(HeapTree& tree, JsonWriter& json, uint64_t limit, bool functions)
    : tree(tree), json(json), values(std::make_unique<ValueSource>(tree)), limit(limit), functions(functions) {}

JsonValues::~JsonValues() = default;

void JsonValues::Value(const PrintedValue& value, int depth, const void* frame) {
  // Past the limit every value is null, so that what was begun still closes.
  if (json.Written() > limit) cut = true;
  if (cut) return json.Null();
  switch (value.kind) {
    case PrintedValue::kInteger:
      return json.Number(static_cast<int32_t>(value.word) >> 2);
    case PrintedValue::kCharacter: {
      std::string text;
      uint32_t code = value.word >> 4 & 0xFFFF;
      AppendUtf8(text, IsSurrogate(code) ? 0xFFFD : code);
      json.BeginObject();
      json.Key("char");
      json.String(text);
      return json.EndObject();
    }
    case PrintedValue::kImmediate:
      return Immediate(value.word);
    case PrintedValue::kMagicPointer:
      json.BeginObject();
      json.Key("magic");
      json.Number(value.word >> 2);
      return json.EndObject();
    case PrintedValue::kBadPointer:
      json.BeginObject();
      json.Key("bad");
      json.Number(value.word);
      return json.EndObject();
    case PrintedValue::kArray:
      return Array(value, depth);
    case PrintedValue::kFrame:
      return Frame(value, depth);
    case PrintedValue::kBinary:
      return Binary(value, frame);
  }
}

void JsonValues::Immediate(uint32_t word) {
  if (word == Ref::kNil) return json.Null();
  if (word == Ref::kTrue) return json.Bool(true);
  json.BeginObject();
  json.Key("immediate");
  json.Number(word);
  json.EndObject();
}

void JsonValues::OffsetMember(int64_t offset) {
  json.Key("offset");
  json.Number(offset);
}

// As the printer does: one member that names the offset of an array or frame
// that was written before or lies too deep.
bool JsonValues::NamedElsewhere(const PrintedValue& value, int depth) {
  const char* key = !tree.FirstPrinting(value) ? "seen" : depth > kDeepestPrinted ? "deep" : nullptr;
  if (!key) return false;
  json.BeginObject();
  json.Key(key);
  json.Number(value.offset);
  json.EndObject();
  return true;
}

void JsonValues::Array(const PrintedValue& array, int depth) {
  if (NamedElsewhere(array, depth)) return;
  json.BeginObject();
  json.Key("array");
  json.BeginArray();
  for (int32_t i = 0; i < tree.NumberOfElements(array.object) && !cut; ++i) {
    Value(tree.Element(array.object, i), depth + 1);
  }
  json.EndArray();
  PrintedValue arrayClass = tree.Value(static_cast<uint64_t>(array.offset) + 8);
  if (!(arrayClass.kind == PrintedValue::kImmediate && arrayClass.word == Ref::kNil) && !cut) {
    json.Key("class");
    ArrayClass(arrayClass, depth);
  }
  OffsetMember(array.offset);
  json.EndObject();
}

// Real classes are symbols. An array or frame as a class, which the listing
// does not show, is named by its offset alone, so that the values written
// are those the listing shows.
void JsonValues::ArrayClass(const PrintedValue& arrayClass, int depth) {
  if (arrayClass.kind != PrintedValue::kArray && arrayClass.kind != PrintedValue::kFrame) {
    return Value(arrayClass, depth + 1);
  }
  json.BeginObject();
  OffsetMember(arrayClass.offset);
  json.EndObject();
}

void JsonValues::Frame(const PrintedValue& frame, int depth) {
  if (NamedElsewhere(frame, depth)) return;
  std::string source;
  Decompiler* function = functions && IsFunctionFrame(tree, frame) && !cut ? BeginFunction(frame, source) : nullptr;
  json.BeginObject();
  json.Key("frame");
  json.BeginObject();
  SlotKeys keys;
  for (int32_t i = 0; i < tree.NumberOfSlots(frame.object) && !cut; ++i) {
    std::string_view name = tree.SlotName(frame.object, i);
    json.Latin1Key(keys.Next(name.data() == HeapTree::kNilName ? "" : name));
    Value(tree.SlotValue(frame.object, i), depth + 2, frame.object);
  }
  json.EndObject();
  OffsetMember(frame.offset);
  if (function) {
    json.Key("function");
    std::optional<int64_t> inside = values->WrittenInside(frame.object);
    FunctionJson(json, *function, inside ? nullptr : &source, inside.value_or(-1), false);
    --nesting;
  }
  json.EndObject();
}

// Its source, before the frame's slots: the functions in its literals are
// written inside it, and their own JSON then names it.
Decompiler* JsonValues::BeginFunction(const PrintedValue& frame, std::string& source) {
  if (nesting == decompilers.size()) decompilers.push_back(std::make_unique<Decompiler>(tree));
  Decompiler& function = *decompilers[nesting++];
  function.Read(frame);
  if (!values->WrittenInside(frame.object)) {
    SourceText text(tree.SourceLimit());
    values->BeginFunction(frame);
    function.Print(text, *values, 0);
    source = std::move(text).Text();
  }
  return &function;
}

void FunctionJson(HeapTree& tree, JsonWriter& json, const PrintedValue& frame, bool disassembly) {
  Decompiler function(tree, frame);
  SourceText text(tree.SourceLimit());
  ValueSource values(tree);
  function.Print(text, values, 0);
  FunctionJson(json, function, &text.Text(), -1, disassembly);
}

void FunctionJson(JsonWriter& json, const Decompiler& function, const std::string* source, int64_t sourceIn,
                  bool disassembly) {
  // Each instruction's name, quoted, in room of a size that the compiler
  // copies without looking at the length.
  struct QuotedName {
    char text[32];
    size_t length;
  };
  static const auto kQuotedNames = [] {
    std::array<QuotedName, static_cast<size_t>(Op::kNewHandlers) + 1> names{};
    for (size_t op = 0; op < names.size(); ++op) {
      std::string quoted = std::string(",\"").append(OpName(static_cast<Op>(op))).append("\"");
      names[op].length = std::min(quoted.size(), sizeof names[op].text);  // the longest is 26
      std::copy_n(quoted.begin(), names[op].length, names[op].text);
    }
    return names;
  }();
  auto names = [&](const std::vector<std::string>& list) {
    json.BeginArray();
    for (const std::string& name : list) json.Latin1String(name);
    json.EndArray();
  };
  json.BeginObject();
  json.Key("format");
  json.String(function.Function().format == FunctionFrame::kNos1 ? "nos1" : "nos2");
  json.Key("args");
  names(function.ArgumentNames());
  json.Key("locals");
  names(function.LocalNames());
  json.Key("code");
  json.BeginArray();
  // [pc,"name"] or [pc,"name",B], made in place: there are many.
  for (const Instruction& ins : function.Code()) {
    json.Verbatim(64, [&](char* out) {
      const QuotedName& name = kQuotedNames[static_cast<size_t>(ins.op)];
      *out++ = '[';
      out = std::to_chars(out, out + 10, ins.pc).ptr;
      std::memcpy(out, name.text, sizeof name.text);
      out += name.length;
      if (ins.HasOperand()) *out++ = ',', out = std::to_chars(out, out + 5, ins.b).ptr;
      *out++ = ']';
      return out;
    });
  }
  json.EndArray();
  json.Key("source");
  if (source) {
    json.String(*source);
  } else {
    json.Null();
    json.Key("sourceIn");
    json.Number(sourceIn);
  }
  json.Key("notes");
  names(function.Notes());
  if (disassembly) {
    json.Key("disassembly");
    json.BeginArray();
    for (const Instruction& ins : function.Code()) json.Latin1String(function.Disassembly(ins));
    json.EndArray();
  }
  json.EndObject();
}

void JsonValues::Binary(const PrintedValue& value, const void* frame) {
  PrintedBinary binary = tree.Binary(value.object);
  json.BeginObject();
  if (binary.isSymbol) {
    json.Key("symbol");
    json.Latin1String(binary.name);
  } else if (IsStringClass(binary.className)) {
    json.Key("string");
    json.String(Utf16ToUtf8(binary.bytes, binary.length));
    OffsetMember(value.offset);
  } else if (NamesEqualIgnoringCase(binary.className, "real") && binary.length == 8) {
    json.Key("real");
    json.Real(LoadBigDouble(binary.bytes));
  } else {
    json.Key("binary");
    json.BeginObject();
    json.Key("class");
    if (binary.className.empty()) {
      json.Null();
    } else {
      json.Latin1String(binary.className);
    }
    json.Key("size");
    json.Number(static_cast<int64_t>(binary.length));
    OffsetMember(value.offset);
    if (binary.length <= kLongestHex) {
      json.Key("hex");
      json.PlainString(HexText(binary.bytes, binary.length));
    }
    std::optional<Bitmap> bitmap = tree.BitmapOf(value.object, frame);
    if (bitmap && bitmap->Width() <= kLargestBitmap && bitmap->Height() <= kLargestBitmap) {
      BitmapRows(*bitmap);
    }
    Media(binary, frame);
    json.EndObject();
  }
  json.EndObject();
}

// What a sound or a picture holds, as the report's line under it says.
void JsonValues::Media(const PrintedBinary& binary, const void* frame) {
  if (std::optional<Sound> sound = SoundOf(tree, frame, binary); sound && !sound->compressed) {
    json.Key("sound");
    json.BeginObject();
    json.Key("rate");
    json.Number(sound->rate);
    json.Key("bits");
    json.Number(sound->bits);
    json.Key("channels");
    json.Number(1);
    json.Key("frames");
    json.Number(static_cast<int64_t>(sound->frames));
    json.EndObject();
  }
  if (!NamesEqualIgnoringCase(binary.className, "picture")) return;
  QdPicture picture = DecodePicture(binary.bytes, binary.length, false);
  json.Key("picture");
  json.BeginObject();
  json.Key("bounds");
  json.BeginArray();
  for (int edge : {picture.frame.top, picture.frame.left, picture.frame.bottom, picture.frame.right}) {
    json.Number(edge);
  }
  json.EndArray();
  json.Key("decoded");
  json.Bool(picture.decoded);
  json.EndObject();
}

void JsonValues::BitmapRows(const Bitmap& bitmap) {
  json.Key("bitmap");
  json.BeginObject();
  json.Key("width");
  json.Number(bitmap.Width());
  json.Key("height");
  json.Number(bitmap.Height());
  json.Key("depth");
  json.Number(bitmap.Depth());
  json.Key("rows");
  json.BeginArray();
  std::string row;
  for (int y = 0; y < bitmap.Height(); ++y) {
    row.clear();
    for (int x = 0; x < bitmap.Width(); ++x) {
      unsigned pixel = bitmap.Pixel(x, y);
      if (bitmap.Depth() == 8) row += kDigits[pixel >> 4];
      row += kDigits[pixel & 0xF];
    }
    json.String(row);
  }
  json.EndArray();
  json.EndObject();
}
