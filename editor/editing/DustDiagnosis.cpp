#include "quillane/editing/DustDiagnosis.h"

#include <algorithm>
#include <cstring>

#include "quillane/editing/PinholeCommand.h"
#include "quillane/model/ImageCopy.h"

namespace quillane {
namespace {

// flags[x] = 0xFF where flags[x] (the cleaned copy) differs from page[x],
// else 0; in fixed blocks through a local buffer so that it vectorises.
void flagRow(const uint8_t* page, uint8_t* flags, int32_t n) {
  constexpr int32_t kBlock = 32;
  int32_t x = 0;
  for (; x + kBlock <= n; x += kBlock) {
    uint8_t block[kBlock];
    for (int32_t i = 0; i < kBlock; ++i) block[i] = flags[x + i] != page[x + i] ? 0xFF : 0;
    std::memcpy(flags + x, block, kBlock);
  }
  for (; x < n; ++x) flags[x] = flags[x] != page[x] ? 0xFF : 0;
}

}  // namespace

Rect computeDustDiagnosis(const QuillaneImage& page, QuillaneImage& mask, const Rect& area,
                          const DustSettings& settings) {
  if (page.isEmpty()) return Rect::none();
  if (mask.isEmpty() || mask.width() != page.width() || mask.height() != page.height() ||
      mask.bytesPerPixel() != 1) {
    if (!mask.create(page.width(), page.height(), page.width(), 1)) return Rect::none();
  }

  const Rect pageRect{0, 0, page.width(), page.height()};
  const int32_t grow = std::max(settings.dustSize, 0) + 1;
  const Rect target = area.grown(grow);

  // The command reads page pixels only inside its R grown by dustSize + 1;
  // copying that much of the page instead of all of it gives the same flags
  // at a fraction of the cost for a screen-sized area.
  const Rect read = target.intersected(pageRect).grown(grow).intersected(pageRect);
  if (read.isEmpty()) return Rect::none();
  if (!copyClippedRect(page, mask, read, read)) return Rect::none();

  PinholeCommand command(&mask, settings.mode == DustMode::White, settings.threshold, &target,
                         settings.dustSize, true, 0);
  command.dustSizeEnabled = settings.dustSizeEnabled;
  command.grayDustEnabled = settings.grayDustEnabled;
  Rect changed;
  if (!command.execute(nullptr, changed, nullptr, nullptr)) return Rect::none();

  const int32_t columns = static_cast<int32_t>(changed.width());
  for (int32_t y = changed.top; y < changed.bottom; ++y)
    flagRow(page.row(y) + changed.left, mask.row(y) + changed.left, columns);
  return changed;
}

}  // namespace quillane
