#include "source/rebuild_check.h"

#include <cstring>
#include <cstdio>
#include <unordered_map>
#include <vector>

#include "objects/errors.h"
#include "reader/file_bytes.h"
#include "reader/heap.h"

namespace {

struct Step {
  uint32_t a, b;       // the two Ref words
  int64_t owner;       // the function written as source that holds them, or -1
  int64_t mapOf;       // the frame whose map they are, or -1
  bool roots = false;  // a and b are the parts' root arrays, which may lie anywhere
  int64_t debugOf = -1;  // the function written as source whose DebuggerInfo they are, or -1
};

// Where the compiler puts a function's literals and DebuggerInfo among its
// slots.
const uint32_t kLiteralsSlot = 2;
const uint32_t kDebuggerInfoSlot = 5;

class Walk {
 public:
  Walk(const Heap& a, const Heap& b, const std::set<int64_t>& sources) : a(a), b(b), sources(sources) {
    // What the compiler makes for a function answers to it wherever it is
    // reached from: a function written as its frame may hold another's
    // literals.
    for (int64_t function : sources) {
      uint64_t frame = static_cast<uint64_t>(function);
      if (a.NumberOfRefs(frame) <= kLiteralsSlot) continue;
      uint32_t literals = a.File().Word(frame + 12 + 4 * kLiteralsSlot);
      if ((literals & 3) == 1) literalsOf.try_emplace(literals - 1, function);
    }
  }

  void CompareRoots(uint64_t rootA, uint64_t rootB) {
    work.push_back({static_cast<uint32_t>(rootA + 1), static_cast<uint32_t>(rootB + 1), -1, -1, true});
    while (!work.empty()) {
      Step step = work.back();
      work.pop_back();
      One(step);
    }
  }
  RebuildFaults faults;

 private:
  void Fault(const Step& step, const char* what) {
    if (step.debugOf >= 0) {
      faults.debugInfos.insert(step.debugOf);
    } else if (step.mapOf >= 0) {
      faults.maps.insert(step.mapOf);
    } else if (step.owner >= 0) {
      faults.functions.insert(step.owner);
    } else if (faults.other.empty()) {
      faults.other = Format("%s: 0x%08x against 0x%08x", what, step.a, step.b);
    }
  }

  void One(const Step& step) {
    if (!step.roots && ((step.a & 3) != 1 || (step.b & 3) != 1)) {
      if (step.a != step.b) Fault(step, "a value differs");
      return;
    }
    uint64_t x = step.a - 1, y = step.b - 1;
    if (!step.roots &&
        (a.Resolve(step.a).fault != Heap::Fault::kNone || b.Resolve(step.b).fault != Heap::Fault::kNone)) {
      return Fault(step, "a pointer leads nowhere");
    }
    bool symbolA = a.IsSymbol(x), symbolB = b.IsSymbol(y);
    if (symbolA || symbolB) {
      if (!symbolA || !symbolB || a.SymbolName(x) != b.SymbolName(y)) Fault(step, "a symbol differs");
      return;
    }
    auto [pair, fresh] = pairs.try_emplace(x, y);
    auto [back, freshBack] = backs.try_emplace(y, x);
    if (!fresh || !freshBack) {
      if (pair->second != y || back->second != x) Fault(step, "an object is shared in one and not the other");
      return;
    }
    uint8_t kind = a.Flags(x);
    uint32_t size = a.Size(x);
    // A function written as source answers for its own frame too.
    bool source = kind == Heap::kFrame && sources.count(static_cast<int64_t>(x));
    int64_t owner = source ? static_cast<int64_t>(x) : step.owner;
    if (auto maker = literalsOf.find(x); maker != literalsOf.end()) owner = maker->second;
    if (kind != b.Flags(y) || size != b.Size(y)) {
      return Fault({step.a, step.b, owner, step.mapOf, false, step.debugOf}, "an object differs in kind or size");
    }
    const FileBytes& fileA = a.File();
    const FileBytes& fileB = b.File();
    if (kind == Heap::kBinary) {
      if (std::memcmp(fileA.At(x + 12), fileB.At(y + 12), size - 12) != 0) return Fault(step, "a binary's bytes differ");
      work.push_back({fileA.Word(x + 8), fileB.Word(y + 8), step.owner, -1, false, step.debugOf});
      return;
    }
    for (uint32_t k = a.NumberOfRefs(x); k-- > 0;) {
      int64_t debugOf = source && k == kDebuggerInfoSlot ? owner : step.debugOf;
      work.push_back({fileA.Word(x + 12 + 4 * k), fileB.Word(y + 12 + 4 * k), owner, -1, false, debugOf});
    }
    // A frame's map is its own: a difference there is in how the map is made.
    int64_t mapOf = kind == Heap::kFrame ? static_cast<int64_t>(x) : step.mapOf;
    work.push_back({fileA.Word(x + 8), fileB.Word(y + 8), owner, mapOf});
  }

  const Heap& a;
  const Heap& b;
  const std::set<int64_t>& sources;
  std::vector<Step> work;
  std::unordered_map<uint64_t, uint64_t> pairs, backs;
  std::unordered_map<uint64_t, int64_t> literalsOf;  // a literals array: the function written as source it is of
};

}  // namespace

bool RebuildLessons::Learn(const RebuildFaults& found) {
  auto size = [&] { return asFrames.size() + maps.size() + debugInfos.size() + localsAtTop.size(); };
  size_t before = size();
  // A function whose source does not make it again is written next with its
  // locals declared first, for another compiler may have numbered them so;
  // then as its frame. DebuggerInfo given as it is and still not the same:
  // as its frame too.
  for (int64_t function : found.functions) {
    if (!localsAtTop.insert(function).second) asFrames.insert(function);
  }
  for (int64_t function : found.debugInfos) {
    if (debugInfos.count(function)) asFrames.insert(function);
  }
  maps.insert(found.maps.begin(), found.maps.end());
  debugInfos.insert(found.debugInfos.begin(), found.debugInfos.end());
  return size() > before;
}

RebuildFaults CompareRebuilt(const Heap& original, const Heap& rebuilt, const std::set<int64_t>& sources) {
  Walk walk(original, rebuilt, sources);
  const auto& rootsA = original.Roots();
  const auto& rootsB = rebuilt.Roots();
  if (rootsA.size() != rootsB.size()) {
    walk.faults.other = "the parts differ";
    return walk.faults;
  }
  for (size_t k = 0; k < rootsA.size(); ++k) {
    walk.CompareRoots(rootsA[k].offset, rootsB[k].offset);
  }
  return walk.faults;
}
