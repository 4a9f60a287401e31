#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "reader/faults.h"

struct Directory;
class FileBytes;
class Heap;
class HeapTree;

// The whole report of one package as one line of JSON: the header, the part
// entries with the object tree of each NewtonScript part, and the faults.
// Values past `longest` bytes, or past the listing's bound, are null.
void PrintJson(const char* package, const Directory& directory, const FileBytes& file,
               const Heap& heap, HeapTree& tree, const std::vector<Faults::Fault>& faults,
               uint64_t longest, bool functions, FILE* out);

class JsonWriter;
// The same, into `json`.
void WriteJson(const char* package, const Directory& directory, const FileBytes& file,
               const Heap& heap, HeapTree& tree, const std::vector<Faults::Fault>& faults,
               uint64_t longest, bool functions, JsonWriter& json);

// The line for a file that could not be read at all.
void PrintJsonError(const char* package, const char* error, FILE* out);
