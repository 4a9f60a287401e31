#pragma once

#include <cstdint>
#include <set>
#include <string>

class Heap;

// Where a package built again from its source differs from the package:
// functions whose source did not make their frames again, frames whose maps
// the part's rules did not make, functions whose DebuggerInfo alone differs,
// and the first difference that none explains.
struct RebuildFaults {
  std::set<int64_t> functions;
  std::set<int64_t> maps;
  std::set<int64_t> debugInfos;
  std::string other;
  bool Any() const { return !functions.empty() || !maps.empty() || !debugInfos.empty() || !other.empty(); }
};

// What the source must say, learnt from the faults of round after round:
// functions to write as their frames, or with every local declared first;
// maps to give as they are; DebuggerInfo to give as it is.
struct RebuildLessons {
  std::set<int64_t> asFrames;
  std::set<int64_t> localsAtTop;
  std::set<int64_t> maps;
  std::set<int64_t> debugInfos;
  // Takes what another round found; whether any of it was new.
  bool Learn(const RebuildFaults& found);
};

// Walks the NewtonScript parts of both side by side from their roots: the
// same values, one object for each object (so the same sharing), the same
// maps. `sources` are the functions written as source, by offset.
RebuildFaults CompareRebuilt(const Heap& original, const Heap& rebuilt, const std::set<int64_t>& sources);
