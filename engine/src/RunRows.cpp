#include "RunRows.h"

#include "Allocation.h"

namespace trellin {

void releaseRows(LWRunRow* rows, std::uint32_t count) noexcept {
  if (!rows) return;
  for (std::uint32_t y = 0; y < count; ++y) releaseBytes(rows[y].runs);
  releaseBytes(rows);
}

std::uint32_t findSpans(const LWRunRow& row, std::int32_t width, std::uint32_t value, Span* spans,
                        std::int32_t reach) noexcept {
  if (!row.runs || row.count == 0) {
    if (value != 0 || reach <= 0) return 0;
    spans[0] = Span{0, width, -1};
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
        spans[count - 1].run = -1;
      } else {
        if (x >= reach) break;
        spans[count++] = Span{x, length, static_cast<std::int32_t>(run - row.runs)};
        open = true;
      }
    } else {
      open = false;
    }
    x += length;
  }
  return count;
}

}  // namespace trellin
