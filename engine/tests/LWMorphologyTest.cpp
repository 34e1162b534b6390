// LWChoke against a pixel erosion in every border mode and neighbourhood,
// and LWSpread against a pixel dilation by its profiles.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "Spread.h"
#include "TestImages.h"

namespace trellin::test {
namespace {

constexpr std::int32_t kPaint = imageValue(100);  // also the spread band

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
  EXPECT_EQ(LWChoke(nullptr, 1, 0, kBlack, 0, kPaint), 0);
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
    // The black pixels left carry the target mark, all others none.
    std::vector<std::uint8_t> black(expected.pixels.size()), other(black.size());
    for (std::size_t i = 0; i < black.size(); ++i)
      black[i] = expected.pixels[i] == 0, other[i] = expected.pixels[i] != 0;
    ASSERT_EQ(attributeMask(data.get(), LWATTR_TARGET), black) << "trial " << trial;
    ASSERT_EQ(attributeMask(data.get(), LWATTR_NONE), other) << "trial " << trial;
  }
}

constexpr std::int32_t kProtected = imageValue(200);

std::vector<std::int32_t> profile(std::int32_t shape, std::int32_t radius) {
  std::vector<std::int32_t> entries(static_cast<std::size_t>(radius) + 1);
  spreadProfile(shape, radius, entries.data(), static_cast<std::uint32_t>(entries.size()),
                INT32_MAX);
  return entries;
}

TEST(LWSpread, ProfilesAreSymmetricShapes) {
  EXPECT_EQ(profile(kSpreadCircle, 1), (std::vector<std::int32_t>{1, 0}));
  EXPECT_EQ(profile(kSpreadCircle, 2), (std::vector<std::int32_t>{2, 2, 1}));
  EXPECT_EQ(profile(kSpreadCircle, 3), (std::vector<std::int32_t>{3, 3, 2, 1}));
  EXPECT_EQ(profile(kSpreadCircle, 5), (std::vector<std::int32_t>{5, 5, 5, 4, 3, 2}));
  EXPECT_EQ(profile(kSpreadDiamond, 4), (std::vector<std::int32_t>{4, 3, 2, 1, 0}));
  EXPECT_EQ(profile(kSpreadSquare, 2), (std::vector<std::int32_t>{2, 2, 2}));
  // Every shape is symmetric across its diagonal: |dx| <= p[|dy|] exactly
  // when |dy| <= p[|dx|].
  for (std::int32_t shape : {kSpreadCircle, kSpreadDiamond, kSpreadSquare})
    for (std::int32_t radius = 1; radius <= 40; ++radius) {
      const std::vector<std::int32_t> p = profile(shape, radius);
      for (std::int32_t dy = 0; dy <= radius; ++dy)
        for (std::int32_t dx = 0; dx <= radius; ++dx)
          ASSERT_EQ(dx <= p[dy], dy <= p[dx]) << shape << " " << radius << " " << dx << "," << dy;
    }
}

TEST(LWSpread, MatchesDilationByTheProfileElement) {
  // Target 0, protected 200, others 50 and 255: every pixel within the
  // element of a target pixel takes the band colour (100), except target
  // pixels and, when protected, pixels of 200.
  std::mt19937 random(11);
  for (int trial = 0; trial < 300; ++trial) {
    const int w = 1 + static_cast<int>(random() % 30);
    const int h = 1 + static_cast<int>(random() % 20);
    const std::int32_t shape = static_cast<std::int32_t>(random() % 3);
    const std::int32_t radius = 1 + static_cast<std::int32_t>(random() % 6);
    const bool protect = random() % 2;
    const Gray image =
        randomGray(random, w, h, 1.0 / (10 + random() % 40), {200, 50, 255, 255, 255, 255});
    const std::vector<std::int32_t> p = profile(shape, radius);
    Gray expected = image;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        if (image.at(x, y) == 0 || (protect && image.at(x, y) == 200)) continue;
        for (int dy = -radius; dy <= radius; ++dy)
          for (int dx = -p[std::abs(dy)]; dx <= p[std::abs(dy)]; ++dx) {
            const int sx = x + dx, sy = y + dy;
            if (sx >= 0 && sy >= 0 && sx < w && sy < h && image.at(sx, sy) == 0)
              expected.at(x, y) = 100;
          }
      }
    Data data = setGray(image);
    ASSERT_EQ(LWSpread(data.get(), radius, shape, kBlack, kPaint, protect, kProtected), 1);
    ASSERT_EQ(describeDifference(returnGray(data.get()), expected), "")
        << "trial " << trial << ", shape " << shape << ", radius " << radius;
    // Target and protected pixels carry their marks.
    std::vector<std::uint8_t> target(image.pixels.size()), kept(image.pixels.size());
    for (std::size_t i = 0; i < target.size(); ++i) {
      target[i] = image.pixels[i] == 0;
      kept[i] = protect && image.pixels[i] == 200;
    }
    ASSERT_EQ(attributeMask(data.get(), LWATTR_TARGET), target) << "trial " << trial;
    ASSERT_EQ(attributeMask(data.get(), LWATTR_TARGET2), kept) << "trial " << trial;
  }
}

TEST(LWSpread, BandOfTheTargetColourAndRefusedArguments) {
  // A band of the target colour itself widens the area; the marks keep the
  // first target apart from the painted pixels.
  const Gray dot = parseGray({"...", ".#.", "..."});
  Data data = setGray(dot);
  ASSERT_EQ(LWSpread(data.get(), 1, kSpreadSquare, kBlack, kBlack, 0, 0), 1);
  EXPECT_EQ(describeDifference(returnGray(data.get()), Gray(3, 3, 0)), "");
  EXPECT_EQ(attributeMask(data.get(), LWATTR_TARGET),
            (std::vector<std::uint8_t>{0, 0, 0, 0, 1, 0, 0, 0, 0}));
  // A radius far beyond the image paints everything.
  data = setGray(dot);
  ASSERT_EQ(LWSpread(data.get(), INT32_MAX, kSpreadCircle, kBlack, kPaint, 0, 0), 1);
  EXPECT_EQ(describeDifference(returnGray(data.get()), parseGray({"444", "4#4", "444"})), "");
  EXPECT_EQ(LWSpread(nullptr, 1, 0, kBlack, kPaint, 0, 0), 0);
  const std::pair<std::int32_t, std::int32_t> refused[] = {{0, 0}, {-1, 0}, {1, 3}, {1, -1}};
  for (const auto& [radius, shape] : refused) {
    data = setGray(dot);
    EXPECT_EQ(LWSpread(data.get(), radius, shape, kBlack, kPaint, 0, 0), 0)
        << radius << " " << shape;
    EXPECT_EQ(describeDifference(returnGray(data.get()), dot), "");
  }
}

}  // namespace
}  // namespace trellin::test
