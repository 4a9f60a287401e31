#include "fuzz/round_trip.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "compiler/compile.h"
#include "reader/faults.h"
#include "reader/inspect.h"
#include "reader/laid_out.h"
#include "source/rebuild_check.h"

namespace {
int Run(InspectMode mode, const std::string& package, std::string* out) {
  static FILE* sink = std::fopen("/dev/null", "w");
  char* text = nullptr;
  size_t length = 0;
  FILE* stream = out ? open_memstream(&text, &length) : sink;
  InspectRequest request{mode, "fuzz.pkg"};
  int status = Inspect(request, std::vector<uint8_t>(package.begin(), package.end()), stream, sink);
  if (out) {
    std::fclose(stream);
    out->assign(text, length);
    std::free(text);
  }
  return status;
}
}  // namespace

bool ReadsWithoutFault(const std::string& package) { return Run(InspectMode::kReport, package, nullptr) == 0; }

void CheckRoundTrip(const std::string& package) {
  std::string source;
  if (Run(InspectMode::kSource, package, &source) != 0) std::abort();
  Compiled compiled = CompileSource(source);
  if (!compiled.error.empty()) std::abort();
  Faults none("", nullptr);
  LaidOut original(std::vector<uint8_t>(package.begin(), package.end()), none);
  LaidOut rebuilt(std::vector<uint8_t>(compiled.package.begin(), compiled.package.end()), none);
  if (CompareRebuilt(original.heap, rebuilt.heap, {}).Any()) std::abort();
}
