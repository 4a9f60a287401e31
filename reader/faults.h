#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Reports the faults of a package file as they are found, one a line on the
// error stream: "PACKAGE: 0xOFFSET: what is wrong", where OFFSET is where the
// bytes at fault lie. Nothing is kept but their count, so that a file full of
// faults costs no memory for them.
class Faults {
 public:
  Faults(std::string package, FILE* err) : package(std::move(package)), err(err) {}
  void Add(uint64_t offset, const std::string& what);
  bool Any() const { return count > 0; }

 private:
  std::string package;
  FILE* err;
  uint64_t count = 0;
};
