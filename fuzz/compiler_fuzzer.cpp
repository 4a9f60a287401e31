// Compiles arbitrary text as a NewtonScript program. A source the compiler
// refuses must be refused with a place in it; one it compiles must give a
// package that reads without a fault, and whose own --source compiles back
// to the same values. A crash, sanitizer report, hang or runaway allocation
// is a finding.

#include <cstdlib>
#include <string>
#include <string_view>

#include "compiler/compile.h"
#include "fuzz/round_trip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Compiled compiled = CompileSource(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!compiled.error.empty()) {
    if (compiled.line < 1 || compiled.column < 1 || !compiled.package.empty()) std::abort();
    return 0;
  }
  if (!ReadsWithoutFault(compiled.package)) std::abort();
  CheckRoundTrip(compiled.package);
  return 0;
}
