// A function's variables given their slots, its code generated, and its
// frame made of them.

#include <algorithm>

#include "compiler/code_generator.h"
#include "compiler/parser.h"
#include "objects/symbol.h"

namespace compiler {

namespace {
const uint32_t kFirstSlot = 3;
const char* const kSpecials[] = {"_nextArgFrame", "_parent", "_implementor"};
}  // namespace

// Arguments take the first slots, then the locals in the order they were
// declared; in the Newton OS 2 format a local that a function inside reaches
// by name lives in the argFrame instead, and an argument it reaches is copied
// there as the code starts.
void CodeGenerator::Generate() {
  slots.assign(function.variables.size(), -1);
  uint32_t next = kFirstSlot;
  for (size_t k = 0; k < function.variables.size(); ++k) {
    if (function.variables[k].argument) slots[k] = static_cast<int32_t>(next++);
  }
  for (size_t k = 0; k < function.variables.size(); ++k) {
    const ScopeVariable& variable = function.variables[k];
    if (variable.argument || (!nos1 && variable.captured)) continue;
    slots[k] = static_cast<int32_t>(next++);
    ++locals;
  }
  if (next > 0xFFFF) Fail("the function has more variables than a slot number holds");
  if (!nos1) {
    for (size_t k = 0; k < function.variables.size(); ++k) {
      const ScopeVariable& variable = function.variables[k];
      if (!variable.argument || !variable.captured) continue;
      Emit(Op::kGetVar, static_cast<uint32_t>(slots[k]));
      Emit(Op::kFindAndSetVar, Symbol(variable.name));
    }
  }
  Sequence(function.body, true);
  Emit(Op::kReturn);
}

void GenerateCode(FunctionScope& function, Objects& objects, const PartRules& rules, const Parser& parser) {
  const FunctionOptions& options = function.options;
  bool nos1 = options.format == FunctionOptions::kPartFormat ? rules.format == FunctionOptions::kNos1
                                                             : options.format == FunctionOptions::kNos1;
  CodeGenerator generator(function, objects, nos1, parser);
  generator.Generate();
  const std::vector<int32_t>& slots = generator.Slots();

  std::vector<Value> literalValues = generator.Literals();
  literalValues.insert(literalValues.end(), options.extraLiterals.begin(), options.extraLiterals.end());
  Value literals = literalValues.empty()
                       ? Value{}
                       : Value::Of(objects.Array(std::move(literalValues), Value::Of(objects.Symbol("literals"))));
  if (literals.object && options.literalsGroup) {
    literals.object->merged = true;
    literals.object->group = options.literalsGroup;
  }

  // The variables by slot, and those that live in the argFrame.
  std::vector<size_t> bySlot, captured;
  for (size_t k = 0; k < function.variables.size(); ++k) {
    if (slots[k] >= 0) bySlot.push_back(k);
    if (!nos1 && function.variables[k].captured) captured.push_back(k);
  }
  std::sort(bySlot.begin(), bySlot.end(), [&](size_t a, size_t b) { return slots[a] < slots[b]; });

  // A Newton OS 2 function has an argFrame where it captures a variable, or
  // where its source gives the argFrame's first slots.
  Value argFrame;
  if (nos1 || !captured.empty() || options.specialsGiven) {
    std::vector<Object*> names;
    std::vector<Value> values;
    for (int k = 0; k < 3; ++k) {
      names.push_back(objects.Symbol(kSpecials[k]));
      values.push_back(options.specialsGiven ? options.specials[k] : Value{});
    }
    if (!nos1) {
      for (const auto& [name, value] : options.kept) {
        names.push_back(objects.Symbol(name));
        values.push_back(value);
      }
    }
    for (size_t k : nos1 ? bySlot : captured) {
      const std::string& name = function.variables[k].name;
      auto given = [&](const std::pair<std::string, Value>& kept) { return NamesEqualIgnoringCase(kept.first, name); };
      if (!nos1 && std::any_of(options.kept.begin(), options.kept.end(), given)) continue;
      names.push_back(objects.Symbol(name));
      values.push_back({});
    }
    Object* frame = objects.Frame(std::move(names), std::move(values), MapRule::kArgFrame);
    if (options.argFrameMap) {
      if (!MapNames(*options.argFrameMap, frame->names)) throw SourceError(function.at, "the map names other slots than the argFrame");
      frame->map = options.argFrameMap;
    }
    argFrame = Value::Of(frame);
  }

  int32_t arguments = function.arguments;
  int32_t numArgs = nos1 ? arguments : generator.NumberOfLocals() << 16 | arguments;

  std::vector<std::string> slotNames = {"class", "instructions", "literals", "argFrame", "numArgs"};
  Object* instructions = objects.Binary(generator.Code(), Value::Of(objects.Symbol("instructions")));
  instructions->mergeable = true;
  instructions->merged = options.mergeInstructions;
  std::vector<Value> values = {nos1 ? Value::Of(objects.Symbol("CodeBlock")) : Value::Word(Ref::kCodeBlockClass),
                               Value::Of(instructions),
                               literals, argFrame, Value::Integer(numArgs)};
  FunctionOptions::Debug debug = options.debug != FunctionOptions::kPartDebug ? options.debug
                                 : rules.debug                                 ? FunctionOptions::kDebug
                                                                               : FunctionOptions::kNoDebug;
  if (debug != FunctionOptions::kNoDebug) {
    Value info;
    // Names of what lives in the argFrame, then of each slot: a symbol, or
    // for an argument copied there, its number among those names.
    if (debug == FunctionOptions::kDebug && !nos1 && (!captured.empty() || !bySlot.empty())) {
      std::vector<Value> entries = {Value::Integer(static_cast<int32_t>(captured.size()))};
      for (size_t k : captured) entries.push_back(Value::Of(objects.Symbol(function.variables[k].name)));
      for (size_t k : bySlot) {
        auto found = std::find(captured.begin(), captured.end(), k);
        entries.push_back(found != captured.end() ? Value::Integer(static_cast<int32_t>(found - captured.begin() + 1))
                                                  : Value::Of(objects.Symbol(function.variables[k].name)));
      }
      info = Value::Of(objects.Array(std::move(entries), Value::Of(objects.Symbol("dbg1"))));
    } else if (debug == FunctionOptions::kGivenDebug) {
      info = options.debugInfo;
    }
    slotNames.push_back("DebuggerInfo");
    values.push_back(info);
  }

  Object* frame = function.frame;
  frame->names.clear();
  for (const std::string& name : slotNames) frame->names.push_back(objects.Symbol(name));
  frame->values = std::move(values);
  frame->rule = MapRule::kFunction;
  if (options.map) {
    if (!MapNames(*options.map, frame->names)) throw SourceError(function.at, "the map names other slots than the function's frame");
    frame->map = options.map;
  }
}

}  // namespace compiler
