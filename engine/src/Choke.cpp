// Erosion of the target colour on run-length rows.
//
// Every pass rebuilds each row from the rows above and below as they were at
// the start of the pass; a rolling window of three working rows holds those
// copies, so a row can be rewritten as soon as it is done. Inside a target
// run only three things can happen to a pixel: the pixel above or below is
// not target (it takes that pixel's colour), it is the first or last pixel
// of its target span (it takes the colour beside it), or, with eight
// neighbours, a diagonal pixel is not target. So each target run is cut
// into segments over which the rows above and below are constant, and only
// the two end pixels of a segment need a closer look.
//
// A pixel eroded only through a diagonal neighbour takes that neighbour's
// colour and attribute, looking above-left, above-right, below-left and
// below-right in this order. A missing row (above the top or below the
// bottom with border mode 0) and the sides of the image in modes other than
// 1 count as target, so they never erode anything.
#include "Choke.h"

#include <algorithm>

#include "ResultRows.h"
#include "WorkRow.h"

namespace trellin {
namespace {

// Working storage kept between calls: three window rows and one output row.
Scratch<WorkRun> windowRows;
Scratch<LWRun> outputRow;

bool isTarget(const WorkRun& run) noexcept { return (run.attribute & LWATTR_TARGET) != 0; }

// The run of runs that holds x, searched from hint (x at most a few runs
// away).
const WorkRun& runAt(const WorkRun* runs, std::uint32_t hint, std::int32_t x) noexcept {
  std::uint32_t i = hint;
  while (i > 0 && runs[i - 1].end > x) --i;
  while (runs[i].end <= x) ++i;
  return runs[i];
}

struct Pass {
  std::int32_t width;
  bool eight;
  bool paint;  // border mode 1: eroded pixels take the paint colour
  std::uint32_t paintColour;
};

struct Row {
  const WorkRun* runs;
  std::uint32_t count;
};

class RowEroder {
 public:
  RowEroder(const Pass& pass, Row above, Row current, Row below, RowBuilder& out) noexcept
      : pass_(pass), above_(above), current_(current), below_(below), out_(out) {}

  /// Builds the output row; returns whether any pixel eroded.
  bool run(bool& sawTarget) noexcept;

 private:
  // Appends pixel x of a target run whose pixels above and below are
  // target: eroded when it is a span end or, with eight neighbours, a
  // diagonal pixel is not target.
  void endPixel(std::int32_t x, const WorkRun& self) noexcept;
  bool diagonal(const Row& row, std::uint32_t hint, std::int32_t x, std::uint32_t& value,
                std::uint32_t& attribute) const noexcept;
  void emitEroded(std::uint32_t value, std::uint32_t attribute, std::int32_t length) noexcept {
    if (pass_.paint) {
      value = pass_.paintColour;
      attribute = 0;
    }
    out_.append(value, attribute, length);
    eroded_ = true;
  }

  const Pass& pass_;
  Row above_, current_, below_;
  RowBuilder& out_;
  std::uint32_t ia_ = 0, ib_ = 0;  // cursors into the rows above and below
  std::int32_t spanStart_ = 0, spanEnd_ = 0;
  std::uint32_t spanFirst_ = 0, spanLast_ = 0;  // run indices of the span
  bool eroded_ = false;
};

bool RowEroder::diagonal(const Row& row, std::uint32_t hint, std::int32_t x, std::uint32_t& value,
                         std::uint32_t& attribute) const noexcept {
  if (x < 0 || x >= pass_.width) {
    if (!pass_.paint) return false;
    value = 0;
    attribute = 0;
    return true;
  }
  const WorkRun& run = runAt(row.runs, hint, x);
  if (isTarget(run)) return false;
  value = run.value;
  attribute = run.attribute;
  return true;
}

void RowEroder::endPixel(std::int32_t x, const WorkRun& self) noexcept {
  // Span ends erode into the pixel beside them (the outside in mode 1).
  if (x == spanStart_ && (x > 0 || pass_.paint)) {
    const WorkRun left = x > 0 ? current_.runs[spanFirst_ - 1] : WorkRun{0, 0, 0};
    emitEroded(left.value, left.attribute, 1);
    return;
  }
  if (x == spanEnd_ - 1 && (x + 1 < pass_.width || pass_.paint)) {
    const WorkRun right = x + 1 < pass_.width ? current_.runs[spanLast_ + 1] : WorkRun{0, 0, 0};
    emitEroded(right.value, right.attribute, 1);
    return;
  }
  if (pass_.eight) {
    std::uint32_t value = 0, attribute = 0;
    if (diagonal(above_, ia_, x - 1, value, attribute) ||
        diagonal(above_, ia_, x + 1, value, attribute) ||
        diagonal(below_, ib_, x - 1, value, attribute) ||
        diagonal(below_, ib_, x + 1, value, attribute)) {
      emitEroded(value, attribute, 1);
      return;
    }
  }
  out_.append(self.value, self.attribute, 1);
}

bool RowEroder::run(bool& sawTarget) noexcept {
  std::int32_t x = 0;
  for (std::uint32_t i = 0; i < current_.count; ++i) {
    const WorkRun& self = current_.runs[i];
    const std::int32_t end = self.end;
    if (!isTarget(self)) {
      out_.append(self.value, self.attribute, end - x);
      x = end;
      continue;
    }
    sawTarget = true;
    if (i == 0 || !isTarget(current_.runs[i - 1])) {
      spanStart_ = x;
      spanFirst_ = i;
      spanLast_ = i;
      while (spanLast_ + 1 < current_.count && isTarget(current_.runs[spanLast_ + 1])) ++spanLast_;
      spanEnd_ = current_.runs[spanLast_].end;
    }
    // Segments of [x, end) over which the rows above and below are constant.
    for (std::int32_t p = x; p < end;) {
      while (above_.runs[ia_].end <= p) ++ia_;
      while (below_.runs[ib_].end <= p) ++ib_;
      const WorkRun& up = above_.runs[ia_];
      const WorkRun& down = below_.runs[ib_];
      const std::int32_t q = std::min({end, up.end, down.end});
      if (!isTarget(up)) {
        emitEroded(up.value, up.attribute, q - p);
      } else if (!isTarget(down)) {
        emitEroded(down.value, down.attribute, q - p);
      } else {
        endPixel(p, self);
        if (q - p > 2) out_.append(self.value, self.attribute, q - p - 2);
        if (q - p > 1) endPixel(q - 1, self);
      }
      p = q;
    }
    x = end;
  }
  return eroded_;
}

class ChokeRun {
 public:
  ChokeRun(CLWData& data, const Pass& pass, std::int32_t borderMode, const Marks& marks,
           ResultRows& result) noexcept
      : data_(data), pass_(pass), borderMode_(borderMode), marks_(marks), result_(result) {}

