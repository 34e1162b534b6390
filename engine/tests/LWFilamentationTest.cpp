// LWFilamentation on drawn cases: lines survive, areas thin, dots and line
// ends go in the clean-up.
#include <gtest/gtest.h>

#include <algorithm>

#include "TestImages.h"

namespace trellin::test {
namespace {

constexpr std::int32_t kBlack = imageValue(0);

Gray thinned(const Gray& image, std::int32_t passes, bool cleanUp, std::int32_t passMode = 1) {
  Data data = setGray(image);
  EXPECT_EQ(LWFilamentation(data.get(), kBlack, passes, cleanUp ? 1 : 0, passMode), 1);
  return returnGray(data.get());
}

Gray lines() {
  // A vertical, a horizontal and two diagonal one-pixel lines, rows 2 to 13.
  Gray image(24, 16);
  for (int y = 2; y < 14; ++y) {
    image.at(2, y) = 0;
    image.at(4 + (y - 2), y) = 0;
    image.at(19 - (y - 2) / 3, y) = 0;
  }
  for (int x = 6; x < 20; ++x) image.at(x, 9) = 0;
  return image;
}

TEST(LWFilamentation, OnePixelLinesSurviveAnyNumberOfPasses) {
  const Gray image = lines();
  for (const std::int32_t passes : {1, 4, 30})
    for (const std::int32_t mode : {0, 1})
      EXPECT_EQ(describeDifference(thinned(image, passes, false, mode), image), "")
          << passes << " passes, mode " << mode;
}

// Number of 8-connected areas of black.
int areas(const Gray& image) {
  std::vector<std::uint8_t> seen(image.pixels.size(), 0);
  int count = 0;
  for (int start = 0; start < static_cast<int>(seen.size()); ++start) {
    if (seen[start] || image.pixels[start] != 0) continue;
    ++count;
    std::vector<int> todo{start};
    seen[start] = 1;
    while (!todo.empty()) {
      const int p = todo.back();
      todo.pop_back();
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const int x = p % image.width + dx, y = p / image.width + dy;
          if (x < 0 || y < 0 || x >= image.width || y >= image.height) continue;
          const int q = y * image.width + x;
          if (!seen[q] && image.pixels[q] == 0) seen[q] = 1, todo.push_back(q);
        }
    }
  }
  return count;
}

TEST(LWFilamentation, AreasThinToConnectedStrokes) {
  const std::vector<std::vector<std::string>> shapes = {
      {"...........", "...........", "..#######..", "..#######..", "..#######..", "..#######..",
       "..#######..", "..#######..", "..#######..", "...........", "..........."},
      {"..................", "..................", ".################.", ".################.",
       ".################.", "..................", ".................."},
      {"..........", "..........", "..####....", "..####....", "..####....", "..########",
       "..########", "..########", "..........", ".........."}};
  for (const auto& rows : shapes) {
    const Gray image = parseGray(rows);
    const Gray out = thinned(image, 10, false);
    EXPECT_EQ(areas(out), 1) << describeDifference(out, image);
    int black = 0;
    for (int y = 0; y < image.height; ++y)
      for (int x = 0; x < image.width; ++x) {
        // Only black pixels change, and they take a neighbour's colour.
        if (image.at(x, y) != 0) {
          ASSERT_EQ(out.at(x, y), image.at(x, y));
        }
        black += out.at(x, y) == 0;
        // No 3 x 3 block of black is left.
        if (x >= 2 && y >= 2) {
          bool full = true;
          for (int dy = 0; dy < 3; ++dy)
            for (int dx = 0; dx < 3; ++dx) full = full && out.at(x - dx, y - dy) == 0;
          EXPECT_FALSE(full) << describeDifference(out, image);
        }
      }
    EXPECT_GT(black, 2);
  }
}

TEST(LWFilamentation, ThinningKeepsAreasConnected) {
  std::mt19937 random(9);
  for (int trial = 0; trial < 200; ++trial) {
    const int w = 8 + static_cast<int>(random() % 30), h = 8 + static_cast<int>(random() % 30);
    Gray image(w, h);
    for (int r = 1 + static_cast<int>(random() % 5); r > 0; --r) {
      const int x0 = static_cast<int>(random() % w), y0 = 2 + static_cast<int>(random() % (h - 4));
      const int x1 = x0 + static_cast<int>(random() % 12),
                y1 = y0 + static_cast<int>(random() % 12);
      for (int y = y0; y <= std::min(y1, h - 3); ++y)
        for (int x = x0; x <= std::min(x1, w - 1); ++x) image.at(x, y) = 0;
    }
    const Gray out = thinned(image, 20, false);
    ASSERT_EQ(areas(out), areas(image)) << describeDifference(out, image);
  }
}

TEST(LWFilamentation, PeeledPixelsTakeTheColourBesideThem) {
  const Gray out = thinned(
      parseGray({"2222222", "1222223", "1#####3", "1#####3", "1#####3", "1222223", "2222222"}), 1,
      false);
  // The middle row is the line of the three-row stroke and keeps its ends.
  EXPECT_EQ(describeDifference(out, parseGray({"2222222", "1222223", "11###33", "1#####3",
                                               "11###33", "1222223", "2222222"})),
            "");
}

TEST(LWFilamentation, OuterTwoRowsAndSmallImagesStayUnchanged) {
  Gray full(9, 9, 0);
  const Gray out = thinned(full, 5, true, 0);
  for (int y : {0, 1, 7, 8})
    for (int x = 0; x < 9; ++x) EXPECT_EQ(out.at(x, y), 0) << x << "," << y;
  for (const int h : {1, 2, 4}) {
    Gray small(7, h, 0);
    small.at(3, 0) = 255;
    EXPECT_EQ(describeDifference(thinned(small, 3, true, 0), small), "") << "height " << h;
  }
  EXPECT_EQ(LWFilamentation(nullptr, kBlack, 1, 1, 0), 0);
  const Gray image = lines();
  EXPECT_EQ(describeDifference(thinned(image, 0, true, 0), image), "");
}

TEST(LWFilamentation, DotsGoInPassModeZeroOrTheCleanUp) {
  const Gray dot =
      parseGray({".......", ".......", ".......", "...#...", ".......", ".......", "......."});
  const Gray empty(7, 7);
  EXPECT_EQ(describeDifference(thinned(dot, 1, false, 0), empty), "");
  EXPECT_EQ(describeDifference(thinned(dot, 1, false, 1), dot), "");
  EXPECT_EQ(describeDifference(thinned(dot, 1, true, 1), empty), "");
  // A dot in the two outer rows stays.
  const Gray edge = parseGray({".......", "...#...", ".......", ".......", "......."});
  EXPECT_EQ(describeDifference(thinned(edge, 1, true, 0), edge), "");
}

TEST(LWFilamentation, CleanUpRunsHalfThePassesRoundedUp) {
  // Each clean-up round takes one pixel off each end of a line.
  Gray line(5, 16);
  for (int y = 2; y < 14; ++y) line.at(2, y) = 0;
  const auto shortened = [&](int by) {
    Gray expected(5, 16);
    for (int y = 2 + by; y < 14 - by; ++y) expected.at(2, y) = 0;
    return expected;
  };
  EXPECT_EQ(describeDifference(thinned(line, 1, true), shortened(1)), "");
  EXPECT_EQ(describeDifference(thinned(line, 2, true), shortened(1)), "");
  EXPECT_EQ(describeDifference(thinned(line, 3, true), shortened(2)), "");
  EXPECT_EQ(describeDifference(thinned(line, 4, true), shortened(2)), "");
  // A longer run hanging from a line gives up the pixel at its open end;
  // one lying alone stays.
  const Gray corner =
      parseGray({"............", "............", "..#.........", "..#.........", "..#.........",
                 "..#.........", "..#.........", "..########..", "............", "............"});
  EXPECT_EQ(
      describeDifference(thinned(corner, 1, true),
                         parseGray({"............", "............", "............", "..#.........",
                                    "..#.........", "..#.........", "..#.........", "..#######...",
                                    "............", "............"})),
      "");
  const Gray bar =
      parseGray({"..........", "..........", "..######..", "..........", ".........."});
  EXPECT_EQ(describeDifference(thinned(bar, 1, true), bar), "");
}

}  // namespace
}  // namespace trellin::test
