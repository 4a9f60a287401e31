#include "source/written_values.h"

#include <cmath>
#include <unordered_set>

#include "decompiler/decompiler.h"
#include "decompiler/function_frame.h"
#include "decompiler/quoted_value.h"
#include "decompiler/source_text.h"
#include "objects/ref.h"
#include "objects/symbol.h"
#include "objects/text.h"
#include "packaging/big_endian.h"
#include "reader/heap_tree.h"
#include "source/part_plan.h"

namespace {
std::string HexWord(uint32_t word) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", word);
  return text;
}
}  // namespace

bool IsPlainString(const PrintedTree& tree, const PrintedValue& value) {
  if (value.kind != PrintedValue::kBinary) return false;
  PrintedBinary binary = tree.Binary(value.object);
  if (binary.isSymbol || !NamesEqualIgnoringCase(binary.className, "string") || binary.length < 2 ||
      binary.length % 2) {
    return false;
  }
  for (size_t k = 0; k + 2 < binary.length; k += 2) {
    if (LoadBig16(binary.bytes + k) == 0) return false;
  }
  return LoadBig16(binary.bytes + binary.length - 2) == 0;
}

bool IsPlainReal(const PrintedTree& tree, const PrintedValue& value) {
  if (value.kind != PrintedValue::kBinary) return false;
  PrintedBinary binary = tree.Binary(value.object);
  return !binary.isSymbol && NamesEqualIgnoringCase(binary.className, "real") && binary.length == 8 &&
         std::isfinite(LoadBigDouble(binary.bytes));
}

std::string ExactWriter::Scalar(const PrintedValue& value) const {
  switch (value.kind) {
    case PrintedValue::kInteger:
      return std::to_string(static_cast<int32_t>(value.word) >> 2);
    case PrintedValue::kCharacter:
      return CharacterLiteral(value.word >> 4 & 0xFFFF);
    case PrintedValue::kMagicPointer:
      return Concat({"@", std::to_string(value.word >> 2)});
    case PrintedValue::kImmediate:
      if (value.word == Ref::kNil) return "nil";
      if (value.word == Ref::kTrue) return "true";
      return "Immediate(" + HexWord(value.word) + ")";
    case PrintedValue::kBadPointer:
      return "nil /* a bad pointer, " + HexWord(value.word) + " */";
    default:
      return {};
  }
}

bool ExactWriter::IsFresh(const PrintedValue& value) const {
  return !value.object || plan.ConstantName(value.object).empty();
}

// A data value: named where the plan names it, else written where it is.
void ExactWriter::Value(const PrintedValue& value, SourceText& out, int depth) {
  if (value.object) {
    if (value.kind == PrintedValue::kBinary && tree.SymbolName(value.object)) {
      return out.Put(Concat({"'", Identifier(*tree.SymbolName(value.object))}));
    }
    if (const PartPlan::MadeBy* made = plan.MadeByFunction(value.object)) {
      return out.Put(Concat({plan.ConstantName(made->function.object), ".", made->slot}));
    }
    const std::string& name = plan.ConstantName(value.object);
    if (!name.empty()) return out.Put(name);
    return Written(value, out, depth);
  }
  out.Put(Scalar(value));
}

void ExactWriter::Definition(const PrintedValue& value, SourceText& out) { Written(value, out, 0); }

void ExactWriter::Written(const PrintedValue& value, SourceText& out, int depth) {
  switch (value.kind) {
    case PrintedValue::kFrame:
      if (IsFunctionFrame(tree, value) && plan.Source(value.object)) return Function(value, out, depth);
      return Frame(value, out, depth);
    case PrintedValue::kArray:
      return Array(value, out, depth);
    case PrintedValue::kBinary:
      return Binary(value, out);
    default:
      return out.Put(Scalar(value));
  }
}

// How a frame gets its map where the rules would not give it.
std::string ExactWriter::Options(const PrintedValue& frame) const {
  PartPlan::MapChoice choice = plan.ChoiceOf(frame);
  switch (choice.kind) {
    case PartPlan::MapChoice::kFlags:
      return "mapFlags: " + std::to_string(choice.flags);
    case PartPlan::MapChoice::kNamed:
      return "map: " + choice.name;
    case PartPlan::MapChoice::kAsFunction:
      return "asFunction: true";
    default:
      return {};
  }
}

