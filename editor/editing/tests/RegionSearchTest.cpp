// Region search and region paint: the listed connectivity cases, and the
// run-array search against a walk along a remaining-run list on random masks.
#include <gtest/gtest.h>

#include <cstring>
#include <list>
#include <random>
#include <vector>

#include "quillane/editing/mcRegionFill.h"
#include "quillane/editing/mcTargetRegionSearch.h"

namespace quillane {
namespace {

// A one-byte mask of 255 with the listed pixels set to value.
std::vector<uint8_t> mask(int w, int h, std::initializer_list<std::pair<int, int>> set,
                          uint8_t value = 0) {
  std::vector<uint8_t> m(static_cast<size_t>(w) * h, 255);
  for (auto [x, y] : set) m[static_cast<size_t>(y) * w + x] = value;
  return m;
}

int32_t count(const std::vector<uint8_t>& m, int w, int h, std::vector<mcRegion>& regions) {
  return mcTargetRegionSearch().search(w, m.data(), h, w, regions);
}

TEST(RegionSearch, CornerContactJoinsAndAGapSeparates) {
  std::vector<mcRegion> regions;
  EXPECT_EQ(count(mask(5, 5, {{1, 1}, {2, 2}}), 5, 5, regions), 1);
  EXPECT_EQ(regions[0].area, 2);
  EXPECT_EQ(count(mask(5, 5, {{2, 1}, {1, 2}}), 5, 5, regions), 1);  // anti-diagonal
  EXPECT_EQ(count(mask(6, 3, {{1, 1}, {3, 1}}), 6, 3, regions), 2);
  // Two runs of one row joined through the row below form one region.
  EXPECT_EQ(count(mask(6, 3, {{1, 0}, {3, 0}, {2, 1}}), 6, 3, regions), 1);
}

TEST(RegionSearch, EmptyAndFullMasks) {
  std::vector<mcRegion> regions(3);
  EXPECT_EQ(count(mask(7, 4, {}), 7, 4, regions), 0);
  EXPECT_TRUE(regions.empty());
  const std::vector<uint8_t> full(7 * 4, 17);
  ASSERT_EQ(count(full, 7, 4, regions), 1);
  EXPECT_EQ(regions[0].area, 28);
  EXPECT_EQ((std::array{regions[0].left, regions[0].top, regions[0].right, regions[0].bottom}),
            (std::array{0, 0, 7, 4}));
}

TEST(RegionSearch, AlphaAndColourBackground) {
  std::vector<mcRegion> regions;
  // Two bytes a pixel, alpha 0 everywhere: all background.
  const std::vector<uint8_t> transparent(6 * 2 * 3, 0);
  EXPECT_EQ(mcTargetRegionSearch().search(6, transparent.data(), 3, 12, regions), 0);
  // Three bytes a pixel: only (255, 255, 255) is background.
  std::vector<uint8_t> rgb(4 * 3, 255);
  rgb[3 + 2] = 254;  // pixel 1 has its third byte below 255
  ASSERT_EQ(mcTargetRegionSearch().search(4, rgb.data(), 1, 12, regions), 1);
  EXPECT_EQ(regions[0].runs[0], (mcRun{1, 0, 1}));
}

TEST(RegionSearch, DarkestOriginAndRefusals) {
  std::vector<uint8_t> m = mask(4, 2, {{1, 0}}, 200);
  m[2] = 100;
  std::vector<mcRegion> regions;
  ASSERT_EQ(mcTargetRegionSearch().search(4, m.data(), 2, 4, regions, 10, 20), 1);
  EXPECT_EQ(regions[0].darkest, (std::array<uint8_t, 3>{100, 100, 100}));
  EXPECT_EQ(regions[0].runs[0], (mcRun{11, 20, 2}));
  EXPECT_EQ((std::array{regions[0].left, regions[0].top, regions[0].right, regions[0].bottom}),
            (std::array{11, 20, 13, 21}));

  EXPECT_EQ(mcTargetRegionSearch().search(4, nullptr, 2, 4, regions), 0);
  EXPECT_EQ(mcTargetRegionSearch().search(4, m.data(), 2, 3, regions), 0);  // stride < width
  EXPECT_EQ(mcTargetRegionSearch().search(1, m.data(), 2, 5, regions), 0);  // 5 bytes a pixel
  // A mask of width 2 with 4-byte rows read as one byte a pixel when told so.
  const std::vector<uint8_t> narrow{0, 255, 7, 7, 255, 0, 7, 7};
  EXPECT_EQ(mcTargetRegionSearch().search(2, narrow.data(), 2, 4, regions, 0, 0, 1), 1);
}

// The search as a walk along one list of all remaining runs.
std::vector<mcRegion> referenceSearch(const uint8_t* p, int w, int h, int stride, int bpp) {
  struct R {
    int x, y, len;
    bool visited = false;
  };
  std::list<R> remaining;
  auto background = [&](const uint8_t* q) {
    if ((bpp == 2 || bpp == 4) && q[bpp - 1] == 0) return true;
    if (bpp >= 3) return q[0] == 255 && q[1] == 255 && q[2] == 255;
    return q[0] == 255;
  };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w;) {
      if (background(p + y * stride + x * bpp)) {
        ++x;
        continue;
      }
      int e = x;
      while (e < w && !background(p + y * stride + e * bpp)) ++e;
      remaining.push_back({x, y, e - x});
      x = e;
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
      for (int i = 0; i < it->len; ++i) {
        const uint8_t* q = p + y * stride + (a + i) * bpp;
        const std::array<uint8_t, 3> c =
            bpp >= 3 ? std::array{q[0], q[1], q[2]} : std::array{q[0], q[0], q[0]};
        const auto& d = region.darkest;
        if (c != d &&
            0.299 * d[0] + 0.587 * d[1] + 0.114 * d[2] > 0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2])
          region.darkest = c;
      }
      for (auto back = it; back != remaining.begin();) {
        --back;
        if (back->y == y) continue;
        if (back->y != y - 1 || back->x + back->len <= a - 1) break;
        if (back->visited || back->x > b + 1) continue;
        back->visited = true;
        queue.push_back(back);
      }
      for (auto fwd = std::next(it); fwd != remaining.end(); ++fwd) {
        if (fwd->y == y) continue;
        if (fwd->y != y + 1 || fwd->x > b + 1) break;
        if (fwd->visited || fwd->x + fwd->len <= a - 1) continue;
        fwd->visited = true;
        queue.push_back(fwd);
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
        uint8_t* q = &m[y * stride + x * bpp];
        if (static_cast<int>(rng() % 100) < density) {
          for (int c = 0; c < bpp; ++c) q[c] = static_cast<uint8_t>(rng() % 4 * 60);
          if (bpp == 2 || bpp == 4) q[bpp - 1] = static_cast<uint8_t>(rng() % 3 * 100);
        }
      }
    std::vector<mcRegion> regions;
    mcTargetRegionSearch().search(w, m.data(), h, stride, regions, 0, 0, bpp);
    const std::vector<mcRegion> expected = referenceSearch(m.data(), w, h, stride, bpp);
    ASSERT_EQ(regions.size(), expected.size()) << "trial " << trial;
    for (size_t i = 0; i < regions.size(); ++i) {
      ASSERT_EQ(regions[i].runs, expected[i].runs) << "trial " << trial << " region " << i;
      EXPECT_EQ(regions[i].area, expected[i].area);
      EXPECT_EQ(regions[i].darkest, expected[i].darkest);
      EXPECT_EQ(
          (std::array{regions[i].left, regions[i].top, regions[i].right, regions[i].bottom}),
          (std::array{expected[i].left, expected[i].top, expected[i].right, expected[i].bottom}));
    }
  }
}

