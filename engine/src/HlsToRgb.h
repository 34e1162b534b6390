#pragma once
// Hue / lightness / saturation to red / green / blue in single precision,
// with the results of OpenCV's float COLOR_HLS2RGB (as its build for
// processors with fused multiply-add computes them): hue in degrees (any
// value, taken modulo 360), lightness and saturation 0..1; channels 0..1
// for inputs in range.
#include <cstdint>

namespace trellin {

struct Rgb {
  float r;
  float g;
  float b;
};

Rgb hlsToRgb(float hue, float lightness, float saturation) noexcept;

/// trunc(r * 255) + 256 * trunc(g * 255) + 65536 * trunc(b * 255), each
/// channel limited to 0..255 first: the value LWDataSetRGBData gives a
/// pixel of those bytes.
std::uint32_t rgbValue(const Rgb& colour) noexcept;

}  // namespace trellin
