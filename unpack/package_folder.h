#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "reader/faults.h"
#include "reader/file_bytes.h"
#include "unpack/unpacker.h"

struct LaidOut;

// The files of one package's folder, made in memory: package.json (its JSON
// line, indented), package.ns (its objects as source), the objects' files
// and index.tsv, which names them. Faults go to `err` as the report's do.
class PackageFolder {
 public:
  PackageFolder(const char* package, FileBytes bytes, FILE* err);
  ~PackageFolder();

  const std::vector<UnpackedFile>& Files() const { return files; }
  bool HasFaults() const { return faults.Any(); }

 private:
  std::vector<Faults::Fault> found;
  Faults faults;
  std::unique_ptr<LaidOut> package;  // which the objects' files point into
  std::vector<UnpackedFile> files;
};

// JSON text indented by two spaces a level, for people to read.
std::string IndentedJson(std::string_view compact);
