// LWFrameInsideSmooth: the area it works on, what it removes and keeps, and
// the calls it refuses.
#include <gtest/gtest.h>

#include "TestImages.h"

namespace trellin::test {
namespace {

constexpr std::int32_t kBlack = imageValue(0);

// Two panels: the frame image is colour 1 left of x = 15 and colour 2 from
// there on. The picture has a black band six rows thick across both panels,
// a one-pixel spur standing on the band in the left panel, a black blob in
// the right panel and a gray mark there.
struct Scene {
  Gray picture{30, 20};
  Gray frame{30, 20};
  Scene() {
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 30; ++x) frame.at(x, y) = x < 15 ? 25 : 50;
    for (int y = 8; y < 14; ++y)
      for (int x = 0; x < 30; ++x) picture.at(x, y) = 0;
    for (int y = 4; y < 8; ++y) picture.at(6, y) = 0;
    for (int y = 2; y < 5; ++y)
      for (int x = 22; x < 26; ++x) picture.at(x, y) = 0;
    picture.at(20, 17) = 100;
  }
};

TEST(LWFrameInsideSmooth, RemovesNarrowSpursInsideTheAreaOnly) {
  const Scene scene;
  Data picture = setGray(scene.picture);
  Data frame = setGray(scene.frame);
  CLWData* out = nullptr;
  ASSERT_EQ(LWFrameInsideSmooth(picture.get(), frame.get(), kBlack, 5, 5, 2, &out), 1);
  ASSERT_NE(out, nullptr);
  Data result(out);
  // Copy back the area over the picture.
  Gray copied = scene.picture;
  ASSERT_EQ(LWDataReturnImageData_TargetAtr(result.get(), 30, 20, 30, 1, LWATTR_TARGET,
                                            copied.pixels.data()),
            1);
  Gray expected = scene.picture;
  for (int y = 4; y < 8; ++y) expected.at(6, y) = 255;
  EXPECT_EQ(describeDifference(copied, expected), "");
  // The area: the left panel and the whole band that reaches into it.
  const std::vector<std::uint8_t> area = attributeMask(result.get(), LWATTR_TARGET);
  const std::vector<std::uint8_t> outside = attributeMask(result.get(), LWATTR_TARGET2);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) {
      const bool inArea = x < 15 || (y >= 8 && y < 14);
      EXPECT_EQ(area[y * 30 + x], inArea) << x << "," << y;
      EXPECT_EQ(outside[y * 30 + x], !inArea) << x << "," << y;
    }
  // The callers' containers keep their pixels and carry the marks.
  EXPECT_EQ(describeDifference(returnGray(picture.get()), scene.picture), "");
  EXPECT_EQ(attributeMask(picture.get(), LWATTR_TARGET), area);
  const std::vector<std::uint8_t> frameArea = attributeMask(frame.get(), LWATTR_TARGET);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) EXPECT_EQ(frameArea[y * 30 + x], x < 15) << x << "," << y;
}

TEST(LWFrameInsideSmooth, WideLinesKeepTheirCourse) {
  // A band thicker than the circle survives a larger radius too, and a
  // spur as wide as the circle stays.
  Scene scene;
  for (int y = 3; y < 8; ++y)
    for (int x = 3; x < 9; ++x) scene.picture.at(x, y) = 0;
  Data picture = setGray(scene.picture);
  Data frame = setGray(scene.frame);
  CLWData* out = nullptr;
  ASSERT_EQ(LWFrameInsideSmooth(picture.get(), frame.get(), kBlack, 1, 1, 2, &out), 1);
  Data result(out);
  Gray copied = scene.picture;
  ASSERT_EQ(LWDataReturnImageData_TargetAtr(result.get(), 30, 20, 30, 1, LWATTR_TARGET,
                                            copied.pixels.data()),
            1);
  for (int y = 8; y < 14; ++y)
    for (int x = 0; x < 30; ++x) EXPECT_EQ(copied.at(x, y), 0) << x << "," << y;
  for (int y = 4; y < 7; ++y)
    for (int x = 4; x < 8; ++x) EXPECT_EQ(copied.at(x, y), 0) << x << "," << y;
}

TEST(LWFrameInsideSmooth, RefusedCalls) {
  const Scene scene;
  Data picture = setGray(scene.picture);
  Data frame = setGray(scene.frame);
  CLWData* out = nullptr;
  EXPECT_EQ(LWFrameInsideSmooth(nullptr, frame.get(), kBlack, 5, 5, 2, &out), 0);
  EXPECT_EQ(LWFrameInsideSmooth(picture.get(), nullptr, kBlack, 5, 5, 2, &out), 0);
  EXPECT_EQ(LWFrameInsideSmooth(picture.get(), frame.get(), kBlack, 5, 5, 2, nullptr), 0);
  EXPECT_EQ(LWFrameInsideSmooth(picture.get(), frame.get(), 0, 5, 5, 2, &out), 0);
  EXPECT_EQ(LWFrameInsideSmooth(picture.get(), frame.get(), kBlack, 30, 5, 2, &out), 0);
  EXPECT_EQ(LWFrameInsideSmooth(picture.get(), frame.get(), kBlack, 5, -1, 2, &out), 0);
  EXPECT_EQ(LWFrameInsideSmooth(picture.get(), frame.get(), kBlack, 5, 5, 0, &out), 0);
  Data small = setGray(Gray(30, 19));
  EXPECT_EQ(LWFrameInsideSmooth(picture.get(), small.get(), kBlack, 5, 5, 2, &out), 0);
  EXPECT_EQ(out, nullptr);
  // A frame area holding only the line colour has no second colour.
  Data allBlack = setGray(Gray(30, 20, 0));
  EXPECT_EQ(LWFrameInsideSmooth(allBlack.get(), frame.get(), kBlack, 5, 5, 2, &out), 0);
  EXPECT_EQ(out, nullptr);
  // Refused calls leave the marks as they were.
  EXPECT_EQ(attributeMask(picture.get(), 0), std::vector<std::uint8_t>(600, 1));
}

}  // namespace
}  // namespace trellin::test
