// The whole-page density adjustment; see LineAdjustCommand.h.
#include "quillane/editing/LineAdjustCommand.h"

#include <cstring>
#include <new>

#include "quillane/editing/UndoHistory.h"
#include "tonvale/TonvalePlugin.h"

namespace quillane {

LineAdjustCommand::LineAdjustCommand(QuillaneImage* image, tonvale::TonvalePlugin* densityPlugin)
    : PaintCommand(image, 0, 255), densityPlugin(densityPlugin) {}

std::unique_ptr<Command> LineAdjustCommand::clone() const {
  return std::make_unique<LineAdjustCommand>(*this);
}

bool LineAdjustCommand::execute(UndoHistory* history, Rect& out, ProgressCallback progress,
                                void* user) {
  out = Rect{};
  if (!report(progress, user, 0)) return false;
  if (image == nullptr || image->isEmpty() || densityPlugin == nullptr) return false;
  QuillaneImage& page = *image;
  // The adjustment reads one gray byte a pixel; a gray-and-alpha page would
  // have its alpha bytes taken for grays.
  if (page.bytesPerPixel() != 1) return false;
  const Rect r{0, 0, page.width(), page.height()};

  if (history && !history->addPatch(page, r)) return false;

  // The library writes the first width bytes of every row; on failure it
  // writes nothing and the page is left as it is.
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[static_cast<size_t>(page.size())]);
  if (!buffer) {
    if (history) history->dropLastPatch();
    return false;
  }
  if (densityPlugin->executeTonvale(page.pixels(), page.width(), page.height(), page.stride(),
                                    buffer.get())) {
    const size_t stride = static_cast<size_t>(page.stride());
    if (stride == static_cast<size_t>(page.width())) {
      std::memcpy(page.pixels(), buffer.get(), static_cast<size_t>(page.size()));
    } else {
      for (int32_t y = 0; y < page.height(); ++y)
        std::memcpy(page.row(y), buffer.get() + y * stride, static_cast<size_t>(page.width()));
    }
  }
  report(progress, user, 100);
  out = r;
  return true;
}

}  // namespace quillane
