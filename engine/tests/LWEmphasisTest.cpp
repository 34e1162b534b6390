// LWEmphasizeDataSkipping against a pixel model of the block reduction, and
// LWColorEmphasize, which scales the reduction back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "TestImages.h"

namespace trellin::test {
namespace {

// LWColorEmphasize with scaleBack, else LWEmphasizeDataSkipping.
Gray reduced(const Gray& image, double factor, bool scaleBack) {
  Data data = setGray(image);
  EXPECT_EQ((scaleBack ? LWColorEmphasize : LWEmphasizeDataSkipping)(data.get(), kBlack, factor),
            1);
  return returnGray(data.get());
}

// Block ends of the grid: an accumulator adds factor for each pixel and a
// block ends before each pixel where the whole part becomes non-zero.
std::vector<int> gridModel(double factor, int size) {
  std::vector<int> ends;
  double accumulator = 0;
  for (int i = 0; i < size; ++i) {
    accumulator += factor;
    if (std::trunc(accumulator) != 0) {
      if (i > 0) ends.push_back(i);
      accumulator -= std::trunc(accumulator);
    }
  }
  if (ends.empty() || ends.back() != size) ends.push_back(size);
  return ends;
}

TEST(LWEmphasis, ReductionMatchesTheBlockModel) {
  // Each block takes the colour of its top-left pixel, or black when any
  // of its pixels is black.
  std::mt19937 random(5);
  for (int trial = 0; trial < 300; ++trial) {
    const int w = 1 + static_cast<int>(random() % 40);
    const int h = 1 + static_cast<int>(random() % 30);
    double factor = 0.02 + (random() % 1000) / 1000.0 * 0.98;
    if (trial % 10 == 0) factor = trial % 20 ? 0.5 : 1.0;
    const Gray image = randomGray(random, w, h, 1.0 / (3 + random() % 30), {50, 100, 255, 255});
    const std::vector<int> columns = gridModel(factor, w), rows = gridModel(factor, h);
    Gray expected(static_cast<int>(columns.size()), static_cast<int>(rows.size()));
    for (std::size_t by = 0; by < rows.size(); ++by)
      for (std::size_t bx = 0; bx < columns.size(); ++bx) {
        const int x0 = bx ? columns[bx - 1] : 0, y0 = by ? rows[by - 1] : 0;
        std::uint8_t v = image.at(x0, y0);
        for (int y = y0; y < rows[by]; ++y)
          for (int x = x0; x < columns[bx]; ++x) v = image.at(x, y) == 0 ? 0 : v;
        expected.at(static_cast<int>(bx), static_cast<int>(by)) = v;
      }
    const Gray actual = reduced(image, factor, false);
    ASSERT_EQ(describeDifference(actual, expected), "") << "trial " << trial << ", " << factor;
    // Scaling back gives the former size, black when the reduction has
    // black, and the image itself at factor 1.
    const Gray back = reduced(image, factor, true);
    ASSERT_EQ(back.width, w);
    ASSERT_EQ(back.height, h);
    const auto count = [](const Gray& g) {
      return std::count(g.pixels.begin(), g.pixels.end(), 0);
    };
    EXPECT_EQ(count(back) == 0, count(actual) == 0);
    EXPECT_TRUE(factor != 1.0 || back.pixels == image.pixels) << "trial " << trial;
  }
}

TEST(LWEmphasis, ColorEmphasizeWidensALineToTheBlockGrid) {
  Gray line(40, 12);
  for (int y = 0; y < 12; ++y) line.at(17, y) = 0;
  for (const double factor : {0.5, 0.25, 0.2}) {
    const Gray out = reduced(line, factor, true);
    for (int y = 0; y < 12; ++y) {
      int black = 0, first = -1;
      for (int x = 0; x < 40; ++x)
        if (out.at(x, y) == 0) black += 1, first = first < 0 ? x : first;
      EXPECT_NEAR(black, 1 / factor, 1) << "factor " << factor << ", row " << y;
      EXPECT_LE(first, 17);
      EXPECT_GE(first + black, 18);
    }
  }
}

TEST(LWEmphasis, RefusedFactorsLeaveTheImage) {
  EXPECT_EQ(LWEmphasizeDataSkipping(nullptr, kBlack, 0.5), 0);
  EXPECT_EQ(LWColorEmphasize(nullptr, kBlack, 0.5), 0);
  const Gray image = parseGray({"#..", ".#.", "..#"});
  for (const double factor : {0.0, -0.5, 1.0000001, std::numeric_limits<double>::quiet_NaN()}) {
    Data data = setGray(image);
    EXPECT_EQ(LWEmphasizeDataSkipping(data.get(), kBlack, factor), 0);
    EXPECT_EQ(LWColorEmphasize(data.get(), kBlack, factor), 0);
    EXPECT_EQ(describeDifference(returnGray(data.get()), image), "") << factor;
  }
}

}  // namespace
}  // namespace trellin::test
