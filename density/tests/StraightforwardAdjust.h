#pragma once
// The density adjustment done the plain way: every image step is its own
// full-page OpenCV call, and the peak search, level search and tone curve are
// written out from their definitions. Slow and memory-hungry on purpose: the
// library's fused passes must reproduce it byte for byte (tests, benchmark).
#include "tonvale/TonvaleParameter.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace straightforward {

using Record = tonvale::TonvaleParameter::Record;

struct Outcome {
  bool ok = false;
  int paperPeak = 0, inkPeak = 0, whiteLevel = 0, blackLevel = 0, blackPoint = 0, whitePoint = 0;
};

// Peak search over bins first, first + step, ... (last excluded).
inline int peak(const std::array<int64_t, 256>& hist, int first, int last, int step) {
  int result = 255, maximum = 0;
  for (int i = first; i != last; i += step) {
    const int f = static_cast<int>(hist[i]);
    if (f > maximum) {
      result = i;
      maximum = maximum == 0 ? f / 2 : f;
    }
  }
  return result;
}

// Paper core (threshold above t - c, eroded) and ink core (complement of the
// threshold above o + c, dilated) of the smoothed page.
inline void cores(const cv::Mat& smooth, int t, int o, int c, cv::Mat& paperCore,
                  cv::Mat& inkCore) {
  const cv::Mat ellipse = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(7, 7));
  cv::Mat paperMask, inkMask, nonInk;
  cv::threshold(smooth, paperMask, t - c, 255, cv::THRESH_BINARY);
  cv::erode(paperMask, paperCore, ellipse, cv::Point(3, 3), 1, cv::BORDER_REPLICATE);
  cv::threshold(smooth, inkMask, o + c, 255, cv::THRESH_BINARY);
  cv::dilate(inkMask, nonInk, ellipse, cv::Point(3, 3), 1, cv::BORDER_REPLICATE);
  cv::bitwise_not(nonInk, inkCore);
}

// Gray histogram of an image (OpenCV counts in single precision, exact up to
// 2^24 pixels a bin).
inline std::array<int64_t, 256> grays(const cv::Mat& image) {
  cv::Mat hist;
  const int channels[] = {0}, sizes[] = {256};
  const float range[] = {0, 256};
  const float* ranges[] = {range};
  cv::calcHist(&image, 1, channels, cv::Mat(), hist, 1, sizes, ranges, true, false);
  std::array<int64_t, 256> counts{};
  for (int i = 0; i < 256; ++i) counts[i] = static_cast<int64_t>(hist.at<float>(i));
  return counts;
}

// Level search: count the mask, AND it with the image, count the grays.
inline int level(const cv::Mat& image, const cv::Mat& mask, int start, double dust, int level) {
  const long long count = cv::countNonZero(mask);
  if (count == 0) return level;
  cv::Mat anded;
  cv::bitwise_and(mask, image, anded);
  const auto hist = grays(anded);
  for (int n = start; n > 128; --n) {
    long long sum = 0;
    for (int k = n; k <= 255; ++k) sum += hist[k];
    if (static_cast<double>(count - sum) <= static_cast<double>(count) * dust) return n;
  }
  return level;
}

inline Outcome adjust(const uint8_t* src, int width, int height, int stride, uint8_t* dst,
                      const Record& r) {
  Outcome out;
  const cv::Mat page(height, width, CV_8UC1, const_cast<uint8_t*>(src),
                     static_cast<size_t>(stride));
  cv::Mat smooth;
  try {
    cv::GaussianBlur(page, smooth, cv::Size(r.TONE_SIZE, r.TONE_SIZE), 0, 0, cv::BORDER_REPLICATE);
  } catch (const cv::Exception&) {
    return out;
  }
  const float fraction = static_cast<float>(r.MARGIN_RATE) / 100.0f;
  const int dx = static_cast<int>(static_cast<double>(fraction) * width);
  const int dy = static_cast<int>(static_cast<double>(fraction) * height);
  if (width - 2 * dx <= 0 || height - 2 * dy <= 0) return out;
  const auto hist = grays(page(cv::Rect(dx, dy, width - 2 * dx, height - 2 * dy)).clone());
  out.paperPeak = peak(hist, 255, 170, -1);
  out.inkPeak = peak(hist, 0, 85, 1);

  cv::Mat paperCore, inkCore, inverted;
  cores(smooth, out.paperPeak, out.inkPeak, r.MASK_CREATE_TH_CONPENSATION, paperCore, inkCore);
  const cv::Mat copy = page.clone();
  const double dust = r.ALLOW_DUST_RATE / 100.0;
  out.whiteLevel = level(copy, paperCore, out.paperPeak, dust, 0);
  cv::bitwise_not(page, inverted);
  out.blackLevel = 255 - level(inverted, inkCore, 255 - out.inkPeak, dust, 0);

  out.blackPoint =
      std::clamp(static_cast<int>(out.blackLevel + (r.SHADOW_LEVEL_COMPENSATION - 50.0)), 0, 128);
  out.whitePoint = std::clamp(
      static_cast<int>(out.whiteLevel - (r.HIGHLIGHT_LEVEL_COMPENSATION - 50.0)), 129, 255);
  const double inverseGamma = 1.0 / r.GAMMA;
  if (inverseGamma == 0) return out;
  cv::Mat lut(1, 256, CV_8UC1);
  for (int i = 0; i < 256; ++i) {
    int v = i <= out.blackPoint ? 0 : 255;
    if (i > out.blackPoint && i < out.whitePoint) {
      const double ratio =
          static_cast<double>(i - out.blackPoint) / (out.whitePoint - out.blackPoint);
      v = static_cast<int>(255.0 * std::pow(ratio, 1.0 / inverseGamma));
      v = v > 255 ? 255 : (v <= 0 ? 0 : v);
    }
    lut.at<uint8_t>(i) = static_cast<uint8_t>(v);
  }
  cv::Mat result(height, width, CV_8UC1, dst, static_cast<size_t>(stride));
  cv::LUT(page, lut, result);
  out.ok = true;
  return out;
}

}  // namespace straightforward
