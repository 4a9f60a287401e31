#pragma once

#include <cstddef>

// Zeroed memory taken from the kernel. Memory that will all be used comes
// with its pages in place at once: on the machines this runs on, touching
// fresh pages one fault at a time costs about twice as much. Memory with
// holes that may never be touched comes without, so that the holes cost
// nothing.
class Pages {
 public:
  enum Use { kWhole, kWithHoles };
  explicit Pages(size_t size, Use use = kWhole);  // throws std::bad_alloc
  Pages(Pages&& other) noexcept : bytes(other.bytes), size(other.size) { other.bytes = nullptr; }
  Pages& operator=(Pages&& other) noexcept;
  ~Pages();

  std::byte* Data() const { return bytes; }

 private:
  std::byte* bytes;
  size_t size;
};