std::string ExactWriter::MapOptions(const PrintedValue& map) const {
  std::string options = Options(map);
  return options.empty() ? options : "{" + options + "}";
}

void ExactWriter::Frame(const PrintedValue& frame, SourceText& out, int depth) {
  std::string options = Options(frame);
  if (IsFunctionFrame(tree, frame)) {
    out.Put("/* written as its frame: its source does not make it again */ ");
    // Its instructions may be a compiled function's too, which no rule
    // merges with a binary written out.
    int32_t group = plan.LiteralsGroup(frame);
    for (std::string merge : {std::string(plan.SharesInstructions(frame) ? "mergeInstructions: true" : ""),
                              group ? "mergeLiterals: " + std::to_string(group) : std::string()}) {
      if (!merge.empty()) options += (options.empty() ? "" : ", ") + merge;
    }
  }
  if (!options.empty()) out.Put("WithOptions(");
  int32_t count = tree.NumberOfSlots(frame.object);
  if (count == 0) {
    out.Put("{}");
  } else {
    out.Put("{");
    out.Indent();
    for (int32_t k = 0; k < count; ++k) {
      out.NewLine();
      out.Put(Identifier(tree.SlotName(frame.object, k)) + ": ");
      Value(tree.SlotValue(frame.object, k), out, depth + 1);
      if (k + 1 < count) out.Put(",");
    }
    out.Outdent();
    out.NewLine();
    out.Put("}");
  }
  if (!options.empty()) out.Put(", {" + options + "})");
}

void ExactWriter::Array(const PrintedValue& array, SourceText& out, int depth) {
  PrintedValue cls = tree.ArrayClass(array.object);
  std::optional<std::string_view> name = SymbolOf(tree, cls);
  bool plain = name && NamesEqualIgnoringCase(*name, "Array");
  if (!name) out.Put("SetClass(");
  out.Put("[");
  if (name && !plain) out.Put(Identifier(*name) + ": ");
  int32_t count = tree.NumberOfElements(array.object);
  bool lines = false;
  for (int32_t k = 0; k < count && !lines; ++k) {
    PrintedValue element = tree.Element(array.object, k);
    lines = element.kind == PrintedValue::kFrame || element.kind == PrintedValue::kArray;
  }
  if (lines) out.Indent();
  for (int32_t k = 0; k < count; ++k) {
    if (lines) out.NewLine();
    Value(tree.Element(array.object, k), out, depth + 1);
    if (k + 1 < count) out.Put(lines ? "," : ", ");
  }
  if (lines) {
    out.Outdent();
    out.NewLine();
  }
  out.Put("]");
  if (!name) {
    out.Put(", ");
    Value(cls, out, depth + 1);
    out.Put(")");
  }
}

void ExactWriter::Binary(const PrintedValue& value, SourceText& out) {
  PrintedBinary binary = tree.Binary(value.object);
  PrintedValue cls = tree.ArrayClass(value.object);
  if (IsPlainReal(tree, value)) return out.Put(RealLiteral(LoadBigDouble(binary.bytes)));
  if (IsPlainString(tree, value)) return out.Put(StringLiteral(binary.bytes, binary.length));
  std::string_view name = binary.className;
  bool subclass = !name.empty() && IsStringClass(name) && binary.length >= 2 && binary.length % 2 == 0;
  if (subclass) {
    bool plain = LoadBig16(binary.bytes + binary.length - 2) == 0;
    for (size_t k = 0; plain && k + 2 < binary.length; k += 2) plain = LoadBig16(binary.bytes + k) != 0;
    if (plain) return out.Put(Concat({"SetClass(", StringLiteral(binary.bytes, binary.length), ", '", Identifier(name), ")"}));
  }
  out.Put(Concat({"MakeBinaryFromHex(\"", HexText(binary.bytes, binary.length), "\", "}));
  Value(cls, out, 1);
  out.Put(")");
}

