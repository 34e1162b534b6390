#include "CLWData.h"

#include <cstring>

#include "Allocation.h"
#include "RunRows.h"

using trellin::LWRun;
using trellin::LWRunRow;

CLWData::~CLWData() { clear(); }

void CLWData::clear() noexcept {
  trellin::releaseRows(rows_, height_);
  rows_ = nullptr;
  width_ = 0;
  height_ = 0;
}

void CLWData::adopt(std::int32_t width, std::uint32_t height, LWRunRow* rows) noexcept {
  clear();
  width_ = width;
  height_ = height;
  rows_ = rows;
}

bool CLWData::copyFrom(const CLWData& source) noexcept {
  if (&source == this) return true;
  clear();
  if (source.height_ == 0) return true;
  LWRunRow* rows = trellin::allocateArray<LWRunRow>(source.height_);
  if (!rows) return false;
  for (std::uint32_t y = 0; y < source.height_; ++y) {
    const LWRunRow& from = source.rows_[y];
    LWRunRow& to = rows[y];
    to.count = from.runs ? from.count : 0;
    to.runs = nullptr;
    if (to.count == 0) continue;
    to.runs = trellin::allocateArray<LWRun>(to.count);
    if (!to.runs) {
      trellin::releaseRows(rows, y);
      return false;
    }
    std::memcpy(to.runs, from.runs, sizeof(LWRun) * to.count);
  }
  adopt(source.width_, source.height_, rows);
  return true;
}

void CLWData::mark(std::uint32_t value, std::uint32_t attribute) noexcept {
  for (std::uint32_t y = 0; y < height_; ++y) {
    LWRun* runs = rows_[y].runs;
    if (!runs) continue;
    for (std::uint32_t i = 0, n = rows_[y].count; i < n; ++i)
      if (runs[i].value == value) runs[i].attribute = attribute;
  }
}

void CLWData::markAll(std::uint32_t attribute) noexcept {
  for (std::uint32_t y = 0; y < height_; ++y) {
    LWRun* runs = rows_[y].runs;
    if (!runs) continue;
    for (std::uint32_t i = 0, n = rows_[y].count; i < n; ++i) runs[i].attribute = attribute;
  }
}

bool CLWData::runAt(std::int32_t x, std::uint32_t y, LWRun& run) const noexcept {
  if (height_ == 0 || y >= height_ || x < 0 || x >= width_) return false;
  const LWRunRow& row = rows_[y];
  if (!row.runs || row.count == 0) {
    run = LWRun{0, 0, static_cast<std::uint32_t>(width_)};
    return true;
  }
  std::uint32_t end = 0;
  for (std::uint32_t i = 0; i < row.count; ++i) {
    end += row.runs[i].length;
    if (static_cast<std::uint32_t>(x) < end) {
      run = row.runs[i];
      return true;
    }
  }
  return false;
}
