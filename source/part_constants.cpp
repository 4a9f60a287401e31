// Which objects the source names as constants, and in what order it
// declares them.

#include "decompiler/function_frame.h"
#include "objects/ref.h"
#include "reader/heap_tree.h"
#include "source/part_plan.h"
#include "source/written_values.h"

namespace {
const int kDeepestQuoted = 64;
// How deep objects are written inside each other, well within what the
// compiler reads.
const int kDeepestWritten = 100;

bool IsObject(const PrintedValue& value) {
  return value.kind == PrintedValue::kArray || value.kind == PrintedValue::kFrame ||
         value.kind == PrintedValue::kBinary;
}
}  // namespace

// What an object is written of: a function's literals, a frame's slots, an
// array's class and elements, a binary's class.
std::vector<PrintedValue> PartPlan::Children(const PrintedValue& value) const {
  std::vector<PrintedValue> list;
  // A function's literals, and the first slots of its argFrame, which its
  // options give.
  if (const Decompiler* function = value.kind == PrintedValue::kFrame ? Source(value.object) : nullptr) {
    list = function->Function().literals;
    std::optional<PrintedValue> argFrame = tree.FindSlot(value.object, "argFrame");
    if (argFrame && argFrame->kind == PrintedValue::kFrame) {
      for (int32_t k = 0; k < std::min(tree.NumberOfSlots(argFrame->object), 3); ++k) {
        list.push_back(tree.SlotValue(argFrame->object, k));
      }
    }
    return list;
  }
  if (value.kind == PrintedValue::kFrame) {
    for (int32_t k = 0; k < tree.NumberOfSlots(value.object); ++k) list.push_back(tree.SlotValue(value.object, k));
  } else {
    list.push_back(tree.ArrayClass(value.object));
    if (value.kind == PrintedValue::kArray) {
      for (int32_t k = 0; k < tree.NumberOfElements(value.object); ++k) list.push_back(tree.Element(value.object, k));
    }
  }
  // What a function makes is written as the function's slot: it names the
  // function.
  for (PrintedValue& child : list) {
    if (const MadeBy* made = child.object ? MadeByFunction(child.object) : nullptr) child = made->function;
  }
  return list;
}

bool PartPlan::IsShared(const PrintedValue& value) const {
  return IsObject(value) && !(value.kind == PrintedValue::kBinary && tree.SymbolName(value.object));
}

void PartPlan::ChooseConstants(const PrintedValue& root) {
  std::unordered_map<const void*, PrintedValue> byObject;
  for (const PrintedValue& object : objects) {
    byObject[object.object] = object;
    // Named maps are declared apart; strings the rules merge are written
    // where they stand, but one that a function pushes from one literal at
    // two places.
    bool merged = rules.mergeStrings && IsPlainString(tree, object) && !reusedEntries.count(object.object);
    if (refs[object.object] > 1 && !constantNames.count(object.object) && !merged) named.insert(object.object);
  }
  for (const auto& [object, made] : madeBy) named.insert(made.function.object);
  // A cycle is closed through a name declared further down.
  std::unordered_set<const void*> done, open;
  for (const PrintedValue& start : objects) {
    if (done.count(start.object)) continue;
    std::vector<std::pair<PrintedValue, std::vector<PrintedValue>>> path = {{start, Children(start)}};
    open.insert(start.object);
    while (!path.empty()) {
      if (path.back().second.empty()) {
        open.erase(path.back().first.object);
        done.insert(path.back().first.object);
        path.pop_back();
        continue;
      }
      PrintedValue child = path.back().second.back();
      path.back().second.pop_back();
      if (!IsShared(child) || done.count(child.object)) continue;
      if (open.count(child.object)) {
        named.insert(child.object);
        continue;
      }
      open.insert(child.object);
      path.push_back({child, Children(child)});
    }
  }
  // What the code pushes and no literal of the source makes, until nothing
  // more is named.
  for (bool more = true; more;) {
    more = false;
    for (const void* object : inCode) {
      if (named.count(object)) continue;
      if (!Inline(byObject[object], closures.count(object) > 0)) {
        named.insert(object);
        more = true;
      }
    }
  }
  LimitNesting(root, byObject);
  done.clear();
  open.clear();
  Order(root, done, open);
  int counter = 0;
  for (const PrintedValue& constant : constants) constantNames[constant.object] = FreshName("shared", counter);

}

