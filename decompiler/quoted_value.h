#pragma once

#include <functional>

#include "objects/tree_printer.h"

class SourceText;

// A value inside a quote, where symbols are bare and nothing is evaluated:
// frames and arrays are written out here, other binaries and scalars by
// `other`.
void WriteQuoted(const PrintedTree& tree, const PrintedValue& value, SourceText& out,
                 const std::function<void(const PrintedValue&)>& other);
