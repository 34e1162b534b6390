// LWSpread: its profiles, and the band against a pixel dilation.
#include <gtest/gtest.h>

#include "Spread.h"
#include "TestImages.h"

namespace trellin::test {
namespace {

constexpr std::int32_t kBand = imageValue(100);
constexpr std::int32_t kProtected = imageValue(200);

Gray spreadGray(const Gray& image, std::int32_t radius, std::int32_t shape, bool protect) {
  Data data = setGray(image);
  EXPECT_EQ(LWSpread(data.get(), radius, shape, kBlack, kBand, protect ? 1 : 0, kProtected), 1);
  return returnGray(data.get());
}

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
    ASSERT_EQ(describeDifference(spreadGray(image, radius, shape, protect), expected), "")
        << "trial " << trial << ", shape " << shape << ", radius " << radius;
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
  EXPECT_EQ(describeDifference(spreadGray(dot, INT32_MAX, kSpreadCircle, false),
                               parseGray({"444", "4#4", "444"})),
            "");
  EXPECT_EQ(LWSpread(nullptr, 1, 0, kBlack, kBand, 0, 0), 0);
  const std::pair<std::int32_t, std::int32_t> refused[] = {{0, 0}, {-1, 0}, {1, 3}, {1, -1}};
  for (const auto& [radius, shape] : refused) {
    data = setGray(dot);
    EXPECT_EQ(LWSpread(data.get(), radius, shape, kBlack, kBand, 0, 0), 0)
        << radius << " " << shape;
    EXPECT_EQ(describeDifference(returnGray(data.get()), dot), "");
  }
}

}  // namespace
}  // namespace trellin::test
