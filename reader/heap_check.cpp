// The checks of the NewtonScript objects: every object reachable from a part
// root is looked at once, every pointer word in it once, and every frame map
// chain once, so that the work stays in proportion to the file however its
// objects share one another.

#include <algorithm>
#include <cstring>

#include "reader/faults.h"
#include "reader/file_bytes.h"
#include "reader/heap.h"
#include "objects/errors.h"
#include "objects/ref.h"
#include "objects/symbol.h"

namespace {
// Real chains of supermaps are a few maps long; a longer one is refused
// rather than followed at a cost that grows with every frame using it.
const size_t kLongestChain = 64;

// Tools differ in whether they sum a name's bytes above 0x7F as signed or
// unsigned; either hash is taken.
bool HashMatches(uint32_t stored, std::string_view name) {
  if (stored == SymbolHash(std::string(name).c_str())) return true;
  uint32_t sum = 0;
  for (unsigned char c : name) sum += c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c;
  return stored == sum * 0x9E3779B9u;
}
}  // namespace

void Heap::Check() {
  for (const Root& root : roots) Reach(root.offset);
  while (!work.empty()) {
    uint64_t object = work.back();
    work.pop_back();
    CheckObject(object);
  }
}

void Heap::Reach(uint64_t object) {
  if (reached[object]) return;
  reached[object] = true;
  work.push_back(object);
}

void Heap::CheckRef(uint64_t at) {
  uint32_t word = file.Word(at);
  if ((word & 0x3) != 0x1) return;
  Target target = Resolve(word);
  switch (target.fault) {
    case Fault::kNone:
      Reach(target.offset);
      break;
    case Fault::kPastEnd:
      faults.Add(at, Format("the pointer 0x%08x leads past the end of the file", word));
      break;
    case Fault::kOutside:
      faults.Add(at, Format("the pointer 0x%08x leads outside the NewtonScript parts", word));
      break;
    case Fault::kMisaligned:
      faults.Add(at, Format("the pointer 0x%08x is not on its part's object alignment", word));
      break;
    case Fault::kMiddle:
      faults.Add(at, Format("the pointer 0x%08x leads into the middle of the object at 0x%llx",
                            word, static_cast<unsigned long long>(target.offset)));
      break;
    case Fault::kBadHeader:
      // The object's own fault, reported once however many pointers lead to it.
      if (!reached[target.offset]) {
        reached[target.offset] = true;
        faults.Add(target.offset, HeaderFault(target.offset, *PartAt(target.offset)));
      }
      break;
  }
}

void Heap::CheckObject(uint64_t object) {
  CheckRef(object + 8);
  uint8_t flags = Flags(object);
  if (flags == kBinary) {
    // A binary's class says what its bytes should be, not what they are: a
    // `bits` binary that holds no bitmap is no fault of the package.
    if (file.Word(object + 8) == Ref::kClassSymbol) CheckSymbol(object);
    return;
  }
  if (flags == kFrame) CheckFrame(object);
  for (uint32_t i = 0; i < NumberOfRefs(object); ++i) CheckRef(object + 12 + 4 * i);
}

void Heap::CheckFrame(uint64_t frame) {
  uint64_t map;
  if (!Follow(frame + 8, map)) {
    // A bad pointer has been reported as such.
    if ((file.Word(frame + 8) & 0x3) != 0x1)
      faults.Add(frame + 8, "the frame's map is not an array");
    return;
  }
  if (Flags(map) != kArray) {
    faults.Add(frame + 8, "the frame's map is not an array");
    return;
  }
  int64_t names = CheckChain(map);
  if (names >= 0 && names != NumberOfRefs(frame)) {
    faults.Add(frame, Format("the frame has %u slots but its map names %lld", NumberOfRefs(frame),
                             static_cast<long long>(names)));
  }
}

// Walks from a map to the outermost supermap, then counts the names from the
// outside in, remembering each map's total.
int64_t Heap::CheckChain(uint64_t map) {
  std::vector<uint64_t> chain;
  int64_t names = 0;
  for (uint64_t at = map;;) {
    if (auto known = chainNames.find(at); known != chainNames.end()) {
      names = known->second;
      break;
    }
    if (std::find(chain.begin(), chain.end(), at) != chain.end() || chain.size() == kLongestChain) {
      faults.Add(chain.back() + 12, "the chain of supermaps loops or is too long");
      names = -1;
      break;
    }
    chain.push_back(at);
    if (NumberOfRefs(at) == 0) {
      faults.Add(at, "the map has no supermap element");
      names = -1;
      break;
    }
    uint32_t supermap = file.Word(at + 12);
    if (supermap == Ref::kNil) break;
    uint64_t next;
    if (!Follow(at + 12, next) || Flags(next) != kArray) {
      if ((supermap & 0x3) != 0x1 || Resolve(supermap).fault == Fault::kNone) {
        faults.Add(at + 12, "the supermap is neither NIL nor an array");
      }
      names = -1;
      break;
    }
    at = next;
  }
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (names >= 0) names += CheckNames(*it);
    chainNames[*it] = names;
  }
  return names;
}

// The number of slot names a map holds itself, each of which must be a symbol
// or NIL (one real package names an argument and a local NIL).
int64_t Heap::CheckNames(uint64_t map) {
  uint32_t count = NumberOfRefs(map);
  for (uint32_t i = 1; i < count; ++i) {
    uint64_t at = map + 12 + 4 * i, name;
    bool pointer = (file.Word(at) & 0x3) == 0x1;
    if (file.Word(at) == Ref::kNil) continue;
    if (Follow(at, name) ? !IsSymbol(name) : !pointer)
      faults.Add(at, "the slot name is not a symbol");
  }
  return count - 1;
}

void Heap::CheckSymbol(uint64_t symbol) {
  uint32_t size = Size(symbol);
  const uint8_t* data = file.At(symbol + 12);
  if (size < 12 + 5 || !std::memchr(data + 4, 0, size - 12 - 4)) {
    faults.Add(symbol, "the symbol's name has no terminator");
    return;
  }
  std::string_view name = SymbolName(symbol);
  if (size != 12 + 4 + name.size() + 1) {
    faults.Add(symbol, Format("the symbol is %u bytes, not the %zu its name takes", size,
                              12 + 4 + name.size() + 1));
  }
  uint32_t stored = file.Word(symbol + 12);
  if (!HashMatches(stored, name)) {
    faults.Add(symbol + 12, Format("the symbol's hash 0x%08x does not match its name's, 0x%08x",
                                   stored, SymbolHash(std::string(name).c_str())));
  }
}