void ExactWriter::Map(const PrintedValue& map, SourceText& out) {
  out.Put("Map('[");
  int32_t count = tree.NumberOfElements(map.object);
  for (int32_t k = 1; k < count; ++k) {
    std::optional<std::string_view> name = SymbolOf(tree, tree.Element(map.object, k));
    out.Put((k > 1 ? ", " : "") + Identifier(name ? *name : "?"));
  }
  PrintedValue cls = tree.ArrayClass(map.object);
  out.Put("], " + std::to_string(static_cast<int32_t>(cls.word) >> 2));
  PrintedValue super = count > 0 ? tree.Element(map.object, 0) : PrintedValue{PrintedValue::kImmediate, Ref::kNil};
  if (!(super.kind == PrintedValue::kImmediate && super.word == Ref::kNil)) {
    out.Put(", ");
    const std::string& name = plan.ConstantName(super.object);
    if (!name.empty()) {
      out.Put(name);
    } else {
      Map(super, out);
    }
  }
  out.Put(")");
}

void ExactWriter::Immediate(uint32_t word, SourceText& out, int /*depth*/) { out.Put(Scalar(ImmediateValue(word))); }

// A literal in code: a quoted one where the plan writes it in place.
void ExactWriter::Literal(const PrintedValue& value, SourceText& out, int depth, bool closure) {
  if (value.kind == PrintedValue::kMagicPointer) return out.Put(plan.MagicName(value.word));
  if (!value.object) return out.Put(Scalar(value));
  if (value.kind == PrintedValue::kBinary && tree.SymbolName(value.object)) {
    return out.Put(Concat({"'", Identifier(*tree.SymbolName(value.object))}));
  }
  const std::string& name = plan.ConstantName(value.object);
  if (!name.empty()) {
    if (closure) return out.Put("WithOptions(" + name + ", {closure: true})");
    return out.Put(name);
  }
  if (value.kind == PrintedValue::kFrame && IsFunctionFrame(tree, value)) return Function(value, out, depth);
  if (value.kind == PrintedValue::kBinary) return Binary(value, out);
  out.Put("'");
  Quoted(value, out);
}

void ExactWriter::Quoted(const PrintedValue& value, SourceText& out) {
  WriteQuoted(tree, value, out, [&](const PrintedValue& other) {
    if (other.kind == PrintedValue::kBinary) return Binary(other, out);
    out.Put(Scalar(other));
  });
}

void ExactWriter::Function(const PrintedValue& frame, SourceText& out, int depth) {
  const Decompiler& function = *plan.Source(frame.object);
  size_t begin = out.Size();
  std::string options = FunctionOptions(frame, out, depth);
  if (!options.empty()) out.Put("WithOptions(");
  function.Print(out, *this, depth);
  if (!options.empty()) out.Put(", {" + options + "})");
  spans.push_back({frame.offset, begin, out.Size()});
}

// The names that functions written inside `function` reach by name: the
// variables of its that they capture.
std::unordered_set<std::string> ExactWriter::NamesReachedInside(const Decompiler& function) const {
  std::unordered_set<std::string> reached;
  std::vector<const Decompiler*> work = {&function};
  while (!work.empty()) {
    const Decompiler* current = work.back();
    work.pop_back();
    if (current != &function) {
      for (const Instruction& ins : current->Code()) {
        if (ins.op != Op::kFindVar && ins.op != Op::kFindAndSetVar) continue;
        if (std::optional<std::string_view> name = current->Function().SymbolAt(ins.b)) reached.insert(FoldedName(*name));
      }
    }
    for (const PrintedValue& literal : current->Function().literals) {
      const Decompiler* inside = literal.kind == PrintedValue::kFrame ? plan.Source(literal.object) : nullptr;
      if (inside && plan.ConstantName(literal.object).empty()) work.push_back(inside);
    }
  }
  return reached;
}

