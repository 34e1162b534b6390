// The five Return functions: run-length rows out to a pixel buffer.
//
// The whole-image forms write every pixel of a row. For one-byte pixels they
// fill a run with 16-byte (or 8-byte) stores that may spill past the run's
// end into the next run, which overwrites the spill; near the row's end they
// write exactly, so nothing past the row is touched. The selective forms
// (by colour, by attribute) write exactly the chosen runs and nothing else.
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cstdint>
#include <cstring>

#include "CLWData.h"
#include "trellin/lwdata.h"

namespace trellin {
namespace {

enum class Select { All, Colour, Attribute };

// Writes v to out[x, end) of a row of width bytes; may also write up to 63
// bytes after end, never past the row.
inline void fillBytes(std::uint8_t* out, std::uint32_t x, std::uint32_t end, std::uint32_t width,
                      std::uint8_t v) noexcept {
#if defined(__SSE2__)
  if (end + 64 <= width) {
    // Four unconditional stores cover most runs without a loop.
    const __m128i pattern = _mm_set1_epi8(static_cast<char>(v));
    __m128i* p = reinterpret_cast<__m128i*>(out + x);
    _mm_storeu_si128(p, pattern);
    _mm_storeu_si128(p + 1, pattern);
    _mm_storeu_si128(p + 2, pattern);
    _mm_storeu_si128(p + 3, pattern);
    for (x += 64; x < end; x += 16) _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), pattern);
    return;
  }
#else
  if (end + 8 <= width) {
    const std::uint64_t pattern = 0x0101010101010101ull * v;
    for (; x < end; x += 8) std::memcpy(out + x, &pattern, 8);
    return;
  }
#endif
  std::memset(out + x, v, end - x);
}

template <int Bytes>
void fillPixels(std::uint8_t* out, std::uint32_t x, std::uint32_t end,
                std::uint32_t value) noexcept {
  std::uint8_t bytes[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                           static_cast<std::uint8_t>(value >> 16),
                           static_cast<std::uint8_t>(value >> 24)};
  for (std::uint8_t* p = out + x * Bytes; x < end; ++x, p += Bytes) std::memcpy(p, bytes, Bytes);
}

template <int Bytes, Select Which>
void writeRow(const LWRunRow& row, std::uint32_t width, std::uint32_t key,
              std::uint8_t* out) noexcept {
  const LWRun empty{0, 0, width};
  const LWRun* run = row.runs && row.count ? row.runs : &empty;
  const LWRun* last = run + (row.runs && row.count ? row.count : 1);
  std::uint32_t x = 0;
  for (; run != last && x < width; ++run) {
    std::uint32_t end = x + run->length;
    if (end > width || end < x) end = width;
    bool chosen = true;
    if constexpr (Which == Select::Colour) chosen = run->value == key;
    if constexpr (Which == Select::Attribute) chosen = run->attribute == key;
    if (chosen) {
      if constexpr (Bytes == 1) {
        if constexpr (Which == Select::All)
          fillBytes(out, x, end, width, static_cast<std::uint8_t>(run->value));
        else
          std::memset(out + x, static_cast<std::uint8_t>(run->value), end - x);
      } else {
        fillPixels<Bytes>(out, x, end, run->value);
      }
    }
    x = end;
  }
}

template <int Bytes, Select Which>
void writeImage(const CLWData& data, std::int32_t stride, std::uint32_t key,
                std::uint8_t* pixels) noexcept {
  const std::uint32_t width = static_cast<std::uint32_t>(data.width());
  const std::uint32_t height = data.height();
  std::uint8_t* line = pixels;
  for (std::uint32_t y = 0; y < height; ++y) {
    writeRow<Bytes, Which>(data.rows()[y], width, key, line);
    if (y + 1 < height) line += stride;
  }
}

template <Select Which>
LWBool returnPixels(CLWData* data, std::int32_t width, std::int32_t height, std::int32_t stride,
                    int bytesPerPixel, std::uint32_t key, std::uint8_t* pixels) noexcept {
  if (!data || bytesPerPixel < 1 || bytesPerPixel > 4) return 0;
  if (width != data->width() || static_cast<std::uint32_t>(height) != data->height()) return 0;
  if (data->height() == 0) return 1;
  switch (bytesPerPixel) {
    case 1:
      writeImage<1, Which>(*data, stride, key, pixels);
      break;
    case 2:
      writeImage<2, Which>(*data, stride, key, pixels);
      break;
    case 3:
      writeImage<3, Which>(*data, stride, key, pixels);
      break;
    default:
      writeImage<4, Which>(*data, stride, key, pixels);
      break;
  }
  return 1;
}

}  // namespace
}  // namespace trellin

using trellin::Select;

extern "C" {

LW_API LWBool LWDataReturnGrayData(CLWData* data, int32_t width, int32_t height, int32_t stride,
                                   uint8_t* pixels) {
  return trellin::returnPixels<Select::All>(data, width, height, stride, 1, 0, pixels);
}

LW_API LWBool LWDataReturnRGBData(CLWData* data, int32_t width, int32_t height, int32_t stride,
                                  uint8_t* pixels) {
  return trellin::returnPixels<Select::All>(data, width, height, stride, 3, 0, pixels);
}

LW_API LWBool LWDataReturnImageData(CLWData* data, int32_t width, int32_t height, int32_t stride,
                                    int32_t bytesPerPixel, uint8_t* pixels) {
  return trellin::returnPixels<Select::All>(data, width, height, stride, bytesPerPixel, 0, pixels);
}

LW_API LWBool LWDataReturnImageData_TargetColor(CLWData* data, int32_t width, int32_t height,
                                                int32_t stride, int32_t bytesPerPixel,
                                                int32_t colour, uint8_t* pixels) {
  return trellin::returnPixels<Select::Colour>(data, width, height, stride, bytesPerPixel,
                                               static_cast<uint32_t>(colour), pixels);
}

LW_API LWBool LWDataReturnImageData_TargetAtr(CLWData* data, int32_t width, int32_t height,
                                              int32_t stride, int32_t bytesPerPixel,
                                              int32_t attribute, uint8_t* pixels) {
  return trellin::returnPixels<Select::Attribute>(data, width, height, stride, bytesPerPixel,
                                                  static_cast<uint32_t>(attribute), pixels);
}

}  // extern "C"
