#pragma once
// Reading and freeing run-length rows, shared by the container and the
// operations.
#include <cstdint>

#include "LWRun.h"

namespace trellin {

/// Pixels [x, x + length) of one row; run is the index of the one run that
/// holds exactly these pixels, or -1 when they are several runs.
struct Span {
  std::int32_t x;
  std::int32_t length;
  std::int32_t run;
};

/// Frees the run array of each of the count rows, then the row array itself.
void releaseRows(LWRunRow* rows, std::uint32_t count) noexcept;

/// Writes the maximal spans of row whose pixels all have the given value,
/// left to right, into spans and returns how many there are. Neighbouring
/// runs of that value count as one span whatever their attributes. Only the
/// spans that start before `reach` are found (the last one found may end
/// past it). spans must hold (width + 1) / 2 entries.
std::uint32_t findSpans(const LWRunRow& row, std::int32_t width, std::uint32_t value, Span* spans,
                        std::int32_t reach = INT32_MAX) noexcept;

}  // namespace trellin
