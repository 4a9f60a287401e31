#include "tests/package_builder.h"

#include "objects/symbol.h"
#include "packaging/big_endian.h"

namespace {

void Put(std::string& bytes, size_t at, uint32_t value) {
  if (bytes.size() < at + 4) bytes.resize(at + 4);
  StoreBig32(reinterpret_cast<uint8_t*>(&bytes[at]), value);
}

void Append(std::string& bytes, uint32_t value) { Put(bytes, bytes.size(), value); }

void Align(std::string& bytes, size_t base, size_t alignment) {
  while ((bytes.size() - base) % alignment) bytes += '\xBF';
}

}  // namespace

std::string Utf16(const std::string& text) {
  std::string units;
  for (char c : text + '\0') units += std::string(1, '\0') + c;
  return units;
}

Obj Symbol(const std::string& label, const std::string& name) {
  std::string hash(4, '\0');
  StoreBig32(reinterpret_cast<uint8_t*>(&hash[0]), SymbolHash(name.c_str()));
  return {label, 0x40, {0x55552u}, hash + name + '\0'};
}

Built BuildPackage(const std::vector<PartContents>& parts, bool relocation) {
  Built built;
  std::string& b = built.bytes;
  b = "package1xxxx";
  Append(b, relocation ? 0x04000000 : 0);
  Append(b, 1);
  std::string info = Utf16("Copyright String") + Utf16("test");
  Append(b, 34);
  Append(b, 34 << 16 | 10);
  b.resize(32);
  Append(b, 0xAB1C5A3F);  // 1994-12-20 09:54:07
  b.resize(44);
  Append(b, 0);  // directory size, below
  Append(b, static_cast<uint32_t>(parts.size()));
  size_t entries = b.size();
  b.resize(entries + 32 * parts.size());
  for (size_t i = 0; i < parts.size(); ++i) {
    Put(b, entries + 32 * i + 24, static_cast<uint32_t>(info.size() << 16 | 4));
    info += "auto";
  }
  b += info;
  Align(b, 0, 4);
  Put(b, 44, static_cast<uint32_t>(b.size()));
  size_t partData = b.size();
  if (relocation) {
    for (uint32_t word : {0u, 28u, 1024u, 1u, 0u, 0x00000002u, 0x01020000u}) Append(b, word);
    partData = b.size();
  }
  std::vector<std::pair<size_t, std::string>> pointers;
  for (size_t i = 0; i < parts.size(); ++i) {
    Align(b, 0, 8);
    size_t start = b.size();
    for (const Obj& obj : parts[i].objects) {
      Align(b, start, parts[i].alignment);
      built.at[obj.label] = static_cast<uint32_t>(b.size());
      Append(b, static_cast<uint32_t>(12 + 4 * (obj.refs.size() - 1) + obj.bytes.size()) << 8 |
                    obj.flags);
      Append(b, &obj == &parts[i].objects[0] && parts[i].alignment == 4);
      for (const auto& ref : obj.refs) {
        if (auto* label = std::get_if<std::string>(&ref)) pointers.emplace_back(b.size(), *label);
        Append(b, std::holds_alternative<uint32_t>(ref) ? std::get<uint32_t>(ref) : 0);
      }
      b += obj.bytes;
    }
    b += parts[i].raw;
    Align(b, start, 4);
    built.at["end " + std::to_string(i)] = static_cast<uint32_t>(b.size());
    Put(b, entries + 32 * i, static_cast<uint32_t>(start - partData));
    Put(b, entries + 32 * i + 4, static_cast<uint32_t>(b.size() - start));
    Put(b, entries + 32 * i + 8, static_cast<uint32_t>(b.size() - start));
    b.replace(entries + 32 * i + 12, 4, "auto");
    Put(b, entries + 32 * i + 20, parts[i].flags);
  }
  for (const auto& [at, label] : pointers) Put(b, at, built.at.at(label) + 1);
  Put(b, 28, static_cast<uint32_t>(b.size()));
  return built;
}

// A bitmap binary's bytes: the header for `width` x `height` and the rows
// that `pixel` gives, `depth` bits each.
std::string BitmapBytes(int width, int height, int depth, const std::function<int(int, int)>& pixel) {
  int rowBytes = (width * depth + 31) / 32 * 4;
  std::string bytes(16 + rowBytes * height, '\0');
  bytes[5] = static_cast<char>(rowBytes);
  bytes[13] = static_cast<char>(height), bytes[15] = static_cast<char>(width);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int bit = x * depth;
      bytes[16 + y * rowBytes + bit / 8] |= static_cast<char>(pixel(x, y) << (8 - depth - bit % 8));
    }
  }
  return bytes;
}
