#include "tests/test_support.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <sstream>

#include "compiler/compile.h"
#include "reader/laid_out.h"
#include "source/rebuild_check.h"

std::string AssertionReport(const std::string& expression, const char* file, int line) {
  std::string pattern = "^Assertion failed: ";
  for (char c : expression) {
    if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) pattern += '\\';
    pattern += c;
  }
  return pattern + ", file " + file + ", line " + std::to_string(line) + "\n$";
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "pkgembed-test-XXXXXX").string();
  path = mkdtemp(pattern.data());
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

std::vector<std::string> ListDir(const std::string& path) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

ToolResult RunTool(const std::string& tool, const std::string& dir,
                   const std::vector<std::string>& args, const std::string& program,
                   Limits limits, const std::string& input) {
  TempDir capture;
  std::string outPath = capture / "out", errPath = capture / "err";
  pid_t child = fork();
  if (child == 0) {
    // A wrapper runs the tools under test, which then receive the path the
    // wrapper gives them.
    bool wrapped = *TOOL_WRAPPER && (tool == PKGEMBED_PATH || tool == PKGINSPECT_PATH ||
                                      tool == PKGCOMPILE_PATH);
    std::vector<char*> argv;
    if (wrapped) argv.push_back(const_cast<char*>(TOOL_WRAPPER));
    argv.push_back(const_cast<char*>(wrapped ? tool.c_str() : program.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    int in = open(input.c_str(), O_RDONLY);
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (auto [resource, bound] : {std::pair{RLIMIT_AS, limits.memory},
                                   {RLIMIT_FSIZE, limits.fileSize},
                                   {RLIMIT_NOFILE, limits.openFiles}}) {
      struct rlimit limit = {static_cast<rlim_t>(bound), static_cast<rlim_t>(bound)};
      if (bound > 0) setrlimit(resource, &limit);
    }
    signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead
    alarm(60);                 // a hang fails its own case, not the whole suite
    if (chdir(dir.c_str()) != 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
      _exit(127);
    for (int fd = 3; fd < 256; ++fd) close(fd);  // the tool starts with the standard three only
    execvp(wrapped ? TOOL_WRAPPER : tool.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(outPath), ReadFile(errPath)};
}

Inspection InspectBytes(const std::string& bytes, InspectMode mode, const char* path,
                        const char* output) {
  char *out = nullptr, *err = nullptr;
  size_t outSize = 0, errSize = 0;
  FILE* outStream = open_memstream(&out, &outSize);
  FILE* errStream = open_memstream(&err, &errSize);
  int status = Inspect({mode, "test.pkg", path, output},
                       std::vector<uint8_t>(bytes.begin(), bytes.end()), outStream, errStream);
  std::fclose(outStream);
  std::fclose(errStream);
  Inspection result{status, std::string(out, outSize), std::string(err, errSize), {}};
  std::free(out);
  std::free(err);
  for (size_t at = 0; (at = result.err.find("test.pkg: 0x", at)) != std::string::npos; ++at) {
    result.faultOffsets.push_back(std::stoul(result.err.substr(at + 10), nullptr, 16));
  }
  return result;
}

void JsonChecks::Add(const std::string& bytes) {
  std::string stem = dir / std::to_string(count++);
  Inspection json = InspectBytes(bytes, InspectMode::kJson);
  WriteFile(stem + ".json", json.out);
  WriteFile(stem + ".err", json.err);
  WriteFile(stem + ".tree", InspectBytes(bytes, InspectMode::kTree).out);
}

void JsonChecks::Run() {
  if (!*PYTHON_PATH) GTEST_SKIP() << "Python 3 was not found: the JSON is not checked";
  ToolResult result = RunTool(PYTHON_PATH, dir.Path(), {CHECK_JSON_SCRIPT, dir.Path()}, "python3");
  EXPECT_EQ(result.status, 0) << result.out << result.err;
}

namespace {
Heap& Checked(Heap& heap) {
  heap.Check();
  return heap;
}
}  // namespace

ReadPackage::ReadPackage(const std::string& bytes)
    : package(std::vector<uint8_t>(bytes.begin(), bytes.end()), faults), tree(Checked(package.heap)) {}

PrintedValue ReadPackage::Top() { return tree.Element(tree.Root(package.heap.Roots().at(0).offset).object, 0); }

void ExpectRebuiltFromSource(const std::string& bytes, bool sameBytes, bool asSource) {
  Inspection source = InspectBytes(bytes, InspectMode::kSource);
  ASSERT_EQ(source.status, 0) << source.err;
  Compiled compiled = CompileSource(source.out);
  ASSERT_EQ(compiled.error, "") << compiled.line << ":" << compiled.column << "\n" << source.out;
  Faults none("", nullptr);
  LaidOut original(std::vector<uint8_t>(bytes.begin(), bytes.end()), none);
  LaidOut rebuilt(std::vector<uint8_t>(compiled.package.begin(), compiled.package.end()), none);
  RebuildFaults faults = CompareRebuilt(original.heap, rebuilt.heap, {});
  EXPECT_FALSE(faults.Any()) << faults.other << faults.functions.size() << " functions, "
                             << faults.maps.size() << " maps\n" << source.out;
  if (sameBytes) {
    EXPECT_TRUE(compiled.package == bytes) << source.out;
  }
  // What the printer wrote, read and printed again, is the same text.
  EXPECT_EQ(InspectBytes(compiled.package, InspectMode::kSource).out, source.out);
  if (asSource) {
    EXPECT_EQ(source.out.find("instructions:"), std::string::npos) << source.out;
  }
}
