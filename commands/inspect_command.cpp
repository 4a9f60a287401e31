#include "commands/inspect_command.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "reader/file_bytes.h"
#include "reader/inspect.h"
#include "reader/json_report.h"
#include "unpack/unpack_folders.h"

namespace {

const char kUsage[] =
    "usage: pkginspect [--tree | --json | --source] PACKAGE...\n"
    "       pkginspect --extract PATH OUTPUT PACKAGE\n"
    "       pkginspect --unpack DIR [--force] PACKAGE...\n";

const char kOptions[] =
    "  (no option)            report the header, the parts and the object trees\n"
    "  --tree                 print only the object trees, as pkgembed prints them\n"
    "  --json                 write each package as one line of JSON\n"
    "  --source               write each package's objects as NewtonScript source\n"
    "  --extract PATH OUTPUT  write the binary object at PATH to the file OUTPUT\n"
    "  --unpack DIR           write each package's objects into DIR/NAME/ as files:\n"
    "                         PNG, WAV, SVG, TTF or as they are, with index.tsv\n"
    "  --force                let --unpack replace files that are there\n"
    "  --help                 print this help\n"
    "  --version              print the version\n"
    "  --                     end the options; a PACKAGE of - is standard input\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

struct Arguments {
  InspectRequest request{InspectMode::kReport, nullptr};
  std::vector<const char*> packages;
  bool help = false, version = false, force = false;
};

// Options come first; "--" ends them, and "-" alone is a package.
bool Parse(int argc, char** argv, Arguments& arguments) {
  if (argc < 2) return false;
  int next = 1;
  InspectRequest& request = arguments.request;
  for (bool modeSet = false; next < argc && argv[next][0] == '-' && argv[next][1]; ++next) {
    std::string_view word = argv[next];
    if (word == "--") {
      ++next;
      break;
    }
    if (word == "--help" || word == "--version") {
      (word == "--help" ? arguments.help : arguments.version) = true;
      return argc == 2;
    }
    if (word == "--force") {
      arguments.force = true;
      continue;
    }
    if (modeSet) return false;
    modeSet = true;
    if (word == "--tree") {
      request.mode = InspectMode::kTree;
    } else if (word == "--json") {
      request.mode = InspectMode::kJson;
    } else if (word == "--source") {
      request.mode = InspectMode::kSource;
    } else if (word == "--extract" && next + 2 < argc) {
      request = {InspectMode::kExtract, nullptr, argv[next + 1], argv[next + 2]};
      next += 2;
    } else if (word == "--unpack" && next + 1 < argc) {
      request = {InspectMode::kUnpack, nullptr, nullptr, argv[++next]};
    } else {
      return false;
    }
  }
  arguments.packages.assign(argv + next, argv + argc);
  if (request.mode == InspectMode::kExtract) return arguments.packages.size() == 1;
  if (arguments.force && request.mode != InspectMode::kUnpack) return false;
  return !arguments.packages.empty();
}

bool ReadStream(FILE* file, std::vector<uint8_t>& bytes) {
  uint8_t chunk[1 << 16];
  while (size_t got = std::fread(chunk, 1, sizeof chunk, file)) {
    bytes.insert(bytes.end(), chunk, chunk + got);
    // A package states its size in 32 bits; an endless device is refused.
    if (bytes.size() > UINT32_MAX) {
      errno = EFBIG;
      return false;
    }
  }
  return !std::ferror(file);
}

// Files from this size on are mapped rather than read, where the platform can.
const size_t kMapFrom = 64 * 1024;

// The whole of a package file, or none with the reason.
std::optional<FileBytes> ReadWhole(const char* path, std::string& reason) {
  if (std::string_view(path) == "-") {
    platform::SetBinaryInput();
    std::vector<uint8_t> bytes;
    if (ReadStream(stdin, bytes)) return FileBytes(std::move(bytes));
    reason = std::strerror(errno);
    return std::nullopt;
  }
  std::error_code error;
  // Some systems open a folder as a file, others refuse it as forbidden.
  if (std::filesystem::is_directory(path, error)) {
    reason = std::strerror(EISDIR);
    return std::nullopt;
  }
  // A package states its size in 32 bits: a larger file is refused from its
  // size, before anything is read.
  platform::DataFileRequest request{UINT32_MAX, 0, kMapFrom, false, nullptr};
  platform::DataFile file;
  switch (platform::ReadDataFile(path, request, file, reason)) {
    case platform::ReadStatus::kRead:
      return FileBytes(file);
    case platform::ReadStatus::kTooLarge:
      reason = std::strerror(EFBIG);
      break;
    case platform::ReadStatus::kFailed:
      break;
  }
  return std::nullopt;
}

}  // namespace

namespace {

// One package read and inspected; a file that cannot be read is reported
// and has status 2.
int InspectFile(InspectRequest request, const char* package, const std::string& folder, bool force) {
  request.package = package;
  std::string reason;
  std::optional<FileBytes> bytes = ReadWhole(package, reason);
  if (!bytes) {
    std::fprintf(stderr, "pkginspect: cannot read %s: %s\n", package, reason.c_str());
    if (request.mode == InspectMode::kJson) PrintJsonError(package, reason.c_str(), stdout);
    return 2;
  }
  if (request.mode == InspectMode::kUnpack) {
    return UnpackPackage(package, std::move(*bytes), std::string(request.output) + "/" + folder, force,
                         stderr);
  }
  return Inspect(request, std::move(*bytes), stdout, stderr);
}

}  // namespace

int RunInspect(int argc, char** argv) {
  Arguments arguments;
  if (!Parse(argc, argv, arguments)) return Usage();
  if (arguments.help) {
    std::fputs(kUsage, stdout);
    std::fputs(kOptions, stdout);
    return 0;
  }
  if (arguments.version) {
    std::puts("pkginspect " PKGEMBED_VERSION);
    return 0;
  }
  bool headers = arguments.packages.size() > 1 && (arguments.request.mode == InspectMode::kReport ||
                                                  arguments.request.mode == InspectMode::kTree);
  std::vector<std::string> folders = PackageFolderNames(arguments.packages);
  int worst = 0;
  for (size_t i = 0; i < arguments.packages.size(); ++i) {
    const char* package = arguments.packages[i];
    if (headers) std::printf("%s==> %s <==\n", i == 0 ? "" : "\n", package);
    // As a comment, so that the source of several packages still parses.
    if (arguments.request.mode == InspectMode::kSource && arguments.packages.size() > 1) {
      std::printf("%s// ==> %s <==\n", i == 0 ? "" : "\n", package);
    }
    try {
      worst = std::max(worst, InspectFile(arguments.request, package, folders[i], arguments.force));
    } catch (const std::bad_alloc&) {
      std::fflush(stdout);
      std::fputs("pkginspect: out of memory\n", stderr);
      worst = 2;
    }
    // Faults on the error stream follow the output they belong to.
    std::fflush(stdout);
  }
  return worst;
}
