#include "reader/inspect.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "reader/directory.h"
#include "reader/extract.h"
#include "reader/faults.h"
#include "reader/file_bytes.h"
#include "reader/heap.h"
#include "reader/heap_tree.h"
#include "decompiler/function_frame.h"
#include "reader/json_report.h"
#include "reader/json_values.h"
#include "reader/json_writer.h"
#include "reader/laid_out.h"
#include "reader/report.h"
#include "source/package_program.h"
#include "objects/errors.h"
#include "objects/unique_file.h"
#include "packaging/output_file.h"
#include "platform/platform.h"

namespace {

// Writes what the path leads to, to the output file or, for "-", to `out`;
// false, with the reason on standard error, when it leads nowhere or the
// output cannot be written.
bool Extract(const InspectRequest& request, const Heap& heap, const HeapTree& tree, FILE* out,
             FILE* err) {
  Extracted extracted = FollowPath(heap, tree, request.path);
  if (!extracted.error.empty()) {
    std::fprintf(err, "pkginspect: %s: %s\n", request.path, extracted.error.c_str());
    return false;
  }
  if (std::string_view(request.output) == "-") {
    if (std::fwrite(extracted.bytes, 1, extracted.length, out) == extracted.length && std::fflush(out) == 0) {
      return true;
    }
    std::fprintf(err, "pkginspect: cannot write to standard output: %s\n", std::strerror(errno));
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

}  // namespace

int Inspect(const InspectRequest& request, std::vector<uint8_t> bytes, FILE* out, FILE* err) {
  return Inspect(request, FileBytes(std::move(bytes)), out, err);
}

int Inspect(const InspectRequest& request, FileBytes bytes, FILE* out, FILE* err) {
  std::vector<Faults::Fault> found;
  Faults faults(request.package, err, request.mode == InspectMode::kJson ? &found : nullptr);
  LaidOut package(std::move(bytes), faults);
  const FileBytes& file = package.file;
  const Directory& directory = package.directory;
  Heap& heap = package.heap;
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
    case InspectMode::kSource: {
      std::string text = PackageProgram(directory, file, heap, tree);
      std::fwrite(text.data(), 1, text.size(), out);
      break;
    }
    case InspectMode::kJson:
      PrintJson(request.package, directory, file, heap, tree, found, request.longestJson,
                request.functions, out);
      break;
    case InspectMode::kExtract:
      extracted = Extract(request, heap, tree, out, err);
      break;
    case InspectMode::kUnpack:
      break;
  }
  return faults.Any() || !extracted ? 1 : 0;
}

bool FindBinary(std::vector<uint8_t> bytes, uint64_t object, uint64_t& start, uint64_t& length) {
  Faults faults("", nullptr);
  LaidOut package(std::move(bytes), faults);
  const Heap& heap = package.heap;
  if (object >= UINT32_MAX) return false;
  Heap::Target target = heap.Resolve(static_cast<uint32_t>(object + 1));
  if (target.fault != Heap::Fault::kNone || heap.Flags(object) != Heap::kBinary) return false;
  start = object + 12;
  length = heap.Size(object) - 12;
  return true;
}

bool InspectFunction(std::vector<uint8_t> bytes, uint64_t frame, FILE* out) {
  Faults faults("", nullptr);
  LaidOut package(std::move(bytes), faults);
  Heap& heap = package.heap;
  heap.Check();
  if (frame >= UINT32_MAX) return false;
  Heap::Target target = heap.Resolve(static_cast<uint32_t>(frame + 1));
  if (target.fault != Heap::Fault::kNone || heap.Flags(frame) != Heap::kFrame) return false;
  HeapTree tree(heap);
  PrintedValue value{PrintedValue::kFrame, static_cast<uint32_t>(frame + 1), package.file.At(frame),
           static_cast<int64_t>(frame)};
  if (!IsFunctionFrame(tree, value)) return false;
  JsonWriter json(out);
  FunctionJson(tree, json, value, true);
  json.EndLine();
  return true;
}

