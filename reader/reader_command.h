#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

// The whole run of pkginspect:
//   pkginspect [--tree] PACKAGE
//   pkginspect --extract PATH OUTPUT PACKAGE
// Returns the exit status: 0 when the package has no fault (and, with
// --extract, the bytes were written), 1 when faults were found or the
// extraction failed, 2 for wrong arguments or a package that cannot be read.
int RunInspect(int argc, char** argv);

// The run once the package's bytes are in memory: the report, the trees or
// the extraction go to `out`, faults and failures to `err`.
enum class InspectMode { kReport, kTree, kExtract };
struct InspectRequest {
  InspectMode mode;
  const char* package;
  const char* path = nullptr;    // --extract
  const char* output = nullptr;  // --extract
};
int Inspect(const InspectRequest& request, std::vector<uint8_t> bytes, FILE* out, FILE* err);
