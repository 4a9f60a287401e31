#pragma once

#include <string>

#include "compiler/objects.h"
#include "compiler/package_definition.h"

namespace compiler {

// The package file: the header, the part entries, the info data (copyright,
// name, the bytes between, each part's info, the bytes after), the
// relocation data, then the parts one after another, each laid out from its
// start.
std::string PackageImage(const PackageDefinition& package, Objects& objects);

}  // namespace compiler
