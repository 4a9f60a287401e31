#include "unpack/unpack_folders.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "objects/errors.h"
#include "objects/symbol.h"
#include "packaging/output_file.h"
#include "platform/platform.h"
#include "unpack/file_names.h"
#include "unpack/package_folder.h"

namespace {
// A file that was not there is written in place: there is nothing to keep
// safe from a failed write, and a temporary file for each would double the
// work of the file system.
bool WriteNew(const std::string& path, std::string_view bytes, FILE* err) {
  int error = 0;
  intptr_t output = platform::OpenForWriting(path, error);
  bool written = output >= 0 &&
                 platform::WriteRuns(output, {{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}}, error);
  if (output >= 0 && !platform::CloseOutput(output, error)) written = false;
  if (!written) std::fprintf(err, "pkginspect: cannot write %s: %s\n", path.c_str(), std::strerror(error));
  return written;
}

// A file that was there is replaced whole or not at all.
bool Replace(const std::string& path, std::string_view bytes, FILE* err) {
  try {
    WriteOutputFile(path, {{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}});
  } catch (const OutputError& failure) {
    std::fprintf(err, "pkginspect: %s", failure.what());
    return false;
  }
  return true;
}
}  // namespace

std::vector<std::string> PackageFolderNames(const std::vector<const char*>& packages) {
  FileNames names;
  std::vector<std::string> folders;
  for (const char* package : packages) {
    std::string_view path = package;
    std::string_view base = path == "-" ? "stdin" : path.substr(path.find_last_of("/\\") + 1);
    if (base.size() > 4 && NamesEqualIgnoringCase(base.substr(base.size() - 4), ".pkg")) {
      base.remove_suffix(4);
    }
    folders.push_back(names.Next(base, ""));
  }
  return folders;
}

int UnpackPackage(const char* package, FileBytes bytes, const std::string& folder,
                  bool force, FILE* err) {
  PackageFolder made(package, std::move(bytes), err);
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(folder), error);
  if (error) {
    std::fprintf(err, "pkginspect: cannot make the folder %s: %s\n", folder.c_str(),
                 error.message().c_str());
    return 2;
  }
  // Nothing is written where anything would be replaced without --force.
  for (const UnpackedFile& file : made.Files()) {
    unsigned mode;
    std::string path = folder + "/" + file.name;
    if (!force && platform::GetPathKind(path, mode) != platform::PathKind::kMissing) {
      std::fprintf(err, "pkginspect: %s is there already (--force replaces it)\n", path.c_str());
      return 2;
    }
  }
  for (const UnpackedFile& file : made.Files()) {
    std::string_view bytes = file.Bytes();
    std::string path = folder + "/" + file.name;
    if (!(force ? Replace(path, bytes, err) : WriteNew(path, bytes, err))) return 2;
  }
  return made.HasFaults() ? 1 : 0;
}