// What a function's frame holds beyond what its source and the part's rules
// make: another format, other debugging information, an argFrame's first
// slots, literals its code does not use, another map.
std::string ExactWriter::FunctionOptions(const PrintedValue& frame, SourceText& out, int depth) {
  const Decompiler& function = *plan.Source(frame.object);
  const PartPlan::Rules& rules = plan.GetRules();
  std::vector<std::string> options;
  auto text = [&](const PrintedValue& value) {
    SourceText piece(SIZE_MAX);
    Value(value, piece, depth + 1);
    return std::move(piece).Text();
  };
  bool nos1 = function.Function().format == FunctionFrame::kNos1;
  if (nos1 != rules.nos1) options.push_back(nos1 ? "format: 'CodeBlock" : "format: 'nos2");
  std::optional<PrintedValue> info = tree.FindSlot(frame.object, "DebuggerInfo");
  enum { kNone, kNil, kNames } actual = !info ? kNone : info->kind == PrintedValue::kArray ? kNames : kNil;
  bool anyName = !function.Function().captured.empty() || function.Function().arguments + function.Function().locals > 0;
  auto expected = !rules.debug ? kNone : nos1 || !anyName ? kNil : kNames;
  if (plan.GivesDebugInfo(frame)) {
    // Names another compiler kept, as they are.
    SourceText piece(SIZE_MAX);
    Written(*info, piece, depth + 1);
    options.push_back("debugInfo: " + std::move(piece).Text());
  } else if (actual != expected) {
    options.push_back(actual == kNone ? "debugInfo: 'none" : actual == kNil ? "debugInfo: nil" : "debugInfo: 'names");
  }
  std::optional<PrintedValue> argFrame = tree.FindSlot(frame.object, "argFrame");
  if (argFrame && argFrame->kind == PrintedValue::kFrame && tree.NumberOfSlots(argFrame->object) >= 3) {
    auto isNil = [](const PrintedValue& value) { return value.kind == PrintedValue::kImmediate && value.word == Ref::kNil; };
    int32_t slots = tree.NumberOfSlots(argFrame->object);
    bool plain = true;
    for (int32_t k = 0; k < 3; ++k) plain = plain && isNil(tree.SlotValue(argFrame->object, k));
    // In the newer format the variables it keeps follow: those no function
    // written inside reaches by name, or that hold a value, are given.
    bool kept = false;
    if (!nos1 && slots > 3) {
      std::unordered_set<std::string> reached = NamesReachedInside(function);
      for (int32_t k = 3; k < slots; ++k) {
        kept = kept || !isNil(tree.SlotValue(argFrame->object, k)) ||
               !reached.count(FoldedName(tree.SlotName(argFrame->object, k)));
      }
    }
    // The newer format's compiler makes an argFrame only where a variable
    // lives there: one that holds none is given.
    bool unmade = !nos1 && function.Function().captured.empty() && !kept;
    if (!plain || kept || unmade) {
      std::string given = "argFrame: {_nextArgFrame: " + text(tree.SlotValue(argFrame->object, 0)) +
                          ", _parent: " + text(tree.SlotValue(argFrame->object, 1)) +
                          ", _implementor: " + text(tree.SlotValue(argFrame->object, 2));
      for (int32_t k = 3; kept && k < slots; ++k) {
        given += ", " + Identifier(tree.SlotName(argFrame->object, k)) + ": " + text(tree.SlotValue(argFrame->object, k));
      }
      options.push_back(given + "}");
    }
    PartPlan::MapChoice choice = plan.ChoiceOf(*argFrame);
    if (choice.kind == PartPlan::MapChoice::kNamed) options.push_back("argFrameMap: " + choice.name);
  }
  const std::vector<PrintedValue>& literals = function.Function().literals;
  std::vector<bool> used(literals.size());
  for (const Instruction& ins : function.Code()) {
    if ((ins.op == Op::kPush || ins.op == Op::kFindVar || ins.op == Op::kFindAndSetVar) && ins.b < used.size()) {
      used[ins.b] = true;
    }
  }
  std::string more;
  for (size_t k = 0; k < literals.size(); ++k) {
    if (!used[k]) more += (more.empty() ? "" : ", ") + text(literals[k]);
  }
  if (!more.empty()) options.push_back("moreLiterals: [" + more + "]");
  PartPlan::MapChoice choice = plan.ChoiceOf(frame);
  if (choice.kind == PartPlan::MapChoice::kNamed) options.push_back("map: " + choice.name);
  if (!rules.mergeInstructions && plan.SharesInstructions(frame)) options.push_back("mergeInstructions: true");
  if (int32_t group = plan.LiteralsGroup(frame)) options.push_back("mergeLiterals: " + std::to_string(group));
  (void)out;
  std::string joined;
  for (const std::string& option : options) joined += (joined.empty() ? "" : ", ") + option;
  return joined;
}
