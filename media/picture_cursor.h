#pragma once

#include <cstddef>
#include <cstdint>

#include "packaging/big_endian.h"

struct QdPoint {
  int v = 0, h = 0;
};
struct QdRect {
  int top = 0, left = 0, bottom = 0, right = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

// Reads a QuickDraw picture's numbers, most significant byte first, with
// bounds checks: a read past the end gives 0 and marks the cursor failed,
// and the caller asks Failed() once an opcode's operands are read.
class PictureCursor {
 public:
  PictureCursor(const uint8_t* bytes, size_t length) : bytes(bytes), length(length) {}

  bool Failed() const { return failed; }
  size_t Offset() const { return at; }
  size_t Left() const { return length - at; }
  // The next `count` bytes, or null (and failed) where there are fewer.
  const uint8_t* Take(size_t count) {
    if (failed || count > length - at) {
      failed = true;
      return nullptr;
    }
    at += count;
    return bytes + at - count;
  }
  void Skip(size_t count) { Take(count); }
  // Version 2 opcodes start at even offsets.
  void Align() { Skip(at & 1); }
  uint8_t Byte() {
    const uint8_t* p = Take(1);
    return p ? *p : 0;
  }
  uint16_t Word() {
    const uint8_t* p = Take(2);
    return p ? LoadBig16(p) : 0;
  }
  int Short() { return static_cast<int16_t>(Word()); }
  uint32_t Long() {
    const uint8_t* p = Take(4);
    return p ? LoadBig32(p) : 0;
  }
  QdPoint Point() {
    QdPoint point;
    point.v = Short();
    point.h = Short();
    return point;
  }
  QdRect Rect() {
    QdRect rect;
    rect.top = Short();
    rect.left = Short();
    rect.bottom = Short();
    rect.right = Short();
    return rect;
  }

 private:
  const uint8_t* bytes;
  size_t length;
  size_t at = 0;
  bool failed = false;
};
