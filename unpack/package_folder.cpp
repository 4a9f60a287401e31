#include "unpack/package_folder.h"

#include <algorithm>

#include "objects/errors.h"
#include "reader/heap_tree.h"
#include "reader/json_report.h"
#include "reader/json_writer.h"
#include "reader/laid_out.h"
#include "reader/report.h"
#include "source/package_program.h"

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

PackageFolder::PackageFolder(const char* name, FileBytes bytes, FILE* err)
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
                               Made("package.ns", "ns", PackageProgram(package->directory, package->file, heap, source)),
                               Made("index.tsv", "tsv", std::move(index))});
}

PackageFolder::~PackageFolder() = default;

namespace {
// Where the string that opens at `at` ends, one past its closing quote.
size_t StringEnd(std::string_view json, size_t at) {
  for (++at; at < json.size() && json[at] != '"'; ++at) {
    if (json[at] == '\\') ++at;
  }
  return std::min(at + 1, json.size());
}

// Where the container that opens at `at` ends, if it holds no other
// container; 0 if it does.
size_t LeafEnd(std::string_view json, size_t at) {
  for (++at; at < json.size();) {
    char c = json[at];
    if (c == '{' || c == '[') return 0;
    if (c == '}' || c == ']') return at + 1;
    at = c == '"' ? StringEnd(json, at) : at + 1;
  }
  return 0;
}
}  // namespace

// A container of plain values stays on one line, so that pixel rows and
// instructions read as they do in the compact form.
std::string IndentedJson(std::string_view compact) {
  std::string out;
  int depth = 0;
  auto newLine = [&] { out.append("\n").append(static_cast<size_t>(2 * depth), ' '); };
  for (size_t i = 0; i < compact.size();) {
    char c = compact[i];
    if (c == '"') {
      size_t end = StringEnd(compact, i);
      out.append(compact.substr(i, end - i));
      i = end;
      continue;
    }
    ++i;
    if (c == '{' || c == '[') {
      if (size_t end = LeafEnd(compact, i - 1)) {
        out.append(compact.substr(i - 1, end - i + 1));
        i = end;
        continue;
      }
      out += c;
      ++depth;
      newLine();
    } else if (c == '}' || c == ']') {
      --depth;
      newLine();
      out += c;
    } else if (c == ',') {
      out += c;
      newLine();
    } else if (c == ':') {
      out += ": ";
    } else {
      out += c;
    }
  }
  return out;
}
