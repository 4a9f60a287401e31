#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Reports the faults of a package file as they are found, one a line on the
// error stream: "PACKAGE: 0xOFFSET: what is wrong", where OFFSET is where the
// bytes at fault lie. Only their count is kept, unless a caller that prints
// them again (the JSON output) asks for a record as well. Without an error
// stream they are only counted.
class Faults {
 public:
  struct Fault {
    uint64_t offset;
    std::string message;
  };

  Faults(std::string package, FILE* err, std::vector<Fault>* record = nullptr)
      : package(std::move(package)), err(err), record(record) {}
  void Add(uint64_t offset, const std::string& what);
  bool Any() const { return count > 0; }

 private:
  std::string package;
  FILE* err;
  std::vector<Fault>* record;
  uint64_t count = 0;
};
