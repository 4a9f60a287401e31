// Times whole runs of pkgembed against reference commands that only read the
// same inputs and write the same amount of output, alternately, and prints for
// each case the median time, the peak resident size of the tool's process and
// the median of the pairwise time ratios, beside the case's target. Given a
// second pkgembed (an earlier build), each case times it too, in the same
// rounds, and prints the median ratio of the two.
//
//   pkgembed_bench [RUNS] [PKGEMBED [BASELINE [PKGINSPECT_BASELINE]]]
//
// The last cases time pkginspect over 1,000 packages against cat: --json over
// packages that pkgembed wrote, then the report, --json and --source over
// packages shaped like real applications (80 functions each, what they share,
// pictures), --unpack of those against cp -r, --json of the one with the
// most pictures, and pkgcompile over their sources. Given a second
// pkginspect (an earlier build), the report is timed against it too.
//
// The inputs are generated in a scratch directory under /tmp, removed at the
// end. Nothing here fails: the figures are for people to read.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Command {
  std::vector<std::string> argv;
  std::string input = "/dev/null";   // standard input
  std::string output = "/dev/null";  // standard output
};

struct Sample {
  double seconds;
  double peakMiB;
};

std::string dir;

std::string Numbered(const char* prefix, int number) {
  std::string name = prefix;
  return name += std::to_string(number);
}

