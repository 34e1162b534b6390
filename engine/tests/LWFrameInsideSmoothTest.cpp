// LWFrameInsideSmooth: the area it works on, what it removes and keeps, and
// the calls it refuses.
#include <gtest/gtest.h>

#include "TestImages.h"

namespace trellin::test {
namespace {

// Two panels: the frame image is colour 1 left of x = 15 and colour 2 from
// there on. The picture has a black band six rows thick across both panels,
// a one-pixel spur standing on the band in the left panel, a black blob in
// the right panel and a gray mark there.
struct Scene {
  Gray picture{30, 20};
  Gray frame{30, 20};
  Scene() {
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 30; ++x) {
        frame.at(x, y) = x < 15 ? 25 : 50;
        if (y >= 8 && y < 14) picture.at(x, y) = 0;
        if (x >= 22 && x < 26 && y >= 2 && y < 5) picture.at(x, y) = 0;
      }
    for (int y = 4; y < 8; ++y) picture.at(6, y) = 0;
    picture.at(20, 17) = 100;
  }
};

// Runs the smoothing at (x, y) and copies the area back over the picture.
Gray smoothed(const Scene& scene, std::int32_t x, std::int32_t y, std::int32_t radius,
              Data& picture, Data& frame, Data& result) {
  picture = setGray(scene.picture);
  frame = setGray(scene.frame);
  CLWData* out = nullptr;
  EXPECT_EQ(LWFrameInsideSmooth(picture.get(), frame.get(), kBlack, x, y, radius, &out), 1);
  result.reset(out);
  Gray copied = scene.picture;
  EXPECT_EQ(
      LWDataReturnImageData_TargetAtr(out, 30, 20, 30, 1, LWATTR_TARGET, copied.pixels.data()), 1);
  return copied;
}

TEST(LWFrameInsideSmooth, RemovesNarrowSpursInsideTheAreaOnlyAndKeepsWideLines) {
  const Scene scene;
  Data picture, frame, result;
  Gray expected = scene.picture;
  for (int y = 4; y < 8; ++y) expected.at(6, y) = 255;
  EXPECT_EQ(describeDifference(smoothed(scene, 5, 5, 2, picture, frame, result), expected), "");
  // The area: the left panel and the whole band that reaches into it.
  const std::vector<std::uint8_t> area = attributeMask(result.get(), LWATTR_TARGET);
  const std::vector<std::uint8_t> outside = attributeMask(result.get(), LWATTR_TARGET2);
  const std::vector<std::uint8_t> frameArea = attributeMask(frame.get(), LWATTR_TARGET);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) {
      const bool inArea = x < 15 || (y >= 8 && y < 14);
      EXPECT_EQ(area[y * 30 + x], inArea) << x << "," << y;
      EXPECT_EQ(outside[y * 30 + x], !inArea) << x << "," << y;
      // The callers' containers keep their pixels and carry the marks.
      EXPECT_EQ(frameArea[y * 30 + x], x < 15) << x << "," << y;
    }
  EXPECT_EQ(describeDifference(returnGray(picture.get()), scene.picture), "");
  EXPECT_EQ(attributeMask(picture.get(), LWATTR_TARGET), area);

  // A band thicker than the circle survives a larger radius too, and a
  // spur as wide as the circle stays.
  Scene wide;
  for (int y = 3; y < 8; ++y)
    for (int x = 3; x < 9; ++x) wide.picture.at(x, y) = 0;
  const Gray copied = smoothed(wide, 1, 1, 2, picture, frame, result);
  for (int y = 4; y < 14; ++y)
    for (int x = 0; x < 30; ++x)
      EXPECT_TRUE(copied.at(x, y) == 0 || (y < 8 && (x < 4 || x >= 8 || y >= 7))) << x << "," << y;
}

TEST(LWFrameInsideSmooth, RefusedCalls) {
  const Scene scene;
  Data picture = setGray(scene.picture);
  Data frame = setGray(scene.frame);
  Data small = setGray(Gray(30, 19));
  Data allBlack = setGray(Gray(30, 20, 0));
  CLWData* out = nullptr;
  EXPECT_EQ(LWFrameInsideSmooth(nullptr, frame.get(), kBlack, 5, 5, 2, &out), 0);
  EXPECT_EQ(LWFrameInsideSmooth(picture.get(), nullptr, kBlack, 5, 5, 2, &out), 0);
  EXPECT_EQ(LWFrameInsideSmooth(picture.get(), frame.get(), kBlack, 5, 5, 2, nullptr), 0);
  EXPECT_EQ(LWFrameInsideSmooth(picture.get(), frame.get(), 0, 5, 5, 2, &out), 0);
  EXPECT_EQ(LWFrameInsideSmooth(picture.get(), frame.get(), kBlack, 30, 5, 2, &out), 0);
  EXPECT_EQ(LWFrameInsideSmooth(picture.get(), frame.get(), kBlack, 5, -1, 2, &out), 0);
  EXPECT_EQ(LWFrameInsideSmooth(picture.get(), frame.get(), kBlack, 5, 5, 0, &out), 0);
  EXPECT_EQ(LWFrameInsideSmooth(picture.get(), small.get(), kBlack, 5, 5, 2, &out), 0);
  // A frame area holding only the line colour has no second colour.
  EXPECT_EQ(LWFrameInsideSmooth(allBlack.get(), frame.get(), kBlack, 5, 5, 2, &out), 0);
  EXPECT_EQ(out, nullptr);
  // Refused calls leave the marks as they were.
  EXPECT_EQ(attributeMask(picture.get(), 0), std::vector<std::uint8_t>(600, 1));
}

}  // namespace
}  // namespace trellin::test
