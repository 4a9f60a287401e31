#include "reader/json_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

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
  Put(':');
  follows = false;
}

void JsonWriter::String(std::string_view text) {
  BeforeValue();
  Quoted(text);
}

void JsonWriter::Latin1Key(std::string_view name) {
  BeforeValue();
  Quoted(name, true);
  Put(':');
  follows = false;
}

void JsonWriter::Latin1String(std::string_view text) {
  BeforeValue();
  Quoted(text, true);
}

void JsonWriter::Number(int64_t value) {
  BeforeValue();
  char* digits = Room(24);
  used = std::to_chars(digits, digits + 24, value).ptr - buffer.get();
}

void JsonWriter::Real(double value) {
  if (std::isnan(value)) return String("NaN");
  if (std::isinf(value)) return String(value > 0 ? "Infinity" : "-Infinity");
  BeforeValue();
  Append(RealText(value));
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  Append(value ? "true" : "false");
}

void JsonWriter::Null() {
  BeforeValue();
  Append("null");
}

void JsonWriter::EndLine() {
  Put('\n');
  follows = false;
}

void JsonWriter::Flush() {
  if (!out) return;
  std::fwrite(buffer.get(), 1, used, out);
  written += used;
  used = 0;
}

// Written out a block at a time; kept whole where there is no file.
char* JsonWriter::MakeRoom(size_t count) {
  const size_t kBlock = 1 << 16;
  // A full block goes out rather than growing: a larger one would be
  // mapped and unmapped again for each package.
  if (out) Flush();
  if (used + count > capacity) {
    capacity = std::max({2 * capacity, used + count, kBlock});
    std::unique_ptr<char[]> larger(new char[capacity]);
    if (used) std::memcpy(larger.get(), buffer.get(), used);
    buffer = std::move(larger);
  }
  return buffer.get() + used;
}

void JsonWriter::Append(std::string_view text) {
  std::memcpy(Room(text.size()), text.data(), text.size());
  used += text.size();
}

void JsonWriter::Open(char bracket) {
  BeforeValue();
  Put(bracket);
  follows = false;
}

void JsonWriter::Close(char bracket) {
  Put(bracket);
  follows = true;
}

void JsonWriter::BeforeValue() {
  if (follows) Put(',');
  follows = true;
}

// Plain ASCII, the most of any text, is copied as it is; the rest, if any,
// character by character.
void JsonWriter::Quoted(std::string_view text, bool latin1) {
  char* quoted = Room(text.size() + 2);
  quoted[0] = '"';
  // Found and copied in one loop: most texts are short, and a copy of a
  // length known only here costs more than the bytes.
  size_t plain = 0;
  for (char c; plain < text.size() && kPlain.plain[static_cast<unsigned char>(c = text[plain])]; ++plain) {
    quoted[1 + plain] = c;
  }
  used += plain + 1;
  if (plain < text.size()) Escaped(text.substr(plain), latin1);
  Put('"');
}

void JsonWriter::Escaped(std::string_view text, bool latin1) {
  static const char kDigits[] = "0123456789abcdef";
  // No byte becomes more than six, and a character that runs past a piece's
  // end no more than its own length: room is made a piece at a time.
  const size_t kPiece = 1 << 12;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = std::min(text.size(), at + kPiece);
    char* out = Room(6 * (end - at));
    while (at < end) {
      unsigned char c = static_cast<unsigned char>(text[at]);
      if (kPlain.plain[c]) {
        *out++ = static_cast<char>(c), ++at;
      } else if (c == '"' || c == '\\') {
        *out++ = '\\', *out++ = static_cast<char>(c), ++at;
      } else if (c < 0x20) {
        std::memcpy(out, "\\u00", 4);
        out[4] = kDigits[c >> 4], out[5] = kDigits[c & 0xF];
        out += 6, ++at;
      } else if (latin1) {
        *out++ = static_cast<char>(0xC0 | c >> 6), *out++ = static_cast<char>(0x80 | (c & 0x3F)), ++at;
      } else if (size_t length = CharacterLength(text.substr(at)); length > 0) {
        std::memcpy(out, text.data() + at, length);
        out += length, at += length;
      } else {
        std::memcpy(out, "\xEF\xBF\xBD", 3);  // U+FFFD
        out += 3, ++at;
      }
    }
    used = out - buffer.get();
  }
}
