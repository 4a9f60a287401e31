#include "reader/reader_command.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "reader/directory.h"
#include "reader/extract.h"
#include "reader/faults.h"
#include "reader/file_bytes.h"
#include "reader/heap.h"
#include "reader/heap_tree.h"
#include "reader/report.h"
#include "objects/errors.h"
#include "objects/unique_file.h"
#include "packaging/output_file.h"

namespace {

int Usage() {
  std::fputs(
      "usage: pkginspect [--tree] PACKAGE\n"
      "       pkginspect --extract PATH OUTPUT PACKAGE\n",
      stderr);
  return 2;
}

bool Parse(int argc, char** argv, InspectRequest& arguments) {
  std::vector<std::string> words(argv + (argc > 0), argv + argc);
  if (words.size() == 1 && words[0][0] != '-') {
    arguments = {InspectMode::kReport, argv[1]};
  } else if (words.size() == 2 && words[0] == "--tree") {
    arguments = {InspectMode::kTree, argv[2]};
  } else if (words.size() == 4 && words[0] == "--extract") {
    arguments = {InspectMode::kExtract, argv[4], argv[2], argv[3]};
  } else {
    return false;
  }
  return true;
}

bool ReadWhole(const char* path, std::vector<uint8_t>& bytes) {
  UniqueFile file(std::fopen(path, "rb"));
  if (!file) return false;
  struct stat status;
  if (fstat(fileno(file.get()), &status) == 0 && S_ISREG(status.st_mode)) {
    bytes.reserve(static_cast<size_t>(status.st_size));
  }
  uint8_t chunk[1 << 16];
  while (size_t got = std::fread(chunk, 1, sizeof chunk, file.get())) {
    bytes.insert(bytes.end(), chunk, chunk + got);
    // A package states its size in 32 bits; an endless device is refused.
    if (bytes.size() > UINT32_MAX) {
      errno = EFBIG;
      return false;
    }
  }
  return !std::ferror(file.get());
}

// Writes what the path leads to; false, with the reason on standard error,
// when it leads nowhere or the output cannot be written.
bool Extract(const InspectRequest& request, const Heap& heap, const HeapTree& tree, FILE* err) {
  Extracted extracted = FollowPath(heap, tree, request.path);
  if (!extracted.error.empty()) {
    std::fprintf(err, "pkginspect: %s: %s\n", request.path, extracted.error.c_str());
    return false;
  }
  try {
    WriteOutputFile(request.output, {{extracted.bytes, extracted.length}});
  } catch (const OutputError& error) {
    std::fprintf(err, "pkginspect: %s", error.what());
    return false;
  }
  return true;
}

// The parts whose objects are decoded: NewtonScript parts, not compressed,
// inside the file, and clear of the parts before them.
void AddNewtonScriptParts(const Directory& directory, Heap& heap) {
  std::vector<const PartEntry*> parts;
  for (const PartEntry& part : directory.parts) {
    if ((part.flags & kPartKindMask) == kNewtonScriptKind && !(part.flags & kCompressedFlag) &&
        part.inFile) {
      parts.push_back(&part);
    }
  }
  std::sort(parts.begin(), parts.end(),
            [](const PartEntry* a, const PartEntry* b) { return a->start < b->start; });
  uint64_t end = 0;
  for (const PartEntry* part : parts) {
    if (part->start < end) continue;
    end = part->start + part->size;
    heap.AddPart(part->number, part->start, end);
  }
}

}  // namespace

int Inspect(const InspectRequest& request, std::vector<uint8_t> bytes, FILE* out, FILE* err) {
  FileBytes file(std::move(bytes));
  Faults faults(request.package, err);
  Directory directory = ReadDirectory(file, faults);
  Heap heap(file, faults);
  AddNewtonScriptParts(directory, heap);
  heap.Check();
  HeapTree tree(heap);
  bool extracted = true;
  switch (request.mode) {
    case InspectMode::kReport:
      PrintReport(directory, file, heap, tree, out);
      break;
    case InspectMode::kTree:
      PrintTrees(heap, tree, PrintStyle::kBuild, out);
      break;
    case InspectMode::kExtract:
      extracted = Extract(request, heap, tree, err);
      break;
  }
  return faults.Any() || !extracted ? 1 : 0;
}

int RunInspect(int argc, char** argv) {
  InspectRequest arguments{InspectMode::kReport, nullptr};
  if (!Parse(argc, argv, arguments)) return Usage();
  std::vector<uint8_t> bytes;
  try {
    if (!ReadWhole(arguments.package, bytes)) {
      std::fprintf(stderr, "pkginspect: cannot read %s: %s\n", arguments.package,
                   std::strerror(errno));
      return 2;
    }
    return Inspect(arguments, std::move(bytes), stdout, stderr);
  } catch (const std::bad_alloc&) {
    std::fflush(stdout);
    std::fputs("pkginspect: out of memory\n", stderr);
    return 2;
  }
}
