#pragma once
// The small / medium / large dust size buttons: dust areas in pixels for the
// page resolution, scaled from the 600 dpi presets of the record.
//
// With f = (resolution / 600)^2 and S, M, L the presets of the mode (products
// truncated toward zero):
//   small:  2    if trunc(f*S) <= 2;  else 200  if trunc(f*L) >= 1000; else trunc(f*S)
//   medium: 4    if trunc(f*S) <= 2;  else 400  if trunc(f*L) >= 1000; else trunc(f*M)
//   large:  10   if trunc(f*S) <= 2;  else 1000 if trunc(f*L) >= 1000; else trunc(f*L)
// The results are not clamped here; the editor clamps what it shows to
// 1 ... 1000.
#include "quillane/model/QuillaneParameter.h"

namespace quillane {

int smallDustSizeWhite(const QuillaneParameter& parameter);
int mediumDustSizeWhite(const QuillaneParameter& parameter);
int largeDustSizeWhite(const QuillaneParameter& parameter);
int smallDustSizeBlack(const QuillaneParameter& parameter);
int mediumDustSizeBlack(const QuillaneParameter& parameter);
int largeDustSizeBlack(const QuillaneParameter& parameter);

/// The preset of a mode by index: 0 small, 1 medium, 2 large; 0 for any
/// other index.
int dustSizePreset(const QuillaneParameter& parameter, DustMode mode, int index);

}  // namespace quillane
