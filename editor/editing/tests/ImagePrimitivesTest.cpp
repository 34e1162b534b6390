// The image primitives of the erasers and filters: region search against a
// walk along one list of remaining runs, region paint, rim smoothing against
// the procedure on page-sized masks, and kernel filtering and morphology
// against plain OpenCV calls on rectangles inside and at the edges.
#include <gtest/gtest.h>

#include <list>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <random>
#include <vector>

#include "quillane/editing/RimSmoothing.h"
#include "quillane/editing/SmoothingKernel.h"
#include "quillane/editing/mcFilterKernel.h"
#include "quillane/editing/mcMorphology.h"
#include "quillane/editing/mcRegionFill.h"
#include "quillane/editing/mcTargetRegionSearch.h"

namespace quillane {
namespace {

// The search as a walk along one list of all remaining runs: a run joins the
// runs of the rows above and below that overlap its columns widened by one.
std::vector<mcRegion> referenceSearch(const uint8_t* p, int w, int h, int stride, int bpp) {
  struct R {
    int x, y, len;
    bool visited = false;
  };
  auto background = [&](int x, int y) {
    const uint8_t* q = p + y * stride + x * bpp;
    if ((bpp == 2 || bpp == 4) && q[bpp - 1] == 0) return true;
    return q[0] == 255 && (bpp < 3 || (q[1] == 255 && q[2] == 255));
  };
  std::list<R> remaining;
  for (int y = 0; y < h; ++y)
    for (int x = 0, e; x < w; x = std::max(e, x + 1)) {
      for (e = x; e < w && !background(e, y);) ++e;
      if (e > x) remaining.push_back({x, y, e - x});
    }
  auto luminance = [](const std::array<uint8_t, 3>& c) {
    return 0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2];
  };
  std::vector<mcRegion> out;
  while (!remaining.empty()) {
    mcRegion& region = out.emplace_back();
    std::list<std::list<R>::iterator> queue{remaining.begin()};
    while (!queue.empty()) {
      auto it = queue.front();
      queue.pop_front();
      const int y = it->y, a = it->x, b = it->x + it->len - 1;
      region.addRun({it->x, it->y, it->len});
      for (int x = a; x <= b; ++x) {  // the first of the darkest colours met
        const uint8_t* q = p + y * stride + x * bpp;
        const std::array<uint8_t, 3> c{q[0], bpp >= 3 ? q[1] : q[0], bpp >= 3 ? q[2] : q[0]};
        if (c != region.darkest && luminance(region.darkest) > luminance(c)) region.darkest = c;
      }
      for (auto back = it; back != remaining.begin();) {
        if ((--back)->y == y) continue;
        if (back->y != y - 1 || back->x + back->len <= a - 1) break;
        if (!back->visited && back->x <= b + 1) back->visited = true, queue.push_back(back);
      }
      for (auto fwd = std::next(it); fwd != remaining.end(); ++fwd) {
        if (fwd->y == y) continue;
        if (fwd->y != y + 1 || fwd->x > b + 1) break;
        if (!fwd->visited && fwd->x + fwd->len > a - 1) fwd->visited = true, queue.push_back(fwd);
      }
      remaining.erase(it);
    }
  }
  return out;
}

TEST(RegionSearch, MatchesAListWalkOnRandomMasks) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 400; ++trial) {
    const int bpp = 1 + trial % 4;
    const int w = 1 + static_cast<int>(rng() % 40), h = 1 + static_cast<int>(rng() % 30);
    const int stride = w * bpp + static_cast<int>(rng() % 3);
    const int density = static_cast<int>(rng() % 100);
    std::vector<uint8_t> m(static_cast<size_t>(stride) * h, 255);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        if (static_cast<int>(rng() % 100) >= density) continue;
        uint8_t* q = &m[y * stride + x * bpp];
        for (int c = 0; c < bpp; ++c) q[c] = static_cast<uint8_t>(rng() % 4 * 60);
        if (bpp == 2 || bpp == 4) q[bpp - 1] = static_cast<uint8_t>(rng() % 3 * 100);
      }
    std::vector<mcRegion> regions;
    mcTargetRegionSearch().search(w, m.data(), h, stride, regions, 0, 0, bpp);
    const std::vector<mcRegion> expected = referenceSearch(m.data(), w, h, stride, bpp);
    ASSERT_EQ(regions.size(), expected.size()) << "trial " << trial;
    for (size_t i = 0; i < regions.size(); ++i) {  // equal runs give equal boxes and areas
      ASSERT_EQ(regions[i].runs, expected[i].runs) << "trial " << trial << " region " << i;
      EXPECT_EQ(regions[i].darkest, expected[i].darkest) << "trial " << trial << " region " << i;
    }
  }
}

