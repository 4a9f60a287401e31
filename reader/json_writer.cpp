#include "reader/json_writer.h"

#include <charconv>
#include <cmath>

#include "objects/text.h"

namespace {
// Bytes that a string holds as they are: printable ASCII but the quote and
// the backslash.
struct PlainBytes {
  bool plain[256] = {};
  constexpr PlainBytes() {
    for (int c = 0x20; c < 0x80; ++c) plain[c] = c != '"' && c != '\\';
  }
};
constexpr PlainBytes kPlain;

// The length of the well-formed UTF-8 character at the start of `text`, or 0.
size_t CharacterLength(std::string_view text) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(0);
  size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                                : lead >= 0xF0 && lead < 0xF5 ? 4 : 0;
  if (length == 0 || length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
  }
  // Overlong forms, surrogates and code points past U+10FFFF.
  if (length == 3 && ((lead == 0xE0 && byte(1) < 0xA0) || (lead == 0xED && byte(1) >= 0xA0)))
    return 0;
  if (length == 4 && ((lead == 0xF0 && byte(1) < 0x90) || (lead == 0xF4 && byte(1) >= 0x90)))
    return 0;
  return length;
}
}  // namespace

void JsonWriter::Key(std::string_view name) {
  BeforeValue();
  Quoted(name);
  buffer += ':';
  follows = false;
}

void JsonWriter::String(std::string_view text) {
  BeforeValue();
  Quoted(text);
}

void JsonWriter::Number(int64_t value) {
  BeforeValue();
  char digits[24];
  buffer.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

void JsonWriter::Real(double value) {
  if (std::isnan(value)) return String("NaN");
  if (std::isinf(value)) return String(value > 0 ? "Infinity" : "-Infinity");
  BeforeValue();
  buffer += RealText(value);
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  buffer += value ? "true" : "false";
}

void JsonWriter::Null() {
  BeforeValue();
  buffer += "null";
}

void JsonWriter::EndLine() {
  buffer += '\n';
  follows = false;
  if (buffer.size() >= 1 << 16) Flush();
}

void JsonWriter::Flush() {
  if (!out) return;
  std::fwrite(buffer.data(), 1, buffer.size(), out);
  written += buffer.size();
  buffer.clear();
}

void JsonWriter::Open(char bracket) {
  BeforeValue();
  buffer += bracket;
  follows = false;
}

void JsonWriter::Close(char bracket) {
  buffer += bracket;
  follows = true;
}

void JsonWriter::BeforeValue() {
  if (follows) buffer += ',';
  follows = true;
  if (buffer.size() >= 1 << 16) Flush();
}

void JsonWriter::Quoted(std::string_view text) {
  static const char kDigits[] = "0123456789abcdef";
  buffer += '"';
  while (!text.empty()) {
    // Plain ASCII, the most of any text, goes in runs.
    size_t plain = 0;
    while (plain < text.size() && kPlain.plain[static_cast<unsigned char>(text[plain])]) ++plain;
    buffer.append(text.data(), plain);
    text.remove_prefix(plain);
    if (text.empty()) break;
    size_t length = CharacterLength(text);
    unsigned char c = static_cast<unsigned char>(text[0]);
    if (length == 0) {
      AppendUtf8(buffer, 0xFFFD);
      length = 1;
    } else if (c == '"' || c == '\\') {
      buffer += '\\';
      buffer += static_cast<char>(c);
    } else if (c < 0x20) {
      buffer += "\\u00";
      buffer += kDigits[c >> 4];
      buffer += kDigits[c & 0xF];
    } else {
      buffer.append(text.data(), length);
    }
    text.remove_prefix(length);
  }
  buffer += '"';
}
