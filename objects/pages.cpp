#include "objects/pages.h"

#include <new>
#include <utility>

#include "platform/platform.h"

Pages::Pages(size_t size, Use use) : size(size) {
  bytes = static_cast<std::byte*>(platform::AllocatePages(size, use == kWhole));
  if (!bytes) throw std::bad_alloc();
}

Pages& Pages::operator=(Pages&& other) noexcept {
  std::swap(bytes, other.bytes);
  std::swap(size, other.size);
  return *this;
}

Pages::~Pages() {
  if (bytes) platform::FreePages(bytes, size);
}
