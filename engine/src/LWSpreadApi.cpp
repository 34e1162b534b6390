// LWSpread: paints a band of one colour around the areas of another.
#include <cstdint>

#include "CLWData.h"
#include "Spread.h"
#include "trellin/lwdata.h"

extern "C" LW_API LWBool LWSpread(CLWData* data, int32_t radius, int32_t shape,
                                  int32_t targetColour, int32_t spreadColour, int32_t protect,
                                  int32_t protectedColour) {
  if (!data) return 0;
  const trellin::Marks marks{static_cast<uint32_t>(targetColour),
                             static_cast<uint8_t>(protect) != 0,
                             static_cast<uint32_t>(protectedColour)};
  return trellin::spread(*data, radius, shape, marks, static_cast<uint32_t>(spreadColour)) ? 1 : 0;
}
