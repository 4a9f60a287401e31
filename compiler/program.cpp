#include "compiler/program.h"

#include <unordered_set>

#include "compiler/code_generator.h"
#include "compiler/settings.h"
#include "decompiler/instructions.h"
#include "objects/errors.h"
#include "objects/symbol.h"
#include "packaging/big_endian.h"

namespace compiler {

void Program::Compile(std::string_view source) {
  parser = std::make_unique<Parser>(source, objects, *this);
  FunctionScope top(nullptr, {});
  while (Node* statement = parser->NextStatement(top)) Run(statement, top);
  ResolveForward();
  // A function that a part reaches only through a name declared further
  // down is compiled now, and the names its code uses resolved again.
  bool more = false;
  for (PartDefinition& part : package.parts) {
    if (part.newtonScript) more = GenerateFunctions(part.root, part.rules) || more;
  }
  if (more) ResolveForward();
  ResolvePaths();
  if (!packageGiven) throw SourceError(parser->Here(), "no Package({...}) gives the package's header");
  if (package.parts.empty()) throw SourceError(parser->Here(), "no Part({...}, value) gives the package a part");
}

std::optional<Value> Program::Constant(std::string_view name) const {
  auto found = constants.find(FoldedName(name));
  if (found == constants.end()) return std::nullopt;
  return found->second;
}

void Program::Declare(std::string_view name, Value value, Position at) {
  if (!constants.try_emplace(FoldedName(name), value).second) {
    throw SourceError(at, "the constant " + std::string(name) + " is declared twice");
  }
}

// Package(...) and Part(...) are the statements of a program.
void Program::Run(Node* statement, FunctionScope& top) {
  Position at = parser->PositionOf(statement);
  std::optional<std::string_view> name;
  if (statement->kind == Kind::kCall) name = top.literals[statement->index].object->name;
  if (name && NamesEqualIgnoringCase(*name, "Package") && statement->kids.size() == 1) {
    if (packageGiven) throw SourceError(at, "the package's header is given twice");
    packageGiven = true;
    return SetPackage(statement->kids[0], top);
  }
  if (name && NamesEqualIgnoringCase(*name, "Part") && statement->kids.size() == 2) {
    return AddPart(statement->kids[0], statement->kids[1], top);
  }
  throw SourceError(at, "a program's statements are constant declarations, Package({...}) and Part({...}, value)");
}

Value Program::Evaluate(Node* node, FunctionScope& scope) {
  switch (node->kind) {
    case Kind::kConstant:
      return Value::Word(node->word);
    case Kind::kLiteral: case Kind::kFunction:
      return scope.literals[node->index];
    case Kind::kVariable:
      if (node->variable.byName) return Forward(node, scope);
      break;
    case Kind::kMakeFrame:
      return Frame(node, scope);
    case Kind::kMakeArray: {
      std::vector<Value> elements;
      for (size_t k = 1; k < node->kids.size(); ++k) elements.push_back(Evaluate(node->kids[k], scope));
      return Value::Of(objects.Array(std::move(elements), Evaluate(node->kids[0], scope)));
    }
    case Kind::kBuiltin:
      if (node->index == static_cast<uint32_t>(FreqFunc::kSetClass)) {
        Value object = Evaluate(node->kids[0], scope);
        if (!object.IsObject() || (object.object->kind != Object::kArray && object.object->kind != Object::kBinary)) {
          throw SourceError(parser->PositionOf(node), "SetClass gives a class to an array or a binary object");
        }
        object.object->cls = Evaluate(node->kids[1], scope);
        return object;
      }
      break;
    case Kind::kCall:
      return Call(node, scope);
    case Kind::kGetPath:
      return SlotOf(node, scope);
    default:
      break;
  }
  throw SourceError(parser->PositionOf(node), "this value is not known when the source is compiled");
}

// A name that no constant has yet: one declared further down, for values
// that hold each other.
Value Program::Forward(Node* node, FunctionScope& scope) {
  const std::string& name = scope.literals[node->variable.id].object->name;
  if (std::optional<Value> known = Constant(name)) return *known;
  if (scope.frame) throw SourceError(parser->PositionOf(node), name + " is not a constant");
  auto [found, fresh] = forward.try_emplace(FoldedName(name), nullptr);
  if (fresh) {
    found->second = objects.New(Object::kArray);
    found->second->name = name;
    forwardAt[found->second] = {static_cast<int>(node->word), static_cast<int>(node->index)};
  }
  return Value::Of(found->second);
}

void Program::ResolveForward() {
  if (forward.empty()) return;
  std::unordered_map<const Object*, Value> resolved;
  for (const auto& [name, placeholder] : forward) {
    std::optional<Value> value = Constant(placeholder->name);
    if (!value) throw SourceError(forwardAt[placeholder], placeholder->name + " is no constant");
    resolved[placeholder] = *value;
  }
  Replace(resolved);
}

// frame.slot of a value known when compiling. A function's slots (its
// literals, its DebuggerInfo) are there once its part has compiled it, and
// a constant declared further down once it is: until then the path stands
// for its value.
Value Program::SlotOf(Node* node, FunctionScope& scope) {
  Position at = parser->PositionOf(node);
  Value frame = Evaluate(node->kids[0], scope);
  Value slot = Evaluate(node->kids[1], scope);
  if (!slot.IsObject() || slot.object->kind != Object::kSymbol) {
    throw SourceError(at, "a path known when the source is compiled names one slot");
  }
  bool later = frame.IsObject() && (forwardAt.count(frame.object) || pathAt.count(frame.object) ||
                                    (parser->FunctionOf(frame.object) && frame.object->values.empty()));
  if (later) {
    Object* placeholder = objects.New(Object::kArray);
    paths.push_back({placeholder, frame, slot.object->name});
    pathAt[placeholder] = at;
    return Value::Of(placeholder);
  }
  return Slot(frame, slot.object->name, at);
}

// A slot that the frame lacks is nil, as NewtonScript reads it.
Value Program::Slot(Value frame, const std::string& name, Position at) const {
  if (!frame.IsObject() || frame.object->kind != Object::kFrame) throw SourceError(at, "only a frame has slots");
  const Object& object = *frame.object;
  if (parser->FunctionOf(&object) && object.values.empty()) {
    throw SourceError(at, "no part holds the function, so its slots are not made");
  }
  for (size_t k = 0; k < object.names.size() && k < object.values.size(); ++k) {
    if (NamesEqualIgnoringCase(object.names[k]->name, name)) return object.values[k];
  }
  return {};
}

void Program::ResolvePaths() {
  std::unordered_map<const Object*, Value> resolved;
  for (Path& path : paths) {
    if (auto found = resolved.find(path.frame.object); path.frame.object && found != resolved.end()) {
      path.frame = found->second;
    }
    resolved[path.placeholder] = Slot(path.frame, path.slot, pathAt[path.placeholder]);
  }
  if (!resolved.empty()) Replace(resolved);
}

// Every reference to a placeholder made its value.
void Program::Replace(const std::unordered_map<const Object*, Value>& resolved) {
  auto fix = [&](Value& value) {
    if (auto found = resolved.find(value.object); value.object && found != resolved.end()) value = found->second;
  };
  objects.ForEach([&](Object& object) {
    fix(object.cls);
    for (Value& value : object.values) fix(value);
  });
  for (auto& [name, value] : constants) fix(value);
  for (PartDefinition& part : package.parts) fix(part.root);
  for (Path& path : paths) fix(path.frame);
}

// {a: x, b: y} made now: a frame of the package, its map made when the
// package is laid out, unless WithOptions gave one.
Value Program::Frame(Node* node, FunctionScope& scope) {
  Object* map = scope.literals[node->index].object;
  std::vector<Object*> names;
  for (size_t k = 1; k < map->values.size(); ++k) names.push_back(map->values[k].object);
  std::vector<Value> values;
  for (Node* kid : node->kids) values.push_back(Evaluate(kid, scope));
  Object* frame = objects.Frame(std::move(names), std::move(values), map->rule);
  if (map->mergesInstructions) MergeInstructions(*frame);
  if (map->mergesLiterals) MergeLiterals(*frame, map->mergesLiterals);
  if (!map->mergeable) {
    frame->map = map;
  } else {
    frame->mapFlags = map->mapFlags;
  }
  return Value::Of(frame);
}

Value Program::Call(Node* node, FunctionScope& scope) {
  const std::string& name = scope.literals[node->index].object->name;
  Position at = parser->PositionOf(node);
  auto arguments = [&](size_t least, size_t most) {
    if (node->kids.size() < least || node->kids.size() > most) {
      throw SourceError(at, least == most ? Format("%s takes %zu arguments", name.c_str(), least)
                                          : Format("%s takes %zu to %zu arguments", name.c_str(), least, most));
    }
  };
  if (NamesEqualIgnoringCase(name, "MakeBinaryFromHex")) {
    arguments(2, 2);
    std::string bytes = HexBytes(Evaluate(node->kids[0], scope), at);
    return Value::Of(objects.Binary(std::move(bytes), Evaluate(node->kids[1], scope)));
  }
  if (NamesEqualIgnoringCase(name, "Immediate")) {
    arguments(1, 1);
    uint32_t word = static_cast<uint32_t>(NumberOf(node->kids[0], scope, *this, *parser));
    // A word whose low bits are 01 would point somewhere.
    if ((word & 3) == 1) throw SourceError(at, "an immediate's low bits are not 01, which a pointer's are");
    return Value::Word(word);
  }
  if (NamesEqualIgnoringCase(name, "Map")) {
    arguments(2, 3);
    Value names = Evaluate(node->kids[0], scope);
    if (!names.IsObject() || names.object->kind != Object::kArray) throw SourceError(at, "a map's names are an array of symbols");
    std::vector<Object*> symbols;
    for (const Value& each : names.object->values) {
      if (!each.IsObject() || each.object->kind != Object::kSymbol) throw SourceError(at, "a map's names are symbols");
      symbols.push_back(each.object);
    }
    int32_t flags = static_cast<int32_t>(NumberOf(node->kids[1], scope, *this, *parser));
    Value supermap = node->kids.size() > 2 ? Evaluate(node->kids[2], scope) : Value{};
    if (supermap.IsObject() && !IsMap(*supermap.object)) throw SourceError(at, "a supermap is a map, as Map makes");
    Object* map = objects.Map(symbols, flags, supermap);
    // Every name once along the chain.
    std::unordered_set<std::string> seen;
    for (const Object* at = map; at; at = at->values.empty() ? nullptr : at->values[0].object) {
      for (size_t k = 1; k < at->values.size(); ++k) {
        if (!seen.insert(FoldedName(at->values[k].object->name)).second) {
          throw SourceError(this->parser->PositionOf(node), "the map names " + at->values[k].object->name + " twice");
        }
      }
    }
    return Value::Of(map);
  }
  // With its two arguments SetClass is a built-in function, evaluated apart.
  if (NamesEqualIgnoringCase(name, "SetClass")) arguments(2, 2);
  if (NamesEqualIgnoringCase(name, "Package") || NamesEqualIgnoringCase(name, "Part")) {
    throw SourceError(at, name + "(...) is a statement of its own");
  }
  throw SourceError(at, name + " is not known when the source is compiled: MakeBinaryFromHex, SetClass, Map, "
                         "Immediate and WithOptions are");
}

void Program::SetPackage(Node* settings, FunctionScope& scope) {
  Settings fields(settings, scope, *this, *parser);
  fields.String("signature", package.signature);
  fields.Code("type", package.type);
  fields.Number("flags", package.flags);
  fields.Number("version", package.version);
  package.hasCopyright = fields.Text("copyright", package.copyright);
  fields.Text("name", package.name);
  fields.Number("creationDate", package.creationDate);
  fields.Number("modificationDate", package.modificationDate);
  fields.Number("reserved", package.reserved);
  fields.Bytes("nameGap", package.nameGap);
  fields.Bytes("infoGap", package.infoGap);
  package.hasInfoTail = fields.Bytes("infoTail", package.infoTail);
  fields.Bytes("relocation", package.relocation);
  fields.NoOthers();
  if (package.signature != "package0" && package.signature != "package1") {
    throw SourceError(parser->PositionOf(settings), "a package's signature is \"package0\" or \"package1\"");
  }
  // Relocation data says its own size, which must be what it is, and is
  // there where the flags say so.
  const size_t kRelocationHeader = 20;
  const uint32_t kRelocationFlag = 0x04000000;
  const std::string& relocation = package.relocation;
  bool flagged = package.flags & kRelocationFlag;
  if (flagged != !relocation.empty() ||
      (flagged && (relocation.size() < kRelocationHeader ||
                   LoadBig32(reinterpret_cast<const uint8_t*>(relocation.data()) + 4) != relocation.size()))) {
    throw SourceError(parser->PositionOf(settings),
                      "relocation data is given with the flag 0x04000000, and its second word is its size");
  }
}

void Program::AddPart(Node* settings, Node* value, FunctionScope& scope) {
  PartDefinition part;
  Settings fields(settings, scope, *this, *parser);
  fields.Code("type", part.type);
  fields.Number("flags", part.flags);
  fields.String("info", part.info);
  fields.Number("unused1", part.reserved[0]);
  fields.Number("unused2", part.reserved[1]);
  PartRules& rules = part.rules;
  fields.Number("alignment", rules.alignment);
  fields.Number("padding", rules.padding);
  fields.Number("mapFlags", rules.mapFlags);
  fields.Boolean("mergeMaps", rules.mergeMaps);
  fields.Format("functions", rules.format);
  fields.Boolean("debugInfo", rules.debug);
  fields.Number("functionMapFlags", rules.functionMapFlags);
  fields.Boolean("sharedFunctionMaps", rules.sharedFunctionMaps);
  fields.Number("argFrameMapFlags", rules.argFrameMapFlags);
  fields.Boolean("mergeInstructions", rules.mergeInstructions);
  fields.Boolean("mergeStrings", rules.mergeStrings);
  fields.Boolean("foldSymbols", rules.foldSymbols);
  fields.Names("spellings", rules.spellings);
  fields.Boolean("rootArray", part.rootArray);
  // A NewtonScript part whose objects cannot be read is kept as its bytes.
  bool asBytes = false;
  fields.Boolean("asBytes", asBytes);
  fields.NoOthers();
  if (rules.alignment != 4 && rules.alignment != 8) {
    throw SourceError(parser->PositionOf(settings), "a part's objects are aligned to 4 or 8 bytes");
  }
  part.newtonScript = (part.flags & 3) == 1 && !(part.flags & 0x40) && !asBytes;
  Value root = Evaluate(value, scope);
  if (part.newtonScript) {
    if (part.rootArray && !(root.IsObject() && root.object->kind == Object::kArray)) {
      throw SourceError(parser->PositionOf(value), "a part's root array is an array");
    }
    part.root = root;
    GenerateFunctions(root, rules);
  } else if (root.IsObject() && root.object->kind == Object::kBinary) {
    part.bytes = root.object->bytes;
  } else {
    throw SourceError(parser->PositionOf(value), "a part that holds no NewtonScript is given as its bytes");
  }
  package.parts.push_back(std::move(part));
}

// Every function the part's value reaches is compiled, as the part's rules
// say where its options do not; whether there was one.
bool Program::GenerateFunctions(Value root, const PartRules& rules) {
  bool generated = false;
  std::unordered_set<const Object*> seen;
  std::vector<Object*> work;
  auto reach = [&](const Value& value) {
    if (value.object && seen.insert(value.object).second) work.push_back(value.object);
  };
  reach(root);
  while (!work.empty()) {
    Object* object = work.back();
    work.pop_back();
    if (FunctionScope* function = parser->FunctionOf(object); function && object->values.empty()) {
      GenerateCode(*function, objects, rules, *parser);
      generated = true;
    }
    reach(object->cls);
    if (object->map) reach(Value::Of(object->map));
    for (const Value& value : object->values) reach(value);
  }
  return generated;
}

}  // namespace compiler
