#include "objects/pages.h"

#include <sys/mman.h>

#include <new>
#include <utility>

Pages::Pages(size_t size, Use use) : size(size) {
  int flags = MAP_PRIVATE | MAP_ANONYMOUS | (use == kWhole ? MAP_POPULATE : 0);
  void* mapped = ::mmap(nullptr, size ? size : 1, PROT_READ | PROT_WRITE, flags, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  bytes = static_cast<std::byte*>(mapped);
}

Pages& Pages::operator=(Pages&& other) noexcept {
  std::swap(bytes, other.bytes);
  std::swap(size, other.size);
  return *this;
}

Pages::~Pages() {
  if (bytes) ::munmap(bytes, size ? size : 1);
}
