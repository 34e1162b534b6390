#include "quillane/model/DustSizePresets.h"

#include <cmath>
#include <cstdint>

namespace quillane {
namespace {

// trunc(f * preset); kept as a double so that absurd settings values cannot
// overflow before the comparisons.
double scaled(double f, int32_t preset) { return std::trunc(f * preset); }

}  // namespace

int dustSizePreset(const QuillaneParameter& parameter, DustMode mode, int index) {
  static constexpr int kLowResolution[3] = {2, 4, 10};
  static constexpr int kHighResolution[3] = {200, 400, 1000};
  if (index < 0 || index > 2) return 0;  // no such preset: nothing counts as dust
  const auto& presets = parameter.dustSizePresets(mode);
  const double f = (parameter.resolution / 600.0) * (parameter.resolution / 600.0);
  if (scaled(f, presets[0]) <= 2) return kLowResolution[index];
  if (scaled(f, presets[2]) >= 1000) return kHighResolution[index];
  // Here f * L < 1000; a preset above L in a hand-edited file can still be
  // large, so the conversion saturates.
  const double value = scaled(f, presets[index]);
  return value >= INT32_MAX ? INT32_MAX : static_cast<int>(value);
}

int smallDustSizeWhite(const QuillaneParameter& p) { return dustSizePreset(p, DustMode::White, 0); }
int mediumDustSizeWhite(const QuillaneParameter& p) {
  return dustSizePreset(p, DustMode::White, 1);
}
int largeDustSizeWhite(const QuillaneParameter& p) { return dustSizePreset(p, DustMode::White, 2); }
int smallDustSizeBlack(const QuillaneParameter& p) { return dustSizePreset(p, DustMode::Black, 0); }
int mediumDustSizeBlack(const QuillaneParameter& p) {
  return dustSizePreset(p, DustMode::Black, 1);
}
int largeDustSizeBlack(const QuillaneParameter& p) { return dustSizePreset(p, DustMode::Black, 2); }

}  // namespace quillane
