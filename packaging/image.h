#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "objects/pages.h"
#include "packaging/output_file.h"

// The bytes of the package file under construction. The buffer is sized when
// bytes are written, to the image's size at that moment: while the directory
// is written it grows by a few bytes at a time, and after the layout it is
// sized once for all the objects. Runs whose bytes already lie in memory that
// outlives the image (data files) are not copied in but referred to, and the
// file is written as the sequence of pieces that results.
class Image {
 public:
  // Makes the buffer hold at least `size` bytes; new ones read as zero.
  void Cover(size_t size);
  uint8_t* Data() const { return reinterpret_cast<uint8_t*>(buffer.Data()); }
  // The run at `location` is `count` bytes at `bytes`, which are not copied;
  // `fd`, if open, is a file that begins with them.
  void Refer(const uint8_t* bytes, size_t count, size_t location, int fd);
  // The first `size` bytes of the image, in order.
  std::vector<Piece> Pieces(size_t size) const;

 private:
  struct Referred {
    size_t location;
    Piece piece;
  };
  Pages buffer{0};
  size_t covered = 0;
  std::vector<Referred> referred;
};
