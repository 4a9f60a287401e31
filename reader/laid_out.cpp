#include "reader/laid_out.h"

#include <algorithm>

LaidOut::LaidOut(FileBytes bytes, Faults& faults)
    : file(std::move(bytes)), directory(ReadDirectory(file, faults)), heap(file, faults) {
  uint64_t end = 0;
  for (uint32_t number : directory.byStart) {
    const PartEntry& part = directory.parts[number];
    if ((part.flags & kPartKindMask) != kNewtonScriptKind || (part.flags & kCompressedFlag) ||
        part.start < end) {
      continue;
    }
    end = part.start + part.size;
    heap.AddPart(part.number, part.start, std::min(end, file.Size()));
  }
}
