#include "RunRows.h"

#include "Allocation.h"

namespace trellin {

void releaseRows(LWRunRow* rows, std::uint32_t count) noexcept {
  if (!rows) return;
  for (std::uint32_t y = 0; y < count; ++y) releaseBytes(rows[y].runs);
  releaseBytes(rows);
}

std::uint32_t findSpans(const LWRunRow& row, std::int32_t width, std::uint32_t value,
                        Span* spans) noexcept {
  if (!row.runs || row.count == 0) {
    if (value != 0) return 0;
    spans[0] = Span{0, width};
    return 1;
  }
  std::uint32_t count = 0;
  std::int32_t x = 0;
  bool open = false;  // the last span written still grows
  const LWRun* run = row.runs;
  const LWRun* end = run + row.count;
  for (; run != end; ++run) {
    const std::int32_t length = static_cast<std::int32_t>(run->length);
    if (run->value == value) {
      if (open) {
        spans[count - 1].length += length;
      } else {
        spans[count++] = Span{x, length};
        open = true;
      }
    } else {
      open = false;
    }
    x += length;
  }
  return count;
}

std::uint32_t readMergedRow(const LWRunRow& row, std::int32_t width, LWRun* out) noexcept {
  if (!row.runs || row.count == 0) {
    out[0] = LWRun{0, 0, static_cast<std::uint32_t>(width)};
    return 1;
  }
  std::uint32_t count = 0;
  for (std::uint32_t i = 0; i < row.count; ++i) {
    const LWRun& run = row.runs[i];
    if (count > 0 && out[count - 1].value == run.value &&
        out[count - 1].attribute == run.attribute) {
      out[count - 1].length += run.length;
    } else {
      out[count++] = run;
    }
  }
  return count;
}

}  // namespace trellin
