// LWSpread on drawn cases, its profiles, and against a pixel dilation.
#include <gtest/gtest.h>

#include "Spread.h"
#include "TestImages.h"

namespace trellin::test {
namespace {

constexpr std::int32_t kBlack = imageValue(0);
constexpr std::int32_t kBand = imageValue(100);       // '4' in drawings
constexpr std::int32_t kProtected = imageValue(200);  // '8' in drawings

Gray spreadGray(const Gray& image, std::int32_t radius, std::int32_t shape, bool protect) {
  Data data = setGray(image);
  EXPECT_EQ(LWSpread(data.get(), radius, shape, kBlack, kBand, protect ? 1 : 0, kProtected), 1);
  return returnGray(data.get());
}

void expectSpread(const std::vector<std::string>& before, std::int32_t radius, std::int32_t shape,
                  bool protect, const std::vector<std::string>& after) {
  EXPECT_EQ(
      describeDifference(spreadGray(parseGray(before), radius, shape, protect), parseGray(after)),
      "")
      << "radius " << radius << ", shape " << shape;
}

TEST(LWSpread, RadiusOneAroundOnePixel) {
  const std::vector<std::string> dot = {".....", ".....", "..#..", ".....", "....."};
  expectSpread(dot, 1, kSpreadSquare, false, {".....", ".444.", ".4#4.", ".444.", "....."});
  expectSpread(dot, 1, kSpreadDiamond, false, {".....", "..4..", ".4#4.", "..4..", "....."});
  expectSpread(dot, 1, kSpreadCircle, false, {".....", "..4..", ".4#4.", "..4..", "....."});
  expectSpread(dot, 2, kSpreadCircle, false, {".444.", "44444", "44#44", "44444", ".444."});
  // Clamped at the image edges.
  expectSpread({"#..", "...", "..."}, 1, kSpreadSquare, false, {"#4.", "44.", "..."});
}

TEST(LWSpread, TargetAndProtectedPixelsAreNeverPainted) {
  const std::vector<std::string> image = {"......", ".#8#..", ".8..8.", "......"};
  expectSpread(image, 1, kSpreadSquare, true, {"44444.", "4#8#4.", "48448.", "......"});
  expectSpread(image, 1, kSpreadSquare, false, {"44444.", "4#4#4.", "44444.", "......"});
  // A band of the target colour itself widens the area; the marks keep the
  // first target apart from the painted pixels.
  Data data = setGray(parseGray({"...", ".#.", "..."}));
  ASSERT_EQ(LWSpread(data.get(), 1, kSpreadSquare, kBlack, kBlack, 0, 0), 1);
  EXPECT_EQ(describeDifference(returnGray(data.get()), parseGray({"###", "###", "###"})), "");
  EXPECT_EQ(attributeMask(data.get(), LWATTR_TARGET),
            (std::vector<std::uint8_t>{0, 0, 0, 0, 1, 0, 0, 0, 0}));
}

TEST(LWSpread, RefusedArguments) {
  EXPECT_EQ(LWSpread(nullptr, 1, 0, kBlack, kBand, 0, 0), 0);
  const Gray image = parseGray({"...", ".#.", "..."});
  for (const std::int32_t radius : {0, -1}) {
    Data data = setGray(image);
    EXPECT_EQ(LWSpread(data.get(), radius, kSpreadCircle, kBlack, kBand, 0, 0), 0);
    EXPECT_EQ(describeDifference(returnGray(data.get()), image), "");
  }
  Data data = setGray(image);
  EXPECT_EQ(LWSpread(data.get(), 1, 3, kBlack, kBand, 0, 0), 0);
  // A radius far beyond the image paints everything.
  EXPECT_EQ(describeDifference(spreadGray(image, INT32_MAX, kSpreadCircle, false),
                               parseGray({"444", "4#4", "444"})),
            "");
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
  std::mt19937 random(11);
  for (int trial = 0; trial < 300; ++trial) {
    const int w = 1 + static_cast<int>(random() % 30);
    const int h = 1 + static_cast<int>(random() % 20);
    const std::int32_t shape = static_cast<std::int32_t>(random() % 3);
    const std::int32_t radius = 1 + static_cast<std::int32_t>(random() % 6);
    const bool protect = random() % 2;
    Gray image(w, h);
    const unsigned sparse = 10 + random() % 40;
    for (std::uint8_t& p : image.pixels) {
      const unsigned r = random() % sparse;
      p = r == 0 ? 0 : r == 1 ? 200 : r == 2 ? 50 : 255;
    }
    const std::vector<std::int32_t> p = profile(shape, radius);
    Gray expected = image;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const std::uint8_t v = image.at(x, y);
        if (v == 0 || (protect && v == 200)) continue;
        bool reached = false;
        for (int dy = -radius; dy <= radius && !reached; ++dy)
          for (int dx = -p[std::abs(dy)]; dx <= p[std::abs(dy)] && !reached; ++dx) {
            const int sx = x + dx, sy = y + dy;
            reached = sx >= 0 && sy >= 0 && sx < w && sy < h && image.at(sx, sy) == 0;
          }
        if (reached) expected.at(x, y) = 100;
      }
    ASSERT_EQ(describeDifference(spreadGray(image, radius, shape, protect), expected), "")
        << "trial " << trial << ", shape " << shape << ", radius " << radius;
  }
}

}  // namespace
}  // namespace trellin::test
