#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A run of bytes of the file, in memory. Where `fd` is open, the run is also
// the first `count` bytes of that file, which the kernel copies itself.
struct Piece {
  const uint8_t* bytes;
  size_t count;
  int fd = -1;
};

// Writes a finished package, the pieces one after another, to `path` so that
// a failure never leaves a truncated package behind. A regular file, or a path
// that does not exist yet, is written to a temporary file beside it that
// replaces it only once complete; anything else (a device, a pipe) is written
// directly. A failure throws an OutputError naming the file and the reason, and
// leaves an existing file as it was.
void WriteOutputFile(const std::string& path, const std::vector<Piece>& pieces);
