#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class Ref;

// Symbol names are equal when they differ only in ASCII letter case: A-Z
// stand for a-z, and every other byte for itself.
inline unsigned char FoldCase(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}
// A name with its letters folded, as a key that equal names share.
inline std::string FoldedName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = static_cast<char>(FoldCase(static_cast<unsigned char>(c)));
  return folded;
}
bool NamesEqualIgnoringCase(const char* a, const char* b);
inline bool NamesEqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

// Whether binaries of this class are strings: `string`, or a subclass of it
// such as `string.nohint`, which NewtonScript treats as a string.
inline bool IsStringClass(std::string_view className) {
  return NamesEqualIgnoringCase(className.substr(0, 6), "string") &&
         (className.size() == 6 || className[6] == '.');
}

// The hash of a symbol name: the sum of its bytes taken as signed chars, with
// only a-z folded to A-Z, times 0x9E3779B9, modulo 2^32.
uint32_t SymbolHash(const char* name);

// A new symbol object (never interned): a binary of class kClassSymbol whose
// data is the hash, most significant byte first, then the name and a zero.
Ref* NewSymbolRef(const char* name);
