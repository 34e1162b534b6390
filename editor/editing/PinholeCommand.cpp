// Dust removal on a two-level scratch copy of the area; see PinholeCommand.h.
//
// The scratch image covers R2 (R grown by dustSize + 1) so that the engine
// sees enough of each spot's surroundings to measure it; only the band around
// R is binarised, and only R is written back. Everything outside the band
// keeps the spot colour and forms one large frame that is never removed.
#include "quillane/editing/PinholeCommand.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "quillane/editing/UndoHistory.h"
#include "quillane/model/EngineBinding.h"

namespace quillane {
namespace {

// The columns [first, last] of row y (relative offset dy from the centre)
// that lie inside the disc; empty when last < first.
struct Span {
  int32_t first;
  int32_t last;
};

Span discSpan(int32_t left, int32_t top, uint32_t diameter, int32_t y) {
  const int64_t c = diameter;
  const int64_t cx = left + c / 2, cy = top + c / 2;
  const int64_t r = (c % 2 == 0) ? c / 2 : (c + 1) / 2;
  const bool even = c % 2 == 0;
  int64_t dy = y - cy;
  if (even && dy >= 0) dy -= 1;
  const int64_t room = r * r - dy * dy;  // dx^2 must stay below this
  if (room <= 0) return {1, 0};
  // Largest k with k^2 < room, from the square root and then made exact.
  auto k = static_cast<int64_t>(std::sqrt(static_cast<double>(room)));
  while (k > 0 && k * k >= room) --k;
  while ((k + 1) * (k + 1) < room) ++k;
  // Odd: dx = x - cx; even: dx = x - cx for x < cx and x - cx - 1 otherwise.
  const int64_t first = cx - k;
  const int64_t last = even ? cx + k + 1 : cx + k;
  return {static_cast<int32_t>(std::max<int64_t>(first, INT32_MIN)),
          static_cast<int32_t>(std::min<int64_t>(last, INT32_MAX))};
}

// The two per-pixel passes run over whole rows of the page. They work in
// blocks of a fixed length, computed into a local block first (the page and
// the scratch are different buffers, which the compiler cannot know), so that
// each block becomes a few vector instructions at the project's optimisation
// level; the rest of a row goes pixel by pixel.
constexpr int32_t kBlock = 32;

inline uint8_t binarise(uint8_t value, uint8_t threshold) { return value >= threshold ? 255 : 0; }

// scratch[x] = page[x] >= threshold ? 255 : 0 for n pixels.
void binariseRow(const uint8_t* page, uint8_t* scratch, int32_t n, uint8_t threshold) {
  int32_t x = 0;
  for (; x + kBlock <= n; x += kBlock) {
    uint8_t block[kBlock];
    for (int32_t i = 0; i < kBlock; ++i) block[i] = binarise(page[x + i], threshold);
    std::memcpy(scratch + x, block, kBlock);
  }
  for (; x < n; ++x) scratch[x] = binarise(page[x], threshold);
}

inline uint8_t takePaint(uint8_t scratch, uint8_t page, uint8_t paint) {
  const uint8_t take = static_cast<uint8_t>(-(scratch == paint));
  return static_cast<uint8_t>((page & ~take) | (paint & take));
}

// page[x] = paint wherever scratch[x] == paint, for n pixels, without a
// branch.
void writeBackRow(const uint8_t* scratch, uint8_t* page, int32_t n, uint8_t paint) {
  int32_t x = 0;
  for (; x + kBlock <= n; x += kBlock) {
    uint8_t block[kBlock];
    for (int32_t i = 0; i < kBlock; ++i) block[i] = takePaint(scratch[x + i], page[x + i], paint);
    std::memcpy(page + x, block, kBlock);
  }
  for (; x < n; ++x) page[x] = takePaint(scratch[x], page[x], paint);
}

}  // namespace

PinholeCommand::PinholeCommand(QuillaneImage* image, bool whiteBackground, int threshold,
                               const Rect* rect, int32_t dustSize, bool wholeRect,
                               uint32_t diameter)
    : PaintCommand(image, whiteBackground ? 255 : 0, 255),
      rect(rect ? *rect : Rect{0, 0, image ? image->width() : 0, image ? image->height() : 0}),
      whiteBackground(whiteBackground),
      wholeRect(wholeRect),
      thresholdByte(static_cast<uint8_t>(whiteBackground ? (256 - threshold) & 0xFF : threshold)),
      dustSize(dustSize),
      diameter(diameter),
      whiteBackgroundDefault(whiteBackground) {}

std::unique_ptr<Command> PinholeCommand::clone() const {
  return std::make_unique<PinholeCommand>(*this);
}

bool PinholeCommand::execute(UndoHistory* history, Rect& out, ProgressCallback progress,
                             void* user) {
  if (!dustSizeEnabled) dustSize = 0;
  if (!grayDustEnabled) thresholdByte = whiteBackgroundDefault ? 255 : 1;

  out = Rect{};
  if (!report(progress, user, 0)) return false;
  if (image == nullptr || image->isEmpty()) return false;
  QuillaneImage& page = *image;
  const int32_t width = page.width(), height = page.height();

  const Rect r = rect.intersected({0, 0, width, height});
  if (r.isEmpty()) return false;
  const Rect r2 = r.grown(std::max(dustSize, 0) + 1).intersected({0, 0, width, height});
  if (r2.isEmpty()) return false;

  if (history && !history->addPatch(page, r)) return false;
  auto fail = [&] {
    if (history) history->dropLastPatch();
    return false;
  };

  const uint8_t spot = whiteBackground ? 0 : 255;
  const uint8_t paper = paintValue;

  // The band: one pixel around R, but never into the outermost row or column.
  const int32_t bx0 = r.left > 1 ? r.left - 1 : r.left;
  const int32_t bx1 = r.right < width - 1 ? r.right : r.right - 1;  // inclusive
  const int32_t by0 = r.top > 1 ? r.top - 1 : r.top;
  const int32_t by1 = r.bottom < height - 1 ? r.bottom : r.bottom - 1;  // inclusive

  QuillaneImage scratch;
  const int32_t sw = static_cast<int32_t>(r2.width()), sh = static_cast<int32_t>(r2.height());
  if (!scratch.create(sw, sh, sw, 1)) return fail();

  for (int32_t sy = 0; sy < sh; ++sy) {
    const int32_t y = r2.top + sy;
    uint8_t* out_row = scratch.row(sy);
    if (y < by0 || y > by1) {
      std::memset(out_row, spot, sw);
      continue;
    }
    int32_t x0 = bx0, x1 = bx1;
    if (!wholeRect) {
      const Span span = discSpan(rect.left, rect.top, diameter, y);
      x0 = std::max(x0, span.first);
      x1 = std::min(x1, span.last);
    }
    if (x1 < x0) {
      std::memset(out_row, spot, sw);
      continue;
    }
    // Spot colour left and right of the written part; the band in between.
    std::memset(out_row, spot, x0 - r2.left);
    binariseRow(page.row(y) + x0, out_row + (x0 - r2.left), x1 - x0 + 1, thresholdByte);
    std::memset(out_row + (x1 + 1 - r2.left), spot, r2.right - (x1 + 1));
  }

  if (!EngineBinding::runPinhole(scratch, whiteBackground, dustSize)) return fail();

  const int32_t columns = static_cast<int32_t>(r.width());
  for (int32_t y = r.top; y < r.bottom; ++y) {
    writeBackRow(scratch.row(y - r2.top) + (r.left - r2.left), page.row(y) + r.left, columns,
                 paper);
  }
  report(progress, user, 100);
  out = r;
  return true;
}

}  // namespace quillane
