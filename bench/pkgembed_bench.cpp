// Whole runs of the tool on generated inputs, with the dump sent to
// /dev/null. Targets on the project's 2-core machine, release build:
//   - a package of twenty 16 MB data files in under 4 s (it is bound by
//     copying and writing the bytes, 335 MB of package);
//   - a script of 1,000 slots in under 50 ms. Slot names are looked up by a
//     scan of the frame's map, so the time grows with the square of the
//     number of slots: 10,000 slots take about 1 s.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "tool/command_line.h"

namespace {

std::string ScratchDir() {
  static std::string dir = [] {
    char pattern[] = "/tmp/pkgembed-bench-XXXXXX";
    return std::string(mkdtemp(pattern));
  }();
  return dir;
}

void RunTool(const std::string& script) {
  std::string output = ScratchDir() + "/out.pkg";
  char program[] = "pkgembed", symbol[] = "Bench:SIG";
  char* argv[] = {program, output.data(), symbol, const_cast<char*>(script.c_str()), nullptr};
  if (Run(4, argv) != 0) std::abort();
}

void WriteScript(const std::string& path, int slots, const std::string& dataFile) {
  std::ofstream script(path);
  for (int i = 0; i < slots; ++i) script << "makeSlot slot" << i << " binary bits " << dataFile << "\n";
}

void BM_LargeDataFiles(benchmark::State& state) {
  std::string data = ScratchDir() + "/large.bin";
  std::ofstream(data, std::ios::binary) << std::string(16777203, '\x5a');
  std::string script = ScratchDir() + "/large.script";
  WriteScript(script, static_cast<int>(state.range(0)), data);
  for (auto _ : state) RunTool(script);
  state.SetBytesProcessed(state.iterations() * state.range(0) * 16777203);
}
BENCHMARK(BM_LargeDataFiles)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);

void BM_ManySlots(benchmark::State& state) {
  std::string data = ScratchDir() + "/small.bin";
  std::ofstream(data, std::ios::binary) << "abc";
  std::string script = ScratchDir() + "/many.script";
  WriteScript(script, static_cast<int>(state.range(0)), data);
  for (auto _ : state) RunTool(script);
}
BENCHMARK(BM_ManySlots)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // Standard output takes the dumps; the results go to standard error.
  if (!std::freopen("/dev/null", "w", stdout)) return 1;
  benchmark::Initialize(&argc, argv);
  benchmark::ConsoleReporter reporter;
  reporter.SetOutputStream(&std::cerr);
  reporter.SetErrorStream(&std::cerr);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::string command = "rm -rf " + ScratchDir();
  return std::system(command.c_str());
}
