#pragma once
// PaintCommand: the common base of the pixel commands (pinhole removal,
// brush, region fill, line adjustment). It holds what all of them share: the
// page they change and the paint and alpha values they paint with.
#include <cstdint>

#include "quillane/editing/Command.h"
#include "quillane/model/QuillaneImage.h"
#include "quillane/model/Rect.h"

namespace quillane {

class UndoHistory;

class PaintCommand : public Command {
 public:
  bool isValid() const override { return true; }

 protected:
  PaintCommand(QuillaneImage* image, uint8_t paintValue, uint8_t alphaValue)
      : image(image), paintValue(paintValue), alphaValue(alphaValue) {}
  PaintCommand(const PaintCommand&) = default;
  PaintCommand& operator=(const PaintCommand&) = default;

  /// Calls progress(percent, user) when a callback is given; true otherwise.
  static bool report(ProgressCallback progress, void* user, int percent) {
    return progress == nullptr || progress(percent, user);
  }

  /// Ends an execute that has saved the pixels of `changed` as the last patch
  /// of history (when given) and then painted. When done: reports 100, sets
  /// out to changed and returns true. Otherwise the painting may have stopped
  /// half-way: the saved pixels are put back, the patch is dropped and false
  /// is returned, so the page and the history are as before the execute.
  static bool finishPainting(bool done, UndoHistory* history, QuillaneImage& page,
                             const Rect& changed, Rect& out, ProgressCallback progress, void* user);

 public:
  QuillaneImage* image;  ///< the page; not owned
  uint8_t paintValue;    ///< gray value the command paints
  uint8_t alphaValue;    ///< opacity of the paint, 255 opaque
};

}  // namespace quillane
