#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <variant>
#include <vector>

// Package files built byte by byte, for the reader's tests. An object is its
// flag byte and its Ref words (the class or map word first), each a number or
// the label of an object to point at, and for a binary its bytes.
struct Obj {
  std::string label;
  uint8_t flags;
  std::vector<std::variant<uint32_t, std::string>> refs;
  std::string bytes;
};

struct PartContents {
  uint32_t flags;           // 0x81 for a NewtonScript part
  uint32_t alignment;       // 4, or 8 for a NOS 1 part
  std::vector<Obj> objects; // the first is the part's root array
  std::string raw;          // the bytes of a part of another kind
};

// ASCII text as a string object holds it: UTF-16, big-endian, with a
// terminator.
std::string Utf16(const std::string& text);

// A symbol object for `name`, with its hash.
Obj Symbol(const std::string& label, const std::string& name);

struct Built {
  std::string bytes;
  // Where each labelled object lies, and "end N" where part N ends.
  std::map<std::string, uint32_t> at;
};
// The package: header, entries, info strings, relocation data if asked for,
// then the parts one after another, padding filled with 0xBF.
Built BuildPackage(const std::vector<PartContents>& parts, bool relocation);

// A bitmap binary's bytes: the header for `width` x `height` and the rows
// that `pixel` gives, `depth` bits each.
std::string BitmapBytes(int width, int height, int depth, const std::function<int(int, int)>& pixel);
