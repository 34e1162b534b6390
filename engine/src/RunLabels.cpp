#include "RunLabels.h"

#include <algorithm>
#include <cstring>

#include "Allocation.h"

namespace trellin {

RunLabels::~RunLabels() {
  releaseBytes(first_);
  releaseBytes(starts_);
  releaseBytes(labels_);
  releaseBytes(stack_);
}

bool RunLabels::init() noexcept {
  const std::uint32_t height = data_.height();
  first_ = allocateArray<std::uint64_t>(std::size_t{height} + 1);
  if (!first_) return false;
  std::uint64_t total = 0;
  for (std::uint32_t y = 0; y < height; ++y) {
    first_[y] = total;
    total += count(y);
  }
  first_[height] = total;
  starts_ = allocateArray<std::int32_t>(total);
  labels_ = allocateArray<std::uint32_t>(total);
  stack_ = allocateArray<Entry>(total);
  if (!starts_ || !labels_ || !stack_) return false;
  std::memset(labels_, 0, sizeof(std::uint32_t) * total);
  for (std::uint32_t y = 0; y < height; ++y) {
    std::int32_t x = 0;
    std::int32_t* starts = starts_ + first_[y];
    for (std::uint32_t i = 0, n = count(y); i < n; ++i) {
      starts[i] = x;
      x += static_cast<std::int32_t>(data_.rows()[y].runs[i].length);
    }
  }
  return true;
}

// Labels the unlabelled runs of value in row y that overlap [x, end).
void RunLabels::visitRow(std::uint32_t y, std::int32_t x, std::int32_t end, std::uint32_t value,
                         std::uint32_t newLabel) noexcept {
  const std::uint32_t n = count(y);
  if (n == 0) return;
  const std::int32_t* starts = starts_ + first_[y];
  const LWRun* runs = data_.rows()[y].runs;
  // The run holding x: the last one starting at or before it.
  std::uint32_t i = static_cast<std::uint32_t>(std::upper_bound(starts, starts + n, x) - starts);
  i = i ? i - 1 : 0;
  for (; i < n && starts[i] < end; ++i)
    if (runs[i].value == value && label(y, i) == 0) take(y, i, newLabel);
}

std::uint64_t RunLabels::fill(std::uint32_t y, std::uint32_t i, std::uint32_t newLabel) noexcept {
  const std::uint32_t value = data_.rows()[y].runs[i].value;
  stackSize_ = 0;
  taken_ = 0;
  take(y, i, newLabel);
  while (stackSize_) {
    const Entry at = stack_[--stackSize_];
    const LWRun* runs = data_.rows()[at.y].runs;
    const std::int32_t x = start(at.y, at.i);
    const std::int32_t end = x + static_cast<std::int32_t>(runs[at.i].length);
    if (at.i > 0 && runs[at.i - 1].value == value && label(at.y, at.i - 1) == 0)
      take(at.y, at.i - 1, newLabel);
    if (at.i + 1 < count(at.y) && runs[at.i + 1].value == value && label(at.y, at.i + 1) == 0)
      take(at.y, at.i + 1, newLabel);
    if (at.y > 0) visitRow(at.y - 1, x, end, value, newLabel);
    if (at.y + 1 < data_.height()) visitRow(at.y + 1, x, end, value, newLabel);
  }
  return taken_;
}

}  // namespace trellin