TEST(RegionSearch, RefusalsAndGivenBytesAPixel) {
  const std::vector<uint8_t> m{0, 255, 7, 7, 255, 0, 7, 7};
  std::vector<mcRegion> regions(1);
  EXPECT_EQ(mcTargetRegionSearch().search(4, nullptr, 2, 4, regions), 0);
  EXPECT_TRUE(regions.empty());
  EXPECT_EQ(mcTargetRegionSearch().search(4, m.data(), 2, 3, regions), 0);
  EXPECT_EQ(mcTargetRegionSearch().search(1, m.data(), 1, 5, regions), 0);  // 5 bytes a pixel
  // Two pixels a row in 4-byte rows, read as one byte a pixel when told so.
  EXPECT_EQ(mcTargetRegionSearch().search(2, m.data(), 2, 4, regions, 0, 0, 1), 1);
}

TEST(RegionFill, OddAndEvenBytesAPixel) {
  mcRegion region;
  region.addRun({11, 21, 2});
  std::vector<uint8_t> gray(4 * 2, 9), grayAlpha(3 * 2 * 2, 9), rgba(3 * 4 * 2, 9);
  ASSERT_TRUE(mcRegionFill().paint(4, gray.data(), 2, 4, region, 200, 77, 10, 20));
  EXPECT_EQ(gray, (std::vector<uint8_t>{9, 9, 9, 9, 9, 200, 200, 9}));
  ASSERT_TRUE(mcRegionFill().paint(3, grayAlpha.data(), 2, 6, region, 200, 77, 10, 20));
  EXPECT_EQ(std::vector<uint8_t>(grayAlpha.begin() + 6, grayAlpha.end()),
            (std::vector<uint8_t>{9, 9, 200, 77, 200, 77}));
  ASSERT_TRUE(mcRegionFill().paint(3, rgba.data(), 2, 12, region, 200, 77, 10, 20));
  EXPECT_EQ(std::vector<uint8_t>(rgba.begin() + 12, rgba.end()),
            (std::vector<uint8_t>{9, 9, 9, 9, 200, 200, 200, 77, 200, 200, 200, 77}));
  EXPECT_FALSE(mcRegionFill().paint(4, gray.data(), 2, 3, region, 1, 1, 10, 20));
}

// The procedure on masks and planes of the page's size, with plain OpenCV
// calls working in place on the work rectangle (the region's box grown by 1).
void referenceSmooth(const mcRegion& region, cv::Mat& page, uint8_t paint, uint8_t alpha) {
  const cv::Rect w = cv::Rect(region.left - 1, region.top - 1, region.right - region.left + 2,
                              region.bottom - region.top + 2) &
                     cv::Rect(0, 0, page.cols, page.rows);
  cv::Mat mask = cv::Mat::zeros(page.size(), CV_8UC1);
  for (const mcRun& run : region.runs) mask(cv::Rect(run.x, run.y, run.length, 1)).setTo(255);
  // The band: the region's edge by a Laplacian, widened by a dilation.
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

  // Gray + alpha: the alpha is made two-level on the band and smoothed apart.
  auto eachInW = [&](auto f) {
    for (int y = w.y; y < w.y + w.height; ++y)
      for (int x = w.x; x < w.x + w.width; ++x) f(page.at<cv::Vec2b>(y, x), x, y);
  };
  cv::Mat plane(page.size(), CV_8UC1);
  cv::extractChannel(page, plane, 1);
  eachInW([&](cv::Vec2b& p, int x, int y) {
    if (mask.at<uint8_t>(y, x) == 0) return;
    if (p[1] < 128) p[0] = paint;
    plane.at<uint8_t>(y, x) = p[1] >= 128 ? 255 : 0;
  });
  smooth(plane);
  if (alpha != 0)
    eachInW([&](cv::Vec2b& p, int x, int y) {
      if (mask.at<uint8_t>(y, x) != 0 && p[1] == 0) p[0] = paint, mask.at<uint8_t>(y, x) = 0;
    });
  smooth(page);
  eachInW([&](cv::Vec2b& p, int x, int y) { p[1] = plane.at<uint8_t>(y, x); });
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
      region.addRun({x, y, std::min(w - x, 1 + static_cast<int>(rng() % 10))});
    }
    const uint8_t paint = trial % 3 == 0 ? 0 : 255;
    const uint8_t alpha = trial % 5 == 0 ? 0 : 255;
    const auto step = static_cast<int32_t>(page.step);
    ASSERT_TRUE(mcRegionFill().paint(w, page.data, h, step, region, paint, alpha));
    cv::Mat expected = page.clone();
    referenceSmooth(region, expected, paint, alpha);
    ASSERT_TRUE(smoothRegionRim(region, page.data, w, h, step, paint, alpha));
    ASSERT_EQ(cv::norm(page, expected, cv::NORM_INF), 0) << "trial " << trial;
  }
  setSmoothingKernel(kDefaultSmoothingWeights);

  // Three bytes a pixel, a region beside the page, or no region: refused.
  cv::Mat page(30, 40, CV_8UC1, cv::Scalar(7));
  mcRegion region, beside;
  region.addRun({10, 8, 15});
  beside.addRun({50, 8, 10});
  EXPECT_FALSE(smoothRegionRim(region, page.data, 13, 30, 40, 255, 255));
  EXPECT_FALSE(smoothRegionRim(beside, page.data, 40, 30, 40, 255, 255));
  EXPECT_FALSE(smoothRegionRim(mcRegion(), page.data, 40, 30, 40, 255, 255));
  EXPECT_EQ(cv::countNonZero(page != 7), 0);
}

