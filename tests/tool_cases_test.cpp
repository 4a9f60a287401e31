// Runs the real tools on scenarios, one row per behaviour. Each runs in a
// fresh directory that holds a set of data files and an existing out.pkg; a
// run that fails must leave that directory exactly as it was.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "tests/script_generator.h"
#include "tests/test_support.h"

namespace {

const char kPrecious[] = "an existing package that must survive";

struct Scenario {
  std::vector<std::string> args;
  const char* script = nullptr;  // written to contents.script
  int status = 1;
  std::string out;                  // standard output exactly, if no part is given
  std::vector<std::string> outHas;  // parts of it
  const char* outGolden = nullptr;
  std::string err;
  const char* packageGolden = nullptr;  // the bytes of the package the run writes
  std::string program = "pkgembed";     // what the tool receives as its path
  bool inspect = false;                 // pkginspect on the package pkgembed built first
  const char* copy = nullptr;           // a file the run writes, holding "d"
  const char* written = nullptr;        // a package the run writes
  long memoryLimitMb = 0;
  long fileSizeLimit = 0;
  const char* input = nullptr;  // a file in the directory, as standard input
  long pipeBytes = -1;          // pipe.bin is a pipe that gives this many bytes
  const char* device = nullptr;  // a file of the system the row needs
  // Depends on what a wrapper changes (the program path, limits) or on
  // POSIX files (devices, named pipes).
  bool native = false;
  const char* readOnly = nullptr;  // a package made read-only before the run
};

std::string Usage(const std::string& program) {
  return "\n\nThis program can embed any information into a .PKG for the newton.\n\n\nUSAGE: " +
         program + " <packageToMake.pkg> <packageSymbol:SIG> <contents.script>\n\n\nor...  " +
         program + " -MOD filename.mod\n\n";
}

void MakeDataFiles(const TempDir& dir) {
  for (const char* name : {"data.bin", "draw.bin"}) WriteFile(dir / name, std::string(1, name[0]));
  WriteFile(dir / "out.pkg", kPrecious);
  WriteFile(dir / "empty.script", "");
  // Larger than a package's 32-bit size can say; sparse, so cheap.
  WriteFile(dir / "huge.bin", "");
  truncate((dir / "huge.bin").c_str(), off_t{8} << 30);
  // A gigabyte after a package's signature and a header of all ones; sparse.
  WriteFile(dir / "gig.pkg", "package1" + std::string(92, '\xFF'));
  truncate((dir / "gig.pkg").c_str(), off_t{1} << 30);
  mkdir((dir / "folder").c_str(), 0755);
  // The largest binary there can be, and one byte more; sparse, so cheap.
  for (auto [name, size] : {std::pair{"max.bin", 16777203}, {"over.bin", 16777204}}) {
    WriteFile(dir / name, "");
    truncate((dir / name).c_str(), size);
  }
}

// Writes `count` bytes into the pipe at `path` once a reader opens it, and
// gives up after a while; a reader that stops early ends the writing.
std::thread PipeWriter(const std::string& path, long count) {
  mkfifo(path.c_str(), 0644);
  signal(SIGPIPE, SIG_IGN);
  return std::thread([path, count] {
    for (int tries = 0; tries < 3000; ++tries) {
      int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd < 0) {
        usleep(10000);
        continue;
      }
      fcntl(fd, F_SETFL, 0);
      std::string chunk(1 << 16, 'p');
      for (long left = count; left > 0;) {
        ssize_t n = write(fd, chunk.data(), std::min<long>(left, chunk.size()));
        if (n <= 0) break;
        left -= n;
      }
      close(fd);
      return;
    }
  });
}

