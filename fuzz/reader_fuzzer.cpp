// Reads arbitrary bytes as a package file, in each of pkginspect's modes (the
// report draws bitmaps and decompiles functions, the JSON lists pixels and
// instructions, --source writes every value), then unpacks it in memory (every
// bitmap, sound and picture made into a file), and reads the bytes themselves
// as a QuickDraw picture and as sound samples. A package read without a fault
// must come back from its own --source with the same values.
// Whatever the bytes, a run must end with status 0 or 1; a crash, sanitizer
// report, hang, assertion (which exits) or runaway allocation is a finding.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "media/picture.h"
#include "media/wav.h"
#include "fuzz/round_trip.h"
#include "reader/inspect.h"
#include "unpack/package_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FILE* sink = std::fopen("/dev/null", "w");
  std::string package(reinterpret_cast<const char*>(data), size);
  if (ReadsWithoutFault(package)) CheckRoundTrip(package);
  for (InspectMode mode : {InspectMode::kReport, InspectMode::kTree, InspectMode::kJson,
                           InspectMode::kSource, InspectMode::kExtract}) {
    InspectRequest request{mode, "fuzz.pkg", "_ExportTable[0].objects[0].greeting", "/dev/null"};
    int status = Inspect(request, std::vector<uint8_t>(data, data + size), sink, sink);
    if (status != 0 && status != 1) std::abort();
  }
  PackageFolder folder("fuzz.pkg", FileBytes(std::vector<uint8_t>(data, data + size)), nullptr);
  for (const UnpackedFile& file : folder.Files()) {
    if (file.name.empty() || file.name.find('/') != std::string::npos) std::abort();
  }
  QdPicture picture = DecodePicture(data, size);
  if (picture.decoded != picture.stop.empty()) std::abort();
  if (EncodeWav(8000, size % 2 ? 8 : 16, data, size).size() < 44) std::abort();
  return 0;
}
