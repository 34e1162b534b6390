// A stand-in for the line-work engine with the same five entry points, built
// as libtrellin.so into folders of their own so that the binding can be tried
// against an engine that lacks an entry point (TEST_ENGINE_WITHOUT_PINHOLE).
// It keeps plain 32-bit pixel values and finds areas by flood fill: slow,
// obvious, and independent of the real engine's run-length machinery.
#define TRELLIN_BUILDING 1
#include <cstring>
#include <new>
#include <vector>

#include "trellin/lwdata.h"

struct CLWData {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> values;
};

extern "C" {

LW_API CLWData* CreateLWData(void) { return new (std::nothrow) CLWData; }

LW_API void DeleteLWData(CLWData* data) { delete data; }

LW_API LWBool LWDataSetImageData(CLWData* data, int32_t width, int32_t height, int32_t stride,
                                 int32_t bytesPerPixel, const uint8_t* pixels) {
  if (!data || width <= 0 || height <= 0 || stride == 0 || !pixels || bytesPerPixel != 1) return 0;
  data->width = width;
  data->height = height;
  data->values.assign(static_cast<size_t>(width) * height, 0);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      data->values[static_cast<size_t>(y) * width + x] =
          0xFFFFFF00u | pixels[static_cast<int64_t>(y) * stride + x];
  return 1;
}

LW_API LWBool LWDataReturnImageData(CLWData* data, int32_t width, int32_t height, int32_t stride,
                                    int32_t bytesPerPixel, uint8_t* pixels) {
  if (!data || width != data->width || height != data->height || bytesPerPixel != 1) return 0;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      pixels[static_cast<int64_t>(y) * stride + x] =
          static_cast<uint8_t>(data->values[static_cast<size_t>(y) * width + x]);
  return 1;
}

#ifndef TEST_ENGINE_WITHOUT_PINHOLE
LW_API LWBool LWPinhole(CLWData* data, int32_t targetColour, int32_t fillColour,
                        int32_t largestArea) {
  if (!data) return 0;
  const uint32_t target = static_cast<uint32_t>(targetColour);
  const int32_t w = data->width, h = data->height;
  std::vector<char> seen(data->values.size(), 0);
  std::vector<size_t> area, stack;
  for (size_t start = 0; start < data->values.size(); ++start) {
    if (seen[start] || data->values[start] != target) continue;
    area.clear();
    stack.assign(1, start);
    seen[start] = 1;
    while (!stack.empty()) {
      const size_t at = stack.back();
      stack.pop_back();
      area.push_back(at);
      const int32_t x = static_cast<int32_t>(at % w), y = static_cast<int32_t>(at / w);
      const size_t next[4] = {at - 1, at + 1, at - w, at + w};
      const bool valid[4] = {x > 0, x<w - 1, y> 0, y < h - 1};
      for (int i = 0; i < 4; ++i) {
        if (valid[i] && !seen[next[i]] && data->values[next[i]] == target) {
          seen[next[i]] = 1;
          stack.push_back(next[i]);
        }
      }
    }
    if (static_cast<int64_t>(area.size()) <= largestArea)
      for (size_t at : area) data->values[at] = static_cast<uint32_t>(fillColour);
  }
  return 1;
}
#endif

}  // extern "C"
