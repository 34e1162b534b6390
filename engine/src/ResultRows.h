#pragma once
// The rows an operation writes, kept apart from the container's own rows
// until the operation has succeeded.
//
// A row that is never written is read straight from the container; the
// first write of a row gives it a run array of its own. commit() then swaps
// the written rows into the container, which cannot fail, so an operation
// either replaces exactly the rows it changed or leaves the container as it
// was. Rows that were written but not committed are freed with the object.
//
// A change that keeps a row's run boundaries (a new value and attribute for
// one run) is made in place instead, even in the container's own rows; the
// old words are recorded first and put back when the object goes without a
// commit. Such a change is visible at once to anyone reading the container.
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

  /// Whether row y has been rewritten (so that its runs are no longer the
  /// container's).
  bool isWritten(std::uint32_t y) const noexcept { return written_[y].runs != nullptr; }

  /// Runs of row y (as row(y)) for changing in place with change().
  LWRun* runsOf(std::uint32_t y) noexcept {
    return written_[y].runs ? written_[y].runs : data_.rows()[y].runs;
  }

  /// Makes room to record count more in-place changes. False when memory
  /// runs out.
  bool reserveChanges(std::uint32_t count) noexcept;

  /// Gives run, one of runsOf(y), a new value and attribute. Room for the
  /// record must have been reserved.
  void change(std::uint32_t y, LWRun& run, std::uint32_t value, std::uint32_t attribute) noexcept {
    if (!written_[y].runs) changes_[changeCount_++] = Change{&run, run.value, run.attribute};
    run.value = value;
    run.attribute = attribute;
  }

  /// Moves every written row into the container, freeing the rows replaced,
  /// and keeps the changes made in place.
  void commit() noexcept;

 private:
  struct Written {
    LWRunRow row;
    LWRun* runs;  // null while the row is not written; otherwise row.runs
    std::uint32_t capacity;
  };

  struct Change {
    LWRun* run;
    std::uint32_t value;
    std::uint32_t attribute;
  };

  CLWData& data_;
  Written* written_ = nullptr;
  Change* changes_ = nullptr;
  std::uint32_t changeCount_ = 0;
  std::uint32_t changeCapacity_ = 0;
  bool committed_ = false;
};

}  // namespace trellin