void RunScenario(const Scenario& s) {
  if (s.device && access(s.device, F_OK) != 0) {
    std::printf("skipped: this system has no %s\n", s.device);
    return;
  }
  if (s.native && (IsWrapped() || (s.memoryLimitMb && SANITIZED))) return;
  TempDir dir;
  MakeDataFiles(dir);
  if (s.readOnly) {
    WriteFile(dir / s.readOnly, kPrecious);
    chmod((dir / s.readOnly).c_str(), 0444);
  }
  std::thread writer;
  if (s.pipeBytes >= 0) writer = PipeWriter(dir / "pipe.bin", s.pipeBytes);
  if (s.script) WriteFile(dir / "contents.script", s.script);
  if (s.inspect) {
    std::string script = s.script ? "contents.script" : "empty.script";
    ASSERT_EQ(RunTool(PKGEMBED_PATH, dir.Path(), {"demo.pkg", "Demo:SIG", script}, "pkgembed").status, 0);
  }
  std::vector<std::string> before = ListDir(dir.Path());
  ToolResult result = RunTool(s.inspect ? PKGINSPECT_PATH : PKGEMBED_PATH, dir.Path(), s.args,
                              s.inspect ? "pkginspect" : s.program,
                              {s.memoryLimitMb << 20, s.fileSizeLimit},
                              s.input ? dir / s.input : "/dev/null");
  if (writer.joinable()) writer.join();
  EXPECT_EQ(result.status, s.status);
  if (s.outGolden) {
    EXPECT_EQ(result.out, ReadFile(GOLDEN_DIR "/" + std::string(s.outGolden)));
  } else if (s.outHas.empty()) {
    EXPECT_EQ(result.out, s.out);
  }
  for (const std::string& part : s.outHas) EXPECT_NE(result.out.find(part), std::string::npos) << part;
  EXPECT_EQ(result.err, s.err);
  if (s.packageGolden) {
    EXPECT_TRUE(ReadFile(dir / s.args[0]) == ReadFile(GOLDEN_DIR "/" + std::string(s.packageGolden)));
  }
  if (s.written) {
    EXPECT_EQ(ReadFile(dir / s.written).substr(0, 8), "package1");
  }
  if (s.copy) {
    EXPECT_EQ(ReadFile(dir / s.copy), "d");
  }
  if (result.status != 0) {
    EXPECT_EQ(ListDir(dir.Path()), before);
    EXPECT_TRUE(ListDir(dir / "folder").empty());
    EXPECT_EQ(ReadFile(dir / "out.pkg"), kPrecious);
    if (s.readOnly) {
      EXPECT_EQ(ReadFile(dir / s.readOnly), kPrecious);
    }
  }
}

const std::vector<std::string> kScript = {"out.pkg", "Bad:SIG", "contents.script"};
const std::vector<std::string> kEmpty = {"out.pkg", "Bad:SIG", "empty.script"};
const std::string kDumpStart = "[\n    {\n";
const std::string kInspectUsage = "usage: pkginspect [--tree | --json | --source] PACKAGE...\n       pkginspect --extract PATH OUTPUT PACKAGE\n       pkginspect --unpack DIR [--force] PACKAGE...\n";

}  // namespace

