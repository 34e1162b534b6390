#include "PinholeFill.h"

#include <algorithm>
#include <cstring>

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
  releaseBytes(painted_);
  releaseBytes(runIndex_);
}

bool PinholeFill::init() noexcept {
  const std::size_t spans = static_cast<std::size_t>(width_) / 2 + 1;
  const std::size_t runs = static_cast<std::size_t>(width_);
  paint_ = allocateArray<Span>(spans);
  carried_ = allocateArray<Span>(spans);
  above_ = allocateArray<Span>(spans);
  painted_ = allocateArray<LWRun>(runs);
  runIndex_ = allocateArray<std::uint32_t>(spans);
  return paint_ && carried_ && above_ && painted_ && runIndex_;
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
        paint_[paintCount++] = {s.x, s.length, s.run};
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
  const LWRunRow& row = result_.row(y);
  const bool inPlace = static_cast<std::uint32_t>(width_) <= ResultRows::kLongestRun;
  if (inPlace && !result_.isWritten(y)) {
    // The row is still the row searched, so the run indices found while
    // searching hold: with each span one run, nothing needs walking.
    std::uint32_t s = 0;
    while (s < count && spans[s].run >= 0) ++s;
    if (s == count) {
      if (!result_.reserveChanges(count)) return false;
      LWRun* runs = result_.runsOf(y);
      for (s = 0; s < count; ++s) result_.change(y, runs[spans[s].run], fill_, LWATTR_CHANGED);
      return true;
    }
  }
  if (inPlace && row.runs && row.count) {
    // The usual case: each span is exactly one run, which only changes its
    // value and attribute. (In rows wider than the longest run a rewrite
    // also splits long runs.) Spans are left of the row's end, so the walk
    // stays inside the row.
    std::uint32_t i = 0;
    std::int64_t x = 0;
    std::uint32_t s = 0;
    for (; s < count; ++s) {
      while (x < spans[s].x) x += row.runs[i++].length;
      if (x != spans[s].x || row.runs[i].length != static_cast<std::uint32_t>(spans[s].length))
        break;
      runIndex_[s] = i;
    }
    if (s == count) {
      if (!result_.reserveChanges(count)) return false;
      LWRun* runs = result_.runsOf(y);
      for (s = 0; s < count; ++s) result_.change(y, runs[runIndex_[s]], fill_, LWATTR_CHANGED);
      return true;
    }
  }
  // Otherwise the row is rewritten.
  const LWRun whole{0, 0, static_cast<std::uint32_t>(width_)};
  const bool empty = !row.runs || row.count == 0;
  const LWRun* runs = empty ? &whole : row.runs;
  const std::uint32_t runCount = empty ? 1 : row.count;

  // Runs outside the spans are copied as they are, in blocks; a painted
  // piece joins a neighbour of the same value and attribute.
  std::uint32_t out = 0;
  auto emit = [&](std::uint32_t value, std::uint32_t attribute, std::uint32_t length) {
    if (out > 0 && painted_[out - 1].value == value && painted_[out - 1].attribute == attribute)
      painted_[out - 1].length += length;
    else
      painted_[out++] = LWRun{value, attribute, length};
  };
  auto copyRuns = [&](std::uint32_t from, std::uint32_t to) {
    if (from == to) return;
    emit(runs[from].value, runs[from].attribute, runs[from].length);
    ++from;
    std::memcpy(painted_ + out, runs + from, sizeof(LWRun) * (to - from));
    out += to - from;
  };
  std::uint32_t i = 0;  // runs[i] starts at pixel x
  std::int64_t x = 0;
  for (std::uint32_t s = 0; s < count; ++s) {
    const std::int64_t start = spans[s].x;
    const std::int64_t end = start + spans[s].length;
    const std::uint32_t from = i;
    while (x + runs[i].length <= start) x += runs[i++].length;
    copyRuns(from, i);
    if (start > x) emit(runs[i].value, runs[i].attribute, static_cast<std::uint32_t>(start - x));
    emit(fill_, LWATTR_CHANGED, static_cast<std::uint32_t>(spans[s].length));
    while (i < runCount && x + runs[i].length <= end) x += runs[i++].length;
    if (i < runCount && end > x) {
      emit(runs[i].value, runs[i].attribute, static_cast<std::uint32_t>(x + runs[i].length - end));
      x += runs[i++].length;
    }
  }
  copyRuns(i, runCount);
  return result_.write(y, painted_, out);
}

std::uint32_t PinholeFill::carryUp(std::uint32_t y, const Span* painted,
                                   std::uint32_t count) noexcept {
  // Spans right of the last painted one cannot overlap it.
  const std::int32_t reach = painted[count - 1].x + painted[count - 1].length;
  const std::uint32_t aboveCount = findSpans(candidates_[y - 1], width_, target_, above_, reach);
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
