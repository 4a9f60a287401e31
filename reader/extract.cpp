#include "reader/extract.h"

#include <algorithm>
#include <optional>

#include "reader/heap.h"
#include "reader/heap_tree.h"
#include "objects/errors.h"
#include "objects/ref.h"

namespace {

// The immediates that mark a native function's class: NOS 1's and NOS 2's.
const uint32_t kNativeFunctionClasses[] = {0x132, Ref::kNativeFunctionClass};

const char* KindText(const PrintedValue& value) {
  switch (value.kind) {
    case PrintedValue::kFrame:
      return "a frame";
    case PrintedValue::kArray:
      return "an array";
    case PrintedValue::kBinary:
      return "a binary object";
    case PrintedValue::kBadPointer:
      return "a bad pointer";
    default:
      return "an immediate value";
  }
}

// One step: a slot name, or [index]. Returns the error text, or "".
std::string Step(const HeapTree& tree, std::string_view step, PrintedValue& value) {
  std::string name(step);
  if (step.front() != '[') {
    if (value.kind != PrintedValue::kFrame) {
      return Format("step '%s': the value there is %s, not a frame", name.c_str(), KindText(value));
    }
    std::optional<PrintedValue> slot = tree.FindSlot(value.object, step);
    if (!slot) return Format("step '%s': the frame has no slot of that name", name.c_str());
    value = *slot;
    return "";
  }
  uint64_t index = 0;
  bool digits = step.size() >= 3 && step.back() == ']';
  for (char c : step.substr(1, step.size() - 2)) {
    digits = digits && c >= '0' && c <= '9' && index <= UINT32_MAX;
    index = index * 10 + (c - '0');
  }
  if (!digits) return Format("step '%s' is not an index", name.c_str());
  if (value.kind != PrintedValue::kArray) {
    return Format("step '%s': the value there is %s, not an array", name.c_str(), KindText(value));
  }
  if (index >= static_cast<uint64_t>(tree.NumberOfElements(value.object))) {
    return Format("step '%s': the array has %d elements", name.c_str(),
                  tree.NumberOfElements(value.object));
  }
  value = tree.Element(value.object, static_cast<int32_t>(index));
  return "";
}

// The path's steps: names run up to the next '.' or '['; indexes to ']'.
size_t StepEnd(std::string_view path, size_t start) {
  if (path[start] == '[') {
    size_t close = path.find(']', start);
    return close == std::string_view::npos ? path.size() : close + 1;
  }
  size_t next = path.find_first_of(".[", start);
  return next == std::string_view::npos ? path.size() : next;
}

bool IsNativeFunction(const HeapTree& tree, const PrintedValue& value) {
  if (value.kind != PrintedValue::kFrame) return false;
  std::optional<PrintedValue> classSlot = tree.FindSlot(value.object, "class");
  if (!classSlot || classSlot->kind != PrintedValue::kImmediate) return false;
  for (uint32_t word : kNativeFunctionClasses) {
    if (classSlot->word == word) return true;
  }
  return false;
}

}  // namespace

Extracted FollowPath(const Heap& heap, const HeapTree& tree, std::string_view path) {
  Extracted result;
  auto partZero = std::find_if(heap.Roots().begin(), heap.Roots().end(),
                               [](const Heap::Root& root) { return root.part == 0; });
  if (partZero == heap.Roots().end()) {
    result.error = "part 0 has no objects to follow the path into";
    return result;
  }
  PrintedValue root = tree.Root(partZero->offset);
  if (tree.NumberOfElements(root.object) == 0) {
    result.error = "part 0's root array is empty";
    return result;
  }
  PrintedValue value = tree.Element(root.object, 0);
  for (size_t start = 0; start < path.size();) {
    if (path[start] == '.' && start > 0) ++start;
    size_t end = start < path.size() ? StepEnd(path, start) : start;
    if (end == start) {
      result.error = Format("the path has an empty step at character %zu", start + 1);
      return result;
    }
    result.error = Step(tree, path.substr(start, end - start), value);
    if (!result.error.empty()) return result;
    start = end;
  }
  if (IsNativeFunction(tree, value)) {
    if (std::optional<PrintedValue> code = tree.FindSlot(value.object, "code")) value = *code;
  }
  if (value.kind != PrintedValue::kBinary) {
    result.error = Format("the path leads to %s, not a binary object", KindText(value));
    return result;
  }
  result.bytes = tree.BinaryBytes(value.object, result.length);
  return result;
}
