#pragma once
// mcRegionFill: paints the runs of a region into an image.
#include <cstdint>

#include "quillane/editing/mcRegion.h"

namespace quillane {

class mcRegionFill {
 public:
  virtual ~mcRegionFill() = default;

  /// Paints every run of region into the image (height rows of stride bytes,
  /// width pixels each). A run at (x, y) starts at image pixel
  /// (x - dx, y - dy). With an odd number of bytes a pixel every byte of the
  /// run becomes colour; with an even number each pixel gets colour in its
  /// first byte (first three bytes for 4) and alpha in the rest.
  ///
  /// bytesPerPixel 1 ... 4; 0 takes stride / width. Runs are not clipped: the
  /// caller guarantees that they lie in the image. False (nothing painted)
  /// when pixels is null, width or height is not positive or
  /// stride < width * bytesPerPixel.
  bool paint(int32_t width, uint8_t* pixels, int32_t height, int32_t stride, const mcRegion& region,
             uint8_t colour, uint8_t alpha, int32_t dx = 0, int32_t dy = 0,
             int32_t bytesPerPixel = 0) const;
};

}  // namespace quillane
