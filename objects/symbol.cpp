#include "objects/symbol.h"

#include <cstring>

#include "objects/arena.h"
#include "objects/ref.h"
#include "packaging/big_endian.h"

uint32_t SymbolHash(const char* name) {
  uint32_t sum = 0;
  for (const char* p = name; *p; ++p) {
    int c = static_cast<signed char>(*p);
    if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
    sum += static_cast<uint32_t>(c);
  }
  return sum * 0x9E3779B9u;
}

bool NamesEqualIgnoringCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    if (FoldCase(*a) != FoldCase(*b)) return false;
  }
  return *a == *b;
}

Ref* NewSymbolRef(const char* name) {
  size_t length = std::strlen(name);
  uint8_t* data = CurrentArena().MakeArray<uint8_t>(length + 5);
  std::memcpy(data + 4, name, length + 1);
  StoreBig32(data, SymbolHash(name));
  return TypedRef(Ref::kBinaryKind, TypedRef(Ref::kClassSymbolKind), data,
                  static_cast<int32_t>(length + 5));
}
