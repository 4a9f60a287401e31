#pragma once

#include <cstdint>
#include <vector>

#include "objects/object.h"

class Ref;

// The whole contents of a data file, in a buffer owned by the current Package.
// A file that cannot be opened or read whole, or that is too large for a
// binary object, throws an InputError naming it.
const std::vector<uint8_t>& ReadDataFile(const char* path);

// A binary of class `classSymbol` holding the whole file.
Ref* LoadBinaryFile(Ref* classSymbol, const char* path);

// A native-function frame over the machine code in the file: class, code,
// numArgs, closure, offset and bcFunc.
Ref* NewNativeFunction(const char* path, int32_t numArgs);
