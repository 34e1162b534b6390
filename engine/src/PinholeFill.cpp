#include "PinholeFill.h"

#include <algorithm>

#include "Allocation.h"
#include "trellin/lwdata.h"

namespace trellin {

PinholeFill::PinholeFill(const LWRunRow* candidates, ResultRows& result, std::int32_t width,
                         std::uint32_t targetColour, std::uint32_t fillColour) noexcept
    : candidates_(candidates),
      result_(result),
      width_(width),
      target_(targetColour),
      fill_(fillColour) {}

PinholeFill::~PinholeFill() {
  releaseBytes(paint_);
  releaseBytes(carried_);
  releaseBytes(above_);
  releaseBytes(merged_);
  releaseBytes(painted_);
}

bool PinholeFill::init() noexcept {
  const std::size_t spans = static_cast<std::size_t>(width_) / 2 + 1;
  const std::size_t runs = static_cast<std::size_t>(width_);
  paint_ = allocateArray<Span>(spans);
  carried_ = allocateArray<Span>(spans);
  above_ = allocateArray<Span>(spans);
  merged_ = allocateArray<LWRun>(runs);
  painted_ = allocateArray<LWRun>(runs);
  return paint_ && carried_ && above_ && merged_ && painted_;
}

bool PinholeFill::run(Seed* seeds, std::uint32_t count) noexcept {
  std::sort(seeds, seeds + count, [](const Seed& a, const Seed& b) {
    return a.row != b.row ? a.row > b.row : a.x < b.x;
  });
  std::uint32_t next = 0;  // first seed not yet used
  std::uint32_t carriedCount = 0;
  std::int32_t y = count ? seeds[0].row : -1;
  while (y >= 0) {
    // This row's seeds and carried spans, both in x order; one span of the
    // candidate row may come from both and is painted once.
    std::uint32_t paintCount = 0;
    std::uint32_t c = 0;
    while (next < count && seeds[next].row == y) {
      const Seed& s = seeds[next];
      while (c < carriedCount && carried_[c].x < s.x) paint_[paintCount++] = carried_[c++];
      if (c < carriedCount && carried_[c].x == s.x) ++c;
      if (paintCount == 0 || paint_[paintCount - 1].x != s.x)
        paint_[paintCount++] = {s.x, s.length};
      ++next;
    }
    while (c < carriedCount) paint_[paintCount++] = carried_[c++];

    if (paintCount == 0) {
      if (next == count) break;
      y = seeds[next].row;  // nothing carried: jump to the next seed row
      continue;
    }
    if (!paintRow(static_cast<std::uint32_t>(y), paint_, paintCount)) return false;
    carriedCount = y > 0 ? carryUp(static_cast<std::uint32_t>(y), paint_, paintCount) : 0;
    --y;
  }
  return true;
}

bool PinholeFill::paintRow(std::uint32_t y, const Span* spans, std::uint32_t count) noexcept {
  const std::uint32_t runs = readMergedRow(result_.row(y), width_, merged_);
  std::uint32_t out = 0;
  auto emit = [&](std::uint32_t value, std::uint32_t attribute, std::int32_t length) {
    if (out > 0 && painted_[out - 1].value == value && painted_[out - 1].attribute == attribute)
      painted_[out - 1].length += static_cast<std::uint32_t>(length);
    else
      painted_[out++] = LWRun{value, attribute, static_cast<std::uint32_t>(length)};
  };
  std::uint32_t s = 0;
  std::int32_t x = 0;
  for (std::uint32_t i = 0; i < runs; ++i) {
    const LWRun& run = merged_[i];
    const std::int32_t end = x + static_cast<std::int32_t>(run.length);
    while (x < end) {
      while (s < count && spans[s].x + spans[s].length <= x) ++s;
      if (s < count && spans[s].x < end) {
        if (spans[s].x > x) {
          emit(run.value, run.attribute, spans[s].x - x);
          x = spans[s].x;
        }
        const std::int32_t stop = std::min(end, spans[s].x + spans[s].length);
        emit(fill_, LWATTR_CHANGED, stop - x);
        x = stop;
      } else {
        emit(run.value, run.attribute, end - x);
        x = end;
      }
    }
  }
  return result_.write(y, painted_, out);
}

std::uint32_t PinholeFill::carryUp(std::uint32_t y, const Span* painted,
                                   std::uint32_t count) noexcept {
  const std::uint32_t aboveCount = findSpans(candidates_[y - 1], width_, target_, above_);
  std::uint32_t carried = 0;
  std::uint32_t p = 0;
  for (std::uint32_t a = 0; a < aboveCount && p < count; ++a) {
    const Span& span = above_[a];
    while (p < count && painted[p].x + painted[p].length <= span.x) ++p;
    if (p < count && painted[p].x < span.x + span.length) carried_[carried++] = span;
  }
  return carried;
}

}  // namespace trellin
