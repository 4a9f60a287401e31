#include "unpack/file_names.h"

#include <algorithm>
#include <cctype>

#include "objects/symbol.h"

namespace {
// Long enough for any real path, short enough for Windows' 260-character
// paths under a folder of reasonable depth. A longer path keeps its start
// and its end, which says what the file is (`icon`, `icon.bits`), and loses
// its middle.
const size_t kLongestStem = 100;
const size_t kKeptStart = 32;
const std::string_view kCut = "...";

bool IsSafe(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::string_view("._-[]()+#@").find(c) != std::string_view::npos;
}

// Windows opens these devices whatever extension follows.
bool IsDeviceName(std::string_view stem) {
  std::string_view head = stem.substr(0, stem.find('.'));
  for (const char* device : {"CON", "PRN", "AUX", "NUL"}) {
    if (NamesEqualIgnoringCase(head, device)) return true;
  }
  return head.size() == 4 && (NamesEqualIgnoringCase(head.substr(0, 3), "COM") ||
                              NamesEqualIgnoringCase(head.substr(0, 3), "LPT")) &&
         std::isdigit(static_cast<unsigned char>(head[3]));
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}
}  // namespace

std::string SafeStem(std::string_view text) {
  std::string kept(text);
  if (text.size() > kLongestStem) {
    kept = std::string(text.substr(0, kKeptStart))
               .append(kCut)
               .append(text.substr(text.size() - (kLongestStem - kKeptStart - kCut.size())));
  }
  std::string safe;
  for (char c : kept) safe += IsSafe(c) ? c : '_';
  bool unsafeStart = safe.empty() || safe[0] == '.' || safe[0] == '-' || IsDeviceName(safe);
  std::string stem = unsafeStart ? "_" : "";
  stem += safe;
  // Windows drops a name's last dots.
  if (stem.back() == '.') stem += '_';
  return stem;
}

void FileNames::Reserve(std::string_view name) { taken.insert(Lower(std::string(name))); }

bool FileNames::Take(const std::string& name) { return taken.insert(Lower(name)).second; }

std::string FileNames::Next(std::string_view text, std::string_view extension) {
  std::string stem = SafeStem(text);
  std::string suffix;
  if (!extension.empty()) suffix.append(".").append(extension);
  std::string name = stem + suffix;
  for (int& n = suffixes.try_emplace(name, 2).first->second; !Take(name); ++n) {
    name = stem + "~" + std::to_string(n) + suffix;
  }
  return name;
}
