// Fuzz target of the BMP page reader: probe and decode through PageImageFile.
#include <cstddef>
#include <cstdint>

#include "PageFileFuzz.h"
#include "quillane/imagefile/PageFileResult.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz::fuzzPageFile(data, size, quillane::kFormatBmp);
}
