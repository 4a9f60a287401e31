// Runs the whole tool on a fuzzed script and data file. The input is the
// script, then a zero byte, then the bytes of data.bin. A package that a run
// reports as written must read back without a single fault.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/scratch_dir.h"
#include "reader/inspect.h"
#include "tool/command_line.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  EnterScratchDir();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t* end = static_cast<const uint8_t*>(std::memchr(data, 0, size));
  size_t scriptSize = end ? static_cast<size_t>(end - data) : size;
  if (std::memchr(data, '/', scriptSize)) return -1;
  WriteScratchFile("contents.script", data, scriptSize);
  size_t dataStart = end ? scriptSize + 1 : size;
  WriteScratchFile("data.bin", data + dataStart, size - dataStart);
  char program[] = "pkgembed", output[] = "out.pkg", symbol[] = "Fuzz:SIG",
       script[] = "contents.script";
  char* argv[] = {program, output, symbol, script, nullptr};
  if (Run(4, argv) != 0) return 0;
  std::ifstream written("out.pkg", std::ios::binary);
  std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(written), {}};
  if (Inspect({InspectMode::kReport, "out.pkg"}, bytes, stdout, stderr) != 0) std::abort();
  return 0;
}
