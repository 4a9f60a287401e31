#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace compiler {

// A place in the source, counted from 1.
struct Position {
  int line = 1, column = 1;
};

// What is wrong with a source, and where: the compiler stops at the first.
class SourceError : public std::runtime_error {
 public:
  SourceError(Position at, const std::string& what) : std::runtime_error(what), at(at) {}
  Position at;
};

enum class Token : uint8_t {
  kEnd,
  kName,       // a name, plain or between vertical bars
  kWord,       // a reserved word, in lower case
  kInteger,
  kReal,
  kString,
  kCharacter,
  kMark,       // punctuation and operators: ( ) [ ] { } , ; . : :? := ' @ + - * / & && = <> < > <= >=
};

struct Lexeme {
  Token token = Token::kEnd;
  Position at;
  // A name's bytes (8-bit: a character each), a word, or a mark.
  std::string text;
  // A string's UTF-16 units.
  std::u16string string;
  int64_t integer = 0;  // an integer, or a character's code
  double real = 0;
  bool hex = false;     // an integer written 0x...
};

// NewtonScript source as lexemes: comments (// and /* */) and white space
// between them are left out. The source is UTF-8 text; names hold 8-bit
// characters, strings 16-bit ones (\u groups give any).
class Lexer {
 public:
  explicit Lexer(std::string_view source);
  Lexeme Next();
  Position Here() const { return at; }

 private:
  char Peek(size_t ahead = 0) const { return offset + ahead < source.size() ? source[offset + ahead] : '\0'; }
  bool AtEnd() const { return offset >= source.size(); }
  void Advance();
  uint32_t NextCharacter(Position start);
  void PlainRun(std::u16string& text);
  void SkipSpaceAndComments();
  Lexeme Number(Position start);
  Lexeme String(Position start);
  Lexeme Character(Position start);
  Lexeme QuotedName(Position start);
  Lexeme PlainName(Position start);
  uint32_t Escaped(Position start, bool& unicode);
  uint32_t HexDigits(int count, Position start);

  std::string_view source;
  size_t offset = 0;
  Position at;
};

// A lexeme as a message names it: "the name x", "';'".
std::string Describe(const Lexeme& lexeme);

}  // namespace compiler
