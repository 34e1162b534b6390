#pragma once
// LWDividesCoating's work: every 4-connected area of the target colour gets
// its own colour from a walk around the hue circle.
#include <cstdint>

#include "CLWData.h"

namespace trellin {

/// The colour sequence: hue, saturation and lightness advanced by their
/// steps before each area.
class CoatingColours {
 public:
  CoatingColours(std::int32_t hueStep, double saturationStep, double lightnessStep) noexcept;

  /// Advances the sequence and gives the colour of the next area.
  std::uint32_t next() noexcept;

  std::uint32_t hue() const noexcept { return hue_; }
  double saturation() const noexcept { return saturation_; }
  double lightness() const noexcept { return lightness_; }

 private:
  std::uint32_t hue_ = 0;
  std::uint32_t hueStep_;
  double saturation_ = 0.2;
  double saturationStep_;
  double lightness_ = 0.2;
  double lightnessStep_;
};

/// Labels and colours the areas of targetColour (see LWDividesCoating in
/// trellin/lwdata.h). False when memory runs out; data is then unchanged.
bool dividesCoating(CLWData& data, std::uint32_t targetColour, std::int32_t hueStep,
                    double saturationStep, double lightnessStep) noexcept;

}  // namespace trellin