TEST(ToolTest, Scenarios) {
  const std::pair<const char*, Scenario> scenarios[] = {
      {"-MOD alone is too few arguments", {.args = {"-MOD"}, .out = Usage("./some/pkgembed"), .program = "./some/pkgembed", .native = true}},
      {"two arguments", {.args = {"out.pkg", "Sym:SIG"}, .out = Usage("pkgembed"), .native = true}},
      {"-MOD in any case, whatever follows", {.args = {"-mOd", "a", "b", "c"}, .out = "\n\nSorry, MOD support not completed...\n\n"}},
      {"an empty script; arguments past the third ignored",
       {.args = {"demo.pkg", "Demo:SIG", "empty.script", "ignored"}, .status = 0, .outGolden = "empty_script.dump", .packageGolden = "demo.pkg"}},
      {"the package symbol as typed", {.args = {"new.pkg", "no colon HERE", "empty.script"}, .status = 0, .outHas = {"'no colon HERE (0x"}}},
      {"numArgs at the bottom of the range, kept in 30 bits",
       {.args = kScript, .script = "makeSlot f asmCode -2147483648 data.bin", .status = 0,
        .outHas = {"numArgs: \n                                            0\n"}}},
      {"the largest binary", {.args = kScript, .script = "makeSlot l binary b max.bin", .status = 0, .outHas = {"size=16777203\n                                    Dump skipped!\n"}}},
      {"an empty device", {.args = kScript, .script = "makeSlot n binary b /dev/null", .status = 0, .outHas = {"size=0\n"}, .device = "/dev/null", .native = true}},
      {"a /proc file that says it is empty", {.args = kScript, .script = "makeSlot p binary b /proc/self/cmdline", .status = 0, .outHas = {"size=41\n"}, .device = "/proc/self/cmdline", .native = true}},
      {"an endless device", {.args = kScript, .script = "makeSlot z binary b /dev/zero", .out = "Data file [/dev/zero] is too large: a binary object holds at most 16777203 bytes!\n", .device = "/dev/zero", .native = true}},
      {"a pipe of the largest binary", {.args = kScript, .script = "makeSlot p binary b pipe.bin", .status = 0, .outHas = {"size=16777203\n"}, .pipeBytes = 16777203, .native = true}},
      {"a pipe one byte longer", {.args = kScript, .script = "makeSlot p binary b pipe.bin", .out = "Data file [pipe.bin] is too large: a binary object holds at most 16777203 bytes!\n", .pipeBytes = 16777204, .native = true}},
      {"a comment whose first word only begins with #",
       {.args = kScript, .script = "#note makeSlot gone binary b data.bin\nmakeSlot kept binary b data.bin", .status = 0, .outHas = {"kept: \n"}}},
      {"-MODX as the output path is a file name", {.args = {"-MODX", "Demo:SIG", "empty.script"}, .status = 0, .outGolden = "empty_script.dump", .written = "-MODX"}},
      {"-MOD as the output path, past the first argument's test", {.args = {"./-MOD", "Demo:SIG", "empty.script"}, .status = 0, .outGolden = "empty_script.dump", .written = "-MOD"}},
      {"memory runs out",
       {.args = kScript, .script = "makeSlot a binary b max.bin makeSlot b binary b max.bin makeSlot c binary b max.bin "
                                   "makeSlot d binary b max.bin makeSlot e binary b max.bin makeSlot f binary b max.bin",
        .err = "Out of memory!\n", .memoryLimitMb = 80, .native = true}},
      {"output in a missing directory",
       {.args = {"missing/out.pkg", "Bad:SIG", "empty.script"}, .outHas = {kDumpStart}, .err = "Couldn't write [missing/out.pkg]: No such file or directory\n"}},
      {"output is a directory", {.args = {"folder", "Bad:SIG", "empty.script"}, .outHas = {kDumpStart}, .err = "Couldn't write [folder]: Is a directory\n"}},
      {"disk full while an existing package is replaced",
       {.args = {"out.pkg", "Bad:SIG", "empty.script"}, .outHas = {kDumpStart}, .err = "Couldn't write [out.pkg]: File too large\n", .fileSizeLimit = 1024, .native = true}},
      {"output device full", {.args = {"/dev/full", "Bad:SIG", "empty.script"}, .outHas = {kDumpStart}, .err = "Couldn't write [/dev/full]: No space left on device\n", .device = "/dev/full", .native = true}},
      {"pkginspect: wrong arguments",
       {.args = {"--tree"}, .status = 2, .err = kInspectUsage, .inspect = true}},
      {"pkginspect: --help on standard output", {.args = {"--help"}, .status = 0, .outHas = {"usage: pkginspect [--tree | --json | --source] PACKAGE...\n", "\n  --json ", "\n  --version "}, .inspect = true}},
      {"pkginspect: --version", {.args = {"--version"}, .status = 0, .out = "pkginspect " PKGEMBED_VERSION "\n", .inspect = true}},
      {"pkginspect: an unknown option", {.args = {"--trees", "demo.pkg"}, .status = 2, .err = kInspectUsage, .inspect = true}},
      {"pkginspect: two modes", {.args = {"--tree", "--json", "demo.pkg"}, .status = 2, .err = kInspectUsage, .inspect = true}},
      {"pkginspect: several packages, one unreadable: headers, the worst status, the rest read",
       {.args = {"--tree", "demo.pkg", "no.pkg", "data.bin"}, .status = 2,
        .outHas = {"==> demo.pkg <==\n[\n", "]\n\n==> no.pkg <==\n\n==> data.bin <==\n"},
        .err = "pkginspect: cannot read no.pkg: No such file or directory\ndata.bin: 0x0: the file holds 1 bytes, too few for a package header\n", .inspect = true}},
      {"pkginspect: --source of several packages, each under a comment that keeps it NewtonScript",
       {.args = {"--source", "demo.pkg", "demo.pkg"}, .status = 0,
        .outHas = {"// ==> demo.pkg <==\n// NewtonScript from which pkgcompile builds the package again.\nPackage({\n",
                   "\n\n// ==> demo.pkg <==\n", "        devInstallScript: func(arg1, arg2) nil,\n"}, .inspect = true}},
      {"pkginspect: the report shows pkgembed's code blocks and a native function's stand-in as source",
       {.args = {"demo.pkg"}, .script = "makeSlot answer asmCode 0 data.bin", .status = 0,
        .outHas = {"        installScript: \n            func(arg1)\n            begin\n                local local1;\n"
                   "                local1 := EnsureInternal({removeScript: arg1.devRemoveScript});\n"
                   "                arg1:devInstallScript(arg1, local1);\n                local1\n            end\n",
                   "        devInstallScript: \n            func(arg1, arg2) nil\n",
                   "        devRemoveScript: \n            func(arg1) nil\n",
                   "bcFunc: \n                                            func() nil\n"}, .inspect = true}},
      {"pkgembed: a word that starts with # begins a comment to the end of its line",
       {.args = {"--json", "demo.pkg"}, .script = "#old makeSlot a binary b data.bin\nmakeSlot b binary c data.bin\n", .status = 0,
        .outHas = {"\"objects\":{\"array\":[{\"frame\":{\"b\":{\"binary\""}, .inspect = true}},
      {"pkginspect: - reads the package from standard input", {.args = {"-"}, .status = 0,
        .outHas = {"signature: \"package1\"\n", "\npart 0 objects:\n"}, .inspect = true, .input = "demo.pkg"}},
      {"pkginspect: one package, no header line", {.args = {"--tree", "demo.pkg"}, .status = 0, .outGolden = "empty_script.dump", .inspect = true}},
      {"pkginspect: standard input, and -- before a name that starts with -",
       {.args = {"--json", "--", "-", "-demo.pkg"}, .status = 2,
        .outHas = {"{\"file\":\"-\",\"signature\":\"package1\",", "\n{\"file\":\"-demo.pkg\",\"error\":\"No such file or directory\"}\n"},
        .err = "pkginspect: cannot read -demo.pkg: No such file or directory\n", .inspect = true, .input = "demo.pkg"}},
      {"pkginspect: package missing", {.args = {"no.pkg"}, .status = 2, .err = "pkginspect: cannot read no.pkg: No such file or directory\n", .inspect = true}},
      {"pkginspect: package is a directory", {.args = {"folder"}, .status = 2, .err = "pkginspect: cannot read folder: Is a directory\n", .inspect = true}},
      {"pkginspect: not a package", {.args = {"--tree", "data.bin"}, .err = "data.bin: 0x0: the file holds 1 bytes, too few for a package header\n", .inspect = true}},
      // Files that are no package: one fault each, the signature, nothing read as parts.
      {"pkginspect: a text file", {.args = {"out.pkg"}, .out = "signature: \"an exist\"\n",
        .err = "out.pkg: 0x0: not a package: the signature is \"an exist\"\n", .inspect = true}},
      {"pkginspect: an empty file", {.args = {"empty.script"}, .out = "signature: \"\"\n",
        .err = "empty.script: 0x0: the file holds 0 bytes, too few for a package header\n", .inspect = true}},
      {"pkginspect: random bytes, as JSON: the header's fields and the one fault",
       {.args = {"--json", "max.bin"}, .outHas = {"\"signature\":\"\\u0000\\u0000\\u0000\\u0000\\u0000\\u0000\\u0000\\u0000\"", "\"parts\":[],\"faults\":[{\"offset\":0,\"message\":\"not a package: the signature is \\\"\\\\u0000"},
        .err = "max.bin: 0x0: not a package: the signature is \"\\u0000\\u0000\\u0000\\u0000\\u0000\\u0000\\u0000\\u0000\"\n", .inspect = true}},
      {"pkginspect: an 8 GB file is refused from its size, at once and in little memory",
       {.args = {"huge.bin"}, .status = 2, .err = "pkginspect: cannot read huge.bin: File too large\n", .inspect = true,
        .memoryLimitMb = 64, .native = true}},
      {"pkginspect: a gigabyte after the signature, read in little time and memory",
       {.args = {"gig.pkg"}, .status = 1, .outHas = {"signature: \"package1\"\ntype: 0xffffffff\n"},
        .err = "gig.pkg: 0x1c: the package size is 4294967295 but the file holds 1073741824 bytes\n"
               "gig.pkg: 0x30: 4294967295 part entries do not fit in the file\n"
               "gig.pkg: 0x2c: the directory size 4294967295 passes the end of the file\n"
               "gig.pkg: 0x14: the copyright string has an odd length (65535)\n"
               "gig.pkg: 0x18: the name string has an odd length (65535)\n"
               "gig.pkg: 0xc: the relocation flag is set but no relocation header fits in the file\n",
        .inspect = true, .memoryLimitMb = 1024 + 400, .native = true}},
      {"pkginspect: /dev/null", {.args = {"/dev/null"}, .out = "signature: \"\"\n",
        .err = "/dev/null: 0x0: the file holds 0 bytes, too few for a package header\n", .inspect = true, .device = "/dev/null"}},
      {"pkginspect: extract a slot, names in any case",
       {.args = {"--extract", "_exportTable[0].OBJECTS[0].Data", "copy.bin", "demo.pkg"}, .script = "makeSlot data binary b data.bin", .status = 0, .inspect = true, .copy = "copy.bin"}},
      {"pkginspect: extract to standard output, as -",
       {.args = {"--extract", "_ExportTable[0].objects[0].data", "-", "demo.pkg"}, .script = "makeSlot data binary b data.bin",
        .status = 0, .out = "d", .inspect = true}},
      {"pkginspect: extract along a missing slot",
       {.args = {"--extract", "_ExportTable[0].objects[0].no", "copy.bin", "demo.pkg"}, .script = "makeSlot data binary b data.bin",
        .err = "pkginspect: _ExportTable[0].objects[0].no: step 'no': the frame has no slot of that name\n", .inspect = true}},
      {"pkginspect: extract into a missing directory",
       {.args = {"--extract", "_ExportTable[0].objects[0].data", "no/copy.bin", "demo.pkg"}, .script = "makeSlot data binary b data.bin",
        .err = "pkginspect: Couldn't write [no/copy.bin]: No such file or directory\n", .inspect = true}},
  };
  for (const auto& [name, scenario] : scenarios) {
    SCOPED_TRACE(name);
    RunScenario(scenario);
  }
}

