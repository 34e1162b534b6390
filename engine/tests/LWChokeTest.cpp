// LWChoke on drawn cases and against a pixel erosion.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "TestImages.h"

namespace trellin::test {
namespace {

constexpr std::int32_t kBlack = imageValue(0);
constexpr std::int32_t kPaint = imageValue(100);  // '4' in drawings

Gray choked(const std::vector<std::string>& before, std::int32_t iterations,
            std::int32_t neighbourhood, std::int32_t borderMode) {
  Data data = setGray(parseGray(before));
  EXPECT_EQ(LWChoke(data.get(), iterations, neighbourhood, kBlack, borderMode, kPaint), 1);
  return returnGray(data.get());
}

void expectChoke(const std::vector<std::string>& before, std::int32_t iterations,
                 std::int32_t neighbourhood, std::int32_t borderMode,
                 const std::vector<std::string>& after) {
  EXPECT_EQ(
      describeDifference(choked(before, iterations, neighbourhood, borderMode), parseGray(after)),
      "")
      << "neighbourhood " << neighbourhood << ", border mode " << borderMode;
}

TEST(LWChoke, SquareShrinksToItsCentreTakingNeighbourColours) {
  expectChoke({".....", ".###.", ".###.", ".###.", "....."}, 1, 0, 0,
              {".....", ".....", "..#..", ".....", "....."});
  // Each eroded pixel takes the colour of the neighbour that exposes it:
  // above first, then below, then beside.
  expectChoke({"22222", "1###3", "1###3", "1###3", "55555"}, 1, 0, 0,
              {"22222", "12223", "11#33", "15553", "55555"});
  // A second pass removes the centre.
  expectChoke({".....", ".###.", ".###.", ".###.", "....."}, 2, 0, 0,
              {".....", ".....", ".....", ".....", "....."});
}

TEST(LWChoke, DiagonalNeighboursCountWithEightNeighbours) {
  // The centre of a plus has only diagonal neighbours outside the plus.
  const std::vector<std::string> plus = {".....", "..#..", ".###.", "..#..", "....."};
  expectChoke(plus, 1, 0, 1, {".....", "..4..", ".4#4.", "..4..", "....."});
  expectChoke(plus, 1, 1, 1, {".....", "..4..", ".444.", "..4..", "....."});
  // Alternating: pass 1 uses eight neighbours.
  expectChoke(plus, 1, 2, 1, {".....", "..4..", ".444.", "..4..", "....."});
  // Through a diagonal only, in inherit mode the pixel takes that colour.
  expectChoke({".....", ".1#..", ".###.", "..#..", "....."}, 1, 1, 0,
              {".....", ".1...", ".11..", ".....", "....."});
}

TEST(LWChoke, BorderModesAtTheImageEdges) {
  const std::vector<std::string> edge = {"......", "####..", "####..", "####..", "......"};
  expectChoke(edge, 1, 0, 0, {"......", "......", "###...", "......", "......"});
  expectChoke(edge, 1, 0, 1, {"......", "4444..", "4##4..", "4444..", "......"});
  // Areas touching the top row: mode 0 erodes the top row from below only,
  // other modes leave it.
  const std::vector<std::string> top = {"######", "######", "######", "......"};
  expectChoke(top, 1, 0, 0, {"######", "######", "......", "......"});
  expectChoke(top, 1, 0, 7, {"######", "######", "......", "......"});
  expectChoke({"#####.", "#####.", "......"}, 1, 0, 0, {"####..", "......", "......"});
  expectChoke({"#####.", "#####.", "......"}, 1, 0, 7, {"#####.", "......", "......"});
  expectChoke({"#####.", "#####.", "......"}, 1, 0, 1, {"44444.", "44444.", "......"});
}

TEST(LWChoke, StopsWhenNothingIsLeftOrNothingChanges) {
  // Would take billions of passes if every pass ran.
  expectChoke({".....", ".###.", ".###.", "....."}, INT_MAX, 2, 0,
              {".....", ".....", ".....", "....."});
  const std::vector<std::string> full = {"####", "####", "####"};
  expectChoke(full, INT_MAX, 2, 5, full);
  expectChoke(full, INT_MAX, 0, 1, {"4444", "4444", "4444"});
}

TEST(LWChoke, ArgumentsOutsideTheRange) {
  EXPECT_EQ(LWChoke(nullptr, 1, 0, kBlack, 0, kPaint), 0);
  const std::vector<std::string> square = {".....", ".###.", ".###.", ".###.", "....."};
  expectChoke(square, 0, 0, 1, square);
  expectChoke(square, -3, 0, 1, square);
  // The marks stay: the target runs carry LWATTR_TARGET afterwards.
  Data data = setGray(parseGray(square));
  ASSERT_EQ(LWChoke(data.get(), 1, 0, kBlack, 0, kPaint), 1);
  const std::vector<std::uint8_t> marked = attributeMask(data.get(), LWATTR_TARGET);
  EXPECT_EQ(std::count(marked.begin(), marked.end(), 1), 1);
  EXPECT_EQ(marked[12], 1);
}

// Erosion of the black mask with the cross or the square, outside counted as
// not black; eroded pixels become paint (100).
Gray erodeModel(const Gray& image, bool eight) {
  Gray out = image;
  const auto black = [&](int x, int y) {
    return x >= 0 && y >= 0 && x < image.width && y < image.height && image.at(x, y) == 0;
  };
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      if (!black(x, y)) continue;
      bool keep = black(x - 1, y) && black(x + 1, y) && black(x, y - 1) && black(x, y + 1);
      if (eight)
        keep = keep && black(x - 1, y - 1) && black(x + 1, y - 1) && black(x - 1, y + 1) &&
               black(x + 1, y + 1);
      if (!keep) out.at(x, y) = 100;
    }
  return out;
}

TEST(LWChoke, BorderModeOneMatchesErosionOfTheMask) {
  std::mt19937 random(7);
  for (int trial = 0; trial < 300; ++trial) {
    const int w = 1 + static_cast<int>(random() % 24);
    const int h = 1 + static_cast<int>(random() % 16);
    Gray image(w, h);
    // Blobs of black on white with a second background colour.
    const unsigned density = random() % 4;
    for (std::uint8_t& p : image.pixels) {
      const unsigned r = random() % 8;
      p = r < 3 + density ? 0 : r == 7 ? 200 : 255;
    }
    const std::int32_t neighbourhood = static_cast<std::int32_t>(random() % 3);
    const std::int32_t iterations = 1 + static_cast<std::int32_t>(random() % 3);
    Gray expected = image;
    for (int pass = 1; pass <= iterations; ++pass)
      expected = erodeModel(expected, neighbourhood == 1 || (neighbourhood == 2 && pass % 2 == 1));
    Data data = setGray(image);
    ASSERT_EQ(LWChoke(data.get(), iterations, neighbourhood, kBlack, 1, kPaint), 1);
    ASSERT_EQ(describeDifference(returnGray(data.get()), expected), "")
        << "trial " << trial << ", neighbourhood " << neighbourhood << ", iterations "
        << iterations;
  }
}

}  // namespace
}  // namespace trellin::test
