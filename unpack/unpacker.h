#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "objects/tree_printer.h"
#include "unpack/file_names.h"

class Heap;
class HeapTree;

// One file of a package's folder: a binary object in an everyday format, or
// as it is.
struct UnpackedFile {
  std::string name;       // in the folder
  std::string path;       // of the object in the tree
  std::string className;  // of the object
  int64_t offset = -1;    // of the object in the package
  std::string format;     // png, wav, svg, pict, ttf or bin
  std::string note;       // why it is not in a richer format, or what of it is missing
  std::string made;       // the file's bytes, where made here...
  const uint8_t* raw = nullptr;  // ...or the object's own
  size_t rawLength = 0;

  std::string_view Bytes() const {
    return raw ? std::string_view(reinterpret_cast<const char*>(raw), rawLength) : made;
  }
};

// Walks every part's objects once, depth first, and makes a file of each
// binary object that is not a string, symbol, real or a function's
// instructions (the function is written as source). Paths are those that
// --extract follows: part 0's first object has the empty path, its other
// objects [1], [2]..., another part's part1[0]...
class Unpacker {
 public:
  Unpacker(const Heap& heap, HeapTree& tree, FileNames& names) : heap(heap), tree(tree), names(names) {}
  std::vector<UnpackedFile> Files();

 private:
  // Paths are kept as steps, each naming the one before it, so that a deep
  // tree's paths take no more room than its objects; a path is spelled out
  // only for a file.
  struct PathStep {
    uint32_t parent;
    std::string text;  // ".name" or "[index]"
  };
  static constexpr uint32_t kNoStep = UINT32_MAX;
  struct Pending {
    PrintedValue value;
    const void* frame;  // whose slot the value is
    uint32_t path;      // its last step
  };
  uint32_t Step(uint32_t parent, std::string text);
  std::string Path(uint32_t step) const;
  void Visit(const Pending& pending, std::vector<Pending>& stack);
  void Children(const PrintedValue& value, uint32_t path, std::vector<Pending>& stack);
  void Binary(const Pending& pending);
  void Icon(const PrintedValue& frame, const std::string& path);
  UnpackedFile& Add(const std::string& path, std::string_view className, int64_t offset,
                    const char* format, const std::string& name = "");

  const Heap& heap;
  HeapTree& tree;
  FileNames& names;
  std::vector<PathStep> steps;
  std::unordered_set<int64_t> seen;
  std::vector<UnpackedFile> files;
};
