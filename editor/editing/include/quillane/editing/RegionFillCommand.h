#pragma once
// RegionFillCommand: the polygon and lasso erasers. Paints the inside of a
// region (see polygonRegion in BrushMask.h) with the paint value and smooths
// the rim of what it painted.
//
// Execute:
//  1. out is emptied; progress(0); false when the page is empty or has other
//     than 1 or 2 bytes a pixel;
//  2. R = the region's bounding box grown by 1, clipped to the page; false
//     when empty or when the command has no region;
//  3. saves R into the history (when given); false when that fails;
//  4. sets every pixel of the region that lies on the page to paintValue
//     (alphaValue as the second byte of a two-byte pixel) and smooths the rim
//     of the painted pixels (RimSmoothing.h);
//  5. progress(100), out = R, true.
// Only R is ever written. When step 4 fails (nothing of the region on the
// page, out of memory) the saved pixels are put back and the patch is
// dropped: false, page and history as before.
#include <QRegion>
#include <cstdint>
#include <memory>
#include <optional>

#include "quillane/editing/PaintCommand.h"

namespace quillane {

class RegionFillCommand : public PaintCommand {
 public:
  /// image: the page (not owned). paintValue: the paper colour; alphaValue
  /// 255. region: page coordinates, copied; null for none.
  RegionFillCommand(QuillaneImage* image, uint8_t paintValue, uint8_t alphaValue,
                    const QRegion* region);

  std::unique_ptr<Command> clone() const override;
  bool execute(UndoHistory* history, Rect& out, ProgressCallback progress, void* user) override;

  std::optional<QRegion> region;  ///< the region to paint, page coordinates
};

}  // namespace quillane
