// LWFilamentation: lines survive, areas thin to connected strokes, dots and
// line ends go in the clean-up.
#include <gtest/gtest.h>

#include <algorithm>

#include "TestImages.h"

namespace trellin::test {
namespace {

Gray thinned(const Gray& image, std::int32_t passes, bool cleanUp, std::int32_t passMode = 1) {
  Data data = setGray(image);
  EXPECT_EQ(LWFilamentation(data.get(), kBlack, passes, cleanUp ? 1 : 0, passMode), 1);
  return returnGray(data.get());
}

// A black line down column x from row y0 to before row y1, and a line of
// colour along row y from x0 to before x1.
void column(Gray& image, int x, int y0, int y1) {
  for (int y = y0; y < y1; ++y) image.at(x, y) = 0;
}
void row(Gray& image, int y, int x0, int x1, std::uint8_t colour = 0) {
  for (int x = x0; x < x1; ++x) image.at(x, y) = colour;
}

int areas(const Gray& image) {
  const std::vector<std::uint32_t> labels = labelAreas(image, 0, true);
  return static_cast<int>(*std::max_element(labels.begin(), labels.end()));
}

TEST(LWFilamentation, OnePixelLinesSurviveAnyNumberOfPasses) {
  // A vertical, a horizontal and two diagonal lines, rows 2 to 13.
  Gray lines(24, 16);
  column(lines, 2, 2, 14);
  row(lines, 9, 6, 20);
  for (int y = 2; y < 14; ++y) lines.at(4 + (y - 2), y) = lines.at(19 - (y - 2) / 3, y) = 0;
  // Without passes the clean-up does not run either.
  for (const std::int32_t passes : {0, 1, 4, 30})
    for (const std::int32_t mode : {0, 1})
      EXPECT_EQ(describeDifference(thinned(lines, passes, passes == 0, mode), lines), "")
          << passes << " passes, mode " << mode;
}

TEST(LWFilamentation, AreasThinToConnectedStrokes) {
  std::mt19937 random(9);
  for (int trial = 0; trial < 200; ++trial) {
    const int w = 8 + static_cast<int>(random() % 30), h = 8 + static_cast<int>(random() % 30);
    Gray image(w, h);
    for (int r = 1 + static_cast<int>(random() % 5); r > 0; --r) {
      const int x0 = static_cast<int>(random() % w), y0 = 2 + static_cast<int>(random() % (h - 4));
      const int x1 = x0 + static_cast<int>(random() % 12),
                y1 = y0 + static_cast<int>(random() % 12);
      for (int y = y0; y <= std::min(y1, h - 3); ++y) row(image, y, x0, std::min(x1 + 1, w));
    }
    const Gray out = thinned(image, 20, false);
    ASSERT_EQ(areas(out), areas(image)) << describeDifference(out, image);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        // Only black pixels change, and no 3 x 3 block of black is left.
        ASSERT_TRUE(image.at(x, y) == 0 || out.at(x, y) == image.at(x, y)) << x << "," << y;
        bool full = x >= 2 && y >= 2;
        for (int k = 0; k < 9 && full; ++k) full = out.at(x - k % 3, y - k / 3) == 0;
        ASSERT_FALSE(full) << "trial " << trial << "\n" << describeDifference(out, image);
      }
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

TEST(LWFilamentation, OuterTwoRowsSmallImagesAndDots) {
  EXPECT_EQ(LWFilamentation(nullptr, kBlack, 1, 1, 0), 0);
  const Gray out = thinned(Gray(9, 9, 0), 5, true, 0);
  for (int y : {0, 1, 7, 8})
    for (int x = 0; x < 9; ++x) EXPECT_EQ(out.at(x, y), 0) << x << "," << y;
  for (const int h : {1, 2, 4}) {
    Gray small(7, h, 0);
    small.at(3, 0) = 255;
    EXPECT_EQ(describeDifference(thinned(small, 3, true, 0), small), "") << "height " << h;
  }
  // Dots go in pass mode 0 or the clean-up, except in the two outer rows.
  Gray dot(7, 7), edge(7, 5);
  dot.at(3, 3) = edge.at(3, 1) = 0;
  EXPECT_EQ(describeDifference(thinned(dot, 1, false, 0), Gray(7, 7)), "");
  EXPECT_EQ(describeDifference(thinned(dot, 1, false, 1), dot), "");
  EXPECT_EQ(describeDifference(thinned(dot, 1, true, 1), Gray(7, 7)), "");
  EXPECT_EQ(describeDifference(thinned(edge, 1, true, 0), edge), "");
}

TEST(LWFilamentation, CleanUpRunsHalfThePassesRoundedUp) {
  // Each clean-up round takes one pixel off each end of a line.
  Gray line(5, 16);
  column(line, 2, 2, 14);
  for (const int passes : {1, 2, 3, 4}) {
    Gray expected(5, 16);
    column(expected, 2, 2 + (passes + 1) / 2, 14 - (passes + 1) / 2);
    EXPECT_EQ(describeDifference(thinned(line, passes, true), expected), "") << passes;
  }
  // A longer run hanging from a line gives up the pixel at its open end,
  // which at the image edge takes the colour above before the one below;
  // a run lying alone stays.
  Gray corner(10, 10, 255), expected(10, 10, 255), bar(10, 5);
  for (Gray* image : {&corner, &expected}) row(*image, 8, 0, 10, 100);
  column(corner, 2, 2, 8);
  row(corner, 7, 2, 10);
  column(expected, 2, 3, 8);
  row(expected, 7, 2, 9);
  EXPECT_EQ(describeDifference(thinned(corner, 1, true), expected), "");
  row(bar, 2, 2, 8);
  EXPECT_EQ(describeDifference(thinned(bar, 1, true), bar), "");
}

}  // namespace
}  // namespace trellin::test
