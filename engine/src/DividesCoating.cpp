// Dividing coating: labels the 4-connected areas of the target colour in
// the order of their first run (rows from the top, runs from the left) and
// gives area k the k-th colour of the sequence. Areas are labelled in a
// table beside the runs, so the container changes only once every label
// and colour is known; since the colouring meets the areas in the same
// order as the labelling, the colour of label k is simply the k-th one.
#include "DividesCoating.h"

#include "Allocation.h"
#include "HlsToRgb.h"
#include "RunLabels.h"

namespace trellin {

CoatingColours::CoatingColours(std::int32_t hueStep, double saturationStep,
                               double lightnessStep) noexcept
    // A step of whole turns changes nothing; taking it modulo 360 keeps the
    // hue within one turn whatever the step.
    : hueStep_(static_cast<std::uint32_t>((hueStep % 360 + 360) % 360)),
      saturationStep_(saturationStep),
      lightnessStep_(lightnessStep) {}

std::uint32_t CoatingColours::next() noexcept {
  hue_ += hueStep_;
  if (hue_ > 359) hue_ -= 360;
  saturation_ += saturationStep_;
  if (saturation_ > 0.8) saturation_ -= 0.6;
  lightness_ += lightnessStep_;
  if (lightness_ > 0.8) lightness_ -= 0.6;
  return rgbValue(hlsToRgb(static_cast<float>(hue_), static_cast<float>(lightness_),
                           static_cast<float>(saturation_)));
}

bool dividesCoating(CLWData& data, std::uint32_t targetColour, std::int32_t hueStep,
                    double saturationStep, double lightnessStep) noexcept {
  const std::uint32_t height = data.height();
  if (height == 0) return true;
  RunLabels labels(data);
  if (!labels.init()) return false;
  std::uint32_t areas = 0;
  for (std::uint32_t y = 0; y < height; ++y) {
    const LWRunRow& row = data.rows()[y];
    for (std::uint32_t i = 0; row.runs && i < row.count; ++i)
      if (row.runs[i].value == targetColour && labels.label(y, i) == 0) labels.fill(y, i, ++areas);
  }
  if (areas == 0) return true;

  std::uint32_t* colours = allocateArray<std::uint32_t>(areas);
  if (!colours) return false;
  CoatingColours sequence(hueStep, saturationStep, lightnessStep);
  for (std::uint32_t k = 0; k < areas; ++k) colours[k] = sequence.next();
  for (std::uint32_t y = 0; y < height; ++y) {
    LWRunRow& row = data.rows()[y];
    for (std::uint32_t i = 0; row.runs && i < row.count; ++i) {
      const std::uint32_t label = labels.label(y, i);
      if (label == 0) continue;
      row.runs[i].attribute = label;
      row.runs[i].value = colours[label - 1];
    }
  }
  releaseBytes(colours);
  return true;
}

}  // namespace trellin
