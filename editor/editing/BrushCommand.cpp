// The freehand eraser; see BrushCommand.h.
#include "quillane/editing/BrushCommand.h"

#include <new>

#include "quillane/editing/RimSmoothing.h"
#include "quillane/editing/UndoHistory.h"
#include "quillane/editing/mcRegionFill.h"
#include "quillane/editing/mcTargetRegionSearch.h"

namespace quillane {

BrushCommand::BrushCommand(QuillaneImage* image, uint8_t paintValue, uint8_t alphaValue,
                           const QImage& mask, QPoint maskOrigin)
    : PaintCommand(image, paintValue, alphaValue) {
  if (image == nullptr || image->isEmpty() || mask.isNull() || mask.depth() != 8) return;
  // Only the part of the mask that lies on the page is searched, so every
  // run found can be painted.
  const Rect onPage = Rect{maskOrigin.x(), maskOrigin.y(), maskOrigin.x() + mask.width(),
                           maskOrigin.y() + mask.height()}
                          .intersected({0, 0, image->width(), image->height()});
  if (onPage.isEmpty()) return;
  const int64_t stride = mask.bytesPerLine();
  const uint8_t* first =
      mask.constBits() + (onPage.top - maskOrigin.y()) * stride + (onPage.left - maskOrigin.x());
  mcTargetRegionSearch().search(static_cast<int32_t>(onPage.width()), first,
                                static_cast<int32_t>(onPage.height()), static_cast<int32_t>(stride),
                                regions, onPage.left, onPage.top, 1);
}

BrushCommand::BrushCommand(QuillaneImage* image, uint8_t paintValue, uint8_t alphaValue,
                           const BrushMask& mask)
    : BrushCommand(image, paintValue, alphaValue, mask.image, mask.origin) {}

std::unique_ptr<Command> BrushCommand::clone() const {
  return std::make_unique<BrushCommand>(*this);
}

bool BrushCommand::execute(UndoHistory* history, Rect& out, ProgressCallback progress, void* user) {
  out = Rect{};
  if (!report(progress, user, 0)) return false;
  if (image == nullptr || image->isEmpty()) return false;
  QuillaneImage& page = *image;
  const int32_t bpp = page.bytesPerPixel();
  if (bpp != 1 && bpp != 2) return false;

  const Rect pageRect{0, 0, page.width(), page.height()};
  Rect r;
  for (const mcRegion& region : regions)
    r = r.united(Rect{region.left, region.top, region.right, region.bottom});
  r = r.grown(1).intersected(pageRect);
  if (r.isEmpty()) return false;

  if (history && !history->addPatch(page, r)) return false;

  bool done = true;
  try {
    mcRegion combined;
    const mcRegionFill fill;
    for (const mcRegion& region : regions) {
      if (!fill.paint(page.width(), page.pixels(), page.height(), page.stride(), region, paintValue,
                      alphaValue, 0, 0, bpp)) {
        done = false;
        break;
      }
      for (const mcRun& run : region.runs) combined.addRun(run);
    }
    done = done && smoothRegionRim(combined, page.pixels(), page.width(), page.height(),
                                   page.stride(), paintValue, alphaValue, bpp);
  } catch (const std::bad_alloc&) {
    done = false;
  }
  return finishPainting(done, history, page, r, out, progress, user);
}

}  // namespace quillane
