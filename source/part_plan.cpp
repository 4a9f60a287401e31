#include "source/part_plan.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "decompiler/function_frame.h"
#include "decompiler/local_numbering.h"
#include "objects/ref.h"
#include "objects/symbol.h"
#include "packaging/big_endian.h"
#include "reader/heap_tree.h"

namespace {
bool IsObject(const PrintedValue& value) {
  return value.kind == PrintedValue::kArray || value.kind == PrintedValue::kFrame ||
         value.kind == PrintedValue::kBinary;
}

// Whether the variables the compiler adds for loops have, where the function
// names them, the names the compiler gives them (i|limit, v|iter...): else
// its source cannot make the same frame.
bool NamesLoopsAsCompiled(const Decompiler& function) {
  const FunctionFrame& frame = function.Function();
  bool named = true;
  ForEachLoopVariable(function, [&](const Variable& variable, const std::string& expected) {
    named = named && (variable.byName || variable.id >= frame.names.size() || frame.names[variable.id].empty() ||
                      frame.names[variable.id] == expected);
  });
  return named;
}

// A map that Map(names, flags, supermap) writes: flags, symbols, and nil or
// such a map first; a crafted literal may hold anything.
bool IsWritableMap(const PrintedTree& tree, const PrintedValue& map, int depth = 0) {
  const int kDeepestChain = 16;
  if (map.kind != PrintedValue::kArray || tree.ArrayClass(map.object).kind != PrintedValue::kInteger ||
      depth > kDeepestChain) {
    return false;
  }
  int32_t count = tree.NumberOfElements(map.object);
  for (int32_t k = 1; k < count; ++k) {
    if (!SymbolOf(tree, tree.Element(map.object, k))) return false;
  }
  PrintedValue super = count > 0 ? tree.Element(map.object, 0) : PrintedValue{PrintedValue::kImmediate, Ref::kNil};
  return (super.kind == PrintedValue::kImmediate && super.word == Ref::kNil) || IsWritableMap(tree, super, depth + 1);
}

// Whether every frame the function's code makes has a map its source can
// write.
bool MakesWritableFrames(const Decompiler& function) {
  const FunctionFrame& frame = function.Function();
  bool writable = true;
  ForEachNode(function.Body(), [&](const Node& node) {
    if (node.kind == Kind::kMakeFrame) {
      writable = writable && node.index < frame.literals.size() &&
                 IsWritableMap(function.Tree(), frame.literals[node.index]);
    }
  });
  return writable;
}
}  // namespace

PartPlan::PartPlan(HeapTree& tree, const PrintedValue& root, uint64_t rootArray, const RebuildLessons& learnt,
                   std::unordered_set<std::string>& names)
    : tree(tree), names(names), givenDebug(learnt.debugInfos) {
  Discover(root, learnt.asFrames, learnt.localsAtTop);
  FindMadeByFunctions();
  ChooseRules(rootArray);
  ChooseMaps(learnt.maps);
  ChooseConstants(root);
}

void PartPlan::Discover(const PrintedValue& root, const std::set<int64_t>& raw, const std::set<int64_t>& localsAtTop) {
  std::vector<PrintedValue> work = {root};
  while (!work.empty()) {
    PrintedValue value = work.back();
    work.pop_back();
    if (!IsObject(value)) continue;
    if (value.kind == PrintedValue::kBinary && tree.SymbolName(value.object)) {
      symbols.insert(value.object);
      continue;
    }
    if (++refs[value.object] > 1) continue;
    objects.push_back(value);
    bool function = value.kind == PrintedValue::kFrame && IsFunctionFrame(tree, value);
    if (function) {
      std::optional<PrintedValue> code = tree.FindSlot(value.object, "instructions");
      if (code && code->kind == PrintedValue::kBinary) ++codeUses[code->object];
      std::optional<PrintedValue> literals = tree.FindSlot(value.object, "literals");
      if (literals && literals->kind == PrintedValue::kArray && ++literalUses[literals->object] == 2) {
        literalGroups[literals->object] = static_cast<int32_t>(literalGroups.size()) + 1;
      }
    }
    if (function && !raw.count(value.offset)) {
      auto function = std::make_unique<Decompiler>(tree);
      function->Read(value);
      bool atTop = localsAtTop.count(value.offset) > 0;
      // Locals declared first change nothing for a function without any.
      if (function->IsRecovered() && NamesLoopsAsCompiled(*function) && MakesWritableFrames(*function) &&
          !(atTop && function->Function().locals == 0)) {
        if (atTop) function->DeclareLocalsAtTop();
        functions.push_back(value);
        PrintedValue map = tree.Value(static_cast<uint64_t>(value.offset) + 8);
        mapOf[value.object] = map;
        ++users[map.object].sources;
        mapUsers[map.object].push_back(value);
        Sites(*function, value, work);
        Reserve(*function);
        sources[value.object] = std::move(function);
        continue;
      }
    }
    Visit(value, work);
  }
}

