#include "tests/test_support.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

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

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

std::vector<std::string> ListDir(const std::string& path) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

ToolResult RunTool(const std::string& dir, const std::vector<std::string>& args,
                   const std::string& program, long memoryLimit) {
  TempDir capture;
  std::string outPath = capture / "out", errPath = capture / "err";
  pid_t child = fork();
  if (child == 0) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    int in = open("/dev/null", O_RDONLY);
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    struct rlimit limit = {static_cast<rlim_t>(memoryLimit), static_cast<rlim_t>(memoryLimit)};
    if (memoryLimit > 0) setrlimit(RLIMIT_AS, &limit);
    if (chdir(dir.c_str()) != 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(127);
    execv(PKGEMBED_PATH, argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(outPath), ReadFile(errPath)};
}

std::string HexListing(const std::string& bytes) {
  std::string listing;
  char piece[32];
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i % 16 == 0) {
      std::snprintf(piece, sizeof piece, "%08zx:", i);
      listing += piece;
    }
    std::snprintf(piece, sizeof piece, " %02x", static_cast<unsigned char>(bytes[i]));
    listing += piece;
    if (i % 16 == 15 || i + 1 == bytes.size()) listing += "\n";
  }
  return listing;
}

std::string Unescape(const std::string& text) {
  std::string plain;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      plain += text[i];
      continue;
    }
    char c = text[++i];
    if (c == 'x') {
      plain += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      plain += std::string("\n\r\t \\").at(std::string("nrts\\").find(c));
    }
  }
  return plain;
}

std::vector<Case> ReadCases(const std::string& path) {
  std::vector<Case> cases;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    size_t colon = line.find(": ");
    if (line.empty() || line[0] == '#' || colon == std::string::npos) continue;
    std::string field = line.substr(0, colon);
    if (field == "case") cases.emplace_back();
    std::string value = line.substr(colon + 2);
    cases.back().emplace(field, field == "case" || field == "args" ? value : Unescape(value));
  }
  return cases;
}

std::string Field(const Case& c, const std::string& name, const std::string& absent) {
  auto found = c.find(name);
  return found == c.end() ? absent : found->second;
}

