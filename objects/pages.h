#pragma once

#include <cstddef>

// Zeroed memory taken from the kernel with all its pages in place at once:
// on the machines this runs on, touching fresh pages one fault at a time
// costs about twice as much.
class Pages {
 public:
  explicit Pages(size_t size);  // throws std::bad_alloc
  Pages(Pages&& other) noexcept : bytes(other.bytes), size(other.size) { other.bytes = nullptr; }
  Pages& operator=(Pages&& other) noexcept;
  ~Pages();

  std::byte* Data() const { return bytes; }

 private:
  std::byte* bytes;
  size_t size;
};
