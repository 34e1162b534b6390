// Creating, deleting and measuring containers.
#include <new>

#include "Allocation.h"
#include "CLWData.h"
#include "trellin/lwdata.h"

extern "C" {

LW_API CLWData* CreateLWData(void) {
  void* memory = trellin::allocateBytes(sizeof(CLWData));
  return memory ? new (memory) CLWData() : nullptr;
}

LW_API void DeleteLWData(CLWData* data) {
  if (!data) return;
  data->~CLWData();
  trellin::releaseBytes(data);
}

LW_API int32_t LWDataGetWidth(CLWData* data) { return data ? data->width() : 0; }

LW_API uint32_t LWDataGetHeight(CLWData* data) { return data ? data->height() : 0; }

}  // extern "C"