// Scripts and data files that stop the run with a message and status 1.
TEST(ToolTest, FaultyInputStopsWithItsMessage) {
  const std::pair<const char*, const char*> scripts[] = {
      {"makeSlot", "Missing the slot name!\n"},
      {"makeSlot a\n", "Missing the type of the slot!\n"},
      {"makeSlot d binary b data.bin makeSlot logo picture logo.bin", "not an expected slot type!\n"},
      {"makeSlot a binary", "Missing the class of the binary data!\n"},
      {"makeSlot a binary b", "Missing the name of the binary file!\n"},
      {"makeSlot f asmCode two data.bin", "Missing the number of parameters!\n"},
      {"makeSlot f asmCode - 2 data.bin", "Missing the number of parameters!\n"},
      {"makeSlot f asmCode 2", "Missing the name of the binary file containing asm code!\n"},
      {"makeSlot f asmCode -2147483649 data.bin", "The number of parameters is out of range!\n"},
      {"makeSlot f asmCode 99999999999999999999 d", "The number of parameters is out of range!\n"},
      {"makeSlot a asmCode 1 no.bin", "Couldn't read data file [no.bin]: No such file or directory!\n"},
      {"makeSlot a binary b folder", "Couldn't read data file [folder]: Is a directory!\n"},
      {"makeSlot a binary b over.bin", "Data file [over.bin] is too large: a binary object holds at most 16777203 bytes!\n"},
  };
  for (const auto& [script, message] : scripts) {
    SCOPED_TRACE(script);
    RunScenario({.args = kScript, .script = script, .out = message});
  }
  RunScenario({.args = {"out.pkg", "Bad:SIG", "no.script"}, .out = "Couldn't load [no.script]!\n"});
  RunScenario({.args = {"out.pkg", "Bad:SIG", "folder"}, .out = "Couldn't load [folder]!\n"});
}

