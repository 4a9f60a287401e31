// The reader as the page's worker calls it: the JSON that pkginspect --json
// prints for a package (its functions left out, so that the first screen of
// a package of thousands comes at once), one function's JSON when the page
// opens it, and the bytes of one of its binary objects. The build exports
// them by name.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "reader/reader_command.h"

namespace {
std::string result;  // what the last call returned, kept until the next
// A browser holds the JSON three times over (the reader's copy, the string,
// the parsed objects); a crafted package of a few megabytes would otherwise
// make hundreds of megabytes of it and stop the worker.
const uint64_t kLongestJson = 64 << 20;

// What `write` prints, kept in `result`; empty where it finds nothing to print.
template <typename Write>
const char* Captured(Write write) {
  char* text = nullptr;
  size_t length = 0;
  FILE* out = open_memstream(&text, &length);
  bool found = write(out);
  std::fclose(out);
  result.assign(found ? text : "", found ? length : 0);
  std::free(text);
  return result.c_str();
}
}  // namespace

extern "C" {

// The package's JSON line, faults included; `name` is its file name.
const char* InspectJson(const uint8_t* bytes, size_t size, const char* name) {
  return Captured([&](FILE* out) {
    InspectRequest request{InspectMode::kJson, name};
    request.longestJson = kLongestJson;
    request.functions = false;
    Inspect(request, std::vector<uint8_t>(bytes, bytes + size), out, nullptr);
    return true;
  });
}

// The JSON of the function whose frame lies at `frame`, with its
// disassembly; an empty string where no function lies there.
const char* InspectFunctionJson(const uint8_t* bytes, size_t size, double frame) {
  return Captured([&](FILE* out) {
    return frame >= 0 && InspectFunction(std::vector<uint8_t>(bytes, bytes + size),
                                         static_cast<uint64_t>(frame), out);
  });
}

// The offset of the binary object's bytes within the package, and their
// number at `length`; -1 where no binary object lies at `object`.
double FindBinaryBytes(const uint8_t* bytes, size_t size, double object, double* length) {
  uint64_t start, count;
  if (object < 0 || !FindBinary(std::vector<uint8_t>(bytes, bytes + size),
                                static_cast<uint64_t>(object), start, count)) {
    return -1;
  }
  *length = static_cast<double>(count);
  return static_cast<double>(start);
}
}
