#pragma once
// LoadedImage: what the JPEG, PNG and BMP readers deliver.
//
// An 8-bit image of 1 channel (gray) or 3 channels in blue, green, red order,
// rows top first, pitch bytes from one row to the next (pitch >= width *
// channels), together with the file's resolution and whether the file was a
// CMYK JPEG that the reader turned into RGB.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace quillane {

struct LoadedImage {
  int32_t width = 0;
  int32_t height = 0;
  int32_t channels = 0;  ///< 1 (gray) or 3 (blue, green, red)
  size_t pitch = 0;      ///< bytes from one row to the next
  std::unique_ptr<uint8_t[]> pixels;

  /// Resolution in dots per inch; 0 when the file records none (a JPEG with
  /// only an aspect ratio, a PNG without pHYs, a BMP with 0 pixels a metre).
  double xDpi = 0.0;
  double yDpi = 0.0;
  /// The file was a CMYK (or YCCK) JPEG and the pixels are its RGB rendering.
  bool cmykConverted = false;

  bool empty() const { return pixels == nullptr; }
  uint8_t* row(int32_t y) { return pixels.get() + static_cast<size_t>(y) * pitch; }
  const uint8_t* row(int32_t y) const { return pixels.get() + static_cast<size_t>(y) * pitch; }

  /// Allocates an uninitialised buffer of width x height x channels bytes
  /// with pitch = width * channels and sets the size fields; the resolution
  /// and the CMYK flag are kept. False (no pixels) when the size is not
  /// positive or the memory is not available.
  bool allocate(int32_t w, int32_t h, int32_t c);
  /// Frees the pixels and sets every field back to its initial value.
  void clear() { *this = LoadedImage{}; }
};

/// How a read went.
enum class LoadStatus {
  Ok,
  Failed,    ///< not a file of the format, damaged or truncated, or out of memory
  TooLarge,  ///< the header declares more than the page limit; nothing was allocated
};

}  // namespace quillane
