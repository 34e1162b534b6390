#pragma once
// The pinhole reduction's core: finds the 4-connected components of the
// target colour that hold at most largestArea pixels and has PinholeFill
// paint them.
//
// One streaming pass walks the rows top to bottom keeping only two rows of
// segments (maximal target-colour spans): the current row and the next. Each
// segment carries the label of its component and the pixels of the component
// that have flowed down into it so far, saturated at largestArea + 1. Label
// 0 marks a component already known to be too large; it is never tracked
// again, so large areas cost no more than their segments.
//
// A component still being tracked keeps, in its label's entry, the list of
// its bottom ends so far (segments with nothing below them, the pending
// entries) and the index range of its segments in each of the two rows, so
// that relabelling on a merge only visits the component's own stretch of
// the rows. When a component has no segment in the row below, it is complete:
// if small enough, its bottom ends become fill seeds. The seed list is
// painted when it fills up and once more at the end.
//
// Tables start at 1000 entries and grow by 1000 (from a width of 10000 on:
// width / 2 seeds, width / 10 pending entries, width / 5 labels). Labels are
// handed out counting up; when the table is full the labels in use are first
// renumbered into the lowest numbers, and only if it is still full does it
// grow. Freed pending entries are reused before that table grows.
#include <cstdint>

#include "LWRun.h"
#include "PinholeFill.h"
#include "ResultRows.h"
#include "RunRows.h"

namespace trellin {

class PinholeCore {
 public:
  /// candidates: the rows searched; result: the rows painted. largestArea
  /// must be at least 1.
  PinholeCore(const LWRunRow* candidates, ResultRows& result, std::int32_t width,
              std::uint32_t height, std::int32_t largestArea, std::uint32_t targetColour,
              std::uint32_t fillColour) noexcept;
  ~PinholeCore();
  PinholeCore(const PinholeCore&) = delete;
  PinholeCore& operator=(const PinholeCore&) = delete;

  /// Runs the labelling pass and every fill pass. False when memory runs
  /// out; rows already painted stay in result, uncommitted.
  bool run() noexcept;

 private:
  enum : std::uint8_t { kOpen = 0, kConnected = 1, kDone = 2 };

  struct Segment {
    std::int32_t x;
    std::int32_t length;
    std::int32_t run;    // index of the run that is exactly this segment, or -1
    std::int32_t label;  // -1 none yet, 0 too large
    std::uint32_t area;
    std::uint8_t state;
  };

  struct Label {
    std::uint32_t inUse;
    std::int32_t pendingHead;  // first pending entry, -1 none
    std::int32_t pendingTail;
    std::int32_t renumbered;    // new number while renumbering
    std::uint32_t rangeTag[2];  // row + 1 that range [lo, hi] of this parity is for
    std::int32_t lo[2];
    std::int32_t hi[2];
    std::uint64_t sumStamp;
    std::uint64_t sum;
    std::uint64_t continuesStamp;
  };

  struct Pending {
    std::int32_t row;
    std::int32_t x;
    std::int32_t length;
    std::int32_t run;
    std::int32_t next;  // next entry of the same label, or of the free list; -1 none
  };

  bool init() noexcept;
  void buildNextRow(std::int32_t y) noexcept;
  void connect() noexcept;
  bool endBranches(std::int32_t y) noexcept;
  bool settleNextRow() noexcept;
  bool completeComponents(std::int32_t y) noexcept;

  std::uint32_t addArea(std::uint32_t a, std::uint32_t b) const noexcept {
    const std::uint64_t sum = static_cast<std::uint64_t>(a) + b;
    return sum > saturated_ ? saturated_ : static_cast<std::uint32_t>(sum);
  }
  void noteSegment(std::int32_t label, int parity, std::uint32_t tag, std::int32_t index) noexcept;
  void mergeLabels(std::int32_t into, std::int32_t from) noexcept;
  void dropLabel(std::int32_t label) noexcept;
  void freePendingList(std::int32_t label) noexcept;
  void freeLabel(std::int32_t label) noexcept;
  bool freshLabel(std::int32_t& label) noexcept;
  void renumberLabels() noexcept;
  bool addPending(std::int32_t label, std::int32_t row, const Segment& segment) noexcept;
  bool addSeed(const Seed& seed) noexcept;
  bool flushSeeds() noexcept;

  const LWRunRow* candidates_;
  ResultRows& result_;
  std::int32_t width_;
  std::uint32_t height_;
  std::uint64_t largest_;
  std::uint32_t saturated_;
  std::uint32_t target_;
  PinholeFill fill_;

  Segment* cur_ = nullptr;
  Segment* next_ = nullptr;
  std::uint32_t curCount_ = 0;
  std::uint32_t nextCount_ = 0;
  std::uint32_t curTag_ = 0;  // row + 1 of the current row (0 before the first row)
  std::uint32_t nextTag_ = 0;

  Label* labels_ = nullptr;
  std::uint32_t labelCapacity_ = 0;
  std::uint32_t labelStep_ = 0;
  std::int32_t nextLabel_ = 1;  // next number handed out

  Pending* pending_ = nullptr;
  std::uint32_t pendingCapacity_ = 0;
  std::uint32_t pendingStep_ = 0;
  std::uint32_t pendingUsed_ = 0;  // entries ever taken; those below may be on the free list
  std::int32_t pendingFree_ = -1;

  Seed* seeds_ = nullptr;
  std::uint32_t seedCapacity_ = 0;
  std::uint32_t seedStep_ = 0;
  std::uint32_t seedCount_ = 0;

  std::uint64_t stamp_ = 0;
  std::uint64_t continuesStamp_ = 0;  // stamp of the labels continuing below this row
  bool completing_ = false;           // some component ends in the current row
};

}  // namespace trellin
