#pragma once
// The fill pass of the pinhole reduction: paints whole components, starting
// from their bottom-end segments (the seeds) and working upward.
//
// Seeds are sorted bottom row first. Each visited row paints the spans of
// its seeds plus the spans carried up from the row below, and carries up
// every target-colour span of the row above that overlaps a painted span.
// Every segment of a component has a chain of overlapping segments down to
// one of its bottom ends, so carrying upward from all bottom ends reaches
// every segment of the component and nothing else.
//
// A span that is exactly one run of the row is recoloured in place; any
// other row is rewritten, its painted pieces joined to neighbours of the
// same value and attribute and runs longer than 65535 pixels split.
//
// The rows searched may be the rows painted: painting a component takes
// only its own spans out of the target colour (components never touch), and
// when a component's seeds fall into two passes, the second stops below the
// part painted by the first, above which everything was painted with it.
#include <cstdint>

#include "LWRun.h"
#include "ResultRows.h"
#include "RunRows.h"

namespace trellin {

/// A bottom-end segment of a component to fill: its row and its span, with
/// the index of the run that is exactly the span in the rows searched, or -1.
struct Seed {
  std::int32_t row;
  std::int32_t x;
  std::int32_t length;
  std::int32_t run;
};

class PinholeFill {
 public:
  /// candidates: the image being searched (target spans are the maximal
  /// spans of targetColour); result: the rows to paint.
  PinholeFill(const LWRunRow* candidates, ResultRows& result, std::int32_t width,
              std::uint32_t targetColour, std::uint32_t fillColour) noexcept;
  ~PinholeFill();
  PinholeFill(const PinholeFill&) = delete;
  PinholeFill& operator=(const PinholeFill&) = delete;

  /// Allocates the scratch rows. False when memory runs out.
  bool init() noexcept;

  /// Paints the components of the count seeds with the fill colour and
  /// attribute LWATTR_CHANGED. Reorders seeds. False when memory runs out
  /// while writing a row (rows written before stay written in result).
  bool run(Seed* seeds, std::uint32_t count) noexcept;

 private:
  bool paintRow(std::uint32_t y, const Span* spans, std::uint32_t count) noexcept;
  std::uint32_t carryUp(std::uint32_t y, const Span* painted, std::uint32_t count) noexcept;

  const LWRunRow* candidates_;
  ResultRows& result_;
  std::int32_t width_;
  std::uint32_t target_;
  std::uint32_t fill_;

  Span* paint_ = nullptr;    // spans painted in the current row
  Span* carried_ = nullptr;  // spans carried up into the current row
  Span* above_ = nullptr;    // target spans of the row above
  LWRun* painted_ = nullptr;
  std::uint32_t* runIndex_ = nullptr;  // run of the current row that each span is  // the current
                                       // result row after painting
};

}  // namespace trellin
