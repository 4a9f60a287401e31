#include "compiler/package_image.h"

#include "compiler/part_layout.h"
#include "packaging/big_endian.h"

namespace compiler {

namespace {
const uint32_t kHeaderSize = 52, kEntrySize = 32;

void Put32(std::string& out, size_t at, uint32_t value) {
  StoreBig32(reinterpret_cast<uint8_t*>(out.data() + at), value);
}

uint32_t InfoRef(size_t offset, size_t length) {
  return static_cast<uint32_t>(offset) << 16 | static_cast<uint32_t>(length);
}

std::string Utf16Bytes(const std::u16string& text) {
  std::string bytes;
  for (char16_t unit : text) bytes += {static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF)};
  return bytes;
}
}  // namespace

std::string PackageImage(const PackageDefinition& package, Objects& objects) {
  size_t count = package.parts.size();
  // The info data and where each text lies in it.
  std::string info;
  uint32_t copyright = 0, name = 0;
  if (package.hasCopyright) {
    info += Utf16Bytes(package.copyright) + std::string(2, '\0');
    copyright = InfoRef(0, info.size());
  }
  info += package.nameGap;
  size_t nameAt = info.size();
  info += Utf16Bytes(package.name) + std::string(2, '\0');
  name = InfoRef(nameAt, info.size() - nameAt);
  info += package.infoGap;
  std::vector<uint32_t> partInfo;
  for (const PartDefinition& part : package.parts) {
    partInfo.push_back(part.info.empty() ? 0 : InfoRef(info.size(), part.info.size()));
    info += part.info;
  }
  info += package.infoTail;
  if (!package.hasInfoTail) info.resize((info.size() + 3) / 4 * 4, '\0');

  uint32_t directorySize = static_cast<uint32_t>(kHeaderSize + kEntrySize * count + info.size());
  uint32_t dataStart = directorySize + static_cast<uint32_t>(package.relocation.size());
  PackageLayout layout(objects);
  std::vector<std::string> parts(count);
  std::vector<uint32_t> offsets(count);
  uint32_t at = dataStart;
  for (size_t k = 0; k < count; ++k) {
    const PartDefinition& part = package.parts[k];
    offsets[k] = at - dataStart;
    at += part.newtonScript ? layout.AddPart(part, at) : static_cast<uint32_t>(part.bytes.size());
  }
  size_t nextNewtonScript = 0;
  for (size_t k = 0; k < count; ++k) {
    parts[k] = package.parts[k].newtonScript ? layout.PartBytes(nextNewtonScript++) : package.parts[k].bytes;
  }

  std::string image(directorySize, '\0');
  image.replace(0, 8, package.signature);
  Put32(image, 0x08, package.type);
  Put32(image, 0x0C, package.flags);
  Put32(image, 0x10, package.version);
  Put32(image, 0x14, copyright);
  Put32(image, 0x18, name);
  Put32(image, 0x1C, at);
  Put32(image, 0x20, package.creationDate);
  Put32(image, 0x24, package.modificationDate);
  Put32(image, 0x28, package.reserved);
  Put32(image, 0x2C, directorySize);
  Put32(image, 0x30, static_cast<uint32_t>(count));
  for (size_t k = 0; k < count; ++k) {
    const PartDefinition& part = package.parts[k];
    size_t entry = kHeaderSize + kEntrySize * k;
    uint32_t size = static_cast<uint32_t>(parts[k].size());
    Put32(image, entry + 0x00, offsets[k]);
    Put32(image, entry + 0x04, size);
    Put32(image, entry + 0x08, size);
    Put32(image, entry + 0x0C, part.type);
    Put32(image, entry + 0x10, part.reserved[0]);
    Put32(image, entry + 0x14, part.flags);
    Put32(image, entry + 0x18, partInfo[k]);
    Put32(image, entry + 0x1C, part.reserved[1]);
  }
  image.replace(kHeaderSize + kEntrySize * count, info.size(), info);
  image += package.relocation;
  for (const std::string& part : parts) image += part;
  return image;
}

}  // namespace compiler
