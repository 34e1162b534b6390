// SpotCounter against a plain flood fill on many random small images.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "SpotCounter.h"

namespace batch {
namespace {

int64_t floodFillCount(std::vector<uint8_t> flags, int w, int h) {
  int64_t areas = 0;
  std::vector<int> stack;
  for (int start = 0; start < w * h; ++start) {
    if (!flags[start]) continue;
    ++areas;
    flags[start] = 0;
    stack.push_back(start);
    while (!stack.empty()) {
      const int p = stack.back();
      stack.pop_back();
      const int x = p % w, y = p / w;
      const int next[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
      for (const auto& n : next) {
        if (n[0] < 0 || n[0] >= w || n[1] < 0 || n[1] >= h) continue;
        const int q = n[1] * w + n[0];
        if (flags[q]) {
          flags[q] = 0;
          stack.push_back(q);
        }
      }
    }
  }
  return areas;
}

TEST(SpotCounter, CountsTheFourConnectedAreasOfAFloodFill) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 3000; ++trial) {
    const int w = 1 + static_cast<int>(rng() % 40), h = 1 + static_cast<int>(rng() % 12);
    const unsigned density = 1 + rng() % 9;  // tenths flagged
    std::vector<uint8_t> flags(static_cast<size_t>(w * h));
    for (auto& f : flags) f = rng() % 10 < density ? static_cast<uint8_t>(1 + rng() % 255) : 0;
    SpotCounter counter;
    for (int y = 0; y < h; ++y) counter.addRow(&flags[static_cast<size_t>(y * w)], w);
    ASSERT_EQ(counter.count(), floodFillCount(flags, w, h)) << "trial " << trial;
  }
}

TEST(SpotCounter, DiagonalNeighboursAreSeparateAreas) {
  const uint8_t rows[3][3] = {{1, 0, 1}, {0, 1, 0}, {1, 0, 1}};
  SpotCounter counter;
  for (const auto& row : rows) counter.addRow(row, 3);
  EXPECT_EQ(counter.count(), 5);
}

}  // namespace
}  // namespace batch
