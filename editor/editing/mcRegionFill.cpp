// Region paint; see mcRegionFill.h.
#include "quillane/editing/mcRegionFill.h"

#include <cstring>

namespace quillane {

bool mcRegionFill::paint(int32_t width, uint8_t* pixels, int32_t height, int32_t stride,
                         const mcRegion& region, uint8_t colour, uint8_t alpha, int32_t dx,
                         int32_t dy, int32_t bytesPerPixel) const {
  if (pixels == nullptr || width <= 0 || height <= 0 || stride < width) return false;
  const int32_t bpp = bytesPerPixel > 0 ? bytesPerPixel : stride / width;
  if (static_cast<int64_t>(width) * bpp > stride) return false;

  for (const mcRun& run : region.runs) {
    uint8_t* start =
        pixels + static_cast<int64_t>(run.y - dy) * stride + static_cast<int64_t>(run.x - dx) * bpp;
    if (bpp % 2 == 1) {
      std::memset(start, colour, static_cast<size_t>(run.length) * bpp);
      continue;
    }
    const int32_t colourBytes = bpp == 4 ? 3 : 1;
    for (int32_t i = 0; i < run.length; ++i) {
      uint8_t* p = start + static_cast<int64_t>(i) * bpp;
      for (int32_t c = 0; c < bpp; ++c) p[c] = c < colourBytes ? colour : alpha;
    }
  }
  return true;
}

}  // namespace quillane
