#include "reader/faults.h"

void Faults::Add(uint64_t offset, const std::string& what) {
  if (err) {
    std::fprintf(err, "%s: 0x%llx: %s\n", package.c_str(), static_cast<unsigned long long>(offset),
                 what.c_str());
  }
  if (record) record->push_back({offset, what});
  ++count;
}
