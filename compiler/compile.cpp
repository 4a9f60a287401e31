#include "compiler/compile.h"

#include "compiler/package_image.h"
#include "compiler/program.h"

Compiled CompileSource(std::string_view source) {
  Compiled compiled;
  compiler::Objects objects;
  compiler::Program program(objects);
  try {
    program.Compile(source);
    compiled.package = compiler::PackageImage(program.Package(), objects);
  } catch (const compiler::SourceError& error) {
    compiled.error = error.what();
    compiled.line = error.at.line;
    compiled.column = error.at.column;
  }
  return compiled;
}
