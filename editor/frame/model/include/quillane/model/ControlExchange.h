#pragma once
// The exchange between the editor window's controls and the settings record,
// as plain functions of (tool, control values, mode).
//
// Tools: 1 the dust-removal brush, 3 the eraser; other tools have no size of
// their own in the record.
#include <cstdint>

#include "quillane/model/QuillaneParameter.h"

namespace quillane {

/// The tool numbers that own a size in the record.
inline constexpr int kToolDustBrush = 1;
inline constexpr int kToolEraser = 3;

/// Values of the size, gray-threshold and dust-size controls.
struct ControlValues {
  int32_t toolSize = 0;
  int32_t grayThreshold = 0;  ///< 1 ... 255 as the window clamps it
  int32_t dustSize = 0;       ///< 1 ... 1000 as the window clamps it
};

/// Reads the controls back into the record: the size goes to the brush size
/// (tool 1) or the eraser size (tool 3); threshold and dust size go to the
/// current values and to the last values of the mode.
void readControlsBack(QuillaneParameter& parameter, int tool, const ControlValues& values,
                      DustMode mode);

/// The reverse, when a tool is selected: controls holds the controls' present
/// values; the size becomes the brush size (tool 1) or eraser size (tool 3)
/// and is kept for other tools; threshold and dust size become the current
/// values of the record.
ControlValues loadControls(const QuillaneParameter& parameter, int tool, ControlValues controls);

}  // namespace quillane