  /// One pass; false when memory runs out.
  bool pass(bool& sawTarget, bool& eroded) noexcept;

 private:
  Row read(std::uint32_t y, WorkRun* into) const noexcept {
    return Row{into, readResultRow(result_, y, data_.width(), marks_, into)};
  }

  CLWData& data_;
  Pass pass_;
  std::int32_t borderMode_;
  const Marks& marks_;
  ResultRows& result_;
};

bool ChokeRun::pass(bool& sawTarget, bool& eroded) noexcept {
  const std::uint32_t height = data_.height();
  const std::int32_t width = data_.width();
  // Outside the image: a non-target run in mode 1, a target run (never
  // eroding anything) otherwise.
  const WorkRun outside{0, pass_.paint ? 0u : static_cast<std::uint32_t>(LWATTR_TARGET), width};
  const Row outsideRow{&outside, 1};
  WorkRun* slots[3] = {windowRows.data, windowRows.data + width, windowRows.data + 2 * width};
  RowBuilder out{outputRow.data, 0};

  Row above = outsideRow;
  Row current = read(0, slots[0]);
  int currentSlot = 0;
  for (std::uint32_t y = 0; y < height; ++y) {
    const int belowSlot = (currentSlot + 1) % 3;
    const Row below = y + 1 < height ? read(y + 1, slots[belowSlot]) : outsideRow;
    const bool edgeRow = y == 0 || y + 1 == height;
    if (!edgeRow || borderMode_ == 0 || borderMode_ == 1) {
      out.clear();
      RowEroder eroder(pass_, above, current, below, out);
      if (eroder.run(sawTarget)) {
        eroded = true;
        if (!result_.write(y, out.runs, out.count)) return false;
      }
    }
    above = current;
    current = below;
    currentSlot = belowSlot;
  }
  return true;
}

}  // namespace

bool choke(CLWData& data, std::int32_t iterations, std::int32_t neighbourhood,
           std::uint32_t targetColour, std::int32_t borderMode,
           std::uint32_t paintColour) noexcept {
  const Marks marks{targetColour, false, 0};
  const std::uint32_t height = data.height();
  const std::int32_t width = data.width();
  if (height == 0 || iterations <= 0) {
    data.mark(targetColour, LWATTR_TARGET);
    return true;
  }
  if (!windowRows.reserve(3 * static_cast<std::size_t>(width)) ||
      !outputRow.reserve(static_cast<std::size_t>(width)))
    return false;
  ResultRows result(data);
  if (!result.init()) return false;

  Pass pass{width, false, borderMode == 1, paintColour};
  int unchanged = 0;  // passes in a row that eroded nothing
  for (std::int32_t number = 1; number <= iterations; ++number) {
    pass.eight = neighbourhood == 1 || (neighbourhood == 2 && number % 2 == 1);
    ChokeRun current(data, pass, borderMode, marks, result);
    bool sawTarget = false, eroded = false;
    if (!current.pass(sawTarget, eroded)) return false;
    if (!sawTarget) break;
    // Passes only repeat themselves once nothing erodes under either
    // neighbourhood; stopping then gives the same image without running
    // the rest of a large iteration count.
    unchanged = eroded ? 0 : unchanged + 1;
    if (unchanged >= (neighbourhood == 2 ? 2 : 1)) break;
  }
  markUnwritten(data, result, marks);
  result.commit();
  return true;
}

}  // namespace trellin
