#pragma once
// BrushCommand: the freehand eraser. Paints every marked pixel of a brush
// mask (see BrushMask.h) into the page with the paint value and smooths the
// rim of what it painted.
//
// Construction finds the 8-connected regions of the mask's non-255 pixels
// (mcTargetRegionSearch) in page coordinates, searching only the part of the
// mask that lies on the page. Execute:
//  1. out is emptied; progress(0); false when the page is empty, has other
//     than 1 or 2 bytes a pixel, or there is no region;
//  2. R = union of the regions' bounding boxes grown by 1, clipped to the
//     page;
//  3. saves R into the history (when given); false when that fails;
//  4. paints each region with paintValue (alphaValue as the second byte of a
//     two-byte pixel) and smooths the rim of all of them together
//     (RimSmoothing.h);
//  5. progress(100), out = R, true.
// Only R is ever written. When step 4 fails (out of memory) the saved pixels
// are put back and the patch is dropped: false, page and history as before.
#include <QImage>
#include <QPoint>
#include <cstdint>
#include <memory>
#include <vector>

#include "quillane/editing/BrushMask.h"
#include "quillane/editing/PaintCommand.h"
#include "quillane/editing/mcRegion.h"

namespace quillane {

class BrushCommand : public PaintCommand {
 public:
  /// image: the page (not owned). paintValue: the paper colour (255 in the
  /// White mode, 0 in the Black mode); alphaValue 255. mask: an 8-bit image
  /// (any other depth gives no region) whose pixel (0, 0) lies at page pixel
  /// maskOrigin; a page-sized mask has origin (0, 0).
  BrushCommand(QuillaneImage* image, uint8_t paintValue, uint8_t alphaValue, const QImage& mask,
               QPoint maskOrigin = QPoint(0, 0));
  /// The same with a mask made by renderStroke.
  BrushCommand(QuillaneImage* image, uint8_t paintValue, uint8_t alphaValue, const BrushMask& mask);

  std::unique_ptr<Command> clone() const override;
  bool execute(UndoHistory* history, Rect& out, ProgressCallback progress, void* user) override;

  std::vector<mcRegion> regions;  ///< the mask's regions, page coordinates
};

}  // namespace quillane
