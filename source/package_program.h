#pragma once

#include <string>

struct Directory;
class FileBytes;
class Heap;
class HeapTree;

// A package as the NewtonScript program that pkgcompile builds it from again:
// Package({...}) with its header, then for each part its named constants and
// Part({...}, value) with its rules. Each function is written as its source,
// but one whose source does not compile back to its frame (which the program
// is compiled to find out), which is written as its frame.
std::string PackageProgram(const Directory& directory, const FileBytes& file, const Heap& heap, HeapTree& tree);
