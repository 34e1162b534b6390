// LWChoke: erodes the areas of one colour.
#include <cstdint>

#include "CLWData.h"
#include "Choke.h"
#include "trellin/lwdata.h"

extern "C" LW_API LWBool LWChoke(CLWData* data, int32_t iterations, int32_t neighbourhood,
                                 int32_t targetColour, int32_t borderMode, int32_t paintColour) {
  if (!data) return 0;
  return trellin::choke(*data, iterations, neighbourhood, static_cast<uint32_t>(targetColour),
                        borderMode, static_cast<uint32_t>(paintColour))
             ? 1
             : 0;
}
