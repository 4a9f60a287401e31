// The directory at the front of a package file: the 52-byte header, a
// 32-byte entry per part, and the info data they point to with InfoRefs
// (a 16-bit offset from dataStart and a 16-bit length).

#include <cstring>
#include <string>
#include <vector>

#include "objects/errors.h"
#include "packaging/big_endian.h"
#include "packaging/package.h"

namespace {

// Offsets of the header fields.
const int kHeaderCopyright = 20;
const int kHeaderName = 24;
const int kHeaderSize = 28;
const int kHeaderDirectorySize = 44;
const int kHeaderPartCount = 48;

// Offsets of the part entry fields.
const int kEntryInfo = 24;

// Writes a run of info data and points `infoRef` at it.
void WriteInfoBytes(Package& package, uint8_t* infoRef, const uint8_t* bytes, int32_t length) {
  int32_t offset = package.Allocate(4, static_cast<int32_t>(RoundUp(4, length)));
  int32_t relative = offset - package.GetDataStart();
  if (length > 0xFFFF || relative > 0xFFFF) {
    throw InputError(
        "The package directory's info data would pass the 64 KiB its offsets "
        "can reach!\n");
  }
  package.WriteBytes(bytes, length, offset);
  StoreBig16(infoRef, static_cast<uint16_t>(relative));
  StoreBig16(infoRef + 2, static_cast<uint16_t>(length));
}

// A text is stored as UTF-16 big-endian with a two-byte zero terminator; each
// byte of the text is read as an ISO 8859-1 character.
void WriteInfoString(Package& package, uint8_t* infoRef, const std::string& text) {
  std::vector<uint8_t> bytes(2 * text.size() + 2, 0);
  for (size_t i = 0; i < text.size(); ++i) bytes[2 * i + 1] = static_cast<uint8_t>(text[i]);
  WriteInfoBytes(package, infoRef, bytes.data(), static_cast<int32_t>(bytes.size()));
}

}  // namespace

void Package::AllocateHeader() { headerLocation = Allocate(4, sizeof header); }

void Package::WriteInfoStrings(const std::string& name) {
  WriteInfoString(*this, header + kHeaderCopyright, "Copyright String");
  WriteInfoString(*this, header + kHeaderName, name);
}

void Package::WriteHeader() {
  std::memcpy(header, "package1", 8);
  std::memcpy(header + 8, "xxxx", 4);
  StoreBig32(header + 12, 0);  // flags
  StoreBig32(header + 16, 1);  // version
  StoreBig32(header + kHeaderSize, static_cast<uint32_t>(packageDataSize));
  const uint8_t creationDate[4] = {0xE5, 0x1E, 0x00, 0xB1};
  std::memcpy(header + 32, creationDate, 4);
  StoreBig32(header + 36, 0);
  StoreBig32(header + 40, 0);
  StoreBig32(header + kHeaderDirectorySize, static_cast<uint32_t>(directorySize));
  StoreBig32(header + kHeaderPartCount, static_cast<uint32_t>(nParts));
  WriteBytes(header, sizeof header, headerLocation);
}

void Part::AllocateEntry() { entryLocation = CurrentPackage().Allocate(4, sizeof entry); }

void Part::WritePartInfo() {
  const uint8_t info[] = {'a', 'u', 't', 'o'};
  WriteInfoBytes(CurrentPackage(), entry + kEntryInfo, info, sizeof info);
}

void Part::WriteEntry(int32_t firstPartStart) {
  uint32_t size = static_cast<uint32_t>(partEnd - partStart);
  StoreBig32(entry, static_cast<uint32_t>(partStart - firstPartStart));
  StoreBig32(entry + 4, size);
  StoreBig32(entry + 8, size);
  std::memcpy(entry + 12, "auto", 4);
  StoreBig32(entry + 16, 0);
  StoreBig32(entry + 20, 0x81);  // flags
  StoreBig32(entry + 28, 0);
  CurrentPackage().WriteBytes(entry, sizeof entry, entryLocation);
}