// A frame's map and slots, an array's class and elements, a binary's class.
void PartPlan::Visit(const PrintedValue& value, std::vector<PrintedValue>& work) {
  std::vector<PrintedValue> children;
  if (value.kind == PrintedValue::kFrame) {
    PrintedValue map = tree.Value(static_cast<uint64_t>(value.offset) + 8);
    mapOf[value.object] = map;
    bool function = IsFunctionFrame(tree, value);
    if (function) functions.push_back(value);
    Users& use = users[map.object];
    ++(function || IsNativeFunctionFrame(tree, value) ? use.others : use.frames);
    mapUsers[map.object].push_back(value);
    for (int32_t k = 0; k < tree.NumberOfSlots(value.object); ++k) children.push_back(tree.SlotValue(value.object, k));
  } else {
    children.push_back(tree.ArrayClass(value.object));
    if (value.kind == PrintedValue::kArray) {
      for (int32_t k = 0; k < tree.NumberOfElements(value.object); ++k) children.push_back(tree.Element(value.object, k));
    }
  }
  for (auto child = children.rbegin(); child != children.rend(); ++child) work.push_back(*child);
}

// The objects a function's code pushes, once for each place it pushes them;
// its frame constructors' maps; the literals it holds and does not use.
void PartPlan::Sites(const Decompiler& function, const PrintedValue& self, std::vector<PrintedValue>& work) {
  const FunctionFrame& frame = function.Function();
  std::vector<bool> used(frame.literals.size());
  std::vector<int> pushes(frame.literals.size());
  for (const Instruction& ins : function.Code()) {
    if (ins.op == Op::kPush || ins.op == Op::kFindVar || ins.op == Op::kFindAndSetVar) {
      if (ins.b < used.size()) used[ins.b] = true;
    }
    if (ins.op == Op::kPush && ins.b < pushes.size() && ++pushes[ins.b] == 2 && IsObject(frame.literals[ins.b])) {
      reusedEntries.insert(frame.literals[ins.b].object);
    }
  }
  std::vector<PrintedValue> pushed;
  ForEachNode(function.Body(), [&](const Node& node) {
    if ((node.kind == Kind::kLiteral || node.kind == Kind::kFunction) && node.index < frame.literals.size()) {
      const PrintedValue& literal = frame.literals[node.index];
      if (literal.kind == PrintedValue::kMagicPointer && MagicName(literal.word).empty()) {
        magicConstants.emplace_back(FreshName("magic", magicCount), literal.word);
      }
      if (IsObject(literal)) {
        inCode.insert(literal.object);
        if (node.flag) closures.insert(literal.object);
        pushed.push_back(literal);
      }
    } else if (node.kind == Kind::kMakeFrame && node.index < frame.literals.size()) {
      const PrintedValue& map = frame.literals[node.index];
      ++users[map.object].sites;
      mapUsers[map.object].push_back(map);
    }
  });
  for (size_t k = 0; k < frame.literals.size(); ++k) {
    if (!used[k]) pushed.push_back(frame.literals[k]);
  }
  for (auto value = pushed.rbegin(); value != pushed.rend(); ++value) work.push_back(*value);
  // An argFrame the code generator makes: its map as the rules give it, its
  // first slots as its options give them.
  if (std::optional<PrintedValue> argFrame = tree.FindSlot(self.object, "argFrame");
      argFrame && argFrame->kind == PrintedValue::kFrame) {
    PrintedValue map = tree.Value(static_cast<uint64_t>(argFrame->offset) + 8);
    ++users[map.object].argFrames;
    mapUsers[map.object].push_back(*argFrame);
    argFrames.insert(argFrame->object);
    for (int32_t k = std::min(tree.NumberOfSlots(argFrame->object), 3); k-- > 0;) {
      work.push_back(tree.SlotValue(argFrame->object, k));
    }
  }
}

