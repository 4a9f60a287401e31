#pragma once

#include <map>
#include <string>
#include <vector>

// The regular expression that matches exactly the assertion report for a
// failed check, for EXPECT_EXIT.
std::string AssertionReport(const std::string& expression, const char* file, int line);

// Expects `statement` to stop the process with that report and status 3.
#define EXPECT_STOPS(statement, expression, file, line) \
  EXPECT_EXIT(statement, testing::ExitedWithCode(3), AssertionReport(expression, file, line))

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
bool Exists(const std::string& path);
// Names of the entries of a directory, sorted.
std::vector<std::string> ListDir(const std::string& path);

struct ToolResult {
  int status;  // exit status, or -1 if the tool did not exit normally
  std::string out;
  std::string err;
};

// Runs the real pkgembed in `dir` with the given arguments; `program` is what
// it receives as its own path. A memory limit, if given, bounds its address
// space.
ToolResult RunTool(const std::string& dir, const std::vector<std::string>& args,
                   const std::string& program = "pkgembed", long memoryLimit = 0);

// The lines of the hex listing of a file: "xxxxxxxx: 16 bytes in hex".
std::string HexListing(const std::string& bytes);

// Scenario files: a line "case: name" begins a scenario, and each line
// "field: value" adds a field to it (a field may repeat). Values take C
// escapes and \s for a space, except those of case and args.
using Case = std::multimap<std::string, std::string>;
std::vector<Case> ReadCases(const std::string& path);
std::string Field(const Case& c, const std::string& name, const std::string& absent = "");
std::string Unescape(const std::string& text);
