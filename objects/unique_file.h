#pragma once

#include <cstdio>
#include <memory>

// A stdio stream closed on every way out of the scope that opened it.
struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<FILE, FileCloser>;
