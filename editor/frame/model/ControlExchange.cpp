#include "quillane/model/ControlExchange.h"

namespace quillane {

void readControlsBack(QuillaneParameter& parameter, int tool, const ControlValues& values,
                      DustMode mode) {
  if (tool == kToolDustBrush) parameter.brushSize = values.toolSize;
  if (tool == kToolEraser) parameter.eraserSize = values.toolSize;
  parameter.currentGrayThreshold = static_cast<uint8_t>(values.grayThreshold);
  parameter.currentDustSize = values.dustSize;
  parameter.lastGrayThreshold(mode) = values.grayThreshold;
  parameter.lastDustSize(mode) = values.dustSize;
}

ControlValues loadControls(const QuillaneParameter& parameter, int tool, ControlValues controls) {
  if (tool == kToolDustBrush) controls.toolSize = parameter.brushSize;
  if (tool == kToolEraser) controls.toolSize = parameter.eraserSize;
  controls.grayThreshold = parameter.currentGrayThreshold;
  controls.dustSize = parameter.currentDustSize;
  return controls;
}

}  // namespace quillane
