#pragma once

#include <cstdint>

class Ref;

// A binary of class `classSymbol` holding the whole file. A file that cannot
// be opened or read whole, or that is too large for a binary object, throws
// an InputError naming it.
Ref* LoadBinaryFile(Ref* classSymbol, const char* path);

// A native-function frame over the machine code in the file: class, code,
// numArgs, closure, offset and bcFunc.
Ref* NewNativeFunction(const char* path, int32_t numArgs);
