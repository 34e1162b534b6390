// Kernel filtering and morphology against plain OpenCV calls, on whole images
// and on rectangles inside the image and touching its edges.
#include <gtest/gtest.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <random>

#include "quillane/editing/SmoothingKernel.h"
#include "quillane/editing/mcFilterKernel.h"
#include "quillane/editing/mcMorphology.h"

namespace quillane {
namespace {

cv::Mat randomImage(int w, int h, int channels, std::mt19937& rng) {
  cv::Mat m(h, w, CV_8UC(channels));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w * channels; ++x) m.ptr<uint8_t>(y)[x] = static_cast<uint8_t>(rng());
  return m;
}

bool same(const cv::Mat& a, const cv::Mat& b) {
  return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0;
}

const std::vector<Rect> kRects{
    {3, 2, 15, 11},   // inside
    {0, 0, 7, 5},     // top-left corner
    {10, 6, 23, 17},  // bottom-right corner
    {0, 4, 23, 9},    // full width
};

TEST(FilterKernel, MatchesFilter2D) {
  std::mt19937 rng(3);
  const mcFilterKernel kernel(3, 3, {1, -2, 3, 4, 5, -6, 7, 8, 2}, 0, 2);
  std::vector<float> weights = kernel.normalisedCoefficients();
  const cv::Mat k(3, 3, CV_32F, weights.data());
  for (int channels : {1, 2, 3}) {
    const cv::Mat original = randomImage(23, 17, channels, rng);
    // Whole image.
    cv::Mat ours = original.clone(), expected;
    ASSERT_TRUE(
        kernel.apply(23, ours.data, 17, static_cast<int32_t>(ours.step), nullptr, nullptr, 0));
    cv::filter2D(original, expected, -1, k, cv::Point(0, 2), 0, cv::BORDER_REPLICATE);
    EXPECT_TRUE(same(ours, expected)) << channels;

    for (const Rect& r : kRects) {
      const cv::Rect roi(r.left, r.top, r.right - r.left, r.bottom - r.top);
      const cv::Mat mask = randomImage(23, 17, 1, rng) > 128;
      // Without a mask: the rectangle filtered, reading the pixels around it.
      ours = original.clone();
      ASSERT_TRUE(kernel.apply(23, ours.data, 17, static_cast<int32_t>(ours.step), &r, nullptr, 0));
      expected = original.clone();
      cv::Mat part = expected(roi), filtered;
      cv::filter2D(part, filtered, -1, k, cv::Point(0, 2), 0, cv::BORDER_REPLICATE);
      filtered.copyTo(part);
      EXPECT_TRUE(same(ours, expected)) << channels << " " << r.left << "," << r.top;
      // With a mask: only where it is set.
      ours = original.clone();
      ASSERT_TRUE(kernel.apply(23, ours.data, 17, static_cast<int32_t>(ours.step), &r, mask.data,
                               static_cast<int32_t>(mask.step)));
      expected = original.clone();
      part = expected(roi);
      filtered.copyTo(part, mask(roi));
      EXPECT_TRUE(same(ours, expected)) << channels << " masked " << r.left << "," << r.top;
    }
  }
}

TEST(FilterKernel, SmoothingKernelAndRefusals) {
  // The default weights leave a uniform area as it is and sum to 256.
  const mcFilterKernel kernel = smoothingKernel();
  float sum = 0;
  for (float c : kernel.coefficients()) sum += c;
  EXPECT_EQ(sum, 256.0f);
  for (uint8_t value : {0, 1, 77, 254, 255}) {
    cv::Mat page(9, 9, CV_8UC1, cv::Scalar(value));
    const Rect r{2, 2, 7, 7};
    ASSERT_TRUE(kernel.apply(9, page.data, 9, 9, &r, nullptr, 0));
    EXPECT_EQ(cv::countNonZero(page != value), 0) << int(value);
  }
  uint8_t pixels[16] = {};
  const Rect outside{20, 20, 30, 30};
  EXPECT_FALSE(kernel.apply(4, pixels, 4, 3, nullptr, nullptr, 0));
  EXPECT_FALSE(kernel.apply(0, pixels, 4, 4, nullptr, nullptr, 0));
  EXPECT_FALSE(kernel.apply(4, pixels, 4, 4, &outside, nullptr, 0));
}

TEST(Morphology, ElementIsTheCross) {
  mcMorphology morphology(3, 3);
  const cv::Mat cross = cv::getStructuringElement(cv::MORPH_CROSS, cv::Size(3, 3));
  EXPECT_TRUE(same(morphology.element(), cross));
}

TEST(Morphology, OddBytesAPixelMatchErodeAndDilate) {
  std::mt19937 rng(5);
  const cv::Mat cross = cv::getStructuringElement(cv::MORPH_CROSS, cv::Size(3, 3));
  for (int channels : {1, 3}) {
    const cv::Mat original = randomImage(23, 17, channels, rng);
    for (int op = 0; op < 4; ++op) {
      for (size_t i = 0; i <= kRects.size(); ++i) {
        const Rect* r = i < kRects.size() ? &kRects[i] : nullptr;
        cv::Mat ours = original.clone();
        mcMorphology morphology;
        ASSERT_TRUE(morphology.apply(ours.data, 23, 17, static_cast<int32_t>(ours.step), op, r));
        cv::Mat expected = original.clone();
        cv::Mat part =
            r ? expected(cv::Rect(r->left, r->top, r->right - r->left, r->bottom - r->top))
              : expected;
        // In place on the image, one step after the other.
        auto erode = [&] { cv::erode(part, part, cross, {-1, -1}, 1, cv::BORDER_REPLICATE); };
        auto dilate = [&] { cv::dilate(part, part, cross, {-1, -1}, 1, cv::BORDER_REPLICATE); };
        if (op == 0) erode();
        if (op == 1) dilate();
        if (op == 2) erode(), dilate();
        if (op == 3) dilate(), erode();
        EXPECT_TRUE(same(ours, expected)) << channels << " op " << op << " rect " << i;
      }
    }
  }
  mcMorphology morphology;
  uint8_t pixels[16] = {};
  EXPECT_FALSE(morphology.apply(pixels, 4, 4, 4, 4, nullptr));
  EXPECT_FALSE(morphology.apply(pixels, 4, 4, 4, -1, nullptr));
}

TEST(Morphology, EvenBytesAPixelWorkChannelByChannelWithInvertedAlpha) {
  std::mt19937 rng(9);
  const cv::Mat cross = cv::getStructuringElement(cv::MORPH_CROSS, cv::Size(3, 3));
  for (int channels : {2, 4}) {
    const cv::Mat original = randomImage(23, 17, channels, rng);
    for (int op = 0; op < 4; ++op) {
      for (const Rect& r : kRects) {
        cv::Mat ours = original.clone();
        ASSERT_TRUE(
            mcMorphology().apply(ours.data, 23, 17, static_cast<int32_t>(ours.step), op, &r));
        cv::Mat expected = original.clone();
        cv::Mat part = expected(cv::Rect(r.left, r.top, r.right - r.left, r.bottom - r.top));
        std::vector<cv::Mat> planes;
        cv::split(part, planes);
        cv::bitwise_not(planes.back(), planes.back());
        for (cv::Mat& plane : planes)
          cv::morphologyEx(plane, plane,
                           op == 0   ? cv::MORPH_ERODE
                           : op == 1 ? cv::MORPH_DILATE
                           : op == 2 ? cv::MORPH_OPEN
                                     : cv::MORPH_CLOSE,
                           cross, {-1, -1}, 1, cv::BORDER_REPLICATE);
        cv::bitwise_not(planes.back(), planes.back());
        cv::merge(planes, part);
        EXPECT_TRUE(same(ours, expected)) << channels << " op " << op << " " << r.left;
      }
    }
  }
}

}  // namespace
}  // namespace quillane
