// Feeds raw bytecode, with literals chosen by the input, to the decompiler
// through pkginspect's report, --source and --json: the first byte says how
// many literals there are, one byte each picks it from a pool, the next byte
// the function's format, the rest is the code. Any crash, sanitizer report,
// hang or runaway allocation is a finding; a status other than 0 is one too,
// for code that cannot be read is no fault of the package.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "reader/inspect.h"
#include "tests/function_builder.h"

namespace {
const char* const kPool[] = {
    "'a",        "'b",      "'Array",   "'mod",      "'evt.ex", "map:a,b", "map:x",
    "int:100000", "int:9",  "\"text\"", "real:1.5",  "array:1,2", "frame:a=1", "fn:inner",
    "'CodeBlock", "' ",
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FILE* sink = std::fopen("/dev/null", "w");
  if (size < 2) return 0;
  size_t count = data[0] % 12, at = 1;
  FunctionPlan plan{"f", {"a", "b"}, {"x", "y"}, "", {}, "", {}};
  for (; at < size && plan.literals.size() < count; ++at) {
    plan.literals.push_back(kPool[data[at] % (sizeof kPool / sizeof kPool[0])]);
  }
  if (at >= size) return 0;
  uint8_t format = data[at++];
  plan.bytes.assign(reinterpret_cast<const char*>(data + at), size - at);
  if (plan.bytes.empty()) return 0;
  if (format & 4) plan.captured = {"x"};
  FunctionPlan inner{"inner", {"y"}, {}, "get-var 3; find-var 'x; freq-func add; return", {}, "", {}};
  Built built = FunctionPackage({plan, inner}, format & 1, format & 2);
  for (InspectMode mode : {InspectMode::kReport, InspectMode::kSource, InspectMode::kJson}) {
    InspectRequest request{mode, "fuzz.pkg"};
    int status = Inspect(request, std::vector<uint8_t>(built.bytes.begin(), built.bytes.end()), sink, sink);
    if (status != 0) std::abort();
  }
  return 0;
}
