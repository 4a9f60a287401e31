#pragma once

#include <cstddef>
#include <cstdint>

// Makes a scratch directory holding a small fixed set of data files, makes it
// the working directory and silences standard output (the dump and the
// messages). Fuzzed scripts may name only these files: inputs whose script
// holds a '/' are refused, so no device, pipe or outside file is reached.
void EnterScratchDir();

// Writes bytes to a file of the scratch directory.
void WriteScratchFile(const char* name, const uint8_t* data, size_t size);
