#include "unpack/package_folder.h"

#include "objects/errors.h"
#include "reader/heap_tree.h"
#include "reader/json_report.h"
#include "reader/json_writer.h"
#include "reader/laid_out.h"
#include "reader/report.h"

namespace {
const char kIndexHeader[] = "file\tpath\tclass\toffset\tformat\tnote\n";

UnpackedFile Made(const char* name, const char* format, std::string bytes) {
  UnpackedFile file;
  file.name = name;
  file.format = format;
  file.made = std::move(bytes);
  return file;
}

// Tabs and line ends would break the index's lines.
std::string Field(std::string text) {
  for (char& c : text) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

std::string Index(const std::vector<UnpackedFile>& files) {
  std::string index = kIndexHeader;
  for (const UnpackedFile& file : files) {
    index += Field(file.name) + "\t" + Field(file.path) + "\t" + Field(file.className) + "\t" +
             std::to_string(file.offset) + "\t" + file.format + "\t" + Field(file.note) + "\n";
  }
  return index;
}
}  // namespace

PackageFolder::PackageFolder(const char* name, std::vector<uint8_t> bytes, FILE* err)
    : faults(name, err, &found), package(std::make_unique<LaidOut>(std::move(bytes), faults)) {
  Heap& heap = package->heap;
  heap.Check();
  FileNames names;
  for (const char* fixed : {"package.json", "package.ns", "index.tsv"}) names.Reserve(fixed);
  HeapTree objects(heap);
  files = Unpacker(heap, objects, names).Files();
  std::string index = Index(files);
  JsonWriter json(nullptr);
  HeapTree printed(heap);
  WriteJson(name, package->directory, package->file, heap, printed, found, UINT64_MAX, true, json);
  HeapTree source(heap);
  files.insert(files.begin(), {Made("package.json", "json", IndentedJson(json.Text())),
                               Made("package.ns", "ns", SourceOf(heap, source)),
                               Made("index.tsv", "tsv", std::move(index))});
}

PackageFolder::~PackageFolder() = default;

std::string IndentedJson(std::string_view compact) {
  std::string out;
  int depth = 0;
  bool inString = false;
  auto newLine = [&] { out += '\n' + std::string(static_cast<size_t>(2 * depth), ' '); };
  for (size_t i = 0; i < compact.size(); ++i) {
    char c = compact[i];
    out += c;
    if (inString) {
      if (c == '\\' && i + 1 < compact.size()) out += compact[++i];
      inString = c != '"';
      if (inString) continue;
    } else if (c == '"') {
      inString = true;
      continue;
    }
    bool closesNext = i + 1 < compact.size() && (compact[i + 1] == '}' || compact[i + 1] == ']');
    bool opens = c == '{' || c == '[';
    if (opens && !closesNext) {
      ++depth;
      newLine();
    } else if (c == ',') {
      newLine();
    } else if (c == ':') {
      out += ' ';
    }
    if (closesNext && !opens) {
      --depth;
      newLine();
    }
  }
  return out;
}
