#pragma once

#include <cstdint>

class Ref;

// Makers of values. Each call returns a new Ref (and a new Object behind it
// for the pointer kinds), owned by the current Package.

Ref* NilRef();
Ref* NewArrayRef();
Ref* NewFrameRef();
// A binary over `data`, which is not copied and must outlive the package.
Ref* NewBinaryRef(Ref* classSymbol, const uint8_t* data, int32_t size);
// A code-block frame: class, instructions, literals, argFrame, numArgs.
Ref* NewCodeBlock(const uint8_t* instructions, int32_t length, Ref* literals, int32_t numArgs);
