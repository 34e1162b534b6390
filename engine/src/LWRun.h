#pragma once
// The run-length row format shared by the container and every operation.
#include <cstdint>

namespace trellin {

/// One run of pixels of one colour: three 32-bit words in this order.
struct LWRun {
  std::uint32_t value;      ///< colour of every pixel of the run
  std::uint32_t attribute;  ///< mark set by operations (LWATTR_* codes)
  std::uint32_t length;     ///< pixels in the run, at least 1
};
static_assert(sizeof(LWRun) == 12, "a run is three 32-bit words");

/// One row: its own run array and the number of runs in it. The lengths add
/// up to the image width. A row without runs (null array or count 0) reads
/// as one run {value 0, attribute 0, length width}.
struct LWRunRow {
  LWRun* runs;
  std::uint32_t count;
};

}  // namespace trellin
