#pragma once

#include <cstdint>
#include <cstdio>

#include "objects/tree_printer.h"

struct Directory;
class FileBytes;
class HeapTree;
class Heap;

// The whole report: the header, the copyright and name strings, the part
// entries, the relocation data, and the object tree of every NewtonScript
// part.
void PrintReport(const Directory& directory, const FileBytes& file, const Heap& heap,
                 HeapTree& tree, FILE* out);

// Only the object trees, one after another.
void PrintTrees(const Heap& heap, HeapTree& tree, PrintStyle style, FILE* out);

// The most output a package's listing may take, in bytes.
uint64_t ListingLimit(const FileBytes& file);
