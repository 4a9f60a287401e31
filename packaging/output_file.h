#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Writes a finished package image to `path` so that a failure never leaves a
// truncated package behind. A regular file, or a path that does not exist yet,
// is written to a temporary file beside it that replaces it only once complete;
// anything else (a device, a pipe) is written directly. A failure throws an
// OutputError naming the file and the reason, and leaves an existing file as
// it was.
void WriteOutputFile(const std::string& path, const uint8_t* data, size_t size);
