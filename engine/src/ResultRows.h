#pragma once
// The rows an operation writes, kept apart from the container's own rows
// until the operation has succeeded.
//
// A row that is never written is read straight from the container; the
// first write of a row gives it a run array of its own. commit() then swaps
// the written rows into the container, which cannot fail, so an operation
// either replaces exactly the rows it changed or leaves the container as it
// was. Rows that were written but not committed are freed with the object.
#include <cstdint>

#include "CLWData.h"
#include "LWRun.h"

namespace trellin {

class ResultRows {
 public:
  /// Longest run written back; longer runs are stored as pieces of this
  /// length followed by the rest.
  static constexpr std::uint32_t kLongestRun = 65535;

  explicit ResultRows(CLWData& data) noexcept : data_(data) {}
  ~ResultRows();
  ResultRows(const ResultRows&) = delete;
  ResultRows& operator=(const ResultRows&) = delete;

  /// Allocates the table of written rows. False when memory runs out.
  bool init() noexcept;

  /// Row y as written so far, or the container's row when not written.
  const LWRunRow& row(std::uint32_t y) const noexcept {
    return written_[y].runs ? written_[y].row : data_.rows()[y];
  }

  /// Replaces row y by the count runs given, splitting runs longer than
  /// kLongestRun. The row's own array is reused when it is large enough.
  /// False when memory runs out; row y is then unchanged.
  bool write(std::uint32_t y, const LWRun* runs, std::uint32_t count) noexcept;

  /// Moves every written row into the container, freeing the rows replaced.
  void commit() noexcept;

 private:
  struct Written {
    LWRunRow row;
    LWRun* runs;  // null while the row is not written; otherwise row.runs
    std::uint32_t capacity;
  };

  CLWData& data_;
  Written* written_ = nullptr;
};

}  // namespace trellin
