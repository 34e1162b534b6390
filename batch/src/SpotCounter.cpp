// Counting 4-connected areas over runs; see SpotCounter.h.
#include "SpotCounter.h"

#include <cstring>
#include <utility>

namespace batch {

int32_t SpotCounter::find(int32_t label) {
  while (parent_[label] != label) {
    parent_[label] = parent_[parent_[label]];
    label = parent_[label];
  }
  return label;
}

void SpotCounter::unite(int32_t a, int32_t b) {
  a = find(a);
  b = find(b);
  if (a == b) return;
  if (a < b) std::swap(a, b);
  parent_[a] = b;
  ++merges_;
}

void SpotCounter::addRow(const uint8_t* flags, int32_t width) {
  current_.clear();
  int32_t x = 0;
  while (x < width) {
    // Skip unflagged pixels eight at a time: flagged pixels are rare.
    while (x + 8 <= width) {
      uint64_t word;
      std::memcpy(&word, flags + x, 8);
      if (word != 0) break;
      x += 8;
    }
    while (x < width && flags[x] == 0) ++x;
    if (x >= width) break;
    const int32_t first = x;
    while (x < width && flags[x] != 0) ++x;
    const auto label = static_cast<int32_t>(parent_.size());
    parent_.push_back(label);
    current_.push_back({first, x - 1, label});
  }

  // Both run lists are sorted by column: walk them together and join every
  // pair that overlaps.
  size_t a = 0;
  for (const Run& run : current_) {
    while (a < above_.size() && above_[a].last < run.first) ++a;
    for (size_t k = a; k < above_.size() && above_[k].first <= run.last; ++k)
      unite(run.label, above_[k].label);
  }
  std::swap(above_, current_);
}

}  // namespace batch
