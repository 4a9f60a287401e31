#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "compiler/objects.h"
#include "compiler/package_definition.h"
#include "compiler/parser.h"

namespace compiler {

// A NewtonScript program as pkgcompile reads it: statements run when it is
// compiled. Constants name values; Package({...}) gives the header;
// Part({...}, value) adds a part and compiles the functions its value holds.
// Values are made by the few functions known when compiling
// (MakeBinaryFromHex, SetClass, Map, Immediate); WithOptions says how an
// object is made beyond its value.
class Program : public CompileTime {
 public:
  explicit Program(Objects& objects) : objects(objects) {}
  // Reads and runs the whole source; a SourceError says where it is faulty.
  void Compile(std::string_view source);
  const PackageDefinition& Package() const { return package; }
  const Parser& Source() const { return *parser; }

  Value Evaluate(Node* node, FunctionScope& scope) override;
  std::optional<Value> Constant(std::string_view name) const override;
  void Declare(std::string_view name, Value value, Position at) override;

 private:
  void Run(Node* statement, FunctionScope& top);
  Value Call(Node* node, FunctionScope& scope);
  Value Frame(Node* node, FunctionScope& scope);
  Value Forward(Node* node, FunctionScope& scope);
  void SetPackage(Node* settings, FunctionScope& scope);
  void AddPart(Node* settings, Node* value, FunctionScope& scope);
  void ResolveForward();
  Value SlotOf(Node* node, FunctionScope& scope);
  Value Slot(Value frame, const std::string& name, Position at) const;
  void ResolvePaths();
  void Replace(const std::unordered_map<const Object*, Value>& resolved);
  bool GenerateFunctions(Value root, const PartRules& rules);

  Objects& objects;
  std::unique_ptr<Parser> parser;
  PackageDefinition package;
  bool packageGiven = false;
  std::unordered_map<std::string, Value> constants;  // by folded name
  std::unordered_map<std::string, Object*> forward;  // constants named before they are declared
  std::unordered_map<const Object*, Position> forwardAt;
  // Paths whose value is known once the part or a later constant is.
  struct Path {
    Object* placeholder;
    Value frame;
    std::string slot;
  };
  std::vector<Path> paths;
  std::unordered_map<const Object*, Position> pathAt;
};

}  // namespace compiler
