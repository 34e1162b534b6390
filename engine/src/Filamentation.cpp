// Thinning on run-length rows.
//
// A thinning pass rebuilds rows 2 to height - 3 from a window of five rows
// as they were before the pass (the two outer rows at top and bottom never
// change). Only the end pixels of a target run can go, and only when the
// run is longer than two pixels. An end pixel P is kept when
//  - at most one of its eight neighbours is target (P ends a line),
//  - its eight neighbours do not form exactly one connected stretch around
//    it (taking P away would cut the area or a line in two), or
//  - the target column through P (looked at up to two rows above and below)
//    is at most two pixels tall: P ends a horizontal stroke one or two
//    pixels thick, or
//  - P is the second pixel from the top of a column at least three pixels
//    tall: one row of every thicker horizontal stroke keeps its length as
//    the stroke's line.
// Otherwise P takes the colour and attribute of its outer horizontal
// neighbour, or of the pixel above or below when that side is the image
// edge; with no such neighbour that is not target it stays. So one-pixel
// lines in every direction survive (their runs are one or two pixels long,
// or their ends are line ends), and a filled area loses its sides each pass
// until strokes one or two pixels wide along its middle and one row near
// its top are left. With pass mode 0 an isolated one-pixel run (no target
// among its eight neighbours) goes too.
//
// A clean-up round looks at the positions around each target run: the
// pixels beside it, and above and below at and beside its end pixels (the
// eight neighbours for a run of one pixel). A position belongs to the line
// when its run has a non-zero attribute or the run's own colour. With none
// belonging, a one-pixel run is a dot and goes; with one, or two side by
// side, the run is the end of a line or spur: a one-pixel run goes, a
// longer one gives up the end pixel on the side away from the belonging
// positions. A dot or line end takes the colour of a neighbour that does
// not belong to the line, with attribute 0; a shortened run's end pixel
// goes to the run beside it.
#include "Filamentation.h"

#include <algorithm>
#include <cmath>

#include "ResultRows.h"
#include "WorkRow.h"

namespace trellin {
namespace {

// Working storage kept between calls: five window rows and one output row.
Scratch<WorkRun> windowRows;
Scratch<LWRun> outputRow;

struct Row {
  const WorkRun* runs = nullptr;
  std::uint32_t count = 0;

  /// The run holding x, searched from hint, which follows along: a row is
  /// asked about x positions that move left to right with small steps back.
  const WorkRun& at(std::int32_t x, std::uint32_t& hint) const noexcept {
    std::uint32_t i = hint;
    while (i > 0 && runs[i - 1].end > x) --i;
    while (runs[i].end <= x) ++i;
    hint = i;
    return runs[i];
  }
};

bool isTarget(const WorkRun& run) noexcept { return (run.attribute & LWATTR_TARGET) != 0; }

class Thinner {
 public:
  Thinner(CLWData& data, ResultRows& result, const Marks& marks, bool keepDots) noexcept
      : data_(data), result_(result), marks_(marks), width_(data.width()), keepDots_(keepDots) {}

  /// One thinning pass (cleanUp false) or clean-up round (true). False when
  /// memory runs out.
  bool round(bool cleanUp) noexcept;

 private:
  Row read(std::uint32_t y, WorkRun* into) const noexcept;
  bool inside(std::int32_t x) const noexcept { return x >= 0 && x < width_; }
  const WorkRun& at(std::int32_t x, int k) const noexcept { return window_[k].at(x, hints_[k]); }
  // Target at (x, row k of the window), outside the image not.
  bool target(std::int32_t x, int k) const noexcept { return inside(x) && isTarget(at(x, k)); }
  void thinRow(RowBuilder& out) noexcept;
  void cleanRow(RowBuilder& out) noexcept;
  void thinEnd(std::int32_t x, int side, const WorkRun& self, RowBuilder& out) noexcept;
  bool replacement(std::int32_t x, int side, bool cleanUp, const WorkRun& self,
                   WorkRun& with) const noexcept;

