#include "decompiler/source_text.h"

#include <algorithm>
#include <array>
#include <vector>
#include <cctype>
#include <cstdio>

#include "objects/symbol.h"
#include "objects/text.h"
#include "packaging/big_endian.h"

namespace {
constexpr std::string_view kReserved[] = {
    "and",   "begin",  "break",   "by",    "call",      "collect", "constant",    "deeply",
    "div",   "do",     "else",    "end",   "exists",    "for",     "foreach",     "func",
    "global", "if",    "in",      "inherited", "local", "loop",    "mod",         "native",
    "nil",   "not",    "onexception", "or", "repeat",   "return",  "self",        "then",
    "to",    "true",   "try",     "until", "while",     "with",
};

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }

bool IsPlain(std::string_view name) {
  if (name.empty() || !IsLetter(name[0])) return false;
  for (char c : name) {
    if (!IsLetter(c) && !(c >= '0' && c <= '9')) return false;
  }
  return !IsReservedWord(name);
}

std::string Hex4(uint32_t code) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", code);
  return text;
}
}  // namespace

bool IsReservedWord(std::string_view word) {
  // The reserved words by length, so that a name meets only its few.
  static const auto kByLength = [] {
    std::array<std::vector<std::string_view>, 12> lists;
    for (std::string_view reserved : kReserved) lists[reserved.size()].push_back(reserved);
    return lists;
  }();
  if (word.size() >= kByLength.size()) return false;
  const std::vector<std::string_view>& words = kByLength[word.size()];
  return std::any_of(words.begin(), words.end(),
                     [&](std::string_view reserved) { return NamesEqualIgnoringCase(word, reserved); });
}

std::string Identifier(std::string_view name) {
  std::string text;
  AppendIdentifier(text, name);
  return text;
}

void AppendIdentifier(std::string& text, std::string_view name) {
  if (IsPlain(name)) {
    text += name;
    return;
  }
  text += '|';
  for (unsigned char c : name) {
    if (c == '|' || c == '\\') {
      text += '\\';
      text += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      // Names are 8-bit text; outside ASCII they are written as \u groups.
      text += "\\u" + Hex4(c) + "\\u";
    } else {
      text += static_cast<char>(c);
    }
  }
  text += '|';
}

std::string StringLiteral(const uint8_t* utf16, size_t length) {
  std::string text = "\"";
  // Unit by unit, so that each is one \u group.
  for (size_t i = 0; i + 1 < length; i += 2) {
    uint32_t code = LoadBig16(utf16 + i);
    if (code == 0) break;
    if (code == '"' || code == '\\') {
      text += '\\';
      text += static_cast<char>(code);
    } else if (code == '\n') {
      text += "\\n";
    } else if (code == '\t') {
      text += "\\t";
    } else if (code == '\r') {
      text += "\\r";
    } else if (code < 0x20 || code >= 0x7F) {
      text += "\\u" + Hex4(code) + "\\u";
    } else {
      text += static_cast<char>(code);
    }
  }
  return text + "\"";
}

std::string RealLiteral(double value) {
  std::string text = RealText(value);
  size_t exponent = text.find('e');
  std::string mantissa = text.substr(0, exponent);
  if (mantissa.find('.') == std::string::npos) mantissa += ".0";
  if (exponent == std::string::npos) return mantissa;
  // "e+46" and "e-05" as "e46" and "e-5".
  std::string digits = text.substr(exponent + 1);
  bool negative = digits[0] == '-';
  if (digits[0] == '-' || digits[0] == '+') digits.erase(0, 1);
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
  return mantissa + (negative ? "e-" : "e") + digits;
}

std::string CharacterLiteral(uint32_t code) {
  if (code == '\n') return "$\\n";
  if (code == '\t') return "$\\t";
  if (code == '\r') return "$\\r";
  if (code == '\\') return "$\\\\";
  if (code > 0x20 && code < 0x7F) return std::string("$") + static_cast<char>(code);
  return "$\\u" + Hex4(code);
}
