#include "reader/heap.h"

#include <algorithm>
#include <cstring>

#include "reader/faults.h"
#include "reader/file_bytes.h"
#include "objects/errors.h"
#include "objects/ref.h"
#include "packaging/package.h"

namespace {
const uint32_t kHeaderSize = 12;
}  // namespace

Heap::Heap(const FileBytes& file, Faults& faults)
    : file(file), faults(faults), reached(file.Size()) {}

void Heap::AddPart(uint32_t number, uint64_t start, uint64_t end) {
  // The root array's second header word gives the alignment of the part's
  // objects: 0 for 8 bytes (NOS 1), 1 for 4.
  Part part{number, start, end, 4, {}, start};
  uint32_t alignment = file.Word(start + 4);
  if (alignment == 0) {
    part.alignment = 8;
  } else if (alignment != 1) {
    faults.Add(start + 4, Format("the root's alignment word is %u, neither 0 nor 1", alignment));
  }
  if (const char* fault = HeaderFault(start, part)) {
    faults.Add(start, fault);
  } else if (Flags(start) != kArray) {
    faults.Add(start, "the part's root is not an array");
  } else {
    roots.push_back({number, start});
  }
  Scan(part);
  parts.push_back(std::move(part));
}

// Objects follow one another from the part's start, each on the part's
// alignment; while their headers hold, their starts are known, and a pointer
// between two of them is known to lead into the middle of one. Where a part
// does not start on its alignment in the file, objects may be aligned in the
// file instead: the scan takes whichever place holds an object.
void Heap::Scan(Part& part) {
  uint64_t at = part.start;
  while (at < part.end && !HeaderFault(at, part)) {
    part.starts.push_back(static_cast<uint32_t>(at - part.start));
    uint64_t end = at + Size(at);
    uint64_t inPart = part.start + RoundUp(part.alignment, end - part.start);
    uint64_t inFile = RoundUp(part.alignment, end);
    at = HeaderFault(inPart, part) && !HeaderFault(inFile, part) ? inFile : inPart;
  }
  part.scanned = std::min(at, part.end);
  scanStarts.resize(std::max<uint64_t>(scanStarts.size(), part.scanned));
  for (uint32_t relative : part.starts) scanStarts[part.start + relative] = true;
}

const Heap::Part* Heap::PartAt(uint64_t offset) const {
  auto after = std::upper_bound(parts.begin(), parts.end(), offset,
                                [](uint64_t at, const Part& part) { return at < part.start; });
  if (after == parts.begin()) return nullptr;
  const Part& part = *(after - 1);
  return offset < part.end ? &part : nullptr;
}

const char* Heap::HeaderFault(uint64_t object, const Part& part) const {
  if (object + kHeaderSize > part.end) return "the object's header runs past the end of its part";
  uint8_t flags = Flags(object);
  if (flags != kBinary && flags != kArray && flags != kFrame) {
    return "the object's flags are none of 0x40, 0x41 and 0x43, with or without 0x80";
  }
  if (Size(object) < kHeaderSize) return "the object's size is less than its 12 header bytes";
  if (object + Size(object) > part.end) return "the object runs past the end of its part";
  return nullptr;
}

Heap::Target Heap::ResolveOther(uint64_t offset) const {
  if (offset >= file.Size()) return {Fault::kPastEnd, offset};
  const Part* part = PartAt(offset);
  if (!part) return {Fault::kOutside, offset};
  if ((offset - part->start) % part->alignment != 0 && offset % part->alignment != 0) {
    return {Fault::kMisaligned, offset};
  }
  if (offset < part->scanned) {
    uint32_t relative = static_cast<uint32_t>(offset - part->start);
    auto after = std::upper_bound(part->starts.begin(), part->starts.end(), relative);
    uint64_t container = part->start + *(after - 1);
    if (container != offset) return {Fault::kMiddle, container};
  }
  if (HeaderFault(offset, *part)) return {Fault::kBadHeader, offset};
  return {Fault::kNone, offset};
}

bool Heap::IsSymbol(uint64_t object) const {
  return Flags(object) == kBinary && file.Word(object + 8) == Ref::kClassSymbol;
}

std::string_view Heap::SymbolName(uint64_t object) const {
  uint32_t length = Size(object) - kHeaderSize;
  if (length < 4) return {};
  const char* name = reinterpret_cast<const char*>(file.At(object + kHeaderSize + 4));
  const void* end = std::memchr(name, 0, length - 4);
  return std::string_view(name, end ? static_cast<const char*>(end) - name : length - 4);
}

int64_t Heap::NamesInChain(uint64_t map) const {
  auto found = chainNames.find(map);
  return found == chainNames.end() ? -1 : found->second;
}
