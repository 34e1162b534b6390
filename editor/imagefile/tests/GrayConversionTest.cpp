// Gray conversion formulas on known pixels, for sample rows and reader images.
#include <gtest/gtest.h>

#include "quillane/imagefile/GrayConversion.h"
#include "quillane/imagefile/PageFileResult.h"

namespace quillane {
namespace {

// Converts one pixel of samples with a mode; -1 when init refuses the mode.
int convertPixel(SampleModel model, std::vector<uint8_t> samples, int32_t mode) {
  TiffGrayConverter converter;
  if (converter.init(model, static_cast<int32_t>(samples.size()), mode) != 0) return -1;
  uint8_t gray = 0;
  converter.convertRow(samples.data(), &gray, 1);
  return gray;
}

TEST(GrayConversion, RgbPixelInEveryMode) {
  const std::vector<uint8_t> red = {255, 0, 0};
  EXPECT_EQ(convertPixel(SampleModel::Rgb, red, kGrayRed), 255);
  EXPECT_EQ(convertPixel(SampleModel::Rgb, red, kGrayGreen), 0);
  EXPECT_EQ(convertPixel(SampleModel::Rgb, red, kGrayBlue), 0);
  EXPECT_EQ(convertPixel(SampleModel::Rgb, red, kGrayWeighted), 76);  // 76.245 truncated
  EXPECT_EQ(convertPixel(SampleModel::Rgb, red, kGrayDarkest), 0);
  EXPECT_EQ(convertPixel(SampleModel::Rgb, red, kGrayAsIs), 76);  // 3 samples: 0 is weighted
  // Gray pixels keep their value exactly in the weighted sum, white included.
  for (int v : {0, 1, 127, 254, 255}) {
    const auto b = static_cast<uint8_t>(v);
    EXPECT_EQ(convertPixel(SampleModel::Rgb, {b, b, b}, kGrayWeighted), v);
  }
  // 0.299 * 10 + 0.587 * 20 + 0.114 * 200 = 37.53
  EXPECT_EQ(convertPixel(SampleModel::Rgb, {10, 20, 200}, kGrayWeighted), 37);
  EXPECT_EQ(convertPixel(SampleModel::Rgb, {10, 20, 200}, kGrayBlack), -1);
}

TEST(GrayConversion, CmykInkBecomesDarkness) {
  const std::vector<uint8_t> black = {0, 0, 0, 255};
  for (int mode : {kGrayBlack, kGrayWeighted, kGrayDarkest}) {
    EXPECT_EQ(convertPixel(SampleModel::Cmyk, black, mode), 0) << mode;
  }
  for (int mode : {kGrayCyan, kGrayMagenta, kGrayYellow}) {
    EXPECT_EQ(convertPixel(SampleModel::Cmyk, black, mode), 255) << mode;
  }
  for (int mode = kGrayCyan; mode <= kGrayDarkest; ++mode) {
    EXPECT_EQ(convertPixel(SampleModel::Cmyk, {0, 0, 0, 0}, mode), 255) << mode;
  }
  const std::vector<uint8_t> cyan = {255, 0, 0, 0};
  EXPECT_EQ(convertPixel(SampleModel::Cmyk, cyan, kGrayCyan), 0);
  EXPECT_EQ(convertPixel(SampleModel::Cmyk, cyan, kGrayWeighted), 178);  // 178.5 truncated
  EXPECT_EQ(convertPixel(SampleModel::Cmyk, cyan, kGrayDarkest), 0);
}

TEST(GrayConversion, YCbCrAndExtraSamples) {
  for (int mode : {kGrayRed, kGrayGreen, kGrayBlue, kGrayWeighted, kGrayDarkest}) {
    EXPECT_EQ(convertPixel(SampleModel::YCbCr, {128, 128, 128}, mode), 128) << mode;
  }
  // Y 100, Cr 200: R = 100 + 1.402 * 72 = 200.9 -> 200; G = 100 - 0.71414 *
  // 72 = 48.6 -> 48; B = 100.
  EXPECT_EQ(convertPixel(SampleModel::YCbCr, {100, 128, 200}, kGrayRed), 200);
  EXPECT_EQ(convertPixel(SampleModel::YCbCr, {100, 128, 200}, kGrayGreen), 48);
  EXPECT_EQ(convertPixel(SampleModel::YCbCr, {100, 128, 200}, kGrayBlue), 100);
  // Clamped: Y 250, Cb 255 gives B over 255.
  EXPECT_EQ(convertPixel(SampleModel::YCbCr, {250, 255, 128}, kGrayBlue), 255);

  // RGB with alpha: a row of two pixels, the alpha byte is skipped.
  TiffGrayConverter converter;
  ASSERT_EQ(converter.init(SampleModel::Rgb, 4, kGrayAsIs), 0);
  const uint8_t row[] = {255, 0, 0, 7, 0, 0, 255, 9};
  uint8_t gray[2];
  converter.convertRow(row, gray, 2);
  EXPECT_EQ(gray[0], 76);
  EXPECT_EQ(gray[1], 29);  // 0.114 * 255 = 29.07

  // One sample a pixel: whatever was asked is taken as "gray".
  ASSERT_EQ(converter.init(SampleModel::WhiteIsZero, 1, kGrayDarkest), 0);
  EXPECT_EQ(converter.mode(), kGrayAsIs);
  const uint8_t white[] = {0, 255, 40};
  uint8_t out[3];
  converter.convertRow(white, out, 3);
  EXPECT_EQ(out[0], 255);
  EXPECT_EQ(out[1], 0);
  EXPECT_EQ(out[2], 215);

  EXPECT_EQ(converter.init(SampleModel::Rgb, 3, 10), pagefile::kGrayModeUnavailable);
  EXPECT_EQ(converter.init(SampleModel::Rgb, 3, -1), pagefile::kGrayModeUnavailable);
}

LoadedImage bgrImage(const std::vector<uint8_t>& bgr, int32_t width, int32_t height) {
  LoadedImage image;
  EXPECT_TRUE(image.allocate(width, height, 3));
  std::copy(bgr.begin(), bgr.end(), image.pixels.get());
  return image;
}

TEST(GrayConversion, ReaderImages) {
  // Two pixels in blue, green, red order: pure red, then (b 200, g 20, r 10).
  const LoadedImage image = bgrImage({0, 0, 255, 200, 20, 10}, 2, 1);
  uint8_t out[2] = {};
  ASSERT_EQ(convertLoadedImage(image, kGrayRed, out, 2), 0);
  EXPECT_EQ(out[0], 255);
  EXPECT_EQ(out[1], 10);
  ASSERT_EQ(convertLoadedImage(image, kGrayAsIs, out, 2), 0);  // taken as blue
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 200);
  ASSERT_EQ(convertLoadedImage(image, kGrayDarkest, out, 2), 0);
  EXPECT_EQ(out[1], 10);
  ASSERT_EQ(convertLoadedImage(image, kGrayWeighted, out, 2), 0);
  // OpenCV's fixed point: (4899 R + 9617 G + 1868 B + 8192) >> 14.
  EXPECT_EQ(out[0], (4899 * 255 + 8192) >> 14);
  EXPECT_EQ(out[1], (4899 * 10 + 9617 * 20 + 1868 * 200 + 8192) >> 14);
  for (int mode : {4, 5, 6, 7, 10}) {
    EXPECT_EQ(convertLoadedImage(image, mode, out, 2), pagefile::kGrayModeUnavailable) << mode;
  }

  // A wider image into a destination with a larger stride: rows land at
  // their place and the padding stays untouched.
  std::vector<uint8_t> bgr(5 * 3 * 3);
  for (size_t i = 0; i < bgr.size(); ++i) bgr[i] = static_cast<uint8_t>(i * 5);
  const LoadedImage wide = bgrImage(bgr, 5, 3);
  std::vector<uint8_t> dst(8 * 3, 0xAB);
  ASSERT_EQ(convertLoadedImage(wide, kGrayWeighted, dst.data(), 8), 0);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      const uint8_t* p = &bgr[(y * 5 + x) * 3];
      EXPECT_EQ(dst[y * 8 + x], (1868 * p[0] + 9617 * p[1] + 4899 * p[2] + 8192) >> 14);
    }
    for (int x = 5; x < 8; ++x) EXPECT_EQ(dst[y * 8 + x], 0xAB);
  }
}

}  // namespace
}  // namespace quillane