// posix_spawn, so that the child does not start as a copy of this process
// and its peak resident size is its own.
Sample Time(const Command& command) {
  std::vector<char*> argv;
  for (const std::string& arg : command.argv) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, command.input.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, command.output.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  auto start = std::chrono::steady_clock::now();
  pid_t child;
  int failed = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  struct rusage usage = {};
  if (!failed) wait4(child, &status, 0, &usage);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (failed || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed\n", command.argv[0].c_str());
    std::exit(1);
  }
  return {seconds, usage.ru_maxrss / 1024.0};
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Result {
  double seconds, peakMiB, referenceSeconds, ratio;
  double baselineSeconds = 0, baselineRatio = 0;  // with a baseline
};

// The same command with another program in place of the first.
Command WithProgram(Command command, const std::string& program) {
  command.argv[0] = program;
  return command;
}

// Runs the tool, the reference and the baseline (if any) in turn, `runs`
// times each after one unmeasured round.
Result Compare(const Command& tool, const Command& reference, int runs,
               const std::string& baseline = "") {
  Time(tool);
  Time(reference);
  std::vector<double> times, peaks, referenceTimes, ratios, baselineTimes, baselineRatios;
  for (int i = 0; i < runs; ++i) {
    Sample a = Time(tool);
    Sample b = Time(reference);
    times.push_back(a.seconds);
    peaks.push_back(a.peakMiB);
    referenceTimes.push_back(b.seconds);
    ratios.push_back(a.seconds / b.seconds);
    if (!baseline.empty()) {
      Sample c = Time(WithProgram(tool, baseline));
      baselineTimes.push_back(c.seconds);
      baselineRatios.push_back(a.seconds / c.seconds);
    }
  }
  Result result{Median(times), *std::max_element(peaks.begin(), peaks.end()),
                Median(referenceTimes), Median(ratios)};
  if (!baseline.empty()) {
    result.baselineSeconds = Median(baselineTimes);
    result.baselineRatio = Median(baselineRatios);
  }
  return result;
}

// Written in small pieces: a child starts with this process's peak resident
// size as its own, so this process stays small.
void WriteData(const std::string& name, size_t size, unsigned seed) {
  std::ofstream out(dir + "/" + name, std::ios::binary);
  char chunk[4096];
  for (size_t at = 0; at < size; at += sizeof chunk) {
    size_t count = std::min(sizeof chunk, size - at);
    for (size_t i = 0; i < count; ++i)
      chunk[i] = static_cast<char>(((at + i) * 2654435761u + seed) >> 13);
    out.write(chunk, static_cast<std::streamsize>(count));
  }
}

// A script of `count` statements; slot i is named slot(i % names) and holds
// the file fileName(i).
template <typename FileName>
std::string Script(const std::string& name, int count, int names, FileName fileName) {
  std::ofstream script(dir + "/" + name);
  for (int i = 0; i < count; ++i) {
    script << "makeSlot slot" << i % names << " binary bits " << fileName(i) << "\n";
  }
  return name;
}

std::string Lines(const std::string& name, int count, const std::string& line) {
  std::ofstream list(dir + "/" + name);
  for (int i = 0; i < count; ++i) list << line << "\n";
  return dir + "/" + name;
}

void Print(const char* name, const Result& r, const char* target) {
  std::printf("%-34s %9.3f s %8.1f MiB  ref %8.3f s  ratio %6.2f   target: %s\n", name, r.seconds,
              r.peakMiB, r.referenceSeconds, r.ratio, target);
  if (r.baselineSeconds > 0) {
    std::printf("%-34s baseline %8.3f s  this build / baseline %6.3f\n", "", r.baselineSeconds,
                r.baselineRatio);
  }
}

// 1,000 packages from 20 scripts of 30 slots of 1 KiB, each with a 32 x 32
// icon, copied under names of their own.
std::vector<std::string> Packages(const std::string& tool) {
  std::ofstream icon(dir + "/icon", std::ios::binary);
  const char header[16] = {0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 32, 0, 32};
  icon.write(header, sizeof header);
  for (int i = 0; i < 128; ++i) icon.put(static_cast<char>(i * 37));
  icon.close();
  std::vector<std::string> packages;
  for (int kind = 0; kind < 20; ++kind) {
    std::ofstream script(dir + "/p.script");
    script << "makeSlot icon binary bits icon\n";
    for (int i = 0; i < 30; ++i) {
      script << "makeSlot s" << i << " binary c" << i % 3 << " " << Numbered("k", kind * 30 + i);
      script << "\n";
    }
    script.close();
    std::string built = dir + "/" + Numbered("kind", kind) + ".pkg";
    Time({{tool, built, "Bench:SIG", "p.script"}});
    for (int copy = 0; copy < 50; ++copy) {
      packages.push_back(dir + "/" + Numbered("p", kind * 50 + copy) + ".pkg");
      std::filesystem::copy_file(built, packages.back());
    }
  }
  return packages;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::atoi(argv[1]) : 5;
  std::string tool = argc > 2 ? argv[2] : PKGEMBED_PATH;
  std::string baseline = argc > 3 ? argv[3] : "";
  char pattern[] = "/tmp/pkgembed-bench-XXXXXX";
  dir = mkdtemp(pattern);
  if (chdir(dir.c_str()) != 0) return 1;
  auto pkgembed = [&](const std::string& script) {
    return Command{{tool, dir + "/out.pkg", "Bench:SIG", script}};
  };
  const size_t kLargest = 16777203;

  std::printf("generating inputs in %s\n", dir.c_str());
  for (int i = 0; i < 8; ++i) WriteData(Numbered("large", i), kLargest, i);
  WriteData("small", 16, 99);
  for (int i = 0; i < 10000; ++i) WriteData(Numbered("k", i), 1024, i);
  // The inputs reach the disk before anything is timed, so that writing them
  // back does not slow the first cases.
  sync();

  std::string one = Script("a.script", 1, 1, [](int) { return "large0"; });
  Result a = Compare(pkgembed(one), {{"cat", "large0"}, "/dev/null", dir + "/ref.out"}, runs, baseline);
  Print("(a) one 16 MB file", a, "ratio <= 4, peak <= 2.1 x 16 MiB + 16 MiB = 49.6 MiB");

  std::string eight = Script("b.script", 8, 8, [](int i) { return Numbered("large", i); });
  Command catEight{{"cat"}, "/dev/null", dir + "/ref.out"};
  for (int i = 0; i < 8; ++i) catEight.argv.push_back(Numbered("large", i));
  Result b = Compare(pkgembed(eight), catEight, runs, baseline);
  Print("(b) eight 16 MB files", b, "ratio <= 4, peak <= 2.1 x 128 MiB + 16 MiB = 284.8 MiB");

  Command heads{{"xargs", "head", "-q", "-c", "100"}, Lines("heads", 100000, "small")};
  std::string manyNames = Script("c.script", 100000, 100000, [](int) { return "small"; });
  Result c = Compare(pkgembed(manyNames), heads, runs, baseline);
  Print("(c) 100,000 slots", c, "ratio <= 1.5, peak <= 64 MiB");

  double previous = 0;
  for (int count : {50000, 100000, 200000}) {
    std::string script = Script("d.script", count, count, [](int) { return "small"; });
    Result d = Compare(pkgembed(script), heads, runs, baseline);
    std::string name = Numbered("(d) ", count) + " slots";
    Print(name.c_str(), d, previous > 0 ? "growth <= 2.3 per doubling" : "");
    if (previous > 0) std::printf("%-34s growth %.2f\n", "", d.seconds / previous);
    previous = d.seconds;
  }

  std::string files =
      Script("e.script", 10000, 10000, [](int i) { return Numbered("k", i); });
  Command catFiles{{"xargs", "cat"}, "", dir + "/ref.out"};
  std::ofstream fileList(dir + "/files");
  for (int i = 0; i < 10000; ++i) fileList << "k" << i << "\n";
  fileList.close();
  catFiles.input = dir + "/files";
  Result e = Compare(pkgembed(files), catFiles, runs, baseline);
  Print("(e) 10,000 files of 1 KiB", e, "ratio <= 3");

  std::string cycling = Script("f.script", 100000, 100, [](int) { return "small"; });
  Result f = Compare(pkgembed(cycling), heads, runs, baseline);
  Print("(f) 100,000 slots over 100 names", f, "ratio <= 1.5, peak <= 32 MiB");

  std::vector<std::string> packages = Packages(tool);
  Command json{{PKGINSPECT_PATH, "--json"}, "/dev/null", dir + "/catalogue.jsonl"};
  Command catPackages{{"cat"}, "/dev/null", dir + "/ref.out"};
  for (const std::string& package : packages) {
    json.argv.push_back(package);
    catPackages.argv.push_back(package);
  }
  Print("(g) pkginspect --json, 1,000 pkgs", Compare(json, catPackages, runs), "ratio <= 5");

  std::string shaped = dir + "/shaped";
  std::filesystem::create_directory(shaped);
  Time({{GENERATOR_PATH, shaped, "1000"}});
  Command catShaped{{"cat"}, "/dev/null", dir + "/ref.out"};
  for (int i = 0; i < 1000; ++i) catShaped.argv.push_back(shaped + "/" + Numbered("p", i) + ".pkg");
  auto inspect = [&](const char* mode) {
    Command command = catShaped;
    command.argv[0] = PKGINSPECT_PATH;
    if (*mode) command.argv.insert(command.argv.begin() + 1, mode);
    command.output = dir + "/inspect.out";
    return command;
  };
  std::string inspectBaseline = argc > 4 ? argv[4] : "";
  Print("(h) report, 1,000 app-shaped pkgs", Compare(inspect(""), catShaped, runs, inspectBaseline), "ratio <= 5");
  Print("(i) --json, 1,000 app-shaped pkgs", Compare(inspect("--json"), catShaped, runs),
        "ratio <= 10 with functions in it");
  Print("(j) --source, 1,000 app-shaped pkgs", Compare(inspect("--source"), catShaped, runs), "ratio <= 5");

  // Each run writes a new folder, as a user's first run does.
  std::string unpackScript = "rm -rf " + dir + "/unpacked && exec " + PKGINSPECT_PATH + " --unpack " + dir +
                             "/unpacked " + shaped + "/*.pkg";
  Command unpack{{"sh", "-c", unpackScript}};
  Command copy{{"sh", "-c", "rm -rf " + dir + "/copied && exec cp -r " + shaped + " " + dir + "/copied"}};
  Print("(k) --unpack, 1,000 app-shaped pkgs", Compare(unpack, copy, runs), "ratio <= 10 against cp -r");
  // Every tenth package holds half a megabyte of pictures, the first among them.
  Command pictures{{PKGINSPECT_PATH, "--json", shaped + "/p0.pkg"}, "/dev/null", dir + "/inspect.out"};
  Command catPictures{{"cat", shaped + "/p0.pkg"}, "/dev/null", dir + "/ref.out"};
  Print("(l) --json, 510 KB of pictures", Compare(pictures, catPictures, runs), "well under 50 ms");

  // One process a package on both sides, as a user rebuilding each one runs
  // them: pkgcompile over each package's source against writing it.
  std::string sources = dir + "/sources";
  std::filesystem::create_directory(sources);
  Time({{"sh", "-c", "for p in " + shaped + "/*.pkg; do n=${p##*/}; " + PKGINSPECT_PATH + " --source \"$p\" > " +
                         sources + "/${n%.pkg}.ns || exit 1; done"}});
  Command writeSources{{"sh", "-c", "for p in " + shaped + "/*.pkg; do " + PKGINSPECT_PATH +
                                        " --source \"$p\" > /dev/null || exit 1; done"}};
  Command compileSources{{"sh", "-c", "for s in " + sources + "/*.ns; do " + PKGCOMPILE_PATH + " -o " + dir +
                                          "/rebuilt.pkg \"$s\" || exit 1; done"}};
  Print("(m) pkgcompile, 1,000 sources", Compare(compileSources, writeSources, runs),
        "ratio <= 2 against writing them with --source");

  std::filesystem::remove_all(dir);
  return 0;
}