// What the compiler makes of a function written as source, its literals and
// its DebuggerInfo, is no object of the data: where the data reaches it too
// (a native function's closure holds the literals of the function it was
// compiled from), it names it as the function's slot. So what it holds is
// counted only as the function's.
void PartPlan::FindMadeByFunctions() {
  std::unordered_set<const void*> made;
  for (const PrintedValue& function : functions) {
    if (!Source(function.object)) continue;
    for (const char* slot : {"literals", "DebuggerInfo"}) {
      std::optional<PrintedValue> value = tree.FindSlot(function.object, slot);
      if (!value || value->kind != PrintedValue::kArray || !refs.count(value->object) || madeBy.count(value->object)) {
        continue;
      }
      madeBy[value->object] = {function, slot};
      made.insert(value->object);
      std::vector<PrintedValue> children;
      Visit(*value, children);
      for (const PrintedValue& child : children) {
        if (IsObject(child) && refs.count(child.object)) --refs[child.object];
      }
    }
  }
  if (made.empty()) return;
  objects.erase(std::remove_if(objects.begin(), objects.end(),
                               [&](const PrintedValue& object) { return made.count(object.object) > 0; }),
                objects.end());
}

const PartPlan::MadeBy* PartPlan::MadeByFunction(const void* object) const {
  auto found = madeBy.find(object);
  return found == madeBy.end() ? nullptr : &found->second;
}

bool PartPlan::GivesDebugInfo(const PrintedValue& function) const {
  if (!givenDebug.count(function.offset)) return false;
  std::optional<PrintedValue> info = tree.FindSlot(function.object, "DebuggerInfo");
  return info && info->kind == PrintedValue::kArray;
}

// The names a function written as source reads or declares are no
// constant's: a global it reads by name would read the constant instead.
void PartPlan::Reserve(const Decompiler& function) {
  const FunctionFrame& frame = function.Function();
  for (const std::optional<std::string_view>& symbol : frame.symbols) {
    if (symbol) names.insert(FoldedName(*symbol));
  }
  for (const std::string& name : frame.names) names.insert(FoldedName(name));
  for (const std::string& name : frame.captured) names.insert(FoldedName(name));
}

int32_t PartPlan::MapFlags(const PrintedValue& map) const {
  if (map.kind != PrintedValue::kArray) return -1;
  PrintedValue cls = tree.ArrayClass(map.object);
  return cls.kind == PrintedValue::kInteger ? static_cast<int32_t>(cls.word) >> 2 : -1;
}

bool PartPlan::HasSupermap(const PrintedValue& map) const {
  return map.kind == PrintedValue::kArray && tree.NumberOfElements(map.object) > 0 &&
         !(tree.Element(map.object, 0).kind == PrintedValue::kImmediate && tree.Element(map.object, 0).word == Ref::kNil);
}

const Decompiler* PartPlan::Source(const void* frame) const {
  auto found = sources.find(frame);
  return found == sources.end() ? nullptr : found->second.get();
}

const std::string& PartPlan::ConstantName(const void* object) const {
  static const std::string kNone;
  auto found = constantNames.find(object);
  return found == constantNames.end() ? kNone : found->second;
}

bool PartPlan::SharesInstructions(const PrintedValue& function) const {
  std::optional<PrintedValue> code = tree.FindSlot(function.object, "instructions");
  if (!code) return false;
  auto found = codeUses.find(code->object);
  return found != codeUses.end() && found->second > 1;
}

int32_t PartPlan::LiteralsGroup(const PrintedValue& function) const {
  std::optional<PrintedValue> literals = tree.FindSlot(function.object, "literals");
  if (!literals) return 0;
  auto found = literalGroups.find(literals->object);
  return found == literalGroups.end() ? 0 : found->second;
}

const std::string& PartPlan::MagicName(uint32_t word) const {
  static const std::string kNone;
  for (const auto& [name, magic] : magicConstants) {
    if (magic == word) return name;
  }
  return kNone;
}

PartPlan::MapChoice PartPlan::ChoiceOf(const PrintedValue& value) const {
  auto found = choices.find(value.object);
  return found == choices.end() ? MapChoice{} : found->second;
}

std::string PartPlan::FreshName(const char* stem, int& counter) {
  while (true) {
    std::string name = stem + std::to_string(++counter);
    if (names.insert(FoldedName(name)).second) return name;
  }
}
