// Rim smoothing; see RimSmoothing.h.
//
// The band is found on a mask of the region: a Laplacian (8 at the centre, -1
// around) is positive exactly on region pixels with a neighbour outside the
// region, and one dilation with the cross widens that line to both sides.
// Only whether a value is 0 matters, so both steps are done as byte logic on
// the 0/255 mask (findBand), giving the pixels the kernel filter and the
// morphology would. The mask covers only M, the work rectangle W grown by one
// more pixel (within the page): the steps computing W read one pixel beyond
// it, and there the mask is 0 just as a page-sized mask would be, so the band
// is the same as one found on a page-sized mask.
#include "quillane/editing/RimSmoothing.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "quillane/editing/SmoothingKernel.h"
#include "quillane/editing/mcFilterKernel.h"
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

// The band within w, written over the region mask (0 elsewhere). First the
// edge: region pixels with a neighbour of the 8 outside the region, which is
// where the Laplacian is positive (a region pixel with all 8 neighbours in
// the region gives exactly 0, any other region pixel at least 255 / 16, and a
// pixel outside the region gives at most 0). Then one dilation of the edge
// with the cross. Beyond the page edge the edge pixel repeats, as the
// filters' replicated border does; M holds every other neighbour that is
// read.
void findBand(Plane& mask, const Rect& w) {
  Plane edge(mask.area);
  const int32_t mw = mask.width;
  const int32_t x0 = w.left - mask.area.left, x1 = w.right - mask.area.left;
  const int32_t y0 = w.top - mask.area.top, y1 = w.bottom - mask.area.top;
  auto row = [](Plane& plane, int32_t y) {
    y = std::clamp(y, 0, plane.height - 1);
    return plane.bytes.data() + static_cast<int64_t>(y) * plane.width;
  };
  // Rows padded by one byte on each side (index + 1), so the inner loops
  // need no clamping and vectorise.
  std::vector<uint8_t> padded(static_cast<size_t>(mw) + 2);
  uint8_t* __restrict p = padded.data();
  for (int32_t y = y0; y < y1; ++y) {
    const uint8_t* __restrict up = row(mask, y - 1);
    const uint8_t* __restrict cur = row(mask, y);
    const uint8_t* __restrict down = row(mask, y + 1);
    // p[x + 1]: the column of x is in the region on all three rows.
    const int32_t a = std::max(x0 - 1, 0), b = std::min(x1 + 1, mw);
    for (int32_t x = a; x < b; ++x) p[x + 1] = up[x] & cur[x] & down[x];
    p[0] = p[1];
    p[mw + 1] = p[mw];
    uint8_t* __restrict out = row(edge, y);
    for (int32_t x = x0; x < x1; ++x)
      out[x] = static_cast<uint8_t>(cur[x] & ~(p[x] & p[x + 1] & p[x + 2]));
  }
  for (int32_t y = y0; y < y1; ++y) {
    const uint8_t* __restrict up = row(edge, y - 1);
    const uint8_t* __restrict down = row(edge, y + 1);
    std::memcpy(p + 1, row(edge, y), static_cast<size_t>(mw));
    p[0] = p[1];
    p[mw + 1] = p[mw];
    uint8_t* __restrict out = row(mask, y);
    for (int32_t x = x0; x < x1; ++x) out[x] = p[x] | p[x + 1] | p[x + 2] | up[x] | down[x];
  }
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
    findBand(band, w);
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
