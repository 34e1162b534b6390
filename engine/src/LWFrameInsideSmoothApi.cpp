// LWFrameInsideSmooth: smooths the line outline inside one frame.
#include <cstdint>

#include "CLWData.h"
#include "CLWFrameInsideSmooth.h"
#include "trellin/lwdata.h"

extern "C" LW_API LWBool LWFrameInsideSmooth(CLWData* picture, CLWData* frame, int32_t lineColour,
                                             int32_t x, int32_t y, int32_t radius,
                                             CLWData** result) {
  if (!picture || !frame || !result || lineColour == 0) return 0;
  CLWFrameInsideSmooth smoothing;
  return smoothing.run(*picture, *frame, static_cast<uint32_t>(lineColour), x, y, radius, *result)
             ? 1
             : 0;
}
