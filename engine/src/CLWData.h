#pragma once
// The image container behind the opaque handle of the C interface: width,
// height and one run-length row per image row. The container owns the row
// array and every run array.
#include <cstdint>

#include "LWRun.h"

struct CLWData {
 public:
  CLWData() noexcept = default;
  ~CLWData();
  CLWData(const CLWData&) = delete;
  CLWData& operator=(const CLWData&) = delete;

  std::int32_t width() const noexcept { return width_; }
  std::uint32_t height() const noexcept { return height_; }
  trellin::LWRunRow* rows() noexcept { return rows_; }
  const trellin::LWRunRow* rows() const noexcept { return rows_; }

  /// Frees all rows; the container is empty afterwards (width 0, height 0).
  void clear() noexcept;

  /// Replaces the content by rows that the container takes over. The rows
  /// must have been allocated with trellin::allocateArray.
  void adopt(std::int32_t width, std::uint32_t height, trellin::LWRunRow* rows) noexcept;

  /// Replaces the content by a deep copy of source, each run array sized to
  /// its run count. Out of memory: false, and this container is empty.
  bool copyFrom(const CLWData& source) noexcept;

  /// Sets the attribute of every run whose value equals value.
  void mark(std::uint32_t value, std::uint32_t attribute) noexcept;
  /// Sets the attribute of every run.
  void markAll(std::uint32_t attribute) noexcept;

  /// The run of row y that holds pixel x. False when the container is empty
  /// or x or y is outside the image; run is then untouched.
  bool runAt(std::int32_t x, std::uint32_t y, trellin::LWRun& run) const noexcept;

 private:
  std::int32_t width_ = 0;
  std::uint32_t height_ = 0;
  trellin::LWRunRow* rows_ = nullptr;
};
