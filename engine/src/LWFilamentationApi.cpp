// LWFilamentation: thins the areas of one colour towards lines.
#include <cstdint>

#include "CLWData.h"
#include "Filamentation.h"
#include "trellin/lwdata.h"

extern "C" LW_API LWBool LWFilamentation(CLWData* data, int32_t targetColour, int32_t passes,
                                         int32_t cleanUp, int32_t passMode) {
  if (!data) return 0;
  return trellin::filamentation(*data, static_cast<uint32_t>(targetColour), passes, cleanUp != 0,
                                passMode != 0)
             ? 1
             : 0;
}
