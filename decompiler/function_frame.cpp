#include "decompiler/function_frame.h"

#include "objects/ref.h"
#include "objects/symbol.h"

namespace {

const char* const kSpecialSlots[] = {"_nextArgFrame", "_parent", "_implementor"};
const int kSpecial = 3;
const uint32_t kNos1NativeClass = 0x132;

// A function's frame starts with its class: looking at the first slot alone
// keeps the test cheap for the many frames that are no function.
std::optional<uint32_t> ClassWord(const PrintedTree& tree, const PrintedValue& frame) {
  if (frame.kind != PrintedValue::kFrame || tree.NumberOfSlots(frame.object) == 0 ||
      !NamesEqualIgnoringCase(tree.SlotName(frame.object, 0), "class")) {
    return std::nullopt;
  }
  std::optional<PrintedValue> cls = tree.SlotValue(frame.object, 0);
  if (cls->kind == PrintedValue::kImmediate) return cls->word;
  std::optional<std::string_view> name = SymbolOf(tree, *cls);
  if (name && NamesEqualIgnoringCase(*name, "CodeBlock")) return Ref::kCodeBlockClass;
  return std::nullopt;
}

bool IsInteger(const PrintedValue& value) { return value.kind == PrintedValue::kInteger; }
int32_t IntegerOf(const PrintedValue& value) { return static_cast<int32_t>(value.word) >> 2; }

// Names from a Newton OS 1 argFrame: its slots are the variables, in order.
void NamesFromArgFrame(const PrintedTree& tree, const void* argFrame, FunctionFrame& out) {
  int32_t count = tree.NumberOfSlots(argFrame);
  out.names.assign(count, "");
  for (int32_t i = 0; i < count; ++i) out.names[i] = tree.SlotName(argFrame, i);
}

// [n, captured_1 .. captured_n, name of slot 3, name of slot 4, ...], where a
// name may be the integer k for "the same as captured_k".
void NamesFromDebuggerInfo(const PrintedTree& tree, const PrintedValue& info, FunctionFrame& out) {
  if (info.kind != PrintedValue::kArray) return;
  int32_t count = tree.NumberOfElements(info.object);
  if (count < 1 || !IsInteger(tree.Element(info.object, 0))) return;
  int32_t n = IntegerOf(tree.Element(info.object, 0));
  if (n < 0 || n >= count) return;
  std::vector<std::string> closureNames;
  for (int32_t k = 1; k <= n; ++k) {
    std::optional<std::string_view> name = SymbolOf(tree, tree.Element(info.object, k));
    closureNames.emplace_back(name ? *name : "");
  }
  out.names.assign(kSpecial, "");
  for (int32_t i = n + 1; i < count; ++i) {
    PrintedValue entry = tree.Element(info.object, i);
    std::optional<std::string_view> name = SymbolOf(tree, entry);
    if (name) {
      out.names.emplace_back(*name);
    } else if (IsInteger(entry) && IntegerOf(entry) >= 1 && IntegerOf(entry) <= n) {
      out.names.push_back(closureNames[IntegerOf(entry) - 1]);
    } else {
      out.names.emplace_back();
    }
  }
}

}  // namespace

std::optional<std::string_view> SymbolOf(const PrintedTree& tree, const PrintedValue& value) {
  if (value.kind != PrintedValue::kBinary) return std::nullopt;
  return tree.SymbolName(value.object);
}

bool IsFunctionFrame(const PrintedTree& tree, const PrintedValue& frame) {
  return ClassWord(tree, frame) == Ref::kCodeBlockClass;
}

bool IsNativeFunctionFrame(const PrintedTree& tree, const PrintedValue& frame) {
  std::optional<uint32_t> word = ClassWord(tree, frame);
  return word == Ref::kNativeFunctionClass || word == kNos1NativeClass;
}

std::string FunctionFrame::VariableName(uint32_t slot) const {
  if (slot < names.size() && !names[slot].empty() && names[slot] != "nil") return names[slot];
  if (slot < kSpecial) return kSpecialSlots[slot];
  uint32_t index = slot - kSpecial;
  if (index < static_cast<uint32_t>(arguments)) return "arg" + std::to_string(index + 1);
  return "local" + std::to_string(index - arguments + 1);
}

// The slots a function frame may hold, found in one pass over its names.
struct FunctionSlots {
  std::optional<PrintedValue> cls, instructions, literals, argFrame, numArgs, debuggerInfo;

