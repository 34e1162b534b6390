// LWDividesCoating: gives every area of one colour its own colour.
#include <cstdint>

#include "CLWData.h"
#include "DividesCoating.h"
#include "trellin/lwdata.h"

extern "C" LW_API LWBool LWDividesCoating(CLWData* data, int32_t targetColour, int32_t hueStep,
                                          double saturationStep, double lightnessStep) {
  if (!data) return 0;
  return trellin::dividesCoating(*data, static_cast<uint32_t>(targetColour), hueStep,
                                 saturationStep, lightnessStep)
             ? 1
             : 0;
}
