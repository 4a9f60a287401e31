#include "unpack/unpack_command.h"

#include <filesystem>
#include <system_error>

#include "objects/errors.h"
#include "objects/symbol.h"
#include "packaging/output_file.h"
#include "platform/platform.h"
#include "unpack/file_names.h"
#include "unpack/package_folder.h"

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

int UnpackPackage(const char* package, std::vector<uint8_t> bytes, const std::string& folder,
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
    try {
      WriteOutputFile(folder + "/" + file.name,
                      {{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}});
    } catch (const OutputError& failure) {
      std::fprintf(err, "pkginspect: %s", failure.what());
      return 2;
    }
  }
  return made.HasFaults() ? 1 : 0;
}
