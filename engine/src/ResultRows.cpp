#include "ResultRows.h"

#include <cstring>

#include "Allocation.h"

namespace trellin {

ResultRows::~ResultRows() {
  if (!committed_) {
    // Latest change first, so a run changed twice ends with its first words.
    for (std::uint32_t i = changeCount_; i-- > 0;) {
      changes_[i].run->value = changes_[i].value;
      changes_[i].run->attribute = changes_[i].attribute;
    }
  }
  releaseBytes(changes_);
  if (!written_) return;
  for (std::uint32_t y = 0; y < data_.height(); ++y) releaseBytes(written_[y].runs);
  releaseBytes(written_);
}

bool ResultRows::reserveChanges(std::uint32_t count) noexcept {
  if (changeCapacity_ - changeCount_ >= count) return true;
  const std::uint64_t wanted = std::uint64_t{changeCount_} + count;
  std::uint64_t capacity = changeCapacity_ ? changeCapacity_ : 1024;
  while (capacity < wanted) capacity *= 2;
  if (capacity > UINT32_MAX) return false;
  Change* grown = allocateArray<Change>(capacity);
  if (!grown) return false;
  if (changeCount_) std::memcpy(grown, changes_, sizeof(Change) * changeCount_);
  releaseBytes(changes_);
  changes_ = grown;
  changeCapacity_ = static_cast<std::uint32_t>(capacity);
  return true;
}

bool ResultRows::init() noexcept {
  written_ = allocateArray<Written>(data_.height());
  if (!written_) return false;
  std::memset(static_cast<void*>(written_), 0, sizeof(Written) * data_.height());
  return true;
}

bool ResultRows::write(std::uint32_t y, const LWRun* runs, std::uint32_t count) noexcept {
  // No run of a row narrower than kLongestRun needs splitting.
  const bool split = static_cast<std::uint32_t>(data_.width()) > kLongestRun;
  std::uint32_t pieces = count;
  if (split) {
    pieces = 0;
    for (std::uint32_t i = 0; i < count; ++i)
      pieces += (runs[i].length + kLongestRun - 1) / kLongestRun;
  }

  Written& target = written_[y];
  if (!target.runs || target.capacity < pieces) {
    LWRun* fresh = allocateArray<LWRun>(pieces);
    if (!fresh) return false;
    releaseBytes(target.runs);
    target.runs = fresh;
    target.capacity = pieces;
  }
  LWRun* out = target.runs;
  if (!split) std::memcpy(out, runs, sizeof(LWRun) * count);
  for (std::uint32_t i = 0; split && i < count; ++i) {
    LWRun run = runs[i];
    while (run.length > kLongestRun) {
      *out++ = LWRun{run.value, run.attribute, kLongestRun};
      run.length -= kLongestRun;
    }
    *out++ = run;
  }
  target.row = LWRunRow{target.runs, pieces};
  return true;
}

void ResultRows::commit() noexcept {
  committed_ = true;
  LWRunRow* rows = data_.rows();
  for (std::uint32_t y = 0; y < data_.height(); ++y) {
    Written& w = written_[y];
    if (!w.runs) continue;
    releaseBytes(rows[y].runs);
    rows[y] = w.row;
    w.runs = nullptr;
  }
}

}  // namespace trellin
