#pragma once

#include <map>
#include <random>
#include <string>
#include <vector>

// Contents scripts that use the language's every turn: keywords in any case,
// statements across lines, comments (one ending in a carriage return
// swallows the next line), stray words, names beginning with #, tokens past
// 255 characters, signed numbers and numbers run into the file name.
class ScriptGenerator {
 public:
  // Writes data files of 0 to 70,000 bytes into `dir`.
  ScriptGenerator(const std::string& dir, unsigned seed);

  // What a slot must end up holding.
  struct Slot {
    std::string data, check;  // the data file; text the report must show
  };
  // A new script, and its slots by folded name.
  std::string Next(std::map<std::string, Slot>& slots);

 private:
  const char* Pick(std::initializer_list<const char*> words);

  std::mt19937 random;
  std::vector<std::string> files;
};
