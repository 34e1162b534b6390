#pragma once
// A label for every run of a container, kept apart from the runs, and a
// flood fill that labels 4-connected areas of one colour run by run.
//
// The container is only read: the operations write the labels into the
// runs once nothing can fail any more.
#include <cstdint>

#include "CLWData.h"

namespace trellin {

class RunLabels {
 public:
  explicit RunLabels(const CLWData& data) noexcept : data_(data) {}
  ~RunLabels();
  RunLabels(const RunLabels&) = delete;
  RunLabels& operator=(const RunLabels&) = delete;

  /// Allocates the tables (every label 0). False when memory runs out.
  bool init() noexcept;

  /// Label of run i of row y.
  std::uint32_t& label(std::uint32_t y, std::uint32_t i) noexcept { return labels_[first_[y] + i]; }
  /// First x of run i of row y.
  std::int32_t start(std::uint32_t y, std::uint32_t i) const noexcept {
    return starts_[first_[y] + i];
  }

  /// Gives newLabel to run i of row y and to every run 4-connected to it
  /// through runs of the same value whose label is 0 (runs side by side in
  /// a row, or overlapping in neighbouring rows). The run itself must have
  /// label 0. Returns the number of runs labelled. Cannot fail.
  std::uint64_t fill(std::uint32_t y, std::uint32_t i, std::uint32_t newLabel) noexcept;

 private:
  struct Entry {
    std::uint32_t y;
    std::uint32_t i;
  };

  void visitRow(std::uint32_t y, std::int32_t x, std::int32_t end, std::uint32_t value,
                std::uint32_t newLabel) noexcept;
  void take(std::uint32_t y, std::uint32_t i, std::uint32_t newLabel) noexcept {
    label(y, i) = newLabel;
    stack_[stackSize_++] = Entry{y, i};
    ++taken_;
  }
  std::uint32_t count(std::uint32_t y) const noexcept {
    return data_.rows()[y].runs ? data_.rows()[y].count : 0;
  }

  const CLWData& data_;
  std::uint64_t* first_ = nullptr;  // index of each row's first run; height + 1 entries
  std::int32_t* starts_ = nullptr;
  std::uint32_t* labels_ = nullptr;
  Entry* stack_ = nullptr;  // each run enters at most once
  std::uint64_t stackSize_ = 0;
  std::uint64_t taken_ = 0;
};

}  // namespace trellin
