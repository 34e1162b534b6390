// The three Set functions: pixel rows in, run-length rows out.
//
// Each row is encoded into one scratch row of width runs (the worst case,
// every pixel its own run) and then copied into a run array of exactly its
// run count. One-byte pixels take a fast path that compares eight pixels at a
// time against the colour of the run being built.
#include <bit>
#include <cstdint>
#include <cstring>

#include "Allocation.h"
#include "CLWData.h"
#include "RunRows.h"
#include "trellin/lwdata.h"

namespace trellin {
namespace {

// Runs of one row of one-byte pixels; high holds the bits above the byte.
std::uint32_t encodeBytes(const std::uint8_t* pixels, std::uint32_t width, std::uint32_t high,
                          LWRun* out) noexcept {
  std::uint32_t count = 0;
  std::uint32_t x = 0;
  while (x < width) {
    const std::uint8_t v = pixels[x];
    const std::uint32_t start = x++;
    const std::uint64_t pattern = 0x0101010101010101ull * v;
    for (;;) {
      if (x + 8 <= width) {
        std::uint64_t word;
        std::memcpy(&word, pixels + x, 8);
        word ^= pattern;
        if (word == 0) {
          x += 8;
          continue;
        }
        if constexpr (std::endian::native == std::endian::little)
          x += static_cast<std::uint32_t>(std::countr_zero(word)) >> 3;
        else
          x += static_cast<std::uint32_t>(std::countl_zero(word)) >> 3;
      } else {
        while (x < width && pixels[x] == v) ++x;
      }
      break;
    }
    out[count++] = LWRun{high | v, 0, x - start};
  }
  return count;
}

template <int Bytes>
std::uint32_t loadPixel(const std::uint8_t* p) noexcept {
  std::uint32_t value = p[0];
  if constexpr (Bytes >= 2) value |= static_cast<std::uint32_t>(p[1]) << 8;
  if constexpr (Bytes >= 3) value |= static_cast<std::uint32_t>(p[2]) << 16;
  if constexpr (Bytes >= 4) value |= static_cast<std::uint32_t>(p[3]) << 24;
  return value;
}

// Runs of one row of pixels of 2 to 4 bytes.
template <int Bytes>
std::uint32_t encodePixels(const std::uint8_t* pixels, std::uint32_t width, std::uint32_t high,
                           LWRun* out) noexcept {
  std::uint32_t count = 0;
  std::uint32_t current = high | loadPixel<Bytes>(pixels);
  std::uint32_t start = 0;
  for (std::uint32_t x = 1; x < width; ++x) {
    const std::uint32_t value = high | loadPixel<Bytes>(pixels + x * Bytes);
    if (value != current) {
      out[count++] = LWRun{current, 0, x - start};
      current = value;
      start = x;
    }
  }
  out[count++] = LWRun{current, 0, width - start};
  return count;
}

using RowEncoder = std::uint32_t (*)(const std::uint8_t*, std::uint32_t, std::uint32_t,
                                     LWRun*) noexcept;

RowEncoder encoderFor(int bytesPerPixel) noexcept {
  switch (bytesPerPixel) {
    case 1:
      return encodeBytes;
    case 2:
      return encodePixels<2>;
    case 3:
      return encodePixels<3>;
    default:
      return encodePixels<4>;
  }
}

// The bits above the pixel's own bytes in the values LWDataSetImageData makes.
std::uint32_t imageHighBits(int bytesPerPixel) noexcept {
  return bytesPerPixel >= 4 ? 0u : 0xFFFFFFFFu << (8 * bytesPerPixel);
}

LWBool setPixels(CLWData* data, std::int32_t width, std::int32_t height, std::int32_t stride,
                 int bytesPerPixel, std::uint32_t high, const std::uint8_t* pixels) noexcept {
  if (!data || width == 0 || height == 0 || stride == 0 || !pixels) return 0;
  // Positions are signed 32-bit inside the engine, so a width or height
  // above 2^31 - 1 (a negative argument) cannot be held. The size checks
  // matter where size_t is 32 bits wide.
  if (width < 0 || height < 0) return 0;
  if (static_cast<std::uint64_t>(width) > SIZE_MAX / sizeof(LWRun) ||
      static_cast<std::uint64_t>(height) > SIZE_MAX / sizeof(LWRunRow))
    return 0;

  data->clear();
  const std::uint32_t w = static_cast<std::uint32_t>(width);
  const std::uint32_t h = static_cast<std::uint32_t>(height);
  LWRun* scratch = allocateArray<LWRun>(w);
  LWRunRow* rows = allocateArray<LWRunRow>(h);
  if (!scratch || !rows) {
    releaseBytes(scratch);
    releaseBytes(rows);
    return 0;
  }
  const RowEncoder encode = encoderFor(bytesPerPixel);
  const std::uint8_t* line = pixels;
  for (std::uint32_t y = 0; y < h; ++y) {
    const std::uint32_t count = encode(line, w, high, scratch);
    LWRun* runs = allocateArray<LWRun>(count);
    if (!runs) {
      releaseRows(rows, y);
      releaseBytes(scratch);
      return 0;
    }
    std::memcpy(runs, scratch, sizeof(LWRun) * count);
    rows[y] = LWRunRow{runs, count};
    if (y + 1 < h) line += stride;
  }
  releaseBytes(scratch);
  data->adopt(width, h, rows);
  return 1;
}

}  // namespace
}  // namespace trellin

extern "C" {

LW_API LWBool LWDataSetGrayData(CLWData* data, int32_t width, int32_t height, int32_t stride,
                                const uint8_t* pixels) {
  return trellin::setPixels(data, width, height, stride, 1, 0, pixels);
}

LW_API LWBool LWDataSetRGBData(CLWData* data, int32_t width, int32_t height, int32_t stride,
                               const uint8_t* pixels) {
  return trellin::setPixels(data, width, height, stride, 3, 0, pixels);
}

LW_API LWBool LWDataSetImageData(CLWData* data, int32_t width, int32_t height, int32_t stride,
                                 int32_t bytesPerPixel, const uint8_t* pixels) {
  if (bytesPerPixel < 1 || bytesPerPixel > 4) return 0;
  return trellin::setPixels(data, width, height, stride, bytesPerPixel,
                            trellin::imageHighBits(bytesPerPixel), pixels);
}

}  // extern "C"
