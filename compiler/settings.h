#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compiler/function_scope.h"
#include "compiler/parser.h"

namespace compiler {

// An integer (of up to 32 bits where a setting takes one).
int64_t NumberOf(Node* node, FunctionScope& scope, CompileTime& program, const Parser& parser);

// The slots of a frame written in the source ({name: value, ...}) read as
// settings: each by its name, as the kind of value it must be. A slot left
// unread is an error, so that a misspelt setting is not silently ignored.
class Settings {
 public:
  Settings(Node* frame, FunctionScope& scope, CompileTime& program, const Parser& parser);

  // Each reads the setting where it is given, and says whether it is.
  template <typename Integer>
  bool Number(const char* name, Integer& out) {
    Node* node = Take(name);
    if (node) out = static_cast<Integer>(NumberOf(node, scope, program, parser));
    return node;
  }
  bool Boolean(const char* name, bool& out);
  // 8-bit text: each character a byte.
  bool String(const char* name, std::string& out);
  bool Text(const char* name, std::u16string& out);
  // A binary's bytes (MakeBinaryFromHex), or a string's 8-bit text.
  bool Bytes(const char* name, std::string& out);
  // Four characters, or a number.
  bool Code(const char* name, uint32_t& out);
  bool Format(const char* name, FunctionOptions::Format& out);
  bool Names(const char* name, std::vector<std::string>& out);
  void NoOthers() const;

 private:
  Node* Take(const char* name);
  Value ValueOf(Node* node);

  FunctionScope& scope;
  CompileTime& program;
  const Parser& parser;
  Position at;
  std::vector<std::string> names;
  std::vector<Node*> values;
  std::vector<bool> taken;
};

// A string object's UTF-16 text without its terminator.
std::u16string StringOf(const Value& value, Position at);
std::string HexBytes(const Value& digits, Position at);

}  // namespace compiler
