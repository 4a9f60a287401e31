#include "compiler/lexer.h"

#include <cmath>
#include <cstdlib>

#include "decompiler/source_text.h"
#include "objects/errors.h"

namespace compiler {

namespace {
bool IsLetter(uint32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsDigit(uint32_t c) { return c >= '0' && c <= '9'; }
int HexValue(uint32_t c) {
  if (IsDigit(c)) return static_cast<int>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  return -1;
}

// Marks of two characters, then of one.
constexpr std::string_view kLongMarks[] = {":=", ":?", "<>", "<=", ">=", "&&"};
constexpr std::string_view kMarks = "()[]{},;.:'@+-*/&=<>";

Lexeme Make(Token token, Position at, std::string text = {}) {
  Lexeme lexeme;
  lexeme.token = token;
  lexeme.at = at;
  lexeme.text = std::move(text);
  return lexeme;
}

void AppendUtf16(std::u16string& text, uint32_t code) {
  if (code >= 0x10000) {
    code -= 0x10000;
    text += static_cast<char16_t>(0xD800 + (code >> 10));
    text += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
  } else {
    text += static_cast<char16_t>(code);
  }
}
}  // namespace

Lexer::Lexer(std::string_view source) : source(source) {
  // The byte order mark some editors put first, Windows' Notepad among them.
  if (source.starts_with("\xEF\xBB\xBF")) offset = 3;
}

void Lexer::Advance() {
  if (source[offset] == '\n') {
    ++at.line;
    at.column = 1;
  } else if ((static_cast<unsigned char>(source[offset]) & 0xC0) != 0x80) {
    ++at.column;  // continuation bytes of UTF-8 take no column
  }
  ++offset;
}

// One character of UTF-8, taken.
uint32_t Lexer::NextCharacter(Position start) {
  auto byte = [&](size_t i) { return static_cast<uint8_t>(Peek(i)); };
  uint8_t lead = byte(0);
  if (lead == 0 && AtEnd()) throw SourceError(start, "the source ends here");
  if (lead == 0) throw SourceError(at, "the source is not text: it holds a zero byte");
  size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                                  : lead >= 0xF0 && lead < 0xF5 ? 4 : 0;
  uint32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) length = 0;
    code = code << 6 | (byte(i) & 0x3F);
  }
  bool overlong = (length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF));
  if (length == 0 || overlong || (code >= 0xD800 && code < 0xE000)) {
    throw SourceError(at, "the source is not text: its bytes are not UTF-8 here");
  }
  for (size_t i = 0; i < length; ++i) Advance();
  return code;
}

void Lexer::SkipSpaceAndComments() {
  while (!AtEnd()) {
    char c = Peek();
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
      Advance();
    } else if (c == '/' && Peek(1) == '/') {
      while (!AtEnd() && Peek() != '\n') NextCharacter(at);
    } else if (c == '/' && Peek(1) == '*') {
      Position start = at;
      Advance(), Advance();
      while (!(Peek() == '*' && Peek(1) == '/')) {
        if (AtEnd()) throw SourceError(start, "the comment is not closed");
        NextCharacter(start);
      }
      Advance(), Advance();
    } else {
      return;
    }
  }
}

Lexeme Lexer::Next() {
  SkipSpaceAndComments();
  Position start = at;
  if (AtEnd()) return Make(Token::kEnd, start);
  char c = Peek();
  if (IsDigit(static_cast<unsigned char>(c))) return Number(start);
  if (c == '"') return String(start);
  if (c == '$') return Character(start);
  if (c == '|') return QuotedName(start);
  if (IsLetter(static_cast<unsigned char>(c))) return PlainName(start);
  for (std::string_view mark : kLongMarks) {
    if (source.substr(offset, 2) == mark) {
      Advance(), Advance();
      return Make(Token::kMark, start, std::string(mark));
    }
  }
  if (kMarks.find(c) != std::string_view::npos) {
    Advance();
    return Make(Token::kMark, start, std::string(1, c));
  }
  uint32_t code = NextCharacter(start);
  std::string shown;
  if (code > 0x20 && code < 0x7F) {
    shown = Format("'%c'", static_cast<char>(code));
  } else {
    shown = Format("U+%04X", code);
  }
  throw SourceError(start, "an unknown character " + shown);
}

Lexeme Lexer::Number(Position start) {
  Lexeme lexeme = Make(Token::kInteger, start);
  size_t first = offset;
  if (Peek() == '0' && (Peek(1) == 'x' || Peek(1) == 'X')) {
    Advance(), Advance();
    lexeme.hex = true;
    if (HexValue(static_cast<unsigned char>(Peek())) < 0) throw SourceError(start, "0x is followed by no hex digit");
    uint64_t value = 0;
    for (int digit; (digit = HexValue(static_cast<unsigned char>(Peek()))) >= 0; Advance()) {
      if (value >> 60) throw SourceError(start, "the number is out of range");
      value = value << 4 | static_cast<uint64_t>(digit);
    }
    lexeme.integer = static_cast<int64_t>(value);
    return lexeme;
  }
  while (IsDigit(static_cast<unsigned char>(Peek()))) Advance();
  bool real = false;
  if (Peek() == '.' && IsDigit(static_cast<unsigned char>(Peek(1)))) {
    real = true;
    Advance();
    while (IsDigit(static_cast<unsigned char>(Peek()))) Advance();
  }
  if ((Peek() == 'e' || Peek() == 'E') &&
      (IsDigit(static_cast<unsigned char>(Peek(1))) ||
       ((Peek(1) == '-' || Peek(1) == '+') && IsDigit(static_cast<unsigned char>(Peek(2)))))) {
    real = true;
    Advance(), Advance();
    while (IsDigit(static_cast<unsigned char>(Peek()))) Advance();
  }
  std::string text(source.substr(first, offset - first));
  if (IsLetter(static_cast<unsigned char>(Peek()))) throw SourceError(at, "a number runs into a name");
  if (real) {
    lexeme.token = Token::kReal;
    lexeme.real = std::strtod(text.c_str(), nullptr);
    if (!std::isfinite(lexeme.real)) throw SourceError(start, "the number is out of range");
    return lexeme;
  }
  if (text.size() > 18) throw SourceError(start, "the number is out of range");
  lexeme.integer = std::strtoll(text.c_str(), nullptr, 10);
  return lexeme;
}

