// Rim smoothing; see RimSmoothing.h.
//
// The band is found on a mask of the region: a Laplacian (8 at the centre, -1
// around) leaves a non-zero value exactly on region pixels with a neighbour
// outside the region, and one dilation with the cross widens that line to
// both sides. The mask covers only M, the work rectangle W grown by one more
// pixel (within the page): the filters computing W read one pixel beyond it,
// and there the mask is 0 just as a page-sized mask would be, so the band is
// the same as one found on a page-sized mask.
#include "quillane/editing/RimSmoothing.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "quillane/editing/SmoothingKernel.h"
#include "quillane/editing/mcFilterKernel.h"
#include "quillane/editing/mcMorphology.h"
#include "quillane/model/Rect.h"

namespace quillane {
namespace {

// A one-byte buffer covering rectangle area of the page.
struct Plane {
  Rect area;
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> bytes;

  explicit Plane(const Rect& r)
      : area(r),
        width(static_cast<int32_t>(r.width())),
        height(static_cast<int32_t>(r.height())),
        bytes(static_cast<size_t>(width) * height, 0) {}

  uint8_t* at(int32_t pageX, int32_t pageY) {
    return bytes.data() + static_cast<int64_t>(pageY - area.top) * width + (pageX - area.left);
  }
  Rect local(const Rect& r) const {
    return Rect{r.left - area.left, r.top - area.top, r.right - area.left, r.bottom - area.top};
  }
};

// Paints the region's runs into the mask with 255, clipped to the mask.
void paintRuns(const mcRegion& region, Plane& mask) {
  for (const mcRun& run : region.runs) {
    if (run.y < mask.area.top || run.y >= mask.area.bottom) continue;
    const int32_t x0 = std::max(run.x, mask.area.left);
    const int32_t x1 =
        static_cast<int32_t>(std::min<int64_t>(int64_t{run.x} + run.length, mask.area.right));
    if (x1 > x0) std::memset(mask.at(x0, run.y), 255, static_cast<size_t>(x1 - x0));
  }
}

// The band within w: Laplacian edge of the region, dilated once.
bool findBand(Plane& mask, const Rect& w) {
  static const mcFilterKernel laplacian(3, 3, {-1, -1, -1, -1, 8, -1, -1, -1, -1});
  const Rect local = mask.local(w);
  if (!laplacian.apply(mask.width, mask.bytes.data(), mask.height, mask.width, &local, nullptr, 0,
                       1))
    return false;
  mcMorphology dilation(3, 3);
  return dilation.apply(mask.bytes.data(), mask.width, mask.height, mask.width,
                        mcMorphology::Dilate, &local, 1);
}

bool smoothGrayAlpha(Plane& band, const Rect& w, const mcFilterKernel& kernel, uint8_t* pixels,
                     int32_t width, int32_t height, int32_t stride, uint8_t paintValue,
                     uint8_t alphaValue) {
  // The alpha plane holds the page's alpha everywhere except on the band,
  // where it is made two-level (and transparent band pixels take the paint).
  Plane plane(band.area);
  for (int32_t y = band.area.top; y < band.area.bottom; ++y) {
    uint8_t* row = pixels + static_cast<int64_t>(y) * stride;
    uint8_t* out = plane.at(band.area.left, y);
    const uint8_t* inBand = band.at(band.area.left, y);
    const bool rowInW = y >= w.top && y < w.bottom;
    for (int32_t x = band.area.left; x < band.area.right; ++x) {
      uint8_t* p = row + static_cast<int64_t>(x) * 2;
      const int32_t i = x - band.area.left;
      if (rowInW && x >= w.left && x < w.right && inBand[i] != 0) {
        if (p[1] >= 128) {
          out[i] = 255;
        } else {
          p[0] = paintValue;
          out[i] = 0;
        }
      } else {
        out[i] = p[1];
      }
    }
  }
  const Rect local = band.local(w);
  const uint8_t* bandAtW = band.at(w.left, w.top);
  if (!kernel.applyInRect(plane.width, plane.bytes.data(), plane.height, plane.width, local,
                          bandAtW, band.width, 1))
    return false;

  if (alphaValue != 0) {
    for (int32_t y = w.top; y < w.bottom; ++y) {
      uint8_t* row = pixels + static_cast<int64_t>(y) * stride;
      uint8_t* inBand = band.at(w.left, y);
      for (int32_t x = w.left; x < w.right; ++x) {
        uint8_t* p = row + static_cast<int64_t>(x) * 2;
        if (inBand[x - w.left] != 0 && p[1] == 0) {
          p[0] = paintValue;
          inBand[x - w.left] = 0;
        }
      }
    }
  }
  if (!kernel.applyInRect(width, pixels, height, stride, w, bandAtW, band.width, 2)) return false;

  for (int32_t y = w.top; y < w.bottom; ++y) {
    uint8_t* row = pixels + static_cast<int64_t>(y) * stride;
    const uint8_t* alpha = plane.at(w.left, y);
    for (int32_t x = w.left; x < w.right; ++x)
      row[static_cast<int64_t>(x) * 2 + 1] = alpha[x - w.left];
  }
  return true;
}

}  // namespace

bool smoothRegionRim(const mcRegion& region, uint8_t* pixels, int32_t width, int32_t height,
                     int32_t stride, uint8_t paintValue, uint8_t alphaValue,
                     int32_t bytesPerPixel) {
  if (pixels == nullptr || width <= 0 || height <= 0 || stride < width) return false;
  const int32_t bpp = bytesPerPixel > 0 ? bytesPerPixel : stride / width;
  if ((bpp != 1 && bpp != 2) || static_cast<int64_t>(width) * bpp > stride) return false;
  if (region.isEmpty()) return false;

  const Rect page{0, 0, width, height};
  const Rect w =
      Rect{region.left, region.top, region.right, region.bottom}.grown(1).intersected(page);
  if (w.isEmpty()) return false;

  try {
    Plane band(w.grown(1).intersected(page));
    paintRuns(region, band);
    if (!findBand(band, w)) return false;
    const mcFilterKernel kernel = smoothingKernel();
    if (bpp == 1)
      return kernel.applyInRect(width, pixels, height, stride, w, band.at(w.left, w.top),
                                band.width, 1);
    return smoothGrayAlpha(band, w, kernel, pixels, width, height, stride, paintValue, alphaValue);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace quillane
