// LWPinhole: paints small 4-connected areas of one colour with another.
//
// The components are searched in the container's own rows. A painted run
// that keeps its boundaries is recoloured in place and its old words are
// recorded; a row that has to be rebuilt is built apart. On success the
// rebuilt rows are swapped in; on failure the recorded words are put back
// and the rebuilt rows dropped, so the container is exactly as it was.
#include <cstdint>

#include "CLWData.h"
#include "PinholeCore.h"
#include "ResultRows.h"
#include "trellin/lwdata.h"

extern "C" LW_API LWBool LWPinhole(CLWData* data, int32_t targetColour, int32_t fillColour,
                                   int32_t largestArea) {
  if (!data) return 0;
  // Nothing can be small enough to fill.
  if (largestArea <= 0 || data->height() == 0) return 1;
  trellin::ResultRows result(*data);
  if (!result.init()) return 0;
  trellin::PinholeCore core(data->rows(), result, data->width(), data->height(), largestArea,
                            static_cast<uint32_t>(targetColour), static_cast<uint32_t>(fillColour));
  if (!core.run()) return 0;
  result.commit();
  return 1;
}
