#pragma once
// Rectangles in page pixels: left and top inclusive, right and bottom
// exclusive. (-1, -1, -1, -1) is the "nothing changed" answer of operations
// that report a changed area.
#include <algorithm>
#include <cstdint>

namespace quillane {

struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  /// The "nothing changed" rectangle (-1, -1, -1, -1).
  static constexpr Rect none() { return Rect{-1, -1, -1, -1}; }

  constexpr int64_t width() const { return int64_t{right} - left; }
  constexpr int64_t height() const { return int64_t{bottom} - top; }
  /// True when the rectangle holds no pixel (right <= left or bottom <= top).
  constexpr bool isEmpty() const { return right <= left || bottom <= top; }
  constexpr bool isNone() const { return left == -1 && top == -1 && right == -1 && bottom == -1; }

  /// The common part of two rectangles; empty (possibly with inverted
  /// corners) when they do not meet.
  constexpr Rect intersected(const Rect& other) const {
    return Rect{std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
                std::min(bottom, other.bottom)};
  }

  /// The smallest rectangle holding both; an empty operand does not count.
  constexpr Rect united(const Rect& other) const {
    if (isEmpty()) return other;
    if (other.isEmpty()) return *this;
    return Rect{std::min(left, other.left), std::min(top, other.top), std::max(right, other.right),
                std::max(bottom, other.bottom)};
  }

  /// The rectangle grown by n pixels on every side (saturating at the int32
  /// range, so growing a page-sized rectangle can never wrap around).
  constexpr Rect grown(int32_t n) const {
    auto clamp = [](int64_t v) {
      return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
    };
    return Rect{clamp(int64_t{left} - n), clamp(int64_t{top} - n), clamp(int64_t{right} + n),
                clamp(int64_t{bottom} + n)};
  }

  friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace quillane