  CLWData& data_;
  ResultRows& result_;
  const Marks& marks_;
  std::int32_t width_;
  bool keepDots_;
  Row window_[5];  // rows y - 2 ... y + 2
  mutable std::uint32_t hints_[5] = {};
  bool changed_ = false;
};

// Row y of the image as the round found it, neighbouring target runs of one
// value merged.
Row Thinner::read(std::uint32_t y, WorkRun* into) const noexcept {
  const std::uint32_t n = readResultRow(result_, y, width_, marks_, into);
  std::uint32_t count = 0;
  for (std::uint32_t i = 0; i < n; ++i) {
    if (count && isTarget(into[i]) && isTarget(into[count - 1]) &&
        into[i].value == into[count - 1].value)
      into[count - 1].end = into[i].end;
    else
      into[count++] = into[i];
  }
  return Row{into, count};
}

// The pixel whose colour an end pixel at x takes: its outer neighbour on
// side (-1 left, +1 right), else the one above, else the one below, each
// only when it is not target (or, in the clean-up, does not belong to the
// line). False when there is none.
bool Thinner::replacement(std::int32_t x, int side, bool cleanUp, const WorkRun& self,
                          WorkRun& with) const noexcept {
  const auto usable = [&](const WorkRun& run) {
    return cleanUp ? !(run.attribute != 0 || run.value == self.value) : !isTarget(run);
  };
  const std::int32_t outer = x + side;
  if (inside(outer) && usable(at(outer, 2))) {
    with = at(outer, 2);
    return true;
  }
  for (const int k : {1, 3}) {
    if (usable(at(x, k))) {
      with = at(x, k);
      return true;
    }
  }
  return false;
}

void Thinner::thinEnd(std::int32_t x, int side, const WorkRun& self, RowBuilder& out) noexcept {
  // Eight neighbours in circular order from above.
  const bool ring[8] = {target(x, 1), target(x + 1, 1), target(x + 1, 2), target(x + 1, 3),
                        target(x, 3), target(x - 1, 3), target(x - 1, 2), target(x - 1, 1)};
  int count = 0, stretches = 0;
  for (int i = 0; i < 8; ++i) {
    count += ring[i];
    stretches += !ring[i] && ring[(i + 1) % 8];
  }
  const int above = ring[0] ? 1 + target(x, 0) : 0;  // 2 means two or more
  const int below = ring[4] ? 1 + target(x, 4) : 0;
  const bool strokeLine = above + below <= 1 || (above == 1 && below > 0);
  WorkRun with{};
  if (count > 1 && stretches == 1 && !strokeLine && replacement(x, side, false, self, with)) {
    out.append(with.value, with.attribute, 1);
    changed_ = true;
  } else {
    out.append(self.value, self.attribute, 1);
  }
}

void Thinner::thinRow(RowBuilder& out) noexcept {
  const Row& row = window_[2];
  std::int32_t x = 0;
  for (std::uint32_t i = 0; i < row.count; ++i) {
    const WorkRun& self = row.runs[i];
    const std::int32_t length = self.end - x;
    if (!isTarget(self) || (length <= 2 && (length == 2 || keepDots_))) {
      out.append(self.value, self.attribute, length);
    } else if (length == 1) {
      // A dot alone among non-target pixels goes with pass mode 0.
      bool alone = true;
      for (int k = 1; k <= 3 && alone; ++k)
        alone = !target(x - 1, k) && !target(x + 1, k) && (k == 2 || !target(x, k));
      WorkRun with{};
      if (alone && replacement(x, x > 0 ? -1 : 1, false, self, with)) {
        out.append(with.value, with.attribute, 1);
        changed_ = true;
      } else {
        out.append(self.value, self.attribute, 1);
      }
    } else {
      thinEnd(x, -1, self, out);
      out.append(self.value, self.attribute, length - 2);
      thinEnd(self.end - 1, 1, self, out);
    }
    x = self.end;
  }
}

void Thinner::cleanRow(RowBuilder& out) noexcept {
  const Row& row = window_[2];
  std::int32_t x = 0;
  for (std::uint32_t i = 0; i < row.count; ++i) {
    const WorkRun& self = row.runs[i];
    const std::int32_t s = x, e = self.end, length = e - s;
    x = e;
    if (!isTarget(self)) {
      out.append(self.value, self.attribute, length);
      continue;
    }
    // Positions around the run, in circular order; side -1 for those at its
    // left end, +1 at its right end. A one-pixel run has eight.
    struct Position {
      std::int32_t x;
      int k;
      int side;
    };
    const Position all[10] = {{s - 1, 1, -1}, {s, 1, -1},    {e - 1, 1, 1}, {e, 1, 1},
                              {e, 2, 1},      {e, 3, 1},     {e - 1, 3, 1}, {s, 3, -1},
                              {s - 1, 3, -1}, {s - 1, 2, -1}};
    int count = 0;
    int belongs[2] = {-1, -1};
    bool onLeft = false, onRight = false;
    for (int p = 0; p < 10; ++p) {
      if (length == 1 && (p == 2 || p == 6)) continue;  // same pixel as p - 1 / p + 1
      const Position& pos = all[p];
      if (!inside(pos.x)) continue;
      const WorkRun& run = at(pos.x, pos.k);
      if (!(run.attribute != 0 || run.value == self.value)) continue;
      if (count < 2) belongs[count] = p;
      ++count;
      (pos.side < 0 ? onLeft : onRight) = true;
    }
    bool end = count <= 1;
    if (count == 2) {
      const Position& a = all[belongs[0]];
      const Position& b = all[belongs[1]];
      end = std::abs(a.x - b.x) + std::abs(a.k - b.k) == 1;
    }
    WorkRun with{};
    if (length == 1 && end) {
      if (replacement(s, s > 0 ? -1 : 1, true, self, with)) {
        out.append(with.value, 0, 1);
        changed_ = true;
        continue;
      }
    } else if (length > 1 && count > 0 && end && !(onLeft && onRight)) {
      const int side = onLeft ? 1 : -1;  // the open side
      const std::int32_t pixel = side > 0 ? e - 1 : s;
      if (replacement(pixel, side, true, self, with)) {
        if (side < 0) out.append(with.value, with.attribute, 1);
        out.append(self.value, self.attribute, length - 1);
        if (side > 0) out.append(with.value, with.attribute, 1);
        changed_ = true;
        continue;
      }
    }
    out.append(self.value, self.attribute, length);
  }
}

bool Thinner::round(bool cleanUp) noexcept {
  const std::uint32_t height = data_.height();
  WorkRun* slots[5];
  for (int k = 0; k < 5; ++k) slots[k] = windowRows.data + static_cast<std::size_t>(k) * width_;
  for (int k = 0; k < 4; ++k) window_[k + 1] = read(static_cast<std::uint32_t>(k), slots[k]);
  int next = 4;  // slot for the row entering the window
  RowBuilder out{outputRow.data, 0};
  for (std::uint32_t y = 2; y + 2 < height; ++y) {
    for (int k = 0; k < 4; ++k) window_[k] = window_[k + 1];
    window_[4] = read(y + 2, slots[next]);
    next = (next + 1) % 5;
    out.clear();
    changed_ = false;
    for (std::uint32_t& hint : hints_) hint = 0;
    if (cleanUp)
      cleanRow(out);
    else
      thinRow(out);
    if (changed_ && !result_.write(y, out.runs, out.count)) return false;
  }
  return true;
}

}  // namespace

bool filamentation(CLWData& data, std::uint32_t targetColour, std::int32_t passes, bool cleanUp,
                   bool keepDots) noexcept {
  const Marks marks{targetColour, false, 0};
  // Rows 2 to height - 3 exist from a height of 5 on.
  if (data.height() < 5 || passes <= 0) {
    data.mark(targetColour, LWATTR_TARGET);
    return true;
  }
  const std::size_t width = static_cast<std::size_t>(data.width());
  if (!windowRows.reserve(5 * width) || !outputRow.reserve(width)) return false;
  ResultRows result(data);
  if (!result.init()) return false;
  Thinner thinner(data, result, marks, keepDots);
  for (std::int32_t pass = 1; pass <= passes; ++pass)
    if (!thinner.round(false)) return false;
  if (cleanUp) {
    const auto rounds = static_cast<std::int64_t>(std::trunc(passes * 0.5 + 0.5));
    for (std::int64_t i = 0; i < rounds; ++i)
      if (!thinner.round(true)) return false;
  }
  markUnwritten(data, result, marks);
  result.commit();
  return true;
}

}  // namespace trellin
