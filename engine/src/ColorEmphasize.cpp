// Block reduction keeping the emphasised colour, on run-length rows.
//
// The column grid is turned into a table giving each source column its
// block. An output row is the colour of each block's top-left pixel, read
// from the runs of the block's top row (a run gives its colour to the
// blocks whose first column it holds), overlaid by the block ranges that
// any run of the emphasised colour in the block's rows touches. Those
// ranges are gathered into a sorted list of disjoint block ranges, so the
// work per row block follows the runs, not the pixels.
//
// Scaling back repeats each reduced row and stretches each run by the size
// ratio, rounding cumulative positions by accumulators that start at 0.5.
#include "ColorEmphasize.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "Allocation.h"
#include "RunRows.h"
#include "WorkRow.h"

namespace trellin {
namespace {

// Inclusive range of blocks.
struct Range {
  std::int32_t first;
  std::int32_t last;
};

// Runs of row as (value, x, end) calls; a row without runs is one run of 0.
template <class F>
void forEachRun(const LWRunRow& row, std::int32_t width, F&& f) noexcept {
  if (!row.runs || row.count == 0) {
    f(0u, 0, width);
    return;
  }
  std::int32_t x = 0;
  for (std::uint32_t i = 0; i < row.count; ++i) {
    const std::int32_t end = x + static_cast<std::int32_t>(row.runs[i].length);
    f(row.runs[i].value, x, end);
    x = end;
  }
}

// The block ends of a grid over size pixels; returns their count (the
// reduced size). ends must hold size entries.
std::int32_t blockGrid(double factor, std::int32_t size, std::int32_t* ends) noexcept {
  double accumulator = 0;
  std::int32_t count = 0;
  for (std::int32_t i = 0; i < size; ++i) {
    accumulator += factor;
    const double whole = std::trunc(accumulator);
    if (whole != 0) {
      // A boundary at 0 would close an empty block (factor 1 reaches a whole
      // pixel at once); the block simply starts there.
      if (i > 0) ends[count++] = i;
      accumulator -= whole;
    }
  }
  if (count == 0 || ends[count - 1] != size) ends[count++] = size;
  return count;
}

// Copies runs into a new array of exactly count runs.
bool storeRow(LWRunRow& row, const LWRun* runs, std::uint32_t count) noexcept {
  row.runs = allocateArray<LWRun>(count);
  if (!row.runs) return false;
  std::memcpy(row.runs, runs, sizeof(LWRun) * count);
  row.count = count;
  return true;
}

// Owns a row array being built; frees it unless released.
struct NewRows {
  LWRunRow* rows = nullptr;
  std::uint32_t height = 0;

  ~NewRows() { releaseRows(rows, height); }
  bool allocate(std::uint32_t count) noexcept {
    rows = allocateArray<LWRunRow>(count ? count : 1);
    if (!rows) return false;
    height = count;
    std::memset(static_cast<void*>(rows), 0, sizeof(LWRunRow) * height);
    return true;
  }
  LWRunRow* release() noexcept {
    height = 0;
    return std::exchange(rows, nullptr);
  }
};

// Scratch memory of one call, freed at its end.
template <class T>
struct Buffer {
  T* data = nullptr;
  Buffer() = default;
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  ~Buffer() { releaseBytes(data); }
  bool allocate(std::size_t count) noexcept {
    data = allocateArray<T>(count ? count : 1);
    return data != nullptr;
  }
};

class Reduction {
 public:
  Reduction(const CLWData& data, std::uint32_t emphasised) noexcept
      : data_(data), emphasised_(emphasised) {}

  /// Builds the reduced image into out. False when memory runs out.
  bool run(double factor, NewRows& out, std::int32_t& outWidth) noexcept;

 private:
  void addRanges(const LWRunRow& row, std::uint32_t& count) noexcept;
  std::uint32_t composeRow(const LWRunRow& top, std::uint32_t rangeCount) noexcept;

