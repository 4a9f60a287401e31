#include "reader/directory.h"

#include "objects/tree_printer.h"

#include <algorithm>

#include "reader/faults.h"
#include "reader/file_bytes.h"
#include "objects/errors.h"

namespace {

const uint64_t kHeaderSize = 52;
const uint64_t kEntrySize = 32;
const uint64_t kRelocationHeaderSize = 20;

InfoRef ReadInfoRef(const FileBytes& file, uint64_t at, const Directory& directory,
                    uint64_t infoEnd) {
  InfoRef info{at, file.Half(at), file.Half(at + 2), false};
  info.inside = directory.infoStart + info.offset + info.length <= infoEnd;
  return info;
}

// A UTF-16 string ends in a zero character, which its length counts.
void CheckString(const FileBytes& file, const InfoRef& info, const Directory& directory,
                 const char* what, Faults& faults) {
  if (!info.inside) {
    faults.Add(info.at, Format("the %s string runs past the info data", what));
  } else if (info.length % 2 != 0) {
    faults.Add(info.at, Format("the %s string has an odd length (%u)", what, info.length));
  } else if (info.length > 0 &&
             file.Half(directory.infoStart + info.offset + info.length - 2) != 0) {
    faults.Add(info.at, Format("the %s string does not end in a zero character", what));
  }
}

void ReadRelocation(const FileBytes& file, Directory& directory, Faults& faults) {
  uint64_t at = directory.directorySize;
  if (!file.Has(at, kRelocationHeaderSize)) {
    faults.Add(12, "the relocation flag is set but no relocation header fits in the file");
    return;
  }
  Relocation relocation{file.Word(at + 4), file.Word(at + 8), file.Word(at + 12),
                        file.Word(at + 16)};
  if (relocation.size < kRelocationHeaderSize || !file.Has(at, relocation.size)) {
    faults.Add(at + 4,
               Format("relocation data of %u bytes does not fit in the file", relocation.size));
    return;
  }
  directory.relocation = relocation;
}

void ReadParts(const FileBytes& file, Directory& directory, uint64_t infoEnd, uint64_t entries,
               Faults& faults) {
  uint64_t partData =
      directory.directorySize + (directory.relocation ? directory.relocation->size : 0);
  for (uint64_t i = 0; i < entries; ++i) {
    uint64_t at = kHeaderSize + kEntrySize * i;
    PartEntry part{static_cast<uint32_t>(i),
                   at,
                   file.Word(at),
                   file.Word(at + 4),
                   file.Word(at + 12),
                   file.Word(at + 20),
                   ReadInfoRef(file, at + 24, directory, infoEnd),
                   0,
                   false};
    part.start = partData + part.offset;
    part.inFile = file.Has(part.start, part.size);
    if (!part.inFile) {
      faults.Add(at, Format("part %u (%u bytes at 0x%llx) passes the end of the file", part.number,
                            part.size, static_cast<unsigned long long>(part.start)));
    }
    if (!part.info.inside) faults.Add(part.info.at, "the part's info runs past the info data");
    directory.parts.push_back(part);
  }
  const std::vector<PartEntry>& parts = directory.parts;
  for (const PartEntry& part : parts) {
    if (part.start < file.Size() && part.size > 0) directory.byStart.push_back(part.number);
  }
  std::stable_sort(directory.byStart.begin(), directory.byStart.end(),
                   [&](uint32_t a, uint32_t b) { return parts[a].start < parts[b].start; });
  // The last part, cut short by the end of the file, is still read as far as
  // it goes; one that passes the end with others after it has a size that
  // cannot be, and is not read.
  std::erase_if(directory.byStart, [&](uint32_t number) {
    return !parts[number].inFile && number != directory.byStart.back();
  });
  for (size_t i = 1; i < directory.byStart.size(); ++i) {
    const PartEntry& part = parts[directory.byStart[i]];
    const PartEntry& before = parts[directory.byStart[i - 1]];
    if (part.start < before.start + before.size) {
      faults.Add(part.at, Format("part %u overlaps part %u", part.number, before.number));
    }
  }
}

// The header's numbers, as far as the file holds them.
void ReadHeaderFields(const FileBytes& file, Directory& directory) {
  directory.type = file.Word(8);
  directory.flags = file.Word(12);
  directory.version = file.Word(16);
  directory.size = file.Word(28);
  directory.date = file.Word(32);
  directory.directorySize = file.Word(44);
  directory.partCount = file.Word(48);
}

}  // namespace

Directory ReadDirectory(const FileBytes& file, Faults& faults) {
  Directory directory{};
  directory.fileSize = file.Size();
  if (file.Has(0, 8)) directory.signature.assign(reinterpret_cast<const char*>(file.At(0)), 8);
  // Any other file is no package at all: one fault says so, and nothing in
  // it is read as parts.
  if (file.Has(0, 8) && directory.signature != "package0" && directory.signature != "package1") {
    faults.Add(0, "not a package: the signature is " +
                      QuotedLatin1(file.At(0), directory.signature.size()));
    ReadHeaderFields(file, directory);
    directory.isPackage = false;
    return directory;
  }
  if (!file.Has(0, kHeaderSize)) {
    faults.Add(0, Format("the file holds %llu bytes, too few for a package header",
                         static_cast<unsigned long long>(file.Size())));
    directory.isPackage = false;
    return directory;
  }
  ReadHeaderFields(file, directory);
  if (directory.size != file.Size()) {
    faults.Add(28, Format("the package size is %u but the file holds %llu bytes", directory.size,
                          static_cast<unsigned long long>(file.Size())));
  }
  uint64_t entries = directory.partCount;
  // A count the file has no room for is no count: the parts would lie past
  // the end anyway, and a file of random bytes would make millions of them.
  if (!file.Has(kHeaderSize, kEntrySize * entries)) {
    entries = 0;
    faults.Add(48, Format("%u part entries do not fit in the file", directory.partCount));
  }
  directory.infoStart = kHeaderSize + kEntrySize * entries;
  if (directory.directorySize < directory.infoStart) {
    faults.Add(44, Format("the directory size %u leaves no room for the header and part entries",
                          directory.directorySize));
  } else if (directory.directorySize > file.Size()) {
    faults.Add(44,
               Format("the directory size %u passes the end of the file", directory.directorySize));
  }
  uint64_t infoEnd = std::min<uint64_t>(directory.directorySize, file.Size());
  directory.copyright = ReadInfoRef(file, 20, directory, infoEnd);
  directory.name = ReadInfoRef(file, 24, directory, infoEnd);
  CheckString(file, directory.copyright, directory, "copyright", faults);
  CheckString(file, directory.name, directory, "name", faults);
  if (directory.flags & kRelocationFlag) ReadRelocation(file, directory, faults);
  ReadParts(file, directory, infoEnd, entries, faults);
  return directory;
}
