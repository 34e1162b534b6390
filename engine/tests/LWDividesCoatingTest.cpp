// LWDividesCoating: labels against a pixel flood fill, the colour sequence,
// and the HLS conversion against OpenCV's.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "CLWData.h"
#include "DividesCoating.h"
#include "HlsToRgb.h"
#include "TestImages.h"

namespace trellin::test {
namespace {

TEST(LWDividesCoating, LabelsMatchAFloodFillAndColoursFollowTheSequence) {
  std::mt19937 random(3);
  for (int trial = 0; trial < 200; ++trial) {
    const int w = 1 + static_cast<int>(random() % 30);
    const int h = 1 + static_cast<int>(random() % 20);
    const Gray image = randomGray(random, w, h, 1.0 / (2 + random() % 4), {255, 255, 255, 255, 80});
    // Marks left by an earlier operation on the target runs do not keep
    // them from being labelled.
    Data data = setGray(image);
    ASSERT_EQ(LWChoke(data.get(), 0, 0, kBlack, 0, 0), 1);
    const std::int32_t hueStep = static_cast<std::int32_t>(random() % 400) - 20;
    ASSERT_EQ(LWDividesCoating(data.get(), kBlack, hueStep, 0.13, 0.07), 1);
    // Areas are numbered in the order of their first pixel.
    const std::vector<std::uint32_t> expected = labelAreas(image, 0, false);
    std::vector<std::uint32_t> colours{0};
    CoatingColours sequence(hueStep, 0.13, 0.07);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const std::uint32_t label = expected[static_cast<std::size_t>(y) * w + x];
        LWRun run{};
        ASSERT_TRUE(data->runAt(x, static_cast<std::uint32_t>(y), run));
        while (colours.size() <= label) colours.push_back(sequence.next());
        ASSERT_EQ(run.attribute, label) << "trial " << trial << " at " << x << "," << y;
        ASSERT_EQ(run.value, label ? colours[label] : imageValue(image.at(x, y)))
            << "trial " << trial << " at " << x << "," << y;
      }
  }
}

TEST(LWDividesCoating, SequenceWrapsHueSaturationAndLightness) {
  // Hue, saturation and lightness start at 0, 0.2 and 0.2; each colour adds
  // the steps, the hue wraps at 360 (whatever the step), saturation and
  // lightness above 0.8 go back by 0.6.
  struct Case {
    std::int32_t hueStep;
    double saturationStep, lightnessStep;
    int colours;
    std::uint32_t hue;
    double saturation, lightness;
  };
  const Case cases[] = {{120, 0, 0, 3, 0, 0.2, 0.2},        {120, 0, 0, 4, 120, 0.2, 0.2},
                        {0, 0.3, 0.25, 2, 0, 0.8, 0.7},     {0, 0.3, 0.25, 3, 0, 0.5, 0.35},
                        {-90, 0, 0, 1, 270, 0.2, 0.2},      {720 + 30, 0, 0, 1, 30, 0.2, 0.2},
                        {-750, 0.6, 0.6, 1, 330, 0.8, 0.8}, {0, 0.61, 0.6, 1, 0, 0.21, 0.8}};
  for (const Case& c : cases) {
    CoatingColours sequence(c.hueStep, c.saturationStep, c.lightnessStep);
    for (int i = 0; i < c.colours; ++i) sequence.next();
    EXPECT_EQ(sequence.hue(), c.hue) << "hue step " << c.hueStep << ", colour " << c.colours;
    EXPECT_NEAR(sequence.saturation(), c.saturation, 1e-12) << "step " << c.saturationStep;
    EXPECT_NEAR(sequence.lightness(), c.lightness, 1e-12) << "step " << c.lightnessStep;
  }
}

TEST(LWDividesCoating, ContainerWithoutTheTargetIsUnchanged) {
  EXPECT_EQ(LWDividesCoating(nullptr, kBlack, 120, 0, 0), 0);
  const Gray image = parseGray({"..1", "2.."});
  Data data = setGray(image);
  ASSERT_EQ(LWDividesCoating(data.get(), kBlack, 120, 0, 0), 1);
  EXPECT_EQ(describeDifference(returnGray(data.get()), image), "");
  EXPECT_EQ(attributeMask(data.get(), 0), std::vector<std::uint8_t>(6, 1));
}

TEST(HlsToRgb, MatchesOpenCvFloatConversion) {
  // OpenCV's build for processors with fused multiply-add gives the results
  // the engine reproduces bit for bit; its plain build may differ in the
  // last bit.
  const float tolerance = cv::checkHardwareSupport(CV_CPU_FMA3) ? 0.f : 1e-6f;
  for (float hue = -40; hue <= 400; hue += 2.5f)
    for (int li = 0; li <= 20; ++li)
      for (int si = 0; si <= 20; ++si) {
        const float l = li / 20.f, s = si / 20.f;
        // One pixel at a time, as the coating converts its colours.
        cv::Mat hls(1, 1, CV_32FC3, cv::Scalar(hue, l, s)), rgb;
        cv::cvtColor(hls, rgb, cv::COLOR_HLS2RGB);
        const cv::Vec3f expected = rgb.at<cv::Vec3f>(0, 0);
        const Rgb actual = hlsToRgb(hue, l, s);
        ASSERT_NEAR(actual.r, expected[0], tolerance) << hue << " " << l << " " << s;
        ASSERT_NEAR(actual.g, expected[1], tolerance) << hue << " " << l << " " << s;
        ASSERT_NEAR(actual.b, expected[2], tolerance) << hue << " " << l << " " << s;
        const auto byte = [](float v) { return static_cast<std::uint32_t>(v * 255); };
        if (tolerance == 0) {
          ASSERT_EQ(rgbValue(actual),
                    byte(expected[0]) + 256 * byte(expected[1]) + 65536 * byte(expected[2]));
        }
      }
  // Channels outside 0..1 are limited instead of spilling into each other.
  EXPECT_EQ(rgbValue(Rgb{1.5f, -0.2f, 0.5f}), 255u + 65536u * 127u);
}

}  // namespace
}  // namespace trellin::test
