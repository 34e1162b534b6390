#include "PinholeCore.h"

#include <algorithm>
#include <cstring>

#include "Allocation.h"

namespace trellin {
namespace {

constexpr std::uint32_t kWideImage = 10000;
constexpr std::uint32_t kNarrowStep = 1000;

// Grows array from capacity to capacity + step entries, keeping the first
// `keep` entries. False (array unchanged) when memory runs out.
template <class T>
bool growArray(T*& array, std::uint32_t& capacity, std::uint32_t step,
               std::uint32_t keep) noexcept {
  if (capacity > UINT32_MAX - step) return false;
  T* grown = allocateArray<T>(static_cast<std::size_t>(capacity) + step);
  if (!grown) return false;
  if (keep) std::memcpy(static_cast<void*>(grown), array, sizeof(T) * keep);
  releaseBytes(array);
  array = grown;
  capacity += step;
  return true;
}

}  // namespace

PinholeCore::PinholeCore(const LWRunRow* candidates, ResultRows& result, std::int32_t width,
                         std::uint32_t height, std::int32_t largestArea, std::uint32_t targetColour,
                         std::uint32_t fillColour) noexcept
    : candidates_(candidates),
      result_(result),
      width_(width),
      height_(height),
      largest_(static_cast<std::uint64_t>(largestArea)),
      saturated_(static_cast<std::uint32_t>(largestArea) + 1),
      target_(targetColour),
      fill_(candidates, result, width, targetColour, fillColour) {}

PinholeCore::~PinholeCore() {
  releaseBytes(cur_);
  releaseBytes(next_);
  releaseBytes(labels_);
  releaseBytes(pending_);
  releaseBytes(seeds_);
}

bool PinholeCore::init() noexcept {
  const std::uint32_t w = static_cast<std::uint32_t>(width_);
  const bool wide = w >= kWideImage;
  seedStep_ = wide ? w / 2 : kNarrowStep;
  pendingStep_ = wide ? w / 10 : kNarrowStep;
  labelStep_ = wide ? w / 5 : kNarrowStep;

  const std::size_t segments = w / 2 + 1;  // target spans are at least one pixel apart
  cur_ = allocateArray<Segment>(segments);
  next_ = allocateArray<Segment>(segments);
  if (!cur_ || !next_ || !fill_.init()) return false;
  return growArray(labels_, labelCapacity_, labelStep_, 0) &&
         growArray(pending_, pendingCapacity_, pendingStep_, 0) &&
         growArray(seeds_, seedCapacity_, seedStep_, 0);
}

bool PinholeCore::run() noexcept {
  if (!init()) return false;
  for (std::int32_t y = -1; y < static_cast<std::int32_t>(height_); ++y) {
    // Row y is the current row, y + 1 the next one.
    curTag_ = static_cast<std::uint32_t>(y + 1);
    nextTag_ = curTag_ + 1;
    buildNextRow(y + 1);
    connect();
    if (!endBranches(y) || !settleNextRow() || !completeComponents(y)) return false;
    std::swap(cur_, next_);
    curCount_ = nextCount_;
  }
  return flushSeeds();
}

void PinholeCore::buildNextRow(std::int32_t y) noexcept {
  nextCount_ = 0;
  if (y >= static_cast<std::int32_t>(height_)) return;
  const LWRunRow& row = candidates_[y];
  if (!row.runs || row.count == 0) {
    if (target_ == 0)
      next_[nextCount_++] =
          Segment{0, width_, -1, -1, addArea(0, static_cast<std::uint32_t>(width_)), kOpen};
    return;
  }
  // Maximal spans of the target colour, whatever the runs' attributes.
  std::uint32_t count = 0;
  std::int32_t x = 0;
  bool open = false;
  for (const LWRun *run = row.runs, *end = row.runs + row.count; run != end; ++run) {
    const std::int32_t length = static_cast<std::int32_t>(run->length);
    if (run->value == target_) {
      if (open) {
        next_[count - 1].length += length;
        next_[count - 1].run = -1;
      } else {
        next_[count++] =
            Segment{x, length, static_cast<std::int32_t>(run - row.runs), -1, 0, kOpen};
      }
      open = true;
    } else {
      open = false;
    }
    x += length;
  }
  for (std::uint32_t i = 0; i < count; ++i)
    next_[i].area = addArea(0, static_cast<std::uint32_t>(next_[i].length));
  nextCount_ = count;
}

// Links each next-row segment to the current-row segments it overlaps; the
// area of the row above flows down into the next row.
void PinholeCore::connect() noexcept {
  // Labels of current segments that continue downward are stamped for
  // endBranches(); a label merged away later leaves no segment behind.
  continuesStamp_ = ++stamp_;
  std::uint32_t first = 0;  // first current segment that may overlap
  for (std::uint32_t j = 0; j < nextCount_; ++j) {
    Segment& n = next_[j];
    const std::int32_t end = n.x + n.length;
    while (first < curCount_ && cur_[first].x + cur_[first].length <= n.x) ++first;
    bool linked = false;
    for (std::uint32_t k = first; k < curCount_ && cur_[k].x < end; ++k) {
      Segment& c = cur_[k];
      c.state = kConnected;
      n.area = addArea(n.area, c.area);
      c.area = 0;
      if (c.label > 0) labels_[c.label].continuesStamp = continuesStamp_;
      if (!linked) {
        linked = true;
        n.state = kConnected;
        n.label = c.label;
        if (n.label > 0) noteSegment(n.label, nextTag_ & 1, nextTag_, static_cast<std::int32_t>(j));
      } else if (c.label != n.label) {
        if (c.label > 0 && n.label > 0)
          mergeLabels(n.label, c.label);
        else
          dropLabel(n.label > 0 ? n.label : c.label);
      }
    }
    if (!linked && n.area > largest_) {
      n.state = kDone;
      n.label = 0;
    }
  }
}

// A current segment with nothing below it whose component goes on through
// another segment is a bottom end: it becomes a pending entry and its area
// moves to the component's first segment in the next row. When no segment
// of the component continues, the component is complete: its segments stay
// open and their areas are summed for completeComponents().
bool PinholeCore::endBranches(std::int32_t y) noexcept {
  const std::uint64_t continues = continuesStamp_;
  const std::uint64_t stamp = ++stamp_;  // sums of completed components
  const int parity = nextTag_ & 1;
  completing_ = false;
  for (std::uint32_t i = 0; i < curCount_; ++i) {
    Segment& c = cur_[i];
    if (c.state != kOpen || c.label <= 0) {
      c.state = kDone;
      continue;
    }
    Label& label = labels_[c.label];
    if (label.continuesStamp == continues) {
      c.state = kDone;
      if (!addPending(c.label, y, c)) return false;
      Segment& below = next_[labels_[c.label].lo[parity]];
      below.area = addArea(below.area, c.area);
      c.area = 0;
    } else {
      if (label.sumStamp != stamp) {
        label.sumStamp = stamp;
        label.sum = 0;
      }
      label.sum += c.area;
      completing_ = true;
    }
  }
  return true;
}

// Sums each continuing component over the next row and drops those grown
// too large; new components get fresh labels.
bool PinholeCore::settleNextRow() noexcept {
  const std::uint64_t stamp = ++stamp_;
  for (std::uint32_t j = 0; j < nextCount_; ++j) {
    const Segment& n = next_[j];
    if (n.state != kConnected || n.label <= 0) continue;
    Label& label = labels_[n.label];
    if (label.sumStamp != stamp) {
      label.sumStamp = stamp;
      label.sum = 0;
    }
    label.sum += n.area;
  }
  for (std::uint32_t j = 0; j < nextCount_; ++j) {
    Segment& n = next_[j];
    if (n.state == kConnected && n.label > 0) {
      if (labels_[n.label].sum > largest_)
        dropLabel(n.label);  // sets n to label 0, done
      else
        n.state = kOpen;  // open again as a current segment in the next step
    } else if (n.state == kOpen) {
      std::int32_t label;
      if (!freshLabel(label)) return false;
      n.label = label;
      noteSegment(label, nextTag_ & 1, nextTag_, static_cast<std::int32_t>(j));
    }
  }
  return true;
}

// A current segment still open with a live label has nothing below it and
// neither has the rest of its component: the component is complete. Small
// enough, its bottom ends become fill seeds; its label is freed either way.
bool PinholeCore::completeComponents(std::int32_t y) noexcept {
  if (!completing_) return true;
  for (std::uint32_t i = 0; i < curCount_; ++i) {
    Segment& c = cur_[i];
    if (c.state != kOpen || c.label <= 0) continue;
    Label& label = labels_[c.label];
    const bool small = label.sum <= largest_;
    if (label.inUse) {  // first segment of this component in the row
      if (small) {
        for (std::int32_t e = label.pendingHead; e >= 0; e = pending_[e].next)
          if (!addSeed(Seed{pending_[e].row, pending_[e].x, pending_[e].length, pending_[e].run}))
            return false;
      }
      freePendingList(c.label);
      freeLabel(c.label);
    }
    c.state = kDone;
    if (small) {
      if (!addSeed(Seed{y, c.x, c.length, c.run})) return false;
    } else {
      c.label = 0;
    }
  }
  return true;
}

void PinholeCore::noteSegment(std::int32_t label, int parity, std::uint32_t tag,
                              std::int32_t index) noexcept {
  Label& entry = labels_[label];
  if (entry.rangeTag[parity] != tag) {
    entry.rangeTag[parity] = tag;
    entry.lo[parity] = entry.hi[parity] = index;
  } else {
    entry.lo[parity] = std::min(entry.lo[parity], index);
    entry.hi[parity] = std::max(entry.hi[parity], index);
  }
}

// Gives every segment and pending entry of `from` the label `into`.
void PinholeCore::mergeLabels(std::int32_t into, std::int32_t from) noexcept {
  Label& source = labels_[from];
  const std::uint32_t tags[2] = {curTag_, nextTag_};
  Segment* rows[2] = {cur_, next_};
  for (int r = 0; r < 2; ++r) {
    const int parity = tags[r] & 1;
    if (source.rangeTag[parity] != tags[r]) continue;
    for (std::int32_t i = source.lo[parity]; i <= source.hi[parity]; ++i)
      if (rows[r][i].label == from) rows[r][i].label = into;
    noteSegment(into, parity, tags[r], source.lo[parity]);
    noteSegment(into, parity, tags[r], source.hi[parity]);
  }
  Label& target = labels_[into];
  if (source.pendingHead >= 0) {
    if (target.pendingHead < 0)
      target.pendingHead = source.pendingHead;
    else
      pending_[target.pendingTail].next = source.pendingHead;
    target.pendingTail = source.pendingTail;
    source.pendingHead = -1;
  }
  freeLabel(from);
}

// The component of `label` is too large: its segments in both rows get label
// 0 and are done, its pending entries are dropped and the label is freed.
void PinholeCore::dropLabel(std::int32_t label) noexcept {
  Label& entry = labels_[label];
  const std::uint32_t tags[2] = {curTag_, nextTag_};
  Segment* rows[2] = {cur_, next_};
  for (int r = 0; r < 2; ++r) {
    const int parity = tags[r] & 1;
    if (entry.rangeTag[parity] != tags[r]) continue;
    for (std::int32_t i = entry.lo[parity]; i <= entry.hi[parity]; ++i) {
      if (rows[r][i].label == label) {
        rows[r][i].label = 0;
        rows[r][i].state = kDone;
      }
    }
  }
  freePendingList(label);
  freeLabel(label);
}

void PinholeCore::freePendingList(std::int32_t label) noexcept {
  Label& entry = labels_[label];
  if (entry.pendingHead < 0) return;
  pending_[entry.pendingTail].next = pendingFree_;
  pendingFree_ = entry.pendingHead;
  entry.pendingHead = -1;
}

void PinholeCore::freeLabel(std::int32_t label) noexcept { labels_[label].inUse = 0; }

bool PinholeCore::freshLabel(std::int32_t& label) noexcept {
  if (static_cast<std::uint32_t>(nextLabel_) >= labelCapacity_) {
    renumberLabels();
    if (static_cast<std::uint32_t>(nextLabel_) >= labelCapacity_ &&
        (labelCapacity_ > static_cast<std::uint32_t>(INT32_MAX) - labelStep_ ||
         !growArray(labels_, labelCapacity_, labelStep_, labelCapacity_)))
      return false;
  }
  label = nextLabel_++;
  Label& entry = labels_[label];
  entry = Label{};
  entry.inUse = 1;
  entry.pendingHead = entry.pendingTail = -1;
  return true;
}

// Moves the highest labels in use into the lowest free numbers, so that the
// labels in use are 1..n, and updates the segments of both rows.
void PinholeCore::renumberLabels() noexcept {
  std::int32_t low = 1;
  std::int32_t high = nextLabel_ - 1;
  for (std::int32_t l = 1; l < nextLabel_; ++l) labels_[l].renumbered = 0;
  for (;;) {
    while (low < high && labels_[low].inUse) ++low;
    while (high > low && !labels_[high].inUse) --high;
    if (low >= high) break;
    labels_[low] = labels_[high];
    labels_[high].inUse = 0;
    labels_[high].renumbered = low;
    ++low;
    --high;
  }
  // The labels in use are now 1 .. low - 1, and low itself when in use.
  const std::int32_t oldNext = nextLabel_;
  const std::int32_t count = low < oldNext && labels_[low].inUse ? low : low - 1;
  nextLabel_ = count + 1;
  Segment* rows[2] = {cur_, next_};
  const std::uint32_t counts[2] = {curCount_, nextCount_};
  for (int r = 0; r < 2; ++r)
    for (std::uint32_t i = 0; i < counts[r]; ++i) {
      std::int32_t& l = rows[r][i].label;
      if (l >= nextLabel_ && l < oldNext) l = labels_[l].renumbered;
    }
}

bool PinholeCore::addPending(std::int32_t label, std::int32_t row,
                             const Segment& segment) noexcept {
  std::int32_t e = pendingFree_;
  if (e >= 0) {
    pendingFree_ = pending_[e].next;
  } else {
    if (pendingUsed_ == pendingCapacity_ &&
        (pendingCapacity_ > static_cast<std::uint32_t>(INT32_MAX) - pendingStep_ ||
         !growArray(pending_, pendingCapacity_, pendingStep_, pendingUsed_)))
      return false;
    e = static_cast<std::int32_t>(pendingUsed_++);
  }
  pending_[e] = Pending{row, segment.x, segment.length, segment.run, -1};
  Label& entry = labels_[label];
  if (entry.pendingHead < 0)
    entry.pendingHead = e;
  else
    pending_[entry.pendingTail].next = e;
  entry.pendingTail = e;
  return true;
}

bool PinholeCore::addSeed(const Seed& seed) noexcept {
  if (seedCount_ == seedCapacity_) {
    // Full: paint what is collected, then make room for more.
    if (!flushSeeds() || !growArray(seeds_, seedCapacity_, seedStep_, 0)) return false;
  }
  seeds_[seedCount_++] = seed;
  return true;
}

bool PinholeCore::flushSeeds() noexcept {
  if (seedCount_ == 0) return true;
  const bool painted = fill_.run(seeds_, seedCount_);
  seedCount_ = 0;
  return painted;
}

}  // namespace trellin
