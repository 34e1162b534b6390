#pragma once
// mcRegion: one 8-connected region of a mask, held as horizontal runs.
// Region search (mcTargetRegionSearch) makes them, region paint
// (mcRegionFill) and rim smoothing (RimSmoothing.h) consume them.
#include <array>
#include <cstdint>
#include <vector>

namespace quillane {

/// A horizontal stretch of pixels: row y, columns x ... x + length - 1.
struct mcRun {
  int32_t x = 0;
  int32_t y = 0;
  int32_t length = 0;

  friend bool operator==(const mcRun&, const mcRun&) = default;
};

class mcRegion {
 public:
  virtual ~mcRegion() = default;
  mcRegion() = default;
  mcRegion(const mcRegion&) = default;
  mcRegion& operator=(const mcRegion&) = default;
  mcRegion(mcRegion&&) noexcept = default;
  mcRegion& operator=(mcRegion&&) noexcept = default;

  /// Adds a run at the end and widens the bounding box and the area.
  void addRun(const mcRun& run);

  /// True when the bounding box holds no pixel.
  bool isEmpty() const { return right <= left || bottom <= top; }

  std::vector<mcRun> runs;  ///< in the order the search (or the caller) took them
  int32_t left = 0;         ///< smallest x
  int32_t top = 0;          ///< smallest y
  int32_t right = 0;        ///< largest x + 1
  int32_t bottom = 0;       ///< largest y + 1
  double area = 0;          ///< sum of the run lengths, pixels
  /// Colour of the darkest pixel the search met (the first three bytes of a
  /// pixel, or its first byte three times for 1 and 2 bytes a pixel).
  std::array<uint8_t, 3> darkest{255, 255, 255};
};

}  // namespace quillane
