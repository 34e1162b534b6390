// Shared end of the painting commands; see PaintCommand.h.
#include "quillane/editing/PaintCommand.h"

#include "quillane/editing/UndoHistory.h"

namespace quillane {

bool PaintCommand::finishPainting(bool done, UndoHistory* history, QuillaneImage& page,
                                  const Rect& changed, Rect& out, ProgressCallback progress,
                                  void* user) {
  if (!done) {
    if (history) {
      history->restoreLastPatch(page);
      history->dropLastPatch();
    }
    return false;
  }
  report(progress, user, 100);
  out = changed;
  return true;
}

}  // namespace quillane
