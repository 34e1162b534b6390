#pragma once
// Helpers shared by the operations that rebuild rows run by run: a row read
// into positions (value, attribute, end x), the effective marks of a row
// that has not been rewritten yet, an output row that merges neighbouring
// runs, and module-level scratch arrays.
#include <cstddef>
#include <cstdint>

#include "Allocation.h"
#include "CLWData.h"
#include "LWRun.h"
#include "ResultRows.h"
#include "trellin/lwdata.h"

namespace trellin {

/// One run of a working row: pixels [previous end, end) of one value.
struct WorkRun {
  std::uint32_t value;
  std::uint32_t attribute;
  std::int32_t end;  ///< one past the last x of the run
};

/// The marks an operation gives the runs of a colour before it works: runs
/// of the target colour get LWATTR_TARGET and, with protection, runs of the
/// protected colour LWATTR_TARGET2; every other run keeps its attribute.
/// Operations read a row that they have not rewritten through this, so that
/// the container's own rows stay untouched until the operation succeeds.
struct Marks {
  std::uint32_t target;
  bool protect;
  std::uint32_t protectedColour;

  std::uint32_t attributeOf(const LWRun& run) const noexcept {
    if (run.value == target) return LWATTR_TARGET;
    if (protect && run.value == protectedColour) return LWATTR_TARGET2;
    return run.attribute;
  }
};

/// Reads row into out (room for width runs) as working runs; with marks,
/// the attributes are the marked ones. A row without runs reads as one run
/// of value 0, attribute 0. Returns the run count.
inline std::uint32_t readRow(const LWRunRow& row, std::int32_t width, const Marks* marks,
                             WorkRun* out) noexcept {
  if (!row.runs || row.count == 0) {
    out[0] = WorkRun{0, marks ? marks->attributeOf(LWRun{0, 0, 0}) : 0, width};
    return 1;
  }
  std::int32_t x = 0;
  for (std::uint32_t i = 0; i < row.count; ++i) {
    const LWRun& run = row.runs[i];
    x += static_cast<std::int32_t>(run.length);
    out[i] = WorkRun{run.value, marks ? marks->attributeOf(run) : run.attribute, x};
  }
  return row.count;
}

/// An output row being built left to right. Neighbouring runs of equal value
/// and attribute are merged, so width runs of room always suffice.
struct RowBuilder {
  LWRun* runs = nullptr;
  std::uint32_t count = 0;

  void clear() noexcept { count = 0; }
  void append(std::uint32_t value, std::uint32_t attribute, std::int32_t length) noexcept {
    if (length <= 0) return;
    if (count && runs[count - 1].value == value && runs[count - 1].attribute == attribute) {
      runs[count - 1].length += static_cast<std::uint32_t>(length);
    } else {
      runs[count++] = LWRun{value, attribute, static_cast<std::uint32_t>(length)};
    }
  }
};

/// A module-level scratch array that grows on demand and is kept for the
/// next call. Not safe for concurrent use.
template <class T>
struct Scratch {
  T* data = nullptr;
  std::size_t capacity = 0;

  /// Room for count entries; false when memory runs out (the old room stays).
  bool reserve(std::size_t count) noexcept {
    if (count <= capacity && data) return true;
    T* grown = allocateArray<T>(count ? count : 1);
    if (!grown) return false;
    releaseBytes(data);
    data = grown;
    capacity = count;
    return true;
  }
};

/// Reads row y of result: a row already rewritten as it stands, any other
/// row of the container with the marks applied.
inline std::uint32_t readResultRow(const ResultRows& result, std::uint32_t y, std::int32_t width,
                                   const Marks& marks, WorkRun* out) noexcept {
  return readRow(result.row(y), width, result.isWritten(y) ? nullptr : &marks, out);
}

/// Gives the runs of every row that result has not rewritten their marks,
/// in the container itself. Called just before result.commit(), when the
/// operation can no longer fail.
inline void markUnwritten(CLWData& data, const ResultRows& result, const Marks& marks) noexcept {
  for (std::uint32_t y = 0; y < data.height(); ++y) {
    if (result.isWritten(y)) continue;
    LWRunRow& row = data.rows()[y];
    for (std::uint32_t i = 0; row.runs && i < row.count; ++i)
      row.runs[i].attribute = marks.attributeOf(row.runs[i]);
  }
}

}  // namespace trellin
