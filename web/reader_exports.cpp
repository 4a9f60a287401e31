// The reader as the page's worker calls it: the JSON that pkginspect --json
// prints for a package (its functions left out, so that the first screen of
// a package of thousands comes at once), one function's JSON when the page
// opens it, the bytes of one of its binary objects, and the files that
// pkginspect --unpack writes for it (each, or all in a zip). The build exports
// them by name.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "media/checksums.h"
#include "reader/json_writer.h"
#include "reader/inspect.h"
#include "unpack/package_folder.h"
#include "unpack/unpack_folders.h"
#include "unpack/zip.h"

namespace {
std::string result;  // what the last call returned, kept until the next
// A browser holds the JSON three times over (the reader's copy, the string,
// the parsed objects); a crafted package of a few megabytes would otherwise
// make hundreds of megabytes of it and stop the worker.
const uint64_t kLongestJson = 64 << 20;

// What `write` prints, kept in `result`; empty where it finds nothing to print.
template <typename Write>
const char* Captured(Write write) {
  char* text = nullptr;
  size_t length = 0;
  FILE* out = open_memstream(&text, &length);
  bool found = write(out);
  std::fclose(out);
  result.assign(found ? text : "", found ? length : 0);
  std::free(text);
  return result.c_str();
}
// The folder of the package last asked about: the page asks for its files
// one at a time, and making them all again for each would be slow.
struct Unpacked {
  std::string key;
  std::string folder;  // its name
  std::unique_ptr<PackageFolder> files;
};
Unpacked unpacked;

const PackageFolder& FolderOf(const uint8_t* bytes, size_t size, const char* name) {
  std::string key = std::string(name) + "\n" + std::to_string(size) + "\n" + std::to_string(Crc32(bytes, size));
  if (unpacked.key != key || !unpacked.files) {
    unpacked.files.reset();
    unpacked.files = std::make_unique<PackageFolder>(name, FileBytes(std::vector<uint8_t>(bytes, bytes + size)), nullptr);
    unpacked.folder = PackageFolderNames({name})[0];
    unpacked.key = key;
  }
  return *unpacked.files;
}

const uint8_t* Returned(std::string bytes, double* length) {
  result = std::move(bytes);
  *length = static_cast<double>(result.size());
  return reinterpret_cast<const uint8_t*>(result.data());
}
}  // namespace

extern "C" {

// The package's JSON line, faults included; `name` is its file name.
const char* InspectJson(const uint8_t* bytes, size_t size, const char* name) {
  return Captured([&](FILE* out) {
    InspectRequest request{InspectMode::kJson, name};
    request.longestJson = kLongestJson;
    request.functions = false;
    Inspect(request, std::vector<uint8_t>(bytes, bytes + size), out, nullptr);
    return true;
  });
}

// The JSON of the function whose frame lies at `frame`, with its
// disassembly; an empty string where no function lies there.
const char* InspectFunctionJson(const uint8_t* bytes, size_t size, double frame) {
  return Captured([&](FILE* out) {
    return frame >= 0 && InspectFunction(std::vector<uint8_t>(bytes, bytes + size),
                                         static_cast<uint64_t>(frame), out);
  });
}

// The offset of the binary object's bytes within the package, and their
// number at `length`; -1 where no binary object lies at `object`.
double FindBinaryBytes(const uint8_t* bytes, size_t size, double object, double* length) {
  uint64_t start, count;
  if (object < 0 || !FindBinary(std::vector<uint8_t>(bytes, bytes + size),
                                static_cast<uint64_t>(object), start, count)) {
    return -1;
  }
  *length = static_cast<double>(count);
  return static_cast<double>(start);
}

// The files of the package's folder as JSON: {"folder": NAME, "files": [{"name",
// "path", "offset", "format", "note"}...]}, in the order of index.tsv.
const char* UnpackIndexJson(const uint8_t* bytes, size_t size, const char* name) {
  const PackageFolder& folder = FolderOf(bytes, size, name);
  JsonWriter json(nullptr);
  json.BeginObject();
  json.Key("folder");
  json.String(unpacked.folder);
  json.Key("files");
  json.BeginArray();
  for (const UnpackedFile& file : folder.Files()) {
    json.BeginObject();
    json.Key("name");
    json.String(file.name);
    json.Key("path");
    json.String(file.path);
    json.Key("offset");
    json.Number(file.offset);
    json.Key("format");
    json.String(file.format);
    json.Key("note");
    json.String(file.note);
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
  result = json.Text();
  return result.c_str();
}

// The bytes of file `index` of that list, their number at `length`.
const uint8_t* UnpackFileBytes(const uint8_t* bytes, size_t size, const char* name, int index,
                               double* length) {
  const std::vector<UnpackedFile>& files = FolderOf(bytes, size, name).Files();
  bool known = index >= 0 && static_cast<size_t>(index) < files.size();
  return Returned(known ? std::string(files[static_cast<size_t>(index)].Bytes()) : "", length);
}

// The whole folder as a zip whose entries are FOLDER/NAME.
const uint8_t* UnpackZip(const uint8_t* bytes, size_t size, const char* name, double* length) {
  const PackageFolder& folder = FolderOf(bytes, size, name);
  std::vector<std::pair<std::string, std::string_view>> entries;
  for (const UnpackedFile& file : folder.Files()) entries.push_back({unpacked.folder + "/" + file.name, file.Bytes()});
  return Returned(StoredZip(entries), length);
}
}
