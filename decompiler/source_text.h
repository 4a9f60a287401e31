#pragma once

#include <string>
#include <cstddef>
#include <cstdint>
#include <string_view>

// NewtonScript text being written: four spaces a level of indentation.
class SourceText {
 public:
  explicit SourceText(int indent = 0) : indent(indent) {}
  void Put(std::string_view text) { this->text += text; }
  void NewLine() {
    text += '\n';
    text.append(4 * static_cast<size_t>(indent), ' ');
  }
  void Indent() { ++indent; }
  void Outdent() { --indent; }
  const std::string& Text() const { return text; }
  size_t Size() const { return text.size(); }

 private:
  std::string text;
  int indent;
};

// A name as NewtonScript writes it: as it is where it is a plain identifier
// and no reserved word, else between vertical bars.
std::string Identifier(std::string_view name);
// A string literal, with NewtonScript's escapes; characters outside ASCII in
// \u groups.
std::string StringLiteral(const uint8_t* utf16, size_t length);
// A character literal: $a, $\n, $\u00E9.
std::string CharacterLiteral(uint32_t code);
