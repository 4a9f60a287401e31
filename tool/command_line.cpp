#include "tool/command_line.h"

#include <cstdio>
#include <new>

#include "objects/errors.h"
#include "objects/object.h"
#include "objects/ref.h"
#include "objects/symbol.h"
#include "packaging/package.h"
#include "tool/contents.h"
#include "tool/contents_script.h"

namespace {

int Usage(const char* program) {
  std::printf("\n\nThis program can embed any information into a .PKG for the newton.\n\n");
  std::printf("\nUSAGE: %s <packageToMake.pkg> <packageSymbol:SIG> <contents.script>\n\n", program);
  std::printf("\nor...  %s -MOD filename.mod\n\n", program);
  return 1;
}

int Build(int argc, char** argv) {
  Package package;
  Ref* rootFrame = package.GetPart(0)->GetRoot()->GetElement(0);
  if (NamesEqualIgnoringCase(std::string_view(argv[1]), "-MOD")) {
    std::printf("\n\nSorry, MOD support not completed...\n\n");
    return 1;
  }
  if (argc < 4) return Usage(argv[0]);
  Ref* contents = AddExportTable(rootFrame, argv[2]);
  if (ReadContentsScript(contents, argv[3]) != 0) return 1;
  AddScripts(rootFrame);
  package.WritePackage(argv[1]);
  return 0;
}

}  // namespace

int Run(int argc, char** argv) {
  // A process may be started with no arguments at all, not even its name.
  if (argc < 3) return Usage(argc > 0 ? argv[0] : "pkgembed");
  try {
    return Build(argc, argv);
  } catch (const InputError& error) {
    std::fputs(error.what(), stdout);
  } catch (const OutputError& error) {
    std::fflush(stdout);
    std::fputs(error.what(), stderr);
  } catch (const std::bad_alloc&) {
    std::fflush(stdout);
    std::fputs("Out of memory!\n", stderr);
  }
  return 1;
}
