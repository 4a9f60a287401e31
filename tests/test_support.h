#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "reader/faults.h"
#include "reader/heap_tree.h"
#include "reader/inspect.h"
#include "reader/laid_out.h"

// The regular expression that matches exactly the assertion report for a
// failed check, for EXPECT_EXIT.
std::string AssertionReport(const std::string& expression, const char* file, int line);

// A fresh directory, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& Path() const { return path; }
  std::string operator/(const std::string& name) const { return path + "/" + name; }

 private:
  std::string path;
};

void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
// Names of the entries of a directory, sorted.
std::vector<std::string> ListDir(const std::string& path);

struct ToolResult {
  int status;  // exit status, or -1 if the tool did not exit by itself in time
  std::string out;
  std::string err;
};

// Runs `tool` (a path) in `dir`; `program` is what it receives as its own
// path (unless the tools under test run through a wrapper), and its standard
// input is the file `input` (or empty). A run gets a
// minute. Limits, where given, bound its address space, the size of the
// files it writes and the number it may open.
struct Limits {
  long memory = 0;
  long fileSize = 0;
  long openFiles = 0;
};
ToolResult RunTool(const std::string& tool, const std::string& dir,
                   const std::vector<std::string>& args, const std::string& program,
                   Limits limits = {}, const std::string& input = "/dev/null");

// pkginspect run in this process on a package's bytes: the status, what it
// printed, and the offsets of the faults it reported.
struct Inspection {
  int status;
  std::string out, err;
  std::vector<uint32_t> faultOffsets;
};
Inspection InspectBytes(const std::string& bytes, InspectMode mode = InspectMode::kReport,
                        const char* path = nullptr, const char* output = nullptr);

// pkginspect's JSON for packages, beside its tree and its fault lines, all
// checked at once by a real JSON parser (tests/scripts/check_json.py): one
// line of valid UTF-8 each, the tree's slot names in its order, the faults
// as on standard error.
class JsonChecks {
 public:
  void Add(const std::string& bytes);
  // Fails the current test where any package fails.
  void Run();

 private:
  TempDir dir;
  int count = 0;
};

// pkginspect's --source for a package, compiled back: the package it gives
// holds the same values, shared alike; `sameBytes` where it should also be
// the same file, `asSource` where no function may be written as its frame.
void ExpectRebuiltFromSource(const std::string& bytes, bool sameBytes = false, bool asSource = false);

// A package's bytes laid out for reading, checked, with the tree of its
// values: the first part's top-level value at hand.
class ReadPackage {
 public:
  explicit ReadPackage(const std::string& bytes);
  const Heap& GetHeap() const { return package.heap; }
  HeapTree& Tree() { return tree; }
  PrintedValue Top();
  bool HasFaults() const { return faults.Any(); }

 private:
  Faults faults{"", nullptr};
  LaidOut package;
  HeapTree tree;
};

// Whether the tools under test run through a wrapper (such as wine).
inline bool IsWrapped() { return *TOOL_WRAPPER != '\0'; }
