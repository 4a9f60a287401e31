// Feeds arbitrary script text to the contents script reader. A faulty script
// must end in a message, an unusable data file in an InputError; any crash,
// sanitizer report or assertion (which exits) is a finding.

#include <cstring>

#include "fuzz/scratch_dir.h"
#include "objects/errors.h"
#include "objects/ref.h"
#include "objects/utility.h"
#include "packaging/package.h"
#include "tool/contents_script.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  EnterScratchDir();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (std::memchr(data, '/', size)) return -1;
  WriteScratchFile("contents.script", data, size);
  Package package;
  try {
    ReadContentsScript(NewFrameRef(), "contents.script");
  } catch (const InputError&) {
  }
  return 0;
}
