#pragma once
// Small helpers shared by the engine tests: a pixel image, a handle that
// deletes its container, and the plain flood-fill model of the pinhole
// reduction that LWPinhole is checked against.
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "trellin/lwdata.h"

namespace trellin::test {

struct DeleteData {
  void operator()(CLWData* data) const { DeleteLWData(data); }
};
using Data = std::unique_ptr<CLWData, DeleteData>;

inline Data makeData() { return Data(CreateLWData()); }

/// One-byte gray image, rows top first, stride == width.
struct Gray {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;
  Gray(int w, int h, std::uint8_t v = 255)
      : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, v) {}
  std::uint8_t& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
  std::uint8_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

/// Draws an image from rows of characters: '#' is 0, '.' is 255, a digit d
/// is d * 25.
Gray parseGray(const std::vector<std::string>& rows);

/// Result of the pixel model: the painted image and which pixels changed.
struct FloodResult {
  Gray image;
  std::vector<std::uint8_t> changed;  // 1 where a pixel was painted
};

/// Paints every 4-connected area of exactly gray `target` with at most
/// largestArea pixels with gray `fill`.
FloodResult floodFillModel(const Gray& image, std::uint8_t target, std::uint8_t fill,
                           long largestArea);

/// One LWPinhole call, in gray levels.
struct PinholePass {
  std::uint8_t target;
  std::uint8_t fill;
  std::int32_t largestArea;
};

/// Sets image into a new container (one byte a pixel, values 0xFFFFFFxx),
/// runs LWPinhole for each pass in turn and returns the result image and
/// the pixels LWDataReturnImageData_TargetAtr reports as changed (by the
/// last pass's fill colour). Fails the current test when a call fails.
FloodResult runPinhole(const Gray& image, const std::vector<PinholePass>& passes);
inline FloodResult runPinhole(const Gray& image, std::uint8_t target, std::uint8_t fill,
                              std::int32_t largestArea) {
  return runPinhole(image, {{target, fill, largestArea}});
}

/// The value LWDataSetImageData gives a gray byte.
constexpr std::int32_t imageValue(std::uint8_t gray) {
  return static_cast<std::int32_t>(0xFFFFFF00u | gray);
}

/// A new container holding image (LWDataSetImageData, one byte a pixel).
Data setGray(const Gray& image);

/// The pixels of data (LWDataReturnImageData, one byte a pixel).
Gray returnGray(CLWData* data);

/// 1 for each pixel whose run has the given attribute, else 0.
std::vector<std::uint8_t> attributeMask(CLWData* data, std::int32_t attribute);

/// Where the two images differ, as text for a failure message ("" if equal).
std::string describeDifference(const Gray& actual, const Gray& expected);

}  // namespace trellin::test
