#include "unpack/zip.h"

#include "media/byte_string.h"
#include "media/checksums.h"

namespace {
const uint32_t kLocalHeader = 0x04034b50, kCentralHeader = 0x02014b50, kEnd = 0x06054b50;
const uint16_t kVersion = 20;      // 2.0: what a stored file needs
const uint16_t kUtf8Names = 1 << 11;
const uint16_t kDosDate = 0x21;    // 1980-01-01: the archive says nothing of when

// The fields that a file's local and central headers share.
void AppendCommon(std::string& out, uint32_t crc, uint32_t size, uint16_t nameLength) {
  AppendLittle16(out, kUtf8Names);
  AppendLittle16(out, 0);  // stored
  AppendLittle16(out, 0);  // time
  AppendLittle16(out, kDosDate);
  AppendLittle32(out, crc);
  AppendLittle32(out, size);
  AppendLittle32(out, size);
  AppendLittle16(out, nameLength);
  AppendLittle16(out, 0);  // extra field
}
}  // namespace

std::string StoredZip(const std::vector<std::pair<std::string, std::string_view>>& files) {
  std::string out, directory;
  for (const auto& [name, bytes] : files) {
    uint32_t crc = Crc32(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    auto size = static_cast<uint32_t>(bytes.size());
    auto nameLength = static_cast<uint16_t>(name.size());
    auto offset = static_cast<uint32_t>(out.size());
    AppendLittle32(out, kLocalHeader);
    AppendLittle16(out, kVersion);
    AppendCommon(out, crc, size, nameLength);
    out += name;
    out += bytes;
    AppendLittle32(directory, kCentralHeader);
    AppendLittle16(directory, kVersion);
    AppendLittle16(directory, kVersion);
    AppendCommon(directory, crc, size, nameLength);
    AppendLittle16(directory, 0);  // comment
    AppendLittle16(directory, 0);  // disk
    AppendLittle16(directory, 0);  // internal attributes
    AppendLittle32(directory, 0);  // external attributes
    AppendLittle32(directory, offset);
    directory += name;
  }
  auto directoryAt = static_cast<uint32_t>(out.size());
  out += directory;
  AppendLittle32(out, kEnd);
  AppendLittle32(out, 0);  // this disk, and the directory's
  AppendLittle16(out, static_cast<uint16_t>(files.size()));
  AppendLittle16(out, static_cast<uint16_t>(files.size()));
  AppendLittle32(out, static_cast<uint32_t>(directory.size()));
  AppendLittle32(out, directoryAt);
  AppendLittle16(out, 0);  // comment
  return out;
}