  FunctionSlots(const PrintedTree& tree, const void* frame) {
    int32_t count = tree.NumberOfSlots(frame);
    for (int32_t i = 0; i < count; ++i) {
      std::string_view name = tree.SlotName(frame, i);
      if (name.empty()) continue;
      // The first letters differ: a name meets one candidate at most.
      std::optional<PrintedValue>* slot;
      std::string_view wanted;
      switch (FoldCase(name[0])) {
        case 'c': slot = &cls, wanted = "class"; break;
        case 'i': slot = &instructions, wanted = "instructions"; break;
        case 'l': slot = &literals, wanted = "literals"; break;
        case 'a': slot = &argFrame, wanted = "argFrame"; break;
        case 'n': slot = &numArgs, wanted = "numArgs"; break;
        case 'd': slot = &debuggerInfo, wanted = "DebuggerInfo"; break;
        default: continue;
      }
      if (!*slot && NamesEqualIgnoringCase(name, wanted)) *slot = tree.SlotValue(frame, i);
    }
  }
};

bool ReadFunctionFrame(const PrintedTree& tree, const PrintedValue& frame, FunctionFrame& out,
                       std::string& why) {
  FunctionSlots slots(tree, frame.object);
  std::optional<PrintedValue>& cls = slots.cls;
  out.format = cls && cls->kind == PrintedValue::kImmediate ? FunctionFrame::kNos2
                                                            : FunctionFrame::kNos1;
  std::optional<PrintedValue>& instructions = slots.instructions;
  if (!instructions || instructions->kind != PrintedValue::kBinary) {
    why = "the function has no instructions binary";
    return false;
  }
  PrintedBinary code = tree.Binary(instructions->object);
  out.code = code.bytes;
  out.codeLength = code.length;
  std::optional<PrintedValue>& numArgs = slots.numArgs;
  if (!numArgs || !IsInteger(*numArgs)) {
    why = "the function's numArgs is no integer";
    return false;
  }
  uint32_t packed = static_cast<uint32_t>(IntegerOf(*numArgs));
  out.arguments = out.format == FunctionFrame::kNos2 ? packed & 0xFFFF : packed;
  out.locals = out.format == FunctionFrame::kNos2 ? packed >> 16 : 0;
  std::optional<PrintedValue>& literals = slots.literals;
  out.literals.clear();
  if (literals && literals->kind == PrintedValue::kArray) {
    int32_t count = tree.NumberOfElements(literals->object);
    out.literals.reserve(count);
    out.symbols.reserve(count);
    for (int32_t i = 0; i < count; ++i) out.literals.push_back(tree.Element(literals->object, i));
  }
  out.symbols.clear();
  for (const PrintedValue& literal : out.literals) out.symbols.push_back(SymbolOf(tree, literal));
  std::optional<PrintedValue>& argFrame = slots.argFrame;
  bool hasArgFrame = argFrame && argFrame->kind == PrintedValue::kFrame;
  out.names.clear();
  out.captured.clear();
  if (out.format == FunctionFrame::kNos1) {
    if (hasArgFrame) NamesFromArgFrame(tree, argFrame->object, out);
    int32_t declared = static_cast<int32_t>(out.names.size()) - kSpecial - out.arguments;
    out.locals = declared > 0 ? declared : 0;
    return true;
  }
  if (slots.debuggerInfo) NamesFromDebuggerInfo(tree, *slots.debuggerInfo, out);
  if (hasArgFrame) {
    int32_t count = tree.NumberOfSlots(argFrame->object);
    // Some tools list every variable in the argFrame and still use slots;
    // but a variable the code reaches by name, its name among the literals,
    // lives there.
    bool byName = false;
    for (int32_t i = kSpecial; i < count && !byName; ++i) {
      std::string_view name = tree.SlotName(argFrame->object, i);
      for (const std::optional<std::string_view>& symbol : out.symbols) {
        byName = byName || (symbol && NamesEqualIgnoringCase(*symbol, name));
      }
    }
    if (count == kSpecial + out.arguments + out.locals && out.names.empty() && !byName) {
      NamesFromArgFrame(tree, argFrame->object, out);
    } else {
      for (int32_t i = kSpecial; i < count; ++i) out.captured.emplace_back(tree.SlotName(argFrame->object, i));
    }
  }
  return true;
}

PrintedValue ImmediateValue(uint32_t word) {
  switch (word & 3) {
    case 0:
      return {PrintedValue::kInteger, word};
    case 3:
      return {PrintedValue::kMagicPointer, word};
    default:
      return {(word & 0xF) == 6 ? PrintedValue::kCharacter : PrintedValue::kImmediate, word};
  }
}
