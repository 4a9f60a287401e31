#include "objects/tree_printer.h"

#include <algorithm>
#include <cstring>

#include "objects/ref.h"
#include "objects/symbol.h"
#include "objects/text.h"
#include "packaging/big_endian.h"

namespace {

// Binaries of 64 bytes or more are too long to be worth listing.
const size_t kLongestListedBinary = 63;

std::string Hex(uint64_t value, int digits = 0) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%0*llx", digits, static_cast<unsigned long long>(value));
  return text;
}

// A character as text, escaped where it would not show.
void AppendEscaped(std::string& text, uint32_t code, char quote) {
  static const std::pair<uint32_t, const char*> kEscapes[] = {
      {'\n', "\\n"}, {'\t', "\\t"}, {'\r', "\\r"}, {'\\', "\\\\"}};
  for (const auto& [escaped, escape] : kEscapes) {
    if (code == escaped) {
      text += escape;
      return;
    }
  }
  if (code == static_cast<uint32_t>(quote)) {
    text += '\\';
    text += quote;
  } else if (code < 0x20 || code == 0x7F || IsSurrogate(code)) {
    char escape[16];
    std::snprintf(escape, sizeof escape, "\\u%04X", code);
    text += escape;
  } else {
    AppendUtf8(text, code);
  }
}

std::string Join(std::initializer_list<std::string_view> pieces) {
  std::string text;
  for (std::string_view piece : pieces) text += piece;
  return text;
}

}  // namespace

std::string QuotedUtf16(const uint8_t* bytes, size_t length) {
  std::string text = "\"";
  ForEachUtf16(bytes, length, [&](uint32_t code) { AppendEscaped(text, code, '"'); });
  return text + "\"";
}

std::string QuotedLatin1(const uint8_t* bytes, size_t length) {
  std::string text = "\"";
  for (size_t i = 0; i < length; ++i) AppendEscaped(text, bytes[i], '"');
  return text + "\"";
}

void TreePrinter::Print(const PrintedValue& value, int depth, const void* frame) {
  if (cut) return;
  switch (value.kind) {
    case PrintedValue::kInteger:
      Line(depth, std::to_string(static_cast<int32_t>(value.word) >> 2));
      break;
    case PrintedValue::kFrame:
      PrintFrame(value, depth);
      break;
    case PrintedValue::kArray:
      PrintArray(value, depth);
      break;
    case PrintedValue::kBinary:
      PrintBinary(value, frame, depth);
      break;
    case PrintedValue::kCharacter:
      if (style == PrintStyle::kBuild) {
        Line(depth, "<NO CHARACTER>");
      } else {
        std::string text = "$";
        AppendEscaped(text, value.word >> 4 & 0xFFFF, ' ');
        Line(depth, text);
      }
      break;
    case PrintedValue::kImmediate:
      PrintImmediate(value.word, depth);
      break;
    case PrintedValue::kMagicPointer:
      Line(depth, style == PrintStyle::kBuild ? "<NO MAGIC POINTER>"
                                              : Join({"@", std::to_string(value.word >> 2)}));
      break;
    case PrintedValue::kBadPointer:
      Line(depth, Join({"<bad pointer ", Hex(value.word, 8), ">"}));
      break;
  }
}

