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

constexpr std::int32_t kBlack = imageValue(0);

// Label of every pixel: 4-connected areas of black numbered in the order of
// their first pixel, rows from the top; 0 elsewhere.
std::vector<std::uint32_t> labelModel(const Gray& image) {
  std::vector<std::uint32_t> labels(image.pixels.size(), 0);
  std::uint32_t next = 0;
  const int w = image.width;
  for (std::size_t start = 0; start < labels.size(); ++start) {
    if (labels[start] || image.pixels[start] != 0) continue;
    labels[start] = ++next;
    std::vector<int> todo{static_cast<int>(start)};
    while (!todo.empty()) {
      const int p = todo.back();
      todo.pop_back();
      const int x = p % w, y = p / w;
      const int neighbours[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
      for (const auto& n : neighbours) {
        if (n[0] < 0 || n[0] >= w || n[1] < 0 || n[1] >= image.height) continue;
        const int q = n[1] * w + n[0];
        if (!labels[q] && image.pixels[q] == 0) labels[q] = next, todo.push_back(q);
      }
    }
  }
  return labels;
}

LWRun runAt(const CLWData* data, int x, int y) {
  LWRun run{};
  EXPECT_TRUE(data->runAt(x, static_cast<std::uint32_t>(y), run));
  return run;
}

TEST(LWDividesCoating, LabelsMatchAFloodFillAndColoursFollowTheSequence) {
  std::mt19937 random(3);
  for (int trial = 0; trial < 200; ++trial) {
    const int w = 1 + static_cast<int>(random() % 30);
    const int h = 1 + static_cast<int>(random() % 20);
    Gray image(w, h);
    const unsigned dense = 2 + random() % 4;
    for (std::uint8_t& p : image.pixels) p = random() % dense ? (random() % 5 ? 255 : 80) : 0;
    // Marks left by an earlier operation on the target runs do not keep
    // them from being labelled.
    Data data = setGray(image);
    ASSERT_EQ(LWChoke(data.get(), 0, 0, kBlack, 0, 0), 1);
    const std::int32_t hueStep = static_cast<std::int32_t>(random() % 400) - 20;
    ASSERT_EQ(LWDividesCoating(data.get(), kBlack, hueStep, 0.13, 0.07), 1);
    const std::vector<std::uint32_t> expected = labelModel(image);
    std::vector<std::uint32_t> colours{0};
    CoatingColours sequence(hueStep, 0.13, 0.07);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const std::uint32_t label = expected[static_cast<std::size_t>(y) * w + x];
        const LWRun run = runAt(data.get(), x, y);
        if (label == 0) {
          ASSERT_EQ(run.value, static_cast<std::uint32_t>(imageValue(image.at(x, y))));
          continue;
        }
        while (colours.size() <= label) colours.push_back(sequence.next());
        ASSERT_EQ(run.attribute, label) << "trial " << trial << " at " << x << "," << y;
        ASSERT_EQ(run.value, colours[label]) << "trial " << trial << " at " << x << "," << y;
      }
  }
}

TEST(LWDividesCoating, CornerTouchingAreasAreSeparate) {
  Data data = setGray(parseGray({"#.#", ".#.", "#.#"}));
  ASSERT_EQ(LWDividesCoating(data.get(), kBlack, 120, 0, 0), 1);
  std::vector<std::uint32_t> values;
  const int points[5][2] = {{0, 0}, {2, 0}, {1, 1}, {0, 2}, {2, 2}};
  for (std::uint32_t k = 0; k < 5; ++k) {
    const LWRun run = runAt(data.get(), points[k][0], points[k][1]);
    EXPECT_EQ(run.attribute, k + 1);
    values.push_back(run.value);
  }
  EXPECT_NE(values[0], values[1]);
  EXPECT_NE(values[1], values[2]);
  EXPECT_EQ(values[0], values[3]);  // the hue comes round after three areas
}

TEST(LWDividesCoating, SequenceWrapsHueSaturationAndLightness) {
  CoatingColours hues(120, 0, 0);
  for (const std::uint32_t hue : {120u, 240u, 0u, 120u}) {
    hues.next();
    EXPECT_EQ(hues.hue(), hue);
    EXPECT_DOUBLE_EQ(hues.saturation(), 0.2);
    EXPECT_DOUBLE_EQ(hues.lightness(), 0.2);
  }
  CoatingColours steps(0, 0.3, 0.25);
  const double saturations[] = {0.5, 0.8, 0.5, 0.8};
  const double lightnesses[] = {0.45, 0.7, 0.35, 0.6};
  for (int i = 0; i < 4; ++i) {
    steps.next();
    EXPECT_NEAR(steps.saturation(), saturations[i], 1e-12);
    EXPECT_NEAR(steps.lightness(), lightnesses[i], 1e-12);
  }
  // Negative and whole-turn hue steps stay within one turn.
  CoatingColours back(-90, 0, 0);
  back.next();
  EXPECT_EQ(back.hue(), 270u);
  CoatingColours turn(720 + 30, 0, 0);
  turn.next();
  EXPECT_EQ(turn.hue(), 30u);
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
