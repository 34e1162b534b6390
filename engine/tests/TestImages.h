#pragma once
// Small helpers shared by the engine tests: a pixel image, a handle that
// deletes its container, Set and Return in one call, and the labelling of
// connected areas that the pixel models are built on.
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

/// Random pixels: black with probability ink, otherwise one of others.
Gray randomGray(std::mt19937& random, int width, int height, double ink,
                const std::vector<std::uint8_t>& others);

/// The value LWDataSetImageData gives a gray byte.
constexpr std::int32_t imageValue(std::uint8_t gray) {
  return static_cast<std::int32_t>(0xFFFFFF00u | gray);
}
constexpr std::int32_t kBlack = imageValue(0);

/// A new container holding image (LWDataSetImageData, one byte a pixel).
Data setGray(const Gray& image);

/// The pixels of data (LWDataReturnImageData, one byte a pixel).
Gray returnGray(CLWData* data);

/// 1 for each pixel whose run has the given attribute, else 0.
std::vector<std::uint8_t> attributeMask(CLWData* data, std::int32_t attribute);

/// Numbers the 4-connected (or 8-connected) areas of pixels equal to value
/// in the order of their first pixel, rows from the top; 0 elsewhere.
std::vector<std::uint32_t> labelAreas(const Gray& image, std::uint8_t value, bool eight);

/// Where the two images differ, as text for a failure message ("" if equal).
std::string describeDifference(const Gray& actual, const Gray& expected);

}  // namespace trellin::test
