// The lexer: each kind of lexeme as NewtonScript writes it, and where each
// one begins.

#include <gtest/gtest.h>

#include <string>

#include "compiler/lexer.h"

namespace {

using compiler::Lexeme;
using compiler::Lexer;
using compiler::Token;

// The lexemes of a source, one after another: "kind:value@line:column".
std::string Lexemes(const std::string& source) {
  Lexer lexer(source);
  std::string all;
  for (Lexeme lexeme = lexer.Next(); lexeme.token != Token::kEnd; lexeme = lexer.Next()) {
    std::string value;
    switch (lexeme.token) {
      case Token::kName: value = "name:" + lexeme.text; break;
      case Token::kWord: value = "word:" + lexeme.text; break;
      case Token::kMark: value = "mark:" + lexeme.text; break;
      case Token::kInteger: value = (lexeme.hex ? "hex:" : "int:") + std::to_string(lexeme.integer); break;
      case Token::kCharacter: value = "char:" + std::to_string(lexeme.integer); break;
      case Token::kReal: value = "real:" + std::to_string(lexeme.real); break;
      case Token::kString:
        value = "string:";
        for (char16_t unit : lexeme.string) value += std::to_string(unit) + ".";
        break;
      default: break;
    }
    if (!all.empty()) all += " ";
    all += value + "@" + std::to_string(lexeme.at.line) + ":" + std::to_string(lexeme.at.column);
  }
  return all;
}

struct Case {
  const char* source;
  const char* lexemes;
};

const Case kCases[] = {
    {"0x1F 42 1.5e3", "hex:31@1:1 int:42@1:6 real:1500.000000@1:9"},
    {"$a $\\u2022", "char:97@1:1 char:8226@1:4"},
    {"\"a\\\"\\\\\\n\\t\"", "string:97.34.92.10.9.@1:1"},
    {"\"\\u00E90041\\ub\"", "string:233.65.98.@1:1"},
    {"|odd\\|name| plain_1", "name:odd|name@1:1 name:plain_1@1:13"},
    {"BEGIN Foreach deeply", "word:begin@1:1 word:foreach@1:7 word:deeply@1:15"},
    {"a:=b :? <> <= >= && &", "name:a@1:1 mark::=@1:2 name:b@1:4 mark::?@1:6 mark:<>@1:9 mark:<=@1:12 mark:>=@1:15 "
                              "mark:&&@1:18 mark:&@1:21"},
    {"'sym @12", "mark:'@1:1 name:sym@1:2 mark:@@1:6 int:12@1:7"},
    {"/* one\n two */ a // three\n\tb", "name:a@2:9 name:b@3:2"},
    {"|\xC3\xA9t\xC3\xA9| \"\xE2\x80\xA2\"", "name:\xE9t\xE9@1:1 string:8226.@1:7"},
    // Beyond 16 bits a character is two UTF-16 units.
    {"\"\xF0\x9D\x84\x9E\\r\"", "string:55348.56606.13.@1:1"},
    {"|a\\nb|", "name:a\nb@1:1"},
    // A byte order mark first, and lines ended as on Windows.
    {"\xEF\xBB\xBF" "a\r\n b", "name:a@1:1 name:b@2:2"},
};

}  // namespace

TEST(LexerTest, EachLexemeAndWhereItBegins) {
  for (const Case& row : kCases) EXPECT_EQ(Lexemes(row.source), row.lexemes) << row.source;
}
