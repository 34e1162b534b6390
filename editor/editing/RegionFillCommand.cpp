// The polygon and lasso erasers; see RegionFillCommand.h.
#include "quillane/editing/RegionFillCommand.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "quillane/editing/RimSmoothing.h"
#include "quillane/editing/UndoHistory.h"
#include "quillane/editing/mcRegion.h"

namespace quillane {

RegionFillCommand::RegionFillCommand(QuillaneImage* image, uint8_t paintValue, uint8_t alphaValue,
                                     const QRegion* region)
    : PaintCommand(image, paintValue, alphaValue) {
  if (region) this->region = *region;
}

std::unique_ptr<Command> RegionFillCommand::clone() const {
  return std::make_unique<RegionFillCommand>(*this);
}

bool RegionFillCommand::execute(UndoHistory* history, Rect& out, ProgressCallback progress,
                                void* user) {
  out = Rect{};
  if (!report(progress, user, 0)) return false;
  if (image == nullptr || image->isEmpty()) return false;
  QuillaneImage& page = *image;
  const int32_t bpp = page.bytesPerPixel();
  if (bpp != 1 && bpp != 2) return false;
  if (!region || region->isEmpty()) return false;

  const Rect pageRect{0, 0, page.width(), page.height()};
  const QRect box = region->boundingRect();
  const Rect r = Rect{box.left(), box.top(), box.left() + box.width(), box.top() + box.height()}
                     .grown(1)
                     .intersected(pageRect);
  if (r.isEmpty()) return false;

  if (history && !history->addPatch(page, r)) return false;

  bool done = false;
  try {
    mcRegion combined;
    for (const QRect& rect : *region) {
      const Rect clipped =
          Rect{rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()}
              .intersected(pageRect);
      if (clipped.isEmpty()) continue;
      const int32_t length = static_cast<int32_t>(clipped.width());
      for (int32_t y = clipped.top; y < clipped.bottom; ++y) {
        uint8_t* start = page.row(y) + static_cast<int64_t>(clipped.left) * bpp;
        if (bpp == 1) {
          std::memset(start, paintValue, static_cast<size_t>(length));
        } else {
          for (int32_t i = 0; i < length; ++i) {
            start[2 * i] = paintValue;
            start[2 * i + 1] = alphaValue;
          }
        }
        combined.addRun({clipped.left, y, length});
      }
    }
    done = smoothRegionRim(combined, page.pixels(), page.width(), page.height(), page.stride(),
                           paintValue, alphaValue, bpp);
  } catch (const std::bad_alloc&) {
    done = false;
  }
  return finishPainting(done, history, page, r, out, progress, user);
}

}  // namespace quillane