  const CLWData& data_;
  std::uint32_t emphasised_;
  Buffer<std::int32_t> columnEnds_, rowEnds_, blockOf_;
  Buffer<Range> ranges_, merged_;
  Buffer<LWRun> base_, row_;
};

// Merges the block ranges of the emphasised runs of row into ranges_
// (count entries, sorted and disjoint).
void Reduction::addRanges(const LWRunRow& row, std::uint32_t& count) noexcept {
  const std::int32_t* blockOf = blockOf_.data;
  const Range* old = ranges_.data;
  Range* out = merged_.data;
  std::uint32_t n = 0, i = 0;
  const auto put = [&](Range r) {
    if (n && r.first <= out[n - 1].last + 1)
      out[n - 1].last = std::max(out[n - 1].last, r.last);
    else
      out[n++] = r;
  };
  forEachRun(row, data_.width(), [&](std::uint32_t value, std::int32_t x, std::int32_t end) {
    if (value != emphasised_) return;
    const Range r{blockOf[x], blockOf[end - 1]};
    while (i < count && old[i].first <= r.first) put(old[i++]);
    put(r);
  });
  while (i < count) put(old[i++]);
  std::swap(ranges_.data, merged_.data);
  count = n;
}

// One output row into row_: the top-left colours of the blocks from top,
// overlaid by the emphasised ranges. Returns its run count.
std::uint32_t Reduction::composeRow(const LWRunRow& top, std::uint32_t rangeCount) noexcept {
  const std::int32_t* blockOf = blockOf_.data;
  const std::int32_t* ends = columnEnds_.data;
  RowBuilder base{base_.data, 0};
  forEachRun(top, data_.width(), [&](std::uint32_t value, std::int32_t x, std::int32_t end) {
    std::int32_t first = blockOf[x];
    if ((first == 0 ? 0 : ends[first - 1]) != x) ++first;  // x is not a block start
    base.append(value, 0, blockOf[end - 1] - first + 1);
  });
  RowBuilder out{row_.data, 0};
  std::uint32_t r = 0;
  std::int32_t block = 0;
  for (std::uint32_t i = 0; i < base.count; ++i) {
    const std::int32_t end = block + static_cast<std::int32_t>(base.runs[i].length);
    while (block < end) {
      while (r < rangeCount && ranges_.data[r].last < block) ++r;
      if (r == rangeCount || ranges_.data[r].first >= end) {
        out.append(base.runs[i].value, 0, end - block);
        block = end;
      } else if (ranges_.data[r].first > block) {
        out.append(base.runs[i].value, 0, ranges_.data[r].first - block);
        block = ranges_.data[r].first;
      } else {
        const std::int32_t to = std::min(end, ranges_.data[r].last + 1);
        out.append(emphasised_, 0, to - block);
        block = to;
      }
    }
  }
  return out.count;
}

bool Reduction::run(double factor, NewRows& out, std::int32_t& outWidth) noexcept {
  const std::int32_t width = data_.width();
  const std::uint32_t height = data_.height();
  if (!columnEnds_.allocate(static_cast<std::size_t>(width)) || !rowEnds_.allocate(height) ||
      !blockOf_.allocate(static_cast<std::size_t>(width)))
    return false;
  outWidth = blockGrid(factor, width, columnEnds_.data);
  // Heights fit in 31 bits: Set refuses larger ones.
  const std::uint32_t outHeight = static_cast<std::uint32_t>(
      blockGrid(factor, static_cast<std::int32_t>(height), rowEnds_.data));
  for (std::int32_t block = 0, x = 0; block < outWidth; ++block)
    for (; x < columnEnds_.data[block]; ++x) blockOf_.data[x] = block;
  const std::size_t w = static_cast<std::size_t>(outWidth);
  if (!ranges_.allocate(w) || !merged_.allocate(w) || !base_.allocate(w) || !row_.allocate(w) ||
      !out.allocate(outHeight))
    return false;
  std::uint32_t y = 0;
  for (std::uint32_t block = 0; block < outHeight; ++block) {
    const std::uint32_t end = static_cast<std::uint32_t>(rowEnds_.data[block]);
    const LWRunRow& top = data_.rows()[y];
    std::uint32_t rangeCount = 0;
    for (; y < end; ++y) addRanges(data_.rows()[y], rangeCount);
    const std::uint32_t count = composeRow(top, rangeCount);
    if (!storeRow(out.rows[block], row_.data, count)) return false;
  }
  return true;
}

// Scales rows (w x h) to width x height into out.
bool scaleRows(const LWRunRow* rows, std::int32_t w, std::uint32_t h, std::int32_t width,
               std::uint32_t height, NewRows& out) noexcept {
  Buffer<LWRun> scaled;
  if (!scaled.allocate(static_cast<std::size_t>(width)) || !out.allocate(height)) return false;
  const double down = static_cast<double>(height) / h;
  double rowAccumulator = 0.5;
  std::uint32_t produced = 0;
  std::uint32_t count = 0;
  for (std::uint32_t r = 0; r < h && produced < height; ++r) {
    rowAccumulator += down;
    const double repeat = std::trunc(rowAccumulator);
    rowAccumulator -= repeat;
    if (repeat == 0) continue;
    // Stretch the row's runs.
    RowBuilder row{scaled.data, 0};
    double accumulator = 0.5;
    std::int64_t x = 0;
    for (std::uint32_t i = 0; i < rows[r].count && x < width; ++i) {
      accumulator += static_cast<double>(rows[r].runs[i].length) * width / w;
      const double length = std::trunc(accumulator);
      accumulator -= length;
      const std::int64_t take =
          std::min<std::int64_t>(static_cast<std::int64_t>(length), width - x);
      row.append(rows[r].runs[i].value, 0, static_cast<std::int32_t>(take));
      x += take;
    }
    if (x < width && row.count)
      row.runs[row.count - 1].length += static_cast<std::uint32_t>(width - x);
    count = row.count;
    for (double k = 0; k < repeat && produced < height; ++k)
      if (!storeRow(out.rows[produced++], scaled.data, count)) return false;
  }
  while (produced < height)
    if (!storeRow(out.rows[produced++], scaled.data, count)) return false;
  return true;
}

}  // namespace

bool emphasize(CLWData& data, std::uint32_t emphasised, double factor, bool scaleBack) noexcept {
  if (data.height() == 0) return true;
  NewRows reduced;
  std::int32_t reducedWidth = 0;
  {
    Reduction reduction(data, emphasised);
    if (!reduction.run(factor, reduced, reducedWidth)) return false;
  }
  if (!scaleBack) {
    const std::uint32_t reducedHeight = reduced.height;
    data.adopt(reducedWidth, reducedHeight, reduced.release());
    return true;
  }
  NewRows scaled;
  if (!scaleRows(reduced.rows, reducedWidth, reduced.height, data.width(), data.height(), scaled))
    return false;
  const std::int32_t width = data.width();
  const std::uint32_t height = data.height();
  data.adopt(width, height, scaled.release());
  return true;
}

}  // namespace trellin
