#pragma once

#include <initializer_list>
#include <string>
#include <cstddef>
#include <cstdint>
#include <string_view>

// NewtonScript text being written: four spaces a level of indentation. Past
// `limit` bytes nothing more is taken, and writers stop walking.
class SourceText {
 public:
  explicit SourceText(size_t limit = SIZE_MAX) : limit(limit) {}
  void Put(std::string_view piece) {
    if (IsFull()) return;
    text += piece;
    if (IsFull()) text += "\n/* cut short here: far larger than the package */";
  }
  void NewLine() {
    if (IsFull()) return;
    text += '\n';
    text.append(4 * static_cast<size_t>(indent), ' ');
  }
  bool IsFull() const { return text.size() > limit; }
  void Indent() { ++indent; }
  void Outdent() { --indent; }
  const std::string& Text() const& { return text; }
  std::string Text() && { return std::move(text); }
  size_t Size() const { return text.size(); }

 private:
  std::string text;
  size_t limit;
  int indent = 0;
};

// The pieces one after another (appended, not added: GCC 12 warns falsely
// about adding a literal to a temporary string).
inline std::string Concat(std::initializer_list<std::string_view> pieces) {
  std::string text;
  for (std::string_view piece : pieces) text += piece;
  return text;
}

// Whether `word`, in any letter case, is one of NewtonScript's reserved words.
bool IsReservedWord(std::string_view word);
// A name as NewtonScript writes it: as it is where it is a plain identifier
// and no reserved word, else between vertical bars.
std::string Identifier(std::string_view name);
void AppendIdentifier(std::string& text, std::string_view name);
// A string literal, with NewtonScript's escapes; characters outside ASCII in
// \u groups.
std::string StringLiteral(const uint8_t* utf16, size_t length);
// A finite real as NewtonScript reads it back to the same double: the
// shortest digits that do, with a decimal point before any exponent (1.0e46,
// 5.0e-324, -0.0).
std::string RealLiteral(double value);
// A character literal: $a, $\n, $\u00E9.
std::string CharacterLiteral(uint32_t code);
