#include "compiler/settings.h"

#include "objects/errors.h"
#include "objects/symbol.h"

namespace compiler {

namespace {
int HexDigit(char16_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

Settings::Settings(Node* frame, FunctionScope& scope, CompileTime& program, const Parser& parser)
    : scope(scope), program(program), parser(parser), at(parser.PositionOf(frame)) {
  if (frame->kind != Kind::kMakeFrame) throw SourceError(at, "the settings are a frame: {name: value, ...}");
  const Object* map = scope.literals[frame->index].object;
  for (size_t k = 1; k < map->values.size(); ++k) names.push_back(map->values[k].object->name);
  values.assign(frame->kids.begin(), frame->kids.end());
  taken.assign(names.size(), false);
}

Node* Settings::Take(const char* name) {
  for (size_t k = 0; k < names.size(); ++k) {
    if (NamesEqualIgnoringCase(names[k], name)) {
      taken[k] = true;
      return values[k];
    }
  }
  return nullptr;
}

Value Settings::ValueOf(Node* node) {
  return program.Evaluate(node, scope);
}

bool Settings::Boolean(const char* name, bool& out) {
  Node* node = Take(name);
  if (!node) return false;
  if (node->kind != Kind::kConstant || (node->word != Ref::kNil && node->word != Ref::kTrue)) {
    throw SourceError(parser.PositionOf(node), ::Format("%s is true or nil", name));
  }
  out = node->word == Ref::kTrue;
  return true;
}

bool Settings::Text(const char* name, std::u16string& out) {
  Node* node = Take(name);
  if (node) out = StringOf(ValueOf(node), parser.PositionOf(node));
  return node;
}

bool Settings::String(const char* name, std::string& out) {
  Node* node = Take(name);
  if (!node) return false;
  out.clear();
  for (char16_t unit : StringOf(ValueOf(node), parser.PositionOf(node))) {
    if (unit > 0xFF) throw SourceError(parser.PositionOf(node), ::Format("%s is 8-bit text", name));
    out += static_cast<char>(unit);
  }
  return true;
}

bool Settings::Bytes(const char* name, std::string& out) {
  Node* node = Take(name);
  if (!node) return false;
  Value value = ValueOf(node);
  if (value.IsObject() && value.object->kind == Object::kBinary && !IsStringClass(
          value.object->cls.IsObject() ? value.object->cls.object->name : std::string())) {
    out = value.object->bytes;
    return true;
  }
  out.clear();
  for (char16_t unit : StringOf(value, parser.PositionOf(node))) {
    if (unit > 0xFF) throw SourceError(parser.PositionOf(node), ::Format("%s is 8-bit text or bytes", name));
    out += static_cast<char>(unit);
  }
  return true;
}

bool Settings::Code(const char* name, uint32_t& out) {
  Node* node = Take(name);
  if (!node) return false;
  // Integers beyond 16 bits are literals too.
  if (node->kind == Kind::kLiteral && scope.literals[node->index].IsObject()) {
    std::u16string text = StringOf(scope.literals[node->index], parser.PositionOf(node));
    if (text.size() != 4) throw SourceError(parser.PositionOf(node), ::Format("%s is four characters", name));
    out = 0;
    for (char16_t unit : text) {
      if (unit > 0xFF) throw SourceError(parser.PositionOf(node), ::Format("%s is four 8-bit characters", name));
      out = out << 8 | unit;
    }
    return true;
  }
  out = static_cast<uint32_t>(NumberOf(node, scope, program, parser));
  return true;
}

bool Settings::Format(const char* name, FunctionOptions::Format& out) {
  Node* node = Take(name);
  if (!node) return false;
  Value value = ValueOf(node);
  std::string_view format;
  if (value.IsObject() && value.object->kind == Object::kSymbol) format = value.object->name;
  if (NamesEqualIgnoringCase(format, "CodeBlock")) {
    out = FunctionOptions::kNos1;
  } else if (NamesEqualIgnoringCase(format, "nos2")) {
    out = FunctionOptions::kNos2;
  } else {
    throw SourceError(parser.PositionOf(node), ::Format("%s is 'CodeBlock or 'nos2", name));
  }
  return true;
}

bool Settings::Names(const char* name, std::vector<std::string>& out) {
  Node* node = Take(name);
  if (!node) return false;
  Value value = ValueOf(node);
  if (!value.IsObject() || value.object->kind != Object::kArray) {
    throw SourceError(parser.PositionOf(node), ::Format("%s is an array of symbols", name));
  }
  for (const Value& each : value.object->values) {
    if (!each.IsObject() || each.object->kind != Object::kSymbol) {
      throw SourceError(parser.PositionOf(node), ::Format("%s is an array of symbols", name));
    }
    out.push_back(each.object->name);
  }
  return true;
}

void Settings::NoOthers() const {
  for (size_t k = 0; k < names.size(); ++k) {
    if (!taken[k]) throw SourceError(parser.PositionOf(values[k]), "no setting is called " + names[k]);
  }
}

int64_t NumberOf(Node* node, FunctionScope& scope, CompileTime& program, const Parser& parser) {
  if (node->kind == Kind::kNumber) return node->word;
  Value value = program.Evaluate(node, scope);
  if (value.IsObject() || (value.word & 3) != 0) throw SourceError(parser.PositionOf(node), "a number is needed here");
  return static_cast<int32_t>(value.word) >> 2;
}

namespace {
// A string's UTF-16 bytes, with its closing zero if it has one.
const std::string& StringBytes(const Value& value, Position at) {
  const Object* object = value.object;
  if (!object || object->kind != Object::kBinary || !object->cls.IsObject() || !IsStringClass(object->cls.object->name)) {
    throw SourceError(at, "a string is needed here");
  }
  return object->bytes;
}

size_t NumberOfUnits(const std::string& bytes) {
  size_t units = bytes.size() / 2;
  return units > 0 && bytes[2 * units - 2] == 0 && bytes[2 * units - 1] == 0 ? units - 1 : units;
}

char16_t UnitAt(const std::string& bytes, size_t k) {
  return static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * k]) << 8 | static_cast<uint8_t>(bytes[2 * k + 1]));
}
}  // namespace

std::u16string StringOf(const Value& value, Position at) {
  const std::string& bytes = StringBytes(value, at);
  std::u16string text(NumberOfUnits(bytes), u'\0');
  for (size_t k = 0; k < text.size(); ++k) text[k] = UnitAt(bytes, k);
  return text;
}

std::string HexBytes(const Value& digits, Position at) {
  const std::string& units = StringBytes(digits, at);
  size_t count = NumberOfUnits(units);
  if (count % 2) throw SourceError(at, "the hex digits are of an odd number: a byte is two");
  std::string bytes(count / 2, '\0');
  for (size_t k = 0; k < bytes.size(); ++k) {
    int high = HexDigit(UnitAt(units, 2 * k)), low = HexDigit(UnitAt(units, 2 * k + 1));
    if (high < 0 || low < 0) throw SourceError(at, "MakeBinaryFromHex takes hex digits only");
    bytes[k] = static_cast<char>(high << 4 | low);
  }
  return bytes;
}

}  // namespace compiler
