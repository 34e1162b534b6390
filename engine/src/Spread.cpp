// The band painted around the target pixels: a dilation by a structuring
// element that is symmetric in both axes, done on run-length rows.
//
// The element is described by its half-width at each vertical distance (the
// profile). A pass down the rows keeps the target intervals of the rows
// visited within radius rows, each with its row distance (age); a pixel of
// the current row lies in the band of those rows when it is within the
// profile entry of the age of some interval. A newer interval replaces the
// parts of older ones it covers, since the profile never grows with age, so
// the list stays a set of disjoint intervals, at most one for each pixel.
// A second pass up the rows adds the band below; target pixels are never
// painted, so both passes see the same targets.
#include "Spread.h"

#include <algorithm>
#include <cmath>

#include "ResultRows.h"

namespace trellin {
namespace {

struct Interval {
  std::int32_t x;
  std::int32_t end;
  std::int32_t age;
};

struct Band {
  std::int32_t x;
  std::int32_t end;
};

constexpr std::uint32_t kKept = LWATTR_TARGET | LWATTR_TARGET2;

// Working storage kept between calls.
Scratch<std::int32_t> profileTable;
Scratch<Interval> intervals;      // the list, sorted by x
Scratch<Interval> nextIntervals;  // the list being built for the next row
Scratch<Band> rowTargets;         // target spans of the current row
Scratch<Band> bands;              // widened intervals, then merged
Scratch<WorkRun> workRow;
Scratch<LWRun> outputRow;

class SpreadPass {
 public:
  SpreadPass(CLWData& data, ResultRows& result, const Marks& marks, const std::int32_t* profile,
             std::int32_t maxAge, std::uint32_t spreadColour) noexcept
      : data_(data),
        result_(result),
        marks_(marks),
        profile_(profile),
        maxAge_(maxAge),
        colour_(spreadColour),
        width_(data.width()) {}

  bool run(bool downwards) noexcept;

 private:
  void takeTargets(std::uint32_t targets) noexcept;
  std::uint32_t widen() noexcept;
  bool paint(std::uint32_t y, std::uint32_t runCount, std::uint32_t bandCount) noexcept;

