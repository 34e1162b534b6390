#include "ResultRows.h"

#include <cstring>

#include "Allocation.h"

namespace trellin {

ResultRows::~ResultRows() {
  if (!written_) return;
  for (std::uint32_t y = 0; y < data_.height(); ++y) releaseBytes(written_[y].runs);
  releaseBytes(written_);
}

bool ResultRows::init() noexcept {
  written_ = allocateArray<Written>(data_.height());
  if (!written_) return false;
  std::memset(static_cast<void*>(written_), 0, sizeof(Written) * data_.height());
  return true;
}

bool ResultRows::write(std::uint32_t y, const LWRun* runs, std::uint32_t count) noexcept {
  std::uint32_t pieces = 0;
  for (std::uint32_t i = 0; i < count; ++i)
    pieces += (runs[i].length + kLongestRun - 1) / kLongestRun;

  Written& target = written_[y];
  if (!target.runs || target.capacity < pieces) {
    LWRun* fresh = allocateArray<LWRun>(pieces);
    if (!fresh) return false;
    releaseBytes(target.runs);
    target.runs = fresh;
    target.capacity = pieces;
  }
  LWRun* out = target.runs;
  for (std::uint32_t i = 0; i < count; ++i) {
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