cv::Mat randomImage(int channels) {
  cv::Mat m(17, 23, CV_8UC(channels));
  cv::randu(m, 0, 256);
  return m;
}

// Inside; top-left corner; bottom-right corner; full width; then none (the whole image).
const std::vector<Rect> kRects{{3, 2, 15, 11}, {0, 0, 7, 5}, {10, 6, 23, 17}, {0, 4, 23, 9}};
const Rect* rectAt(size_t i) { return i < kRects.size() ? &kRects[i] : nullptr; }

cv::Mat part(cv::Mat& m, const Rect* r) {
  return r ? m(cv::Rect(r->left, r->top, r->right - r->left, r->bottom - r->top)) : m;
}

TEST(FilterKernel, MatchesFilter2DAndTheDefaultKeepsUniformAreas) {
  const mcFilterKernel kernel(3, 3, {1, -2, 3, 4, 5, -6, 7, 8, 2}, 0, 2);
  std::vector<float> weights = kernel.normalisedCoefficients();
  const cv::Mat k(3, 3, CV_32F, weights.data());
  for (int channels : {1, 2, 3}) {
    const cv::Mat original = randomImage(channels), mask = randomImage(1) > 128;
    for (size_t i = 0; i <= kRects.size(); ++i)
      for (bool masked : {false, true}) {
        cv::Mat ours = original.clone(), expected = original.clone(), filtered,
                maskCopy = mask.clone();
        ASSERT_TRUE(kernel.apply(23, ours.data, 17, static_cast<int32_t>(ours.step), rectAt(i),
                                 masked ? mask.data : nullptr, 23));
        cv::Mat target = part(expected, rectAt(i));
        cv::filter2D(target, filtered, -1, k, cv::Point(0, 2), 0, cv::BORDER_REPLICATE);
        filtered.copyTo(target, masked ? part(maskCopy, rectAt(i)) : cv::noArray());
        EXPECT_EQ(cv::norm(ours, expected, cv::NORM_INF), 0)
            << channels << " channels, rect " << i << ", mask " << masked;
      }
  }
  // The default smoothing keeps a uniform area; a rectangle beside the image is refused.
  const mcFilterKernel smoothing = smoothingKernel();
  for (uint8_t value : {0, 1, 77, 254, 255}) {
    cv::Mat page(9, 9, CV_8UC1, cv::Scalar(value));
    ASSERT_TRUE(smoothing.apply(9, page.data, 9, 9, &kRects[0], nullptr, 0));
    EXPECT_EQ(cv::countNonZero(page != value), 0) << int(value);
  }
  const Rect outside{20, 20, 30, 30};
  EXPECT_FALSE(smoothing.apply(9, cv::Mat(9, 9, CV_8UC1).data, 9, 9, &outside, nullptr, 0));
}

TEST(Morphology, MatchesErodeAndDilateOfTheCross) {
  const cv::Mat cross = cv::getStructuringElement(cv::MORPH_CROSS, cv::Size(3, 3));
  for (int channels : {1, 2, 3, 4}) {
    const cv::Mat original = randomImage(channels);
    for (int op = 0; op < 4; ++op)
      for (size_t i = 0; i <= kRects.size(); ++i) {
        cv::Mat ours = original.clone(), expected = original.clone();
        ASSERT_TRUE(mcMorphology().apply(ours.data, 23, 17, static_cast<int32_t>(ours.step), op,
                                         rectAt(i)));
        cv::Mat target = part(expected, rectAt(i));
        auto run = [&](cv::Mat& m) {  // erode, dilate, open, close
          for (int step : op < 2 ? std::vector{op} : std::vector{op - 2, 3 - op})
            (step == 0 ? cv::erode : cv::dilate)(m, m, cross, {-1, -1}, 1, cv::BORDER_REPLICATE,
                                                 cv::morphologyDefaultBorderValue());
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
        EXPECT_EQ(cv::norm(ours, expected, cv::NORM_INF), 0)
            << channels << " channels, op " << op << ", rect " << i;
      }
  }
  uint8_t pixels[16] = {};
  EXPECT_FALSE(mcMorphology().apply(pixels, 4, 4, 4, 4, nullptr));
}

}  // namespace
}  // namespace quillane
