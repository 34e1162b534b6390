// Kernel filtering and morphology against plain OpenCV calls, on whole images
// and on rectangles inside the image and touching its edges.
#include <gtest/gtest.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "quillane/editing/SmoothingKernel.h"
#include "quillane/editing/mcFilterKernel.h"
#include "quillane/editing/mcMorphology.h"

namespace quillane {
namespace {

cv::Mat randomImage(int channels) {
  cv::Mat m(17, 23, CV_8UC(channels));
  cv::randu(m, 0, 256);
  return m;
}

bool same(const cv::Mat& a, const cv::Mat& b) { return cv::norm(a, b, cv::NORM_INF) == 0; }

// Inside; top-left corner; bottom-right corner; full width; none (the whole image).
const std::vector<Rect> kRects{{3, 2, 15, 11}, {0, 0, 7, 5}, {10, 6, 23, 17}, {0, 4, 23, 9}};

cv::Mat part(cv::Mat& m, const Rect* r) {
  return r ? m(cv::Rect(r->left, r->top, r->right - r->left, r->bottom - r->top)) : m;
}

TEST(FilterKernel, MatchesFilter2DWithAndWithoutMask) {
  const mcFilterKernel kernel(3, 3, {1, -2, 3, 4, 5, -6, 7, 8, 2}, 0, 2);
  std::vector<float> weights = kernel.normalisedCoefficients();
  const cv::Mat k(3, 3, CV_32F, weights.data());
  for (int channels : {1, 2, 3}) {
    const cv::Mat original = randomImage(channels);
    const cv::Mat mask = randomImage(1) > 128;
    for (size_t i = 0; i <= kRects.size(); ++i) {
      const Rect* r = i < kRects.size() ? &kRects[i] : nullptr;
      for (bool masked : {false, true}) {
        cv::Mat ours = original.clone();
        ASSERT_TRUE(kernel.apply(23, ours.data, 17, static_cast<int32_t>(ours.step), r,
                                 masked ? mask.data : nullptr, 23));
        cv::Mat expected = original.clone(), filtered;
        cv::Mat target = part(expected, r);
        cv::filter2D(target, filtered, -1, k, cv::Point(0, 2), 0, cv::BORDER_REPLICATE);
        cv::Mat maskPart = mask.clone();
        filtered.copyTo(target, masked ? part(maskPart, r) : cv::noArray());
        EXPECT_TRUE(same(ours, expected)) << channels << " rect " << i << " mask " << masked;
      }
    }
  }
}

TEST(FilterKernel, DefaultSmoothingKeepsAUniformArea) {
  const mcFilterKernel kernel = smoothingKernel();
  for (uint8_t value : {0, 1, 77, 254, 255}) {
    cv::Mat page(9, 9, CV_8UC1, cv::Scalar(value));
    ASSERT_TRUE(kernel.apply(9, page.data, 9, 9, &kRects[0], nullptr, 0));
    EXPECT_EQ(cv::countNonZero(page != value), 0) << int(value);
  }
  const Rect outside{20, 20, 30, 30};
  EXPECT_FALSE(kernel.apply(9, cv::Mat(9, 9, CV_8UC1).data, 9, 9, &outside, nullptr, 0));
}

TEST(Morphology, MatchesErodeAndDilateOfTheCross) {
  const cv::Mat cross = cv::getStructuringElement(cv::MORPH_CROSS, cv::Size(3, 3));
  for (int channels : {1, 2, 3, 4}) {
    const cv::Mat original = randomImage(channels);
    for (int op = 0; op < 4; ++op) {
      for (size_t i = 0; i <= kRects.size(); ++i) {
        const Rect* r = i < kRects.size() ? &kRects[i] : nullptr;
        cv::Mat ours = original.clone();
        ASSERT_TRUE(
            mcMorphology().apply(ours.data, 23, 17, static_cast<int32_t>(ours.step), op, r));
        cv::Mat expected = original.clone();
        cv::Mat target = part(expected, r);
        auto run = [&](cv::Mat& m) {
          auto erode = [&] { cv::erode(m, m, cross, {-1, -1}, 1, cv::BORDER_REPLICATE); };
          auto dilate = [&] { cv::dilate(m, m, cross, {-1, -1}, 1, cv::BORDER_REPLICATE); };
          if (op == 0) erode();
          if (op == 1) dilate();
          if (op == 2) erode(), dilate();
          if (op == 3) dilate(), erode();
        };
        if (channels % 2 == 1) {
          run(target);  // in place on the image, reading around the rectangle
        } else {
          // Channel by channel on copies of the rectangle, alpha inverted.
          std::vector<cv::Mat> planes;
          cv::split(target, planes);
          cv::bitwise_not(planes.back(), planes.back());
          for (cv::Mat& plane : planes) run(plane);
          cv::bitwise_not(planes.back(), planes.back());
          cv::merge(planes, target);
        }
        EXPECT_TRUE(same(ours, expected)) << channels << " op " << op << " rect " << i;
      }
    }
  }
  uint8_t pixels[16] = {};
  EXPECT_FALSE(mcMorphology().apply(pixels, 4, 4, 4, 4, nullptr));
}

}  // namespace
}  // namespace quillane
