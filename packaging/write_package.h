#pragma once

#include <string>

// The package name for the directory: the output path's file name without
// drive, directory (after the last '/' or '\') or extension (from the last
// dot), at most 255 characters.
std::string PackageName(const std::string& outputPath);