void TreePrinter::PrintFrame(const PrintedValue& frame, int depth) {
  if (PrintedElsewhere(frame, "frame", depth)) return;
  if (style == PrintStyle::kReport) {
    std::string source = tree.Source(frame);
    for (std::string_view rest = source; !rest.empty();) {
      size_t end = std::min(rest.find('\n'), rest.size());
      Line(depth, rest.substr(0, end));
      rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    if (!source.empty()) return;
  }
  Line(depth, "{");
  int32_t count = tree.NumberOfSlots(frame.object);
  for (int32_t i = 0; i < count; ++i) {
    Line(depth + 1, Join({tree.SlotName(frame.object, i), ": "}));
    Print(tree.SlotValue(frame.object, i), depth + 2, frame.object);
  }
  Line(depth, "}");
}

void TreePrinter::PrintArray(const PrintedValue& array, int depth) {
  if (PrintedElsewhere(array, "array", depth)) return;
  Line(depth, "[");
  int32_t count = tree.NumberOfElements(array.object);
  for (int32_t i = 0; i < count; ++i) Print(tree.Element(array.object, i), depth + 1);
  Line(depth, "]");
}

bool TreePrinter::PrintedElsewhere(const PrintedValue& value, const char* kind, int depth) {
  if (!tree.FirstPrinting(value)) {
    Line(depth, Join({"<", kind, " at ", Hex(value.offset), ", printed above>"}));
    return true;
  }
  if (depth > kDeepestPrinted) {
    Line(depth, Join({"<", kind, " at ", Hex(value.offset), ", nested too deep>"}));
    return true;
  }
  return false;
}

void TreePrinter::PrintBinary(const PrintedValue& value, const void* frame, int depth) {
  PrintedBinary binary = tree.Binary(value.object);
  if (binary.isSymbol) {
    char hash[16];
    std::snprintf(hash, sizeof hash, " (0x%08x)", binary.hashWord);
    Line(depth, Join({"'", binary.name, hash}));
  } else if (style == PrintStyle::kBuild ? NamesEqualIgnoringCase(binary.className, "string")
                                          : IsStringClass(binary.className)) {
    Line(depth, style == PrintStyle::kBuild ? "\"<UNICODE STRING - no display code>\""
                                            : QuotedUtf16(binary.bytes, binary.length));
  } else if (style == PrintStyle::kReport && NamesEqualIgnoringCase(binary.className, "real") &&
             binary.length == 8) {
    Line(depth, RealText(LoadBigDouble(binary.bytes)));
  } else {
    std::string line = Join({"// BINARY OBJECT, size=", std::to_string(binary.length)});
    // The report also names the class, which tells what the bytes are.
    if (style == PrintStyle::kReport && !binary.className.empty()) {
      line += Join({", class ", binary.className});
    }
    Line(depth, line);
    std::vector<std::string> picture;
    if (style == PrintStyle::kReport) {
      std::string description = tree.Description(value.object, frame);
      if (!description.empty()) Line(depth, "// " + description);
      picture = tree.Picture(value.object, frame);
    }
    for (const std::string& row : picture) Line(depth, row);
    if (!picture.empty()) return;
    if (binary.length <= kLongestListedBinary) {
      PrintBytes(binary.bytes, binary.length, depth);
    } else {
      Line(depth, "Dump skipped!");
    }
  }
}

// Lines of 16 bytes, each byte two hex digits and a space.
void TreePrinter::PrintBytes(const uint8_t* bytes, size_t length, int depth) {
  static const char kDigits[] = "0123456789abcdef";
  for (size_t start = 0; start < length; start += 16) {
    char line[3 + 3 * 16] = "// ";
    char* next = line + 3;
    for (size_t k = start; k < length && k < start + 16; ++k) {
      *next++ = kDigits[bytes[k] >> 4];
      *next++ = kDigits[bytes[k] & 0xF];
      *next++ = ' ';
    }
    Line(depth, std::string_view(line, next - line));
  }
}

void TreePrinter::PrintImmediate(uint32_t word, int depth) {
  static const std::pair<uint32_t, const char*> kNames[] = {
      {Ref::kNil, "NIL"},
      {Ref::kTrue, "TRUE"},
      {Ref::kCodeBlockClass, "(IsCode)"},
      {Ref::kNativeFunctionClass, "(IsNative)"},
      {Ref::kClassSymbol, "(kClassSymbol)"},
  };
  for (const auto& [immediate, name] : kNames) {
    if (word == immediate) return Line(depth, name);
  }
  Line(depth, Join({"<IMMEDIATE ", Hex(word, 8), ">"}));
}

void TreePrinter::Line(int depth, std::string_view text) {
  line.assign(depth > 0 ? 4 * static_cast<size_t>(depth) : 0, ' ');
  line += text;
  line += '\n';
  if (cut) return;
  if (line.size() > left) {
    cut = true;
    line = "<the listing is cut short here: it would be far larger than the file>\n";
  }
  left -= std::min<uint64_t>(left, line.size());
  std::fwrite(line.data(), 1, line.size(), out);
}