// Data nested deeper than a source may be (a long linked list) is cut by
// names: an object that deep is declared as a constant of its own, where its
// writing starts again from the top.
void PartPlan::LimitNesting(const PrintedValue& root, const std::unordered_map<const void*, PrintedValue>& byObject) {
  std::vector<std::pair<PrintedValue, int>> work = {{root, 0}};
  for (const void* object : named) {
    if (auto found = byObject.find(object); found != byObject.end()) work.push_back({found->second, 0});
  }
  while (!work.empty()) {
    auto [value, depth] = work.back();
    work.pop_back();
    for (const PrintedValue& child : Children(value)) {
      if (!IsShared(child) || named.count(child.object)) continue;
      bool cut = depth + 1 >= kDeepestWritten;
      if (cut) named.insert(child.object);
      work.push_back({child, cut ? 0 : depth + 1});
    }
  }
}

// Post-order: a constant after those that what it is written of names, but
// those on a cycle with it, which its data names before they are declared.
void PartPlan::Order(const PrintedValue& value, std::unordered_set<const void*>& done,
                     std::unordered_set<const void*>& open) {
  struct Step {
    PrintedValue value;
    std::vector<PrintedValue> children;
    size_t next = 0;
  };
  std::vector<Step> path = {{value, Children(value)}};
  open.insert(value.object);
  while (!path.empty()) {
    Step& step = path.back();
    if (step.next == step.children.size()) {
      const PrintedValue finished = step.value;
      open.erase(finished.object);
      done.insert(finished.object);
      if (named.count(finished.object)) constants.push_back(finished);
      path.pop_back();
      continue;
    }
    PrintedValue child = step.children[step.next++];
    if (!IsShared(child) || done.count(child.object) || open.count(child.object)) continue;
    open.insert(child.object);
    path.push_back({child, Children(child)});
  }
}

// A literal the code pushes that the source can write where it stands.
bool PartPlan::Inline(const PrintedValue& value, bool closure) const {
  switch (value.kind) {
    case PrintedValue::kBinary:
      return IsPlainString(tree, value) || IsPlainReal(tree, value);
    case PrintedValue::kArray:
      return Quotable(value, 0);
    case PrintedValue::kFrame:
      if (IsFunctionFrame(tree, value)) return closure && Source(value.object);
      return Quotable(value, 0);
    default:
      return true;
  }
}

// A value inside a quoted literal: '[...], '{...}.
bool PartPlan::Quotable(const PrintedValue& value, int depth) const {
  if (depth > kDeepestQuoted) return false;
  switch (value.kind) {
    case PrintedValue::kInteger: case PrintedValue::kCharacter: case PrintedValue::kMagicPointer:
      return true;
    case PrintedValue::kImmediate:
      return value.word == Ref::kNil || value.word == Ref::kTrue;
    case PrintedValue::kBadPointer:
      return false;
    default:
      break;
  }
  if (value.kind == PrintedValue::kBinary && tree.SymbolName(value.object)) return true;
  if (named.count(value.object) || constantNames.count(value.object)) return false;
  if (value.kind == PrintedValue::kBinary) return IsPlainString(tree, value) || IsPlainReal(tree, value);
  if (value.kind == PrintedValue::kArray) {
    if (!SymbolOf(tree, tree.ArrayClass(value.object))) return false;
    for (int32_t k = 0; k < tree.NumberOfElements(value.object); ++k) {
      if (!Quotable(tree.Element(value.object, k), depth + 1)) return false;
    }
    return true;
  }
  if (IsFunctionFrame(tree, value) || IsNativeFunctionFrame(tree, value) ||
      ChoiceOf(value).kind != MapChoice::kRule) {
    return false;
  }
  for (int32_t k = 0; k < tree.NumberOfSlots(value.object); ++k) {
    if (tree.SlotName(value.object, k).data() == HeapTree::kNilName) return false;
    if (!Quotable(tree.SlotValue(value.object, k), depth + 1)) return false;
  }
  return true;
}
