// The three Set functions: pixel rows in, run-length rows out.
//
// Each row is encoded into one scratch row of width runs (the worst case,
// every pixel its own run) and then copied into a run array of exactly its
// run count. One-byte pixels take a fast path that finds run boundaries
// 32 pixels at a time.
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
// Run boundaries are found 32 pixels at a time by comparing each pixel with
// its left neighbour, which keeps the work for a chunk independent of where
// the previous run ended.
std::uint32_t encodeBytes(const std::uint8_t* pixels, std::uint32_t width, std::uint32_t high,
                          LWRun* out) noexcept {
  std::uint32_t count = 0;
  std::uint32_t start = 0;  // first pixel of the run being built
  std::uint32_t x = 1;
#if defined(__SSE2__)
  for (; x + 32 <= width; x += 32) {
    const __m128i* here = reinterpret_cast<const __m128i*>(pixels + x);
    const __m128i* left = reinterpret_cast<const __m128i*>(pixels + x - 1);
    const std::uint32_t lowSame = static_cast<std::uint32_t>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(here), _mm_loadu_si128(left))));
    const std::uint32_t highSame = static_cast<std::uint32_t>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(here + 1), _mm_loadu_si128(left + 1))));
    std::uint32_t starts = ~(lowSame | highSame << 16);
    while (starts != 0) {
      const std::uint32_t at = x + static_cast<std::uint32_t>(std::countr_zero(starts));
      out[count++] = LWRun{high | pixels[start], 0, at - start};
      start = at;
      starts &= starts - 1;
    }
  }
#endif
  for (; x < width; ++x) {
    if (pixels[x] != pixels[x - 1]) {
      out[count++] = LWRun{high | pixels[start], 0, x - start};
      start = x;
    }
  }
  out[count++] = LWRun{high | pixels[start], 0, width - start};
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