uint32_t Lexer::HexDigits(int count, Position start) {
  uint32_t value = 0;
  for (int i = 0; i < count; ++i) {
    int digit = HexValue(static_cast<unsigned char>(Peek()));
    if (digit < 0) throw SourceError(at, "a \\u group needs four hex digits");
    value = value << 4 | static_cast<uint32_t>(digit);
    Advance();
  }
  (void)start;
  return value;
}

// After a backslash: the character it stands for. \u switches groups of four
// hex digits on (and off again at the next \u).
uint32_t Lexer::Escaped(Position start, bool& unicode) {
  Position here = at;
  uint32_t c = NextCharacter(start);
  switch (c) {
    case 'n': return '\n';
    case 't': return '\t';
    case 'r': return '\r';
    case 'u': unicode = !unicode; return UINT32_MAX;
    case '\\': case '"': case '|': case '\'': case '$': return c;
    default:
      throw SourceError(here, Format("an unknown escape \\%c", c < 0x80 ? static_cast<char>(c) : '?'));
  }
}

// Printable ASCII up to the next quote or escape, taken at once: long
// strings (a picture's hex digits) are most of a large source.
void Lexer::PlainRun(std::u16string& text) {
  size_t end = offset;
  while (end < source.size() && source[end] >= ' ' && source[end] <= '~' && source[end] != '"' &&
         source[end] != '\\') {
    ++end;
  }
  text.append(source.begin() + static_cast<std::ptrdiff_t>(offset), source.begin() + static_cast<std::ptrdiff_t>(end));
  at.column += static_cast<int>(end - offset);
  offset = end;
}

Lexeme Lexer::String(Position start) {
  Lexeme lexeme = Make(Token::kString, start);
  Advance();
  bool unicode = false;
  while (true) {
    if (AtEnd()) throw SourceError(start, "the string is not closed");
    if (unicode && Peek() != '\\') {
      lexeme.string += static_cast<char16_t>(HexDigits(4, start));
      continue;
    }
    if (!unicode) PlainRun(lexeme.string);
    uint32_t c = NextCharacter(start);
    if (c == '"' && !unicode) break;
    if (c == '\\') {
      c = Escaped(start, unicode);
      if (c == UINT32_MAX) continue;
    }
    AppendUtf16(lexeme.string, c);
  }
  return lexeme;
}

Lexeme Lexer::Character(Position start) {
  Lexeme lexeme = Make(Token::kCharacter, start);
  Advance();
  if (AtEnd()) throw SourceError(start, "$ is followed by no character");
  uint32_t c = NextCharacter(start);
  if (c == '\\') {
    if (Peek() == 'u') {
      Advance();
      c = HexDigits(4, start);
    } else {
      bool unicode = false;
      c = Escaped(start, unicode);
    }
  }
  if (c > 0xFFFF) throw SourceError(start, "a character is 16 bits");
  lexeme.integer = c;
  return lexeme;
}

// |any name|: names are 8-bit, so a \u group gives one byte.
Lexeme Lexer::QuotedName(Position start) {
  Lexeme lexeme = Make(Token::kName, start);
  Advance();
  bool unicode = false;
  while (true) {
    if (AtEnd()) throw SourceError(start, "the symbol's name is not closed by |");
    uint32_t c;
    if (unicode && Peek() != '\\') {
      c = HexDigits(4, start);
    } else {
      c = NextCharacter(start);
      if (c == '|' && !unicode) break;
      if (c == '\\') {
        c = Escaped(start, unicode);
        if (c == UINT32_MAX) continue;
      }
    }
    if (c > 0xFF) throw SourceError(start, "a symbol's name holds 8-bit characters only");
    lexeme.text += static_cast<char>(c);
  }
  return lexeme;
}

Lexeme Lexer::PlainName(Position start) {
  Lexeme lexeme = Make(Token::kName, start);
  while (IsLetter(static_cast<unsigned char>(Peek())) || IsDigit(static_cast<unsigned char>(Peek()))) {
    lexeme.text += Peek();
    Advance();
  }
  if (IsReservedWord(lexeme.text)) {
    lexeme.token = Token::kWord;
    for (char& c : lexeme.text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  }
  return lexeme;
}

std::string Describe(const Lexeme& lexeme) {
  switch (lexeme.token) {
    case Token::kEnd: return "the end of the source";
    case Token::kName: return "the name " + lexeme.text;
    case Token::kWord: return "the word " + lexeme.text;
    case Token::kInteger: case Token::kReal: return "a number";
    case Token::kString: return "a string";
    case Token::kCharacter: return "a character";
    case Token::kMark: return "'" + lexeme.text + "'";
  }
  return {};
}

}  // namespace compiler
