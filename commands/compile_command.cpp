#include "commands/compile_command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "compiler/compile.h"
#include "objects/errors.h"
#include "packaging/output_file.h"
#include "platform/platform.h"

namespace {

const char kUsage[] =
    "usage: pkgcompile [-o OUTPUT.pkg] SOURCE.ns\n"
    "       pkgcompile --help | --version\n";

const char kOptions[] =
    "  -o OUTPUT   write the package to OUTPUT (- is standard output);\n"
    "              without it, to SOURCE with the extension .pkg\n"
    "  --help      print this help\n"
    "  --version   print the version\n"
    "  SOURCE      NewtonScript source, as pkginspect --source writes it; - is standard input\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

bool ReadSource(const char* path, std::string& text) {
  bool input = std::string_view(path) == "-";
  FILE* file = input ? stdin : std::fopen(path, "rb");
  if (!file) return false;
  if (input) platform::SetBinaryInput();
  char chunk[1 << 16];
  while (size_t got = std::fread(chunk, 1, sizeof chunk, file)) text.append(chunk, got);
  bool read = !std::ferror(file);
  if (!input) std::fclose(file);
  return read;
}

// SOURCE with .pkg in place of its extension, if it has one.
std::string PackagePath(std::string_view source) {
  size_t slash = source.find_last_of("/\\");
  size_t dot = source.rfind('.');
  if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash + 1)) {
    source = source.substr(0, dot);
  }
  return std::string(source) + ".pkg";
}

}  // namespace

int RunCompile(int argc, char** argv) {
  const char* source = nullptr;
  const char* output = nullptr;
  for (int k = 1; k < argc; ++k) {
    std::string_view word = argv[k];
    if ((word == "--help" || word == "--version") && argc == 2) {
      std::fputs(word == "--help" ? kUsage : "pkgcompile " PKGEMBED_VERSION "\n", stdout);
      if (word == "--help") std::fputs(kOptions, stdout);
      return 0;
    }
    if (word == "-o" && k + 1 < argc && !output) {
      output = argv[++k];
    } else if ((word[0] != '-' || word == "-") && !source) {
      source = argv[k];
    } else {
      return Usage();
    }
  }
  if (!source || (!output && std::string_view(source) == "-")) return Usage();
  std::string path = output ? output : PackagePath(source);
  std::string text;
  if (!ReadSource(source, text)) {
    std::fprintf(stderr, "pkgcompile: cannot read %s: %s\n", source, std::strerror(errno));
    return 2;
  }
  try {
    Compiled compiled = CompileSource(text);
    if (!compiled.error.empty()) {
      std::fprintf(stderr, "%s:%d:%d: %s\n", std::string_view(source) == "-" ? "<stdin>" : source,
                   compiled.line, compiled.column, compiled.error.c_str());
      return 1;
    }
    if (path == "-") {
      if (std::fwrite(compiled.package.data(), 1, compiled.package.size(), stdout) != compiled.package.size() ||
          std::fflush(stdout) != 0) {
        std::fprintf(stderr, "pkgcompile: cannot write to standard output: %s\n", std::strerror(errno));
        return 1;
      }
      return 0;
    }
    WriteOutputFile(path, {{reinterpret_cast<const uint8_t*>(compiled.package.data()), compiled.package.size()}});
  } catch (const OutputError& error) {
    std::fprintf(stderr, "pkgcompile: %s", error.what());
    return 1;
  } catch (const std::bad_alloc&) {
    std::fputs("pkgcompile: out of memory\n", stderr);
    return 1;
  }
  return 0;
}
