// Region search and region paint: the connectivity cases, and the run-array
// search against a walk along one list of remaining runs on random masks.
#include <gtest/gtest.h>

#include <list>
#include <random>
#include <vector>

#include "quillane/editing/mcRegionFill.h"
#include "quillane/editing/mcTargetRegionSearch.h"

namespace quillane {
namespace {

// The number of regions of a one-byte w x h mask of 255 with the listed
// pixels set to 0.
int32_t regionsOf(int w, int h, std::initializer_list<std::pair<int, int>> set,
                  std::vector<mcRegion>* out = nullptr) {
  std::vector<uint8_t> m(static_cast<size_t>(w) * h, 255);
  for (auto [x, y] : set) m[static_cast<size_t>(y) * w + x] = 0;
  std::vector<mcRegion> regions;
  return mcTargetRegionSearch().search(w, m.data(), h, w, out ? *out : regions);
}

std::array<int32_t, 4> box(const mcRegion& r) { return {r.left, r.top, r.right, r.bottom}; }

TEST(RegionSearch, Connectivity) {
  EXPECT_EQ(regionsOf(5, 5, {{1, 1}, {2, 2}}), 1);
  EXPECT_EQ(regionsOf(5, 5, {{2, 1}, {1, 2}}), 1);
  EXPECT_EQ(regionsOf(6, 3, {{1, 1}, {3, 1}}), 2);
  EXPECT_EQ(regionsOf(6, 3, {{1, 0}, {3, 0}, {2, 1}}), 1);
  EXPECT_EQ(regionsOf(7, 4, {}), 0);
  std::vector<mcRegion> regions;
  const std::vector<uint8_t> full(7 * 4, 17);
  ASSERT_EQ(mcTargetRegionSearch().search(7, full.data(), 4, 7, regions), 1);
  EXPECT_EQ(regions[0].area, 28);
  EXPECT_EQ(box(regions[0]), (std::array{0, 0, 7, 4}));
  const std::vector<uint8_t> transparent(6 * 2 * 3, 0);  // two bytes a pixel, alpha 0
  EXPECT_EQ(mcTargetRegionSearch().search(6, transparent.data(), 3, 12, regions), 0);
  EXPECT_TRUE(regions.empty());
}

TEST(RegionSearch, DarkestOriginAndRefusals) {
  const std::vector<uint8_t> m{255, 200, 100, 255, 255, 255, 255, 255};
  std::vector<mcRegion> regions;
  ASSERT_EQ(mcTargetRegionSearch().search(4, m.data(), 2, 4, regions, 10, 20), 1);
  EXPECT_EQ(regions[0].darkest, (std::array<uint8_t, 3>{100, 100, 100}));
  EXPECT_EQ(regions[0].runs[0], (mcRun{11, 20, 2}));
  EXPECT_EQ(box(regions[0]), (std::array{11, 20, 13, 21}));
  EXPECT_EQ(mcTargetRegionSearch().search(4, nullptr, 2, 4, regions), 0);
  EXPECT_EQ(mcTargetRegionSearch().search(4, m.data(), 2, 3, regions), 0);
  EXPECT_EQ(mcTargetRegionSearch().search(1, m.data(), 2, 5, regions), 0);  // 5 bytes a pixel
  // Two pixels a row in 4-byte rows, read as one byte a pixel when told so.
  const std::vector<uint8_t> narrow{0, 255, 7, 7, 255, 0, 7, 7};
  EXPECT_EQ(mcTargetRegionSearch().search(2, narrow.data(), 2, 4, regions, 0, 0, 1), 1);
}

// The search as a walk along one list of all remaining runs.
std::vector<mcRegion> referenceSearch(const uint8_t* p, int w, int h, int stride, int bpp) {
  struct R {
    int x, y, len;
    bool visited = false;
  };
  auto background = [&](int x, int y) {
    const uint8_t* q = p + y * stride + x * bpp;
    if ((bpp == 2 || bpp == 4) && q[bpp - 1] == 0) return true;
    return q[0] == 255 && (bpp < 3 || (q[1] == 255 && q[2] == 255));
  };
  std::list<R> remaining;
  for (int y = 0; y < h; ++y)
    for (int x = 0, e; x < w; x = e) {
      for (e = x; e < w && !background(e, y);) ++e;
      if (e > x)
        remaining.push_back({x, y, e - x});
      else
        ++e;
    }
  std::vector<mcRegion> out;
  while (!remaining.empty()) {
    mcRegion& region = out.emplace_back();
    std::list<std::list<R>::iterator> queue{remaining.begin()};
    while (!queue.empty()) {
      auto it = queue.front();
      queue.pop_front();
      const int y = it->y, a = it->x, b = it->x + it->len - 1;
      region.addRun({it->x, it->y, it->len});
      for (int x = a; x <= b; ++x) {
        const uint8_t* q = p + y * stride + x * bpp;
        const std::array<uint8_t, 3> c{q[0], bpp >= 3 ? q[1] : q[0], bpp >= 3 ? q[2] : q[0]};
        const auto& d = region.darkest;
        if (c != d &&
            0.299 * d[0] + 0.587 * d[1] + 0.114 * d[2] > 0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2])
          region.darkest = c;
      }
      for (auto back = it; back != remaining.begin();) {
        if ((--back)->y == y) continue;
        if (back->y != y - 1 || back->x + back->len <= a - 1) break;
        if (!back->visited && back->x <= b + 1) back->visited = true, queue.push_back(back);
      }
      for (auto fwd = std::next(it); fwd != remaining.end(); ++fwd) {
        if (fwd->y == y) continue;
        if (fwd->y != y + 1 || fwd->x > b + 1) break;
        if (!fwd->visited && fwd->x + fwd->len > a - 1) fwd->visited = true, queue.push_back(fwd);
      }
      remaining.erase(it);
    }
  }
  return out;
}

TEST(RegionSearch, MatchesAListWalkOnRandomMasks) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 400; ++trial) {
    const int bpp = 1 + trial % 4;
    const int w = 1 + static_cast<int>(rng() % 40), h = 1 + static_cast<int>(rng() % 30);
    const int stride = w * bpp + static_cast<int>(rng() % 3);
    const int density = static_cast<int>(rng() % 100);
    std::vector<uint8_t> m(static_cast<size_t>(stride) * h, 255);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        if (static_cast<int>(rng() % 100) >= density) continue;
        uint8_t* q = &m[y * stride + x * bpp];
        for (int c = 0; c < bpp; ++c) q[c] = static_cast<uint8_t>(rng() % 4 * 60);
        if (bpp == 2 || bpp == 4) q[bpp - 1] = static_cast<uint8_t>(rng() % 3 * 100);
      }
    std::vector<mcRegion> regions;
    mcTargetRegionSearch().search(w, m.data(), h, stride, regions, 0, 0, bpp);
    const std::vector<mcRegion> expected = referenceSearch(m.data(), w, h, stride, bpp);
    ASSERT_EQ(regions.size(), expected.size()) << "trial " << trial;
    for (size_t i = 0; i < regions.size(); ++i) {
      ASSERT_EQ(regions[i].runs, expected[i].runs) << "trial " << trial << " region " << i;
      EXPECT_EQ(regions[i].area, expected[i].area);
      EXPECT_EQ(regions[i].darkest, expected[i].darkest);
      EXPECT_EQ(box(regions[i]), box(expected[i]));
    }
  }
}