// Past half the open-file limit, large data files are written from their
// mappings instead of copied by the kernel: the package is the same.
TEST(ToolTest, FewOpenFilesMakeTheSamePackage) {
  if (IsWrapped()) GTEST_SKIP() << "the limit would bind the wrapper";
  TempDir dir;
  WriteFile(dir / "big.bin", std::string(70000, 'b') + "end");
  std::string script;
  for (char slot = 'a'; slot < 'i'; ++slot) script += std::string("makeSlot ") + slot + " binary b big.bin\n";
  WriteFile(dir / "contents.script", script);
  const std::vector<std::string> args = {"new.pkg", "Big:SIG", "contents.script"};
  ASSERT_EQ(RunTool(PKGEMBED_PATH, dir.Path(), args, "pkgembed").status, 0);
  std::string copied = ReadFile(dir / "new.pkg");
  ASSERT_EQ(RunTool(PKGEMBED_PATH, dir.Path(), args, "pkgembed", {.openFiles = 12}).status, 0);
  EXPECT_TRUE(ReadFile(dir / "new.pkg") == copied);
  EXPECT_GT(copied.size(), 8 * 70000u);
}

// The tools under test (such as the Windows ones) write the same package
// bytes and the same dump as this build's pkgembed: for the example and for
// generated scripts.
TEST(ToolTest, OtherBuildsWriteTheSamePackages) {
  if (std::string(PKGEMBED_PATH) == NATIVE_PKGEMBED_PATH) GTEST_SKIP() << "no other build under test";
  TempDir dir;
  auto same = [&](const std::string& folder, const std::string& script) {
    std::vector<std::string> args = {"p.pkg", "Same:SIG", script};
    ToolResult native = RunTool(NATIVE_PKGEMBED_PATH, folder, args, "pkgembed");
    std::string bytes = ReadFile(folder + "/p.pkg");
    ToolResult other = RunTool(PKGEMBED_PATH, folder, args, "pkgembed");
    EXPECT_EQ(other.status, native.status);
    EXPECT_EQ(other.out, native.out);
    EXPECT_TRUE(ReadFile(folder + "/p.pkg") == bytes) << script;
  };
  WriteFile(dir / "contents.script", ReadFile(EXAMPLES_DIR "/contents.script"));
  for (const char* name : {"greeting.txt", "pattern.bin", "icon.bin", "answer.bin"}) {
    WriteFile(dir / name, ReadFile(EXAMPLES_DIR "/" + std::string(name)));
  }
  same(dir.Path(), "contents.script");
  ScriptGenerator generator(dir.Path(), 1994);
  for (int round = 0; round < 20; ++round) {
    std::map<std::string, ScriptGenerator::Slot> slots;
    WriteFile(dir / "contents.script", generator.Next(slots));
    same(dir.Path(), "contents.script");
  }
}

// Windows keeps a read-only file from being replaced: the package survives
// and the run says why. (POSIX replaces it, as a rename may.)
TEST(ToolTest, ReadOnlyPackageSurvivesOnWindows) {
  if (!IsWrapped()) GTEST_SKIP() << "only the Windows build refuses a read-only package";
  RunScenario({.args = {"ro.pkg", "Bad:SIG", "empty.script"}, .outHas = {kDumpStart},
               .err = "Couldn't write [ro.pkg]: Permission denied\n", .readOnly = "ro.pkg"});
}
