#pragma once

#include <cstdint>
#include <vector>

#include "reader/directory.h"
#include "reader/faults.h"
#include "reader/file_bytes.h"
#include "reader/heap.h"

// A package's directory read and its NewtonScript parts laid out: those not
// compressed, inside the file, and clear of the NewtonScript parts before
// them. Not to be moved: the heap refers to the file.
struct LaidOut {
  LaidOut(FileBytes bytes, Faults& faults);
  LaidOut(std::vector<uint8_t> bytes, Faults& faults) : LaidOut(FileBytes(std::move(bytes)), faults) {}
  LaidOut(const LaidOut&) = delete;

  FileBytes file;
  Directory directory;
  Heap heap;
};