  CLWData& data_;
  ResultRows& result_;
  const Marks& marks_;
  const std::int32_t* profile_;
  std::int32_t maxAge_;
  std::uint32_t colour_;
  std::int32_t width_;
  std::uint32_t count_ = 0;  // intervals in the list
};

// Ages the list by one row, drops intervals beyond the profile and merges in
// the target spans of the new row (age 0), which replace what they cover.
void SpreadPass::takeTargets(std::uint32_t targets) noexcept {
  const Band* fresh = rowTargets.data;
  Interval* out = nextIntervals.data;
  std::uint32_t n = 0;
  std::uint32_t t = 0;      // next fresh span not yet written
  std::uint32_t first = 0;  // first fresh span that may overlap the old interval
  for (std::uint32_t i = 0; i < count_; ++i) {
    const Interval old = intervals.data[i];
    if (old.age + 1 > maxAge_) continue;
    while (first < targets && fresh[first].end <= old.x) ++first;
    std::int32_t from = old.x;
    for (std::uint32_t k = first; k < targets && fresh[k].x < old.end; ++k) {
      if (fresh[k].x > from) {
        while (t < targets && fresh[t].x < from)
          out[n++] = Interval{fresh[t].x, fresh[t].end, 0}, ++t;
        out[n++] = Interval{from, fresh[k].x, old.age + 1};
      }
      from = std::max(from, fresh[k].end);
    }
    if (from < old.end) {
      while (t < targets && fresh[t].x < from)
        out[n++] = Interval{fresh[t].x, fresh[t].end, 0}, ++t;
      out[n++] = Interval{from, old.end, old.age + 1};
    }
  }
  while (t < targets) out[n++] = Interval{fresh[t].x, fresh[t].end, 0}, ++t;
  std::swap(intervals.data, nextIntervals.data);
  std::swap(intervals.capacity, nextIntervals.capacity);
  count_ = n;
}

// Widens every interval by the profile entry of its age and merges the
// results into bands sorted by x. Returns the band count.
std::uint32_t SpreadPass::widen() noexcept {
  Band* out = bands.data;
  for (std::uint32_t i = 0; i < count_; ++i) {
    const Interval& in = intervals.data[i];
    const std::int64_t reach = profile_[in.age];
    out[i] = Band{static_cast<std::int32_t>(std::max<std::int64_t>(0, in.x - reach)),
                  static_cast<std::int32_t>(std::min<std::int64_t>(width_, in.end + reach))};
  }
  std::sort(out, out + count_, [](const Band& a, const Band& b) { return a.x < b.x; });
  std::uint32_t n = 0;
  for (std::uint32_t i = 0; i < count_; ++i) {
    if (n && out[i].x <= out[n - 1].end)
      out[n - 1].end = std::max(out[n - 1].end, out[i].end);
    else
      out[n++] = out[i];
  }
  return n;
}

// Rewrites row y (read into workRow) with the bands painted; rows where the
// bands hold nothing paintable are left alone.
bool SpreadPass::paint(std::uint32_t y, std::uint32_t runCount, std::uint32_t bandCount) noexcept {
  RowBuilder out{outputRow.data, 0};
  bool painted = false;
  std::uint32_t b = 0;
  std::int32_t x = 0;
  for (std::uint32_t i = 0; i < runCount; ++i) {
    const WorkRun& run = workRow.data[i];
    if (run.attribute & kKept) {
      out.append(run.value, run.attribute, run.end - x);
      x = run.end;
      continue;
    }
    while (x < run.end) {
      while (b < bandCount && bands.data[b].end <= x) ++b;
      if (b == bandCount || bands.data[b].x >= run.end) {
        out.append(run.value, run.attribute, run.end - x);
        x = run.end;
      } else if (bands.data[b].x > x) {
        out.append(run.value, run.attribute, bands.data[b].x - x);
        x = bands.data[b].x;
      } else {
        const std::int32_t to = std::min(run.end, bands.data[b].end);
        out.append(colour_, 0, to - x);
        painted = true;
        x = to;
      }
    }
  }
  if (!painted) return true;
  return result_.write(y, out.runs, out.count);
}

bool SpreadPass::run(bool downwards) noexcept {
  const std::uint32_t height = data_.height();
  count_ = 0;
  for (std::uint32_t k = 0; k < height; ++k) {
    const std::uint32_t y = downwards ? k : height - 1 - k;
    const std::uint32_t runCount = readResultRow(result_, y, width_, marks_, workRow.data);
    std::uint32_t targets = 0;
    std::int32_t x = 0;
    bool open = false;
    for (std::uint32_t i = 0; i < runCount; ++i) {
      const WorkRun& run = workRow.data[i];
      if (run.attribute & LWATTR_TARGET) {
        if (open)
          rowTargets.data[targets - 1].end = run.end;
        else
          rowTargets.data[targets++] = Band{x, run.end};
        open = true;
      } else {
        open = false;
      }
      x = run.end;
    }
    takeTargets(targets);
    if (count_ == 0) continue;
    if (!paint(y, runCount, widen())) return false;
  }
  return true;
}

}  // namespace

void spreadProfile(std::int32_t shape, std::int32_t radius, std::int32_t* profile,
                   std::uint32_t count, std::int32_t cap) noexcept {
  const double r = radius;
  std::uint32_t computed = 0;
  if (shape == kSpreadSquare) {
    for (; computed < count; ++computed) profile[computed] = radius;
  } else {
    for (; computed < count; ++computed) {
      const double i = computed;
      const double value =
          shape == kSpreadCircle ? std::sqrt((1.0 - i * i / (r * r)) * (r * r)) : (1.0 - i / r) * r;
      const std::int64_t rounded = static_cast<std::int64_t>(value + 0.5);
      // The diagonal point itself (entry == distance) still belongs to the
      // computed part, so a diamond comes out exact.
      if (rounded < static_cast<std::int64_t>(computed)) break;
      profile[computed] = static_cast<std::int32_t>(rounded);
    }
    // The rest mirrors the computed part across the diagonal.
    std::uint32_t j = computed - 1;
    for (std::uint32_t i = computed; i < count; ++i) {
      while (j > 0 && profile[j] < static_cast<std::int64_t>(i)) --j;
      profile[i] = static_cast<std::int32_t>(j);
    }
  }
  for (std::uint32_t i = 0; i < count; ++i) profile[i] = std::min(profile[i], cap);
}

bool spread(CLWData& data, std::int32_t radius, std::int32_t shape, const Marks& marks,
            std::uint32_t spreadColour) noexcept {
  if (radius < 1 || shape < kSpreadCircle || shape > kSpreadSquare) return false;
  const std::uint32_t height = data.height();
  const std::size_t width = static_cast<std::size_t>(data.width());
  if (height == 0) return true;
  // Row distances never exceed height - 1.
  const std::uint32_t ages =
      static_cast<std::uint32_t>(std::min<std::int64_t>(radius, std::int64_t{height} - 1)) + 1;
  if (!profileTable.reserve(ages) || !intervals.reserve(width) || !nextIntervals.reserve(width) ||
      !rowTargets.reserve(width) || !bands.reserve(width) || !workRow.reserve(width) ||
      !outputRow.reserve(width))
    return false;
  spreadProfile(shape, radius, profileTable.data, ages, data.width());

  ResultRows result(data);
  if (!result.init()) return false;
  SpreadPass pass(data, result, marks, profileTable.data, static_cast<std::int32_t>(ages) - 1,
                  spreadColour);
  if (!pass.run(true) || !pass.run(false)) return false;
  markUnwritten(data, result, marks);
  result.commit();
  return true;
}

}  // namespace trellin
