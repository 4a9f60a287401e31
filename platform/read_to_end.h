#pragma once

#include <algorithm>
#include <cstdlib>
#include <new>

#include "platform/platform.h"

namespace platform {

// Reads a file that cannot be measured (a pipe, a device) to its end, in
// blocks that grow, but no further than one byte past `limit`, so that an
// endless one cannot exhaust memory. `read(into, count, got)` reads up to
// `count` bytes, short only at the end, and is false on an error.
template <typename Read>
ReadStatus ReadToEnd(Read read, size_t limit, DataFile& file) {
  size_t room = std::min<size_t>(64 * 1024, limit + 1);
  file.bytes = static_cast<uint8_t*>(std::malloc(room));
  if (!file.bytes) throw std::bad_alloc();
  while (true) {
    size_t got = 0;
    if (!read(file.bytes + file.length, room - file.length, got)) return ReadStatus::kFailed;
    file.length += got;
    if (file.length > limit) return ReadStatus::kTooLarge;
    if (file.length < room) return ReadStatus::kRead;
    room = std::min(2 * room, limit + 1);
    uint8_t* grown = static_cast<uint8_t*>(std::realloc(file.bytes, room));
    if (!grown) throw std::bad_alloc();
    file.bytes = grown;
  }
}

}  // namespace platform
