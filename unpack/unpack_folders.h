#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "reader/file_bytes.h"

// The folder under `dir` of each package, named from its file name (without
// its .pkg) and made safe; two packages of the same name get distinct folders.
std::vector<std::string> PackageFolderNames(const std::vector<const char*>& packages);

// Writes the folder of one package, read into `bytes`, at `folder`: 0, 1
// where the package has faults, 2 where a file cannot be written or (without
// `force`) is there already, with the reason on `err`.
int UnpackPackage(const char* package, FileBytes bytes, const std::string& folder,
                  bool force, FILE* err);