TEST(RegionFill, OddAndEvenBytesAPixel) {
  mcRegion region;
  region.addRun({11, 21, 2});
  std::vector<uint8_t> gray(4 * 3, 9);
  ASSERT_TRUE(mcRegionFill().paint(4, gray.data(), 3, 4, region, 200, 77, 10, 20));
  EXPECT_EQ(gray, (std::vector<uint8_t>{9, 9, 9, 9, 9, 200, 200, 9, 9, 9, 9, 9}));

  std::vector<uint8_t> rgb(3 * 4 * 2, 9);
  ASSERT_TRUE(mcRegionFill().paint(4, rgb.data(), 2, 12, region, 200, 77, 10, 20));
  EXPECT_EQ(std::vector<uint8_t>(rgb.begin() + 12, rgb.end()),
            (std::vector<uint8_t>{9, 9, 9, 200, 200, 200, 200, 200, 200, 9, 9, 9}));

  std::vector<uint8_t> rgba(4 * 3 * 2, 9);
  ASSERT_TRUE(mcRegionFill().paint(3, rgba.data(), 2, 12, region, 200, 77, 10, 20));
  EXPECT_EQ(std::vector<uint8_t>(rgba.begin() + 12, rgba.end()),
            (std::vector<uint8_t>{9, 9, 9, 9, 200, 200, 200, 77, 200, 200, 200, 77}));

  std::vector<uint8_t> grayAlpha(2 * 3 * 2, 9);
  ASSERT_TRUE(mcRegionFill().paint(3, grayAlpha.data(), 2, 6, region, 200, 77, 10, 20));
  EXPECT_EQ(std::vector<uint8_t>(grayAlpha.begin() + 6, grayAlpha.end()),
            (std::vector<uint8_t>{9, 9, 200, 77, 200, 77}));

  EXPECT_FALSE(mcRegionFill().paint(4, gray.data(), 3, 3, region, 1, 1, 10, 20));
  EXPECT_FALSE(mcRegionFill().paint(4, nullptr, 3, 4, region, 1, 1, 10, 20));
}

}  // namespace
}  // namespace quillane
