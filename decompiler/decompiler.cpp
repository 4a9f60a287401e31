#include "decompiler/decompiler.h"

#include <algorithm>

#include "decompiler/function_printer.h"
#include "decompiler/source_text.h"
#include "decompiler/value_source.h"
#include "objects/errors.h"
#include "objects/ref.h"
#include "objects/symbol.h"
#include "objects/text.h"

namespace {
const size_t kLongestSummary = 40;
const uint32_t kFirstArgument = 3;
const int kMostVariables = 256;

std::string Cut(std::string text) {
  if (text.size() > kLongestSummary) text = text.substr(0, kLongestSummary - 3) + "...";
  return text;
}
}  // namespace

void Decompiler::Read(const PrintedValue& frame) {
  function.code = nullptr;
  function.codeLength = 0;
  function.arguments = function.locals = 0;
  localsAtTop = false;
  function.literals.clear();
  function.symbols.clear();
  function.names.clear();
  function.captured.clear();
  code.clear();
  syntax.Clear();
  body.clear();
  roles.clear();
  named.clear();
  notes.clear();
  decoded = recovered = false;
  std::string why;
  if (!ReadFunctionFrame(tree, frame, function, why) ||
      !DecodeInstructions(function.code, function.codeLength, code, why)) {
    notes.push_back("not decoded: " + why);
    return;
  }
  decoded = true;
  // Native functions' bytecode stand-ins carry the native numArgs, which may
  // be anything; no compiler gives a function this many variables.
  if (function.arguments > kMostVariables || function.locals > kMostVariables) {
    notes.push_back(Format("not decompiled: numArgs gives %d arguments and %d locals", function.arguments,
                           function.locals));
    function.arguments = function.locals = 0;
    return;
  }
  if (!flow.Build(code, function, why)) {
    notes.push_back("not verified: " + why);
    return;
  }
  Structurer structurer(tree, function, code, flow, syntax);
  if (!structurer.Recover(body, why)) {
    notes.push_back("not decompiled: " + why);
    return;
  }
  recovered = true;
  roles = structurer.Roles();
  named = structurer.NamedVariables();
}

std::vector<std::string> Decompiler::ArgumentNames() const {
  std::vector<std::string> names;
  names.reserve(function.arguments);
  for (int k = 0; k < function.arguments; ++k) names.push_back(function.VariableName(kFirstArgument + k));
  return names;
}

std::vector<std::string> Decompiler::LocalNames() const {
  std::vector<std::string> names;
  names.reserve(function.locals);
  uint32_t first = kFirstArgument + function.arguments;
  for (int k = 0; k < function.locals; ++k) names.push_back(function.VariableName(first + k));
  return names;
}

std::vector<std::string> Decompiler::DeclaredLocals() const {
  std::vector<std::string> names;
  for (uint32_t slot = kFirstArgument + function.arguments; slot < roles.size(); ++slot) {
    if (roles[slot] == Structurer::Role::kUsed) names.push_back(function.VariableName(slot));
  }
  // Captured locals of a Newton OS 2 function live in its argFrame and are
  // reached by name.
  std::vector<std::string> arguments = ArgumentNames();
  for (uint32_t literal : named) {
    std::optional<std::string_view> name = function.SymbolAt(literal);
    if (!name) continue;
    for (const std::string& captured : function.captured) {
      if (NamesEqualIgnoringCase(captured, *name) &&
          std::find(arguments.begin(), arguments.end(), captured) == arguments.end() &&
          std::find(names.begin(), names.end(), captured) == names.end()) {
        names.push_back(captured);
      }
    }
  }
  return names;
}

std::vector<std::string> Decompiler::AllLocals() const {
  std::vector<std::string> names;
  uint32_t first = kFirstArgument + function.arguments;
  for (int k = 0; k < function.locals; ++k) {
    uint32_t slot = first + static_cast<uint32_t>(k);
    if (slot < roles.size() && roles[slot] == Structurer::Role::kHidden) continue;
    names.push_back(function.VariableName(slot));
  }
  std::vector<std::string> kept = ArgFrameLocals();
  names.insert(names.end(), kept.begin(), kept.end());
  return names;
}

