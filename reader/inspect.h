#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

// pkginspect's run once a package's bytes are in memory: the report, the trees, the
// JSON or the extraction go to `out`, faults and failures to `err`.
enum class InspectMode { kReport, kTree, kJson, kSource, kExtract, kUnpack };
struct InspectRequest {
  InspectMode mode;
  const char* package;
  const char* path = nullptr;    // --extract
  const char* output = nullptr;  // --extract, and --unpack's folder
  // A bound on the JSON below the one in proportion to the file, for a
  // caller that must hold all of it in memory.
  uint64_t longestJson = UINT64_MAX;
  // Whether the JSON decompiles every function (a page asks for each instead).
  bool functions = true;
};
int Inspect(const InspectRequest& request, std::vector<uint8_t> bytes, FILE* out, FILE* err);
class FileBytes;
int Inspect(const InspectRequest& request, FileBytes bytes, FILE* out, FILE* err);

// Where the bytes of the binary object at file offset `object` lie, if the
// package's checks accept one there: for a page that shows or saves what the
// JSON lists.
bool FindBinary(std::vector<uint8_t> bytes, uint64_t object, uint64_t& start, uint64_t& length);

// The JSON of the NewtonScript function whose frame lies at file offset
// `frame` (see FunctionJson), if the package's checks accept a function
// there: for a page that decompiles a function when it is opened.
bool InspectFunction(std::vector<uint8_t> bytes, uint64_t frame, FILE* out);
