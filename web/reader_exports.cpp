// The reader as the page's worker calls it: the JSON that pkginspect --json
// prints for a package, and the bytes of one of its binary objects. The
// build exports both by name.

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
}  // namespace

extern "C" {

// The package's JSON line, faults included; `name` is its file name.
const char* InspectJson(const uint8_t* bytes, size_t size, const char* name) {
  char* text = nullptr;
  size_t length = 0;
  FILE* out = open_memstream(&text, &length);
  InspectRequest request{InspectMode::kJson, name};
  request.longestJson = kLongestJson;
  Inspect(request, std::vector<uint8_t>(bytes, bytes + size), out, nullptr);
  std::fclose(out);
  result.assign(text, length);
  std::free(text);
  return result.c_str();
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
