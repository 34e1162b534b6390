// LWChoke against a pixel erosion in every border mode and neighbourhood.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "TestImages.h"

namespace trellin::test {
namespace {

constexpr std::int32_t kPaint = imageValue(100);

// One pass of erosion of the black pixels. An eroded pixel takes the colour
// of its first neighbour that is not black, looking above, below, left,
// right and then, with eight neighbours, above-left, above-right,
// below-left and below-right. In border mode 1 the outside of the image is
// not black and eroded pixels take the paint colour (100). In every other
// mode the outside counts as black, and modes other than 0 and 1 leave the
// top and bottom rows alone.
Gray erodeModel(const Gray& image, bool eight, std::int32_t borderMode) {
  static const int kOrder[8][2] = {{0, -1},  {0, 1},  {-1, 0}, {1, 0},
                                   {-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
  Gray out = image;
  for (int y = 0; y < image.height; ++y) {
    if (borderMode != 0 && borderMode != 1 && (y == 0 || y + 1 == image.height)) continue;
    for (int x = 0; x < image.width; ++x) {
      for (int k = 0; k < (eight ? 8 : 4) && image.at(x, y) == 0; ++k) {
        const int nx = x + kOrder[k][0], ny = y + kOrder[k][1];
        const bool inside = nx >= 0 && ny >= 0 && nx < image.width && ny < image.height;
        if (inside ? image.at(nx, ny) == 0 : borderMode != 1) continue;
        out.at(x, y) = borderMode == 1 ? 100 : image.at(nx, ny);
        break;
      }
    }
  }
  return out;
}

TEST(LWChoke, MatchesThePixelErosion) {
  std::mt19937 random(7);
  const std::int32_t iterationChoices[] = {-3, 0, 1, 1, 2, 3, 4, INT_MAX};
  const std::int32_t modeChoices[] = {0, 0, 1, 1, 2, -1};  // border modes
  for (int trial = 0; trial < 600; ++trial) {
    const int w = 1 + static_cast<int>(random() % 24);
    const int h = 1 + static_cast<int>(random() % 16);
    // Black blocks and specks on a background of three colours.
    Gray image = randomGray(random, w, h, 0.05 * (random() % 8), {255, 200, 50});
    for (int block = static_cast<int>(random() % 4); block > 0; --block) {
      const int x0 = static_cast<int>(random() % w), y0 = static_cast<int>(random() % h);
      for (int y = y0; y < std::min(h, y0 + 2 + static_cast<int>(random() % 9)); ++y)
        for (int x = x0; x < std::min(w, x0 + 2 + static_cast<int>(random() % 9)); ++x)
          image.at(x, y) = 0;
    }
    const std::int32_t neighbourhood = static_cast<std::int32_t>(random() % 3);
    const std::int32_t mode = modeChoices[random() % 6];
    const std::int32_t iterations = iterationChoices[random() % 8];
    // Passes stop once neither neighbourhood erodes anything.
    Gray expected = image;
    for (int pass = 1, unchanged = 0; pass <= iterations && unchanged < 2; ++pass) {
      const Gray next =
          erodeModel(expected, neighbourhood == 1 || (neighbourhood == 2 && pass % 2 == 1), mode);
      unchanged = next.pixels == expected.pixels ? unchanged + 1 : 0;
      expected = next;
    }
    Data data = setGray(image);
    ASSERT_EQ(LWChoke(data.get(), iterations, neighbourhood, kBlack, mode, kPaint), 1);
    ASSERT_EQ(describeDifference(returnGray(data.get()), expected), "")
        << "trial " << trial << ", neighbourhood " << neighbourhood << ", border mode " << mode
        << ", iterations " << iterations;
  }
}

TEST(LWChoke, LeavesTheTargetMarked) {
  EXPECT_EQ(LWChoke(nullptr, 1, 0, kBlack, 0, kPaint), 0);
  for (const std::int32_t iterations : {0, 1}) {
    Data data = setGray(parseGray({".....", ".###.", ".###.", ".###.", "....."}));
    ASSERT_EQ(LWChoke(data.get(), iterations, 0, kBlack, 0, kPaint), 1);
    const std::vector<std::uint8_t> marked = attributeMask(data.get(), LWATTR_TARGET);
    EXPECT_EQ(std::count(marked.begin(), marked.end(), 1), iterations ? 1 : 9);
    EXPECT_EQ(marked[12], 1);
  }
}

}  // namespace
}  // namespace trellin::test
