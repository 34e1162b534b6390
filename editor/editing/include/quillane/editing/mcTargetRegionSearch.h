#pragma once
// mcTargetRegionSearch: splits a mask into 8-connected regions of runs.
//
// A pixel is background when its first byte is 255 and, for 3 or more bytes
// a pixel, its second and third bytes are 255 too; or when the image has an
// alpha byte (2 or 4 bytes a pixel: the last byte) and that byte is 0. Every
// other pixel belongs to exactly one region. Pixels touching at a corner are
// connected.
//
// Regions come out in the row-major order of their first run; within a
// region the runs are in the order a breadth-first walk from that run takes
// them (for each run: the touching runs of the row above from right to left,
// then those of the row below from left to right).
#include <cstdint>
#include <vector>

#include "quillane/editing/mcRegion.h"

namespace quillane {

class mcTargetRegionSearch {
 public:
  /// Most runs a mask may hold; a mask with more fails the search.
  static constexpr int64_t kMaxRuns = 10000000;

  virtual ~mcTargetRegionSearch() = default;

  /// Finds the regions of the image (height rows of stride bytes, width
  /// pixels each) and stores them in regions, which is emptied first. Every
  /// run and bounding box is then moved by (dx, dy), so that a mask covering
  /// part of a page can report page coordinates.
  ///
  /// bytesPerPixel 1 ... 4; 0 takes stride / width (integer division).
  /// Returns the number of regions; 0 (and no regions) when pixels is null,
  /// width or height is not positive, stride < width * bytesPerPixel, the
  /// bytes a pixel are not 1 ... 4, or the mask holds more than kMaxRuns runs.
  int32_t search(int32_t width, const uint8_t* pixels, int32_t height, int32_t stride,
                 std::vector<mcRegion>& regions, int32_t dx = 0, int32_t dy = 0,
                 int32_t bytesPerPixel = 0) const;
};

}  // namespace quillane
