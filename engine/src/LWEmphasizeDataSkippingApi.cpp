// LWEmphasizeDataSkipping: reduces the image block by block, keeping one
// colour.
#include <cstdint>

#include "CLWData.h"
#include "ColorEmphasize.h"
#include "trellin/lwdata.h"

extern "C" LW_API LWBool LWEmphasizeDataSkipping(CLWData* data, int32_t emphasised, double factor) {
  if (!data || !(factor > 0 && factor <= 1)) return 0;
  return trellin::emphasize(*data, static_cast<uint32_t>(emphasised), factor, false) ? 1 : 0;
}
