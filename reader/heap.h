#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "reader/file_bytes.h"

class Faults;

// The objects of a package's NewtonScript parts. Check() follows every
// pointer from each part's root array, looks at every object it reaches once
// and reports what does not hold. Resolve() never trusts a pointer that the
// checks would refuse, so the objects can then be read for printing and
// extraction, however the file was made.
class Heap {
 public:
  // The flag byte of an object's first word, by kind. Some tools copied
  // objects as they lay in memory, with 0x80 set as well: Flags() leaves
  // that bit out.
  static constexpr uint8_t kBinary = 0x40;
  static constexpr uint8_t kArray = 0x41;
  static constexpr uint8_t kFrame = 0x43;

  Heap(const FileBytes& file, Faults& faults);

  // A NewtonScript part whose bytes run from `start` to `end`; parts are
  // added in the order of their starts and do not overlap.
  void AddPart(uint32_t number, uint64_t start, uint64_t end);
  void Check();

  // Where a pointer word leads: an object whose header holds, or a fault.
  enum class Fault { kNone, kPastEnd, kOutside, kMisaligned, kMiddle, kBadHeader };
  struct Target {
    Fault fault;
    uint64_t offset;  // the object; for kMiddle, the object it lies in
  };
  Target Resolve(uint32_t pointer) const {
    // An object the scan found is aligned and its header holds: most
    // pointers lead to one.
    uint64_t offset = pointer - 1;
    if (offset < scanStarts.size() && scanStarts[offset]) return {Fault::kNone, offset};
    return ResolveOther(offset);
  }

  // The part roots, in the order the parts were added; none where a part's
  // root is no array.
  struct Root {
    uint32_t part;
    uint64_t offset;
  };
  const std::vector<Root>& Roots() const { return roots; }

  // Of an object that Resolve accepted (or a root):
  uint8_t Flags(uint64_t object) const { return file.Byte(object + 3) & 0x7F; }
  uint32_t Size(uint64_t object) const { return file.Word(object) >> 8; }
  // What the header claims, within what the file holds: a damaged package's
  // map may lead to bytes that are no object.
  uint32_t NumberOfRefs(uint64_t object) const {
    uint64_t size = std::min<uint64_t>(Size(object), file.Size() > object ? file.Size() - object : 0);
    return size >= 12 ? static_cast<uint32_t>((size - 12) / 4) : 0;
  }
  bool IsSymbol(uint64_t object) const;
  std::string_view SymbolName(uint64_t object) const;
  // The names a frame map's chain holds, supermaps included; -1 when the
  // chain is broken.
  int64_t NamesInChain(uint64_t map) const;
  // The object a pointer word at `at` leads to, if it is good.
  bool Follow(uint64_t at, uint64_t& object) const {
    uint32_t word = file.Word(at);
    if ((word & 0x3) != 0x1) return false;
    Target target = Resolve(word);
    object = target.offset;
    return target.fault == Fault::kNone;
  }
  const FileBytes& File() const { return file; }

 private:
  struct Part {
    uint32_t number;
    uint64_t start, end;
    uint32_t alignment;
    std::vector<uint32_t> starts;  // of the objects found one after another, from `start`
    uint64_t scanned;              // where that sequence stopped
  };
  Target ResolveOther(uint64_t offset) const;
  const Part* PartAt(uint64_t offset) const;
  const char* HeaderFault(uint64_t object, const Part& part) const;
  void Scan(Part& part);

  void Reach(uint64_t object);
  void CheckRef(uint64_t at);
  void CheckObject(uint64_t object);
  void CheckFrame(uint64_t frame);
  void CheckSymbol(uint64_t symbol);
  int64_t CheckChain(uint64_t map);
  int64_t CheckNames(uint64_t map);

  const FileBytes& file;
  Faults& faults;
  std::vector<Part> parts;
  std::vector<Root> roots;
  std::vector<bool> reached;     // by file offset
  std::vector<bool> scanStarts;  // the parts' `starts`, by file offset, as far as the last scan reached
  std::vector<uint64_t> work;
  std::unordered_map<uint64_t, int64_t> chainNames;  // by map offset
};