TEST(RegionFill, OddAndEvenBytesAPixel) {
  mcRegion region;
  region.addRun({11, 21, 2});
  std::vector<uint8_t> gray(4 * 2, 9), grayAlpha(3 * 2 * 2, 9), rgba(3 * 4 * 2, 9);
  ASSERT_TRUE(mcRegionFill().paint(4, gray.data(), 2, 4, region, 200, 77, 10, 20));
  EXPECT_EQ(gray, (std::vector<uint8_t>{9, 9, 9, 9, 9, 200, 200, 9}));
  ASSERT_TRUE(mcRegionFill().paint(3, grayAlpha.data(), 2, 6, region, 200, 77, 10, 20));
  EXPECT_EQ(std::vector<uint8_t>(grayAlpha.begin() + 6, grayAlpha.end()),
            (std::vector<uint8_t>{9, 9, 200, 77, 200, 77}));
  ASSERT_TRUE(mcRegionFill().paint(3, rgba.data(), 2, 12, region, 200, 77, 10, 20));
  EXPECT_EQ(std::vector<uint8_t>(rgba.begin() + 12, rgba.end()),
            (std::vector<uint8_t>{9, 9, 9, 9, 200, 200, 200, 77, 200, 200, 200, 77}));
  EXPECT_FALSE(mcRegionFill().paint(4, gray.data(), 2, 3, region, 1, 1, 10, 20));
}

}  // namespace
}  // namespace quillane
