#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

// A run of bytes of the file, in memory. Where `handle` is open, the run is
// also the first `count` bytes of that data file, which the kernel copies
// itself.
using Piece = platform::Run;

// Writes a finished package, the pieces one after another, to `path` so that
// a failure never leaves a truncated package behind. A regular file, or a path
// that does not exist yet, is written to a temporary file beside it that
// replaces it only once complete; anything else (a device, a pipe) is written
// directly. A failure throws an OutputError naming the file and the reason, and
// leaves an existing file as it was.
void WriteOutputFile(const std::string& path, const std::vector<Piece>& pieces);
