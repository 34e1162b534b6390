#pragma once
// LineAdjustCommand: the density adjustment of the whole page through the
// density library, with the mode its plug-in object currently holds.
//
// Execute:
//  1. out is emptied; progress(0); false when the page is empty, has more
//     than one byte a pixel, or there is no plug-in object;
//  2. saves the whole page into the history (when given); false when that
//     fails;
//  3. runs TonvalePlugin::executeTonvale on the page into a buffer of the
//     page's size and copies the result over the page; false (patch dropped)
//     when the buffer cannot be had;
//  4. progress(100), out = the whole page, true.
// A failed adjustment is reported by the density library's own message; the
// page keeps its pixels and the command still returns true with the whole
// page (and its patch stays in the history: one undo step that changes
// nothing).
#include <memory>

#include "quillane/editing/PaintCommand.h"

namespace tonvale {
class TonvalePlugin;
}

namespace quillane {

class LineAdjustCommand : public PaintCommand {
 public:
  /// image: the page (not owned); densityPlugin: the window's density
  /// plug-in object (not owned). Paint value 0, alpha 255.
  LineAdjustCommand(QuillaneImage* image, tonvale::TonvalePlugin* densityPlugin);

  std::unique_ptr<Command> clone() const override;
  bool execute(UndoHistory* history, Rect& out, ProgressCallback progress, void* user) override;

  tonvale::TonvalePlugin* densityPlugin;  ///< not owned
};

}  // namespace quillane