std::vector<std::string> Decompiler::ArgFrameLocals() const {
  std::vector<std::string> names = ArgumentNames(), kept;
  for (std::string name : LocalNames()) names.push_back(std::move(name));
  for (const std::string& captured : function.captured) {
    auto same = [&](const std::string& name) { return NamesEqualIgnoringCase(name, captured); };
    if (std::none_of(names.begin(), names.end(), same) && std::none_of(kept.begin(), kept.end(), same)) {
      kept.push_back(captured);
    }
  }
  return kept;
}

std::string Decompiler::VariableName(const Variable& variable) const {
  if (!variable.byName) return function.VariableName(variable.id);
  std::optional<std::string_view> name = function.SymbolAt(variable.id);
  return name ? std::string(*name) : "?";
}

std::string Decompiler::LiteralSummary(uint32_t index) const {
  if (index >= function.literals.size()) return "?";
  const PrintedValue& value = function.literals[index];
  switch (value.kind) {
    case PrintedValue::kInteger:
      return std::to_string(static_cast<int32_t>(value.word) >> 2);
    case PrintedValue::kArray:
      return Concat({"[", std::to_string(tree.NumberOfElements(value.object)), " elements]"});
    case PrintedValue::kFrame:
      if (IsFunctionFrame(tree, value)) return "func";
      return Concat({"{", std::to_string(tree.NumberOfSlots(value.object)), " slots}"});
    case PrintedValue::kBinary: {
      PrintedBinary binary = tree.Binary(value.object);
      if (binary.isSymbol) return Concat({"'", Identifier(binary.name)});
      if (IsStringClass(binary.className)) return Cut(StringLiteral(binary.bytes, binary.length));
      return Concat({"<", binary.className, ", ", std::to_string(binary.length), " bytes>"});
    }
    default: {
      SourceText text;
      ValueSource(tree).Value(value, text, 0);
      return text.Text();
    }
  }
}

std::string Decompiler::Disassembly(const Instruction& ins) const {
  char head[48];
  std::snprintf(head, sizeof head, "%5u  %s", ins.pc, OpName(ins.op));
  std::string line = head;
  if (!ins.HasOperand()) return line;
  line += "  " + std::to_string(ins.b);
  switch (ins.op) {
    case Op::kPush: case Op::kFindVar: case Op::kFindAndSetVar:
      return line + "  ; " + LiteralSummary(ins.b);
    case Op::kGetVar: case Op::kSetVar: case Op::kIncrVar:
      return line + "  ; " + function.VariableName(ins.b);
    case Op::kPushConstant: {
      SourceText text;
      ValueSource(tree).Value(ImmediateValue(static_cast<uint32_t>(static_cast<int16_t>(ins.b))), text, 0);
      return line + "  ; " + text.Text();
    }
    case Op::kBranch: case Op::kBranchIfTrue: case Op::kBranchIfFalse: case Op::kBranchIfLoopNotDone:
      return line + "  ; -> " + std::to_string(ins.b);
    case Op::kFreqFunc:
      return line + "  ; " + FreqFuncName(ins.b);
    default:
      return line;
  }
}

void Decompiler::PrintDisassembly(SourceText& out) const {
  out.Put("nil /* " + (notes.empty() ? std::string() : notes.back()));
  for (const Instruction& ins : code) {
    std::string line = Disassembly(ins);
    // Nothing inside may end the comment.
    for (size_t at; (at = line.find("*/")) != std::string::npos;) line.replace(at, 2, "* /");
    out.NewLine();
    out.Put(line);
  }
  out.NewLine();
  out.Put("*/");
}

void Decompiler::Print(SourceText& out, LiteralWriter& values, int depth) const {
  if (!recovered) return PrintDisassembly(out);
  FunctionPrinter(*this, body, values, out, depth).Print();
}
