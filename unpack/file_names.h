#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

// File names made from untrusted text (slot names, package file names) that
// are safe on every system: no separators, drive letters, control or
// non-ASCII characters, device names or leading dots, and short. Names
// already given, compared ignoring letter case, get "~2", "~3"... so that
// two never meet on a system that ignores case.
class FileNames {
 public:
  // Takes `name` as given, for the files whose names are fixed.
  void Reserve(std::string_view name);
  // A name not given before, from `text` and the extension.
  std::string Next(std::string_view text, std::string_view extension);

 private:
  bool Take(const std::string& name);

  std::unordered_set<std::string> taken;  // in lower case
  std::unordered_map<std::string, int> suffixes;  // the next to try, by stem
};

// `text` with every character that is unsafe in a file name replaced.
std::string SafeStem(std::string_view text);
