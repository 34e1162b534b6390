#include "HlsToRgb.h"

#include <cmath>

namespace trellin {

Rgb hlsToRgb(float hue, float lightness, float saturation) noexcept {
  const float l = lightness, s = saturation;
  if (s == 0) return Rgb{l, l, l};
  // Each step in float, in the order of OpenCV's scalar path, so that the
  // results match it bit for bit. OpenCV runs that path in its build for
  // processors with fused multiply-add, where the compiler fuses a product
  // with the sum that follows it; the fusions are written out here.
  const float p2 = l <= 0.5f ? l * (1 + s) : std::fma(-l, s, l + s);
  const float p1 = 2 * l - p2;
  float h = hue * (6.f / 360.f);
  if (!std::isfinite(h)) return Rgb{l, l, l};
  // Whole turns are stepped off one at a time, as OpenCV does (the rounding
  // of each step shows in the last bit); far-off hues are first brought
  // near by fmod so that this stays short.
  if (std::fabs(h) > 600) h = std::fmod(h, 6.f);
  while (h < 0) h += 6;
  while (h >= 6) h -= 6;
  const int sector = static_cast<int>(std::floor(h));
  h -= static_cast<float>(sector);
  const float tab[4] = {p2, p1, std::fma(p2 - p1, 1 - h, p1), std::fma(p2 - p1, h, p1)};
  // Indices of blue, green and red in tab for each sector of 60 degrees.
  static const int kSectors[6][3] = {{1, 3, 0}, {1, 0, 2}, {3, 0, 1},
                                     {0, 2, 1}, {0, 1, 3}, {2, 1, 0}};
  return Rgb{tab[kSectors[sector][2]], tab[kSectors[sector][1]], tab[kSectors[sector][0]]};
}

namespace {
std::uint32_t channel(float v) noexcept {
  const float scaled = v * 255;
  if (!(scaled > 0)) return 0;  // NaN too
  if (scaled >= 255) return 255;
  return static_cast<std::uint32_t>(scaled);
}
}  // namespace

std::uint32_t rgbValue(const Rgb& colour) noexcept {
  return channel(colour.r) + 256 * channel(colour.g) + 65536 * channel(colour.b);
}

}  // namespace trellin
