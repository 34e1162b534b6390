// Rim smoothing: what it keeps and changes around a painted rectangle, and
// equality with the straightforward procedure on page-sized masks.
#include <gtest/gtest.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <random>

#include "quillane/editing/RimSmoothing.h"
#include "quillane/editing/SmoothingKernel.h"
#include "quillane/editing/mcRegionFill.h"

namespace quillane {
namespace {

mcRegion rectangleRegion(int left, int top, int right, int bottom) {
  mcRegion region;
  for (int y = top; y < bottom; ++y) region.addRun({left, y, right - left});
  return region;
}

TEST(RimSmoothing, FilledRectangleKeepsItsInsideAndItsFarSurroundings) {
  cv::Mat page(30, 40, CV_8UC1);
  cv::randu(page, 0, 256);
  const mcRegion region = rectangleRegion(10, 8, 25, 20);
  ASSERT_TRUE(mcRegionFill().paint(40, page.data, 30, 40, region, 255, 255));
  const cv::Mat painted = page.clone();
  ASSERT_TRUE(smoothRegionRim(region, page.data, 40, 30, 40, 255, 255));
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      const bool deepInside = x >= 12 && x < 23 && y >= 10 && y < 18;
      const bool farOutside = x < 9 || x >= 26 || y < 7 || y >= 21;
      if (deepInside) {
        EXPECT_EQ(page.at<uint8_t>(y, x), 255) << x << "," << y;
      }
      if (farOutside) {
        EXPECT_EQ(page.at<uint8_t>(y, x), painted.at<uint8_t>(y, x)) << x << "," << y;
      }
    }
  // The rim itself did change: a painted border pixel now mixes in the
  // random surroundings.
  EXPECT_GT(cv::countNonZero(page != painted), 0);
  EXPECT_FALSE(smoothRegionRim(region, page.data, 13, 30, 40, 255, 255));  // 3 bytes a pixel
  EXPECT_FALSE(smoothRegionRim(rectangleRegion(50, 8, 60, 9), page.data, 40, 30, 40, 255, 255));
}

// The procedure on masks and planes of the page's size, with plain OpenCV
// calls working in place on the work rectangle.
void referenceSmooth(const mcRegion& region, cv::Mat& page, uint8_t paint, uint8_t alpha) {
  const cv::Rect pageRect(0, 0, page.cols, page.rows);
  const cv::Rect w = cv::Rect(region.left - 1, region.top - 1, region.right - region.left + 2,
                              region.bottom - region.top + 2) &
                     pageRect;
  cv::Mat mask = cv::Mat::zeros(page.size(), CV_8UC1);
  for (const mcRun& run : region.runs) mask(cv::Rect(run.x, run.y, run.length, 1)).setTo(255);
  cv::Mat laplacian = (cv::Mat_<float>(3, 3) << -1, -1, -1, -1, 8, -1, -1, -1, -1) / 16.0;
  cv::Mat band = mask(w);
  cv::filter2D(band, band, -1, laplacian, {-1, -1}, 0, cv::BORDER_REPLICATE);
  cv::dilate(band, band, cv::getStructuringElement(cv::MORPH_CROSS, {3, 3}), {-1, -1}, 1,
             cv::BORDER_REPLICATE);
  std::vector<float> weights = smoothingKernel().normalisedCoefficients();
  const cv::Mat smoothing(3, 3, CV_32F, weights.data());
  auto smooth = [&](cv::Mat& image) {
    cv::Mat part = image(w), filtered;
    cv::filter2D(part, filtered, -1, smoothing, {-1, -1}, 0, cv::BORDER_REPLICATE);
    filtered.copyTo(part, band);
  };
  if (page.channels() == 1) return smooth(page);

  cv::Mat plane(page.size(), CV_8UC1);
  cv::extractChannel(page, plane, 1);
  for (int y = w.y; y < w.y + w.height; ++y)
    for (int x = w.x; x < w.x + w.width; ++x) {
      if (mask.at<uint8_t>(y, x) == 0) continue;
      auto& p = page.at<cv::Vec2b>(y, x);
      if (p[1] >= 128) {
        plane.at<uint8_t>(y, x) = 255;
      } else {
        p[0] = paint;
        plane.at<uint8_t>(y, x) = 0;
      }
    }
  smooth(plane);
  if (alpha != 0)
    for (int y = w.y; y < w.y + w.height; ++y)
      for (int x = w.x; x < w.x + w.width; ++x) {
        auto& p = page.at<cv::Vec2b>(y, x);
        if (mask.at<uint8_t>(y, x) != 0 && p[1] == 0) {
          p[0] = paint;
          mask.at<uint8_t>(y, x) = 0;
        }
      }
  smooth(page);
  for (int y = w.y; y < w.y + w.height; ++y)
    for (int x = w.x; x < w.x + w.width; ++x) page.at<cv::Vec2b>(y, x)[1] = plane.at<uint8_t>(y, x);
}

TEST(RimSmoothing, SameAsOnPageSizedMasks) {
  std::mt19937 rng(13);
  setSmoothingKernel({1, 2, 1, 2, 9, 2, 1, 2, 1});
  for (int trial = 0; trial < 300; ++trial) {
    const int channels = 1 + trial % 2;
    const int w = 3 + static_cast<int>(rng() % 30), h = 3 + static_cast<int>(rng() % 30);
    cv::Mat page(h, w, CV_8UC(channels));
    cv::randu(page, 0, 256);
    if (channels == 2 && trial % 4 == 1) {
      // Alpha of 0, 255 and a few between, so every branch is taken.
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          page.at<cv::Vec2b>(y, x)[1] =
              static_cast<uint8_t>(std::array{0, 255, 100, 200}[rng() % 4]);
    }
    // A random blob of runs; some reach the page edges.
    mcRegion region;
    const int x0 = static_cast<int>(rng() % w), y0 = static_cast<int>(rng() % h);
    for (int y = y0; y < std::min(h, y0 + 1 + static_cast<int>(rng() % 12)); ++y) {
      const int x = std::max(0, x0 - static_cast<int>(rng() % 6));
      const int len = std::min(w - x, 1 + static_cast<int>(rng() % 10));
      region.addRun({x, y, len});
    }
    const uint8_t paint = trial % 3 == 0 ? 0 : 255;
    const uint8_t alpha = trial % 5 == 0 ? 0 : 255;
    ASSERT_TRUE(mcRegionFill().paint(w, page.data, h, static_cast<int32_t>(page.step), region,
                                     paint, alpha));
    cv::Mat expected = page.clone();
    referenceSmooth(region, expected, paint, alpha);
    ASSERT_TRUE(
        smoothRegionRim(region, page.data, w, h, static_cast<int32_t>(page.step), paint, alpha));
    ASSERT_EQ(cv::norm(page, expected, cv::NORM_INF), 0) << "trial " << trial;
  }
  setSmoothingKernel(kDefaultSmoothingWeights);
}

}  // namespace
}  // namespace quillane
