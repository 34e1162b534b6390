#pragma once
// Writers of one-channel pages into JPEG, PNG and BMP streams.
//
// Every writer takes an 8-bit gray page (width x height pixels, stride bytes
// from one row to the next, 0 black and 255 white) and the resolution in dots
// per inch, writes the whole file to the open stream and returns true only
// when every byte was accepted (the stream is flushed; closing it is the
// caller's task). A resolution of 0 or less is written as "none" (JPEG
// aspect 1:1, no PNG pHYs chunk, 0 pixels a metre in a BMP).
//
// Bilevel writers pack 8 pixels a byte, most significant bit first; a pixel
// of value 0 is black and every other value white.
#include <cstdint>
#include <cstdio>

namespace quillane {

struct GrayPageView {
  const uint8_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t stride = 0;
  double xDpi = 0.0;
  double yDpi = 0.0;
  const uint8_t* row(int32_t y) const { return pixels + static_cast<int64_t>(y) * stride; }
};

/// Pixels a metre for a resolution in dots per inch, rounded to the nearest
/// whole number (300 dpi -> 11811), 0 for dpi <= 0.
uint32_t pixelsPerMetre(double dpi);

/// Dots per inch for a resolution stored in pixels a metre (PNG, BMP). A
/// whole dpi that pixelsPerMetre turns into exactly this count is taken as
/// the resolution the file was written with (11811 and 11812 -> 300,
/// 23622 -> 600), so a page keeps its resolution through PNG and BMP like
/// through TIFF and JPEG; any other count gives its exact value (2363 ->
/// 60.0202).
double dotsPerInch(int64_t pixelsPerMetre);

/// Baseline JPEG, 1 component, quality 1..100 (outside: clamped). JFIF
/// density in dots per inch, the resolutions rounded to whole numbers.
bool writeGrayJpeg(std::FILE* file, const GrayPageView& page, int quality);

/// 8-bit gray PNG, no interlace; pHYs in pixels a metre.
bool writeGrayPng(std::FILE* file, const GrayPageView& page);

/// 1-bit gray PNG (colour type 0), no interlace; pHYs in pixels a metre.
bool writeBilevelPng(std::FILE* file, const GrayPageView& page);

/// 8-bit BMP with a 256-entry gray palette, rows bottom-up padded to 4 bytes,
/// horizontal and vertical pixels a metre.
bool writeGrayBmp(std::FILE* file, const GrayPageView& page);

/// 1-bit BMP with the palette black, white; rows bottom-up padded to 4 bytes.
bool writeBilevelBmp(std::FILE* file, const GrayPageView& page);

}  // namespace quillane
