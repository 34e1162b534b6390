#include "tonvale/CAutoAdjustCore.h"

#include "CoreMaskHistograms.h"

#include <opencv2/core.hpp>

#include <algorithm>
#include <climits>
#include <cmath>
#include <mutex>
#include <new>

namespace tonvale {

namespace {

// Grays above this are searched for the paper peak, grays below kInkRangeEnd
// for the ink peak (the upper and lower third of the scale).
constexpr int kPaperRangeStart = 2 * 256 / 3;
constexpr int kInkRangeEnd = 256 / 3;
// The level searches stop above the middle gray.
constexpr int kLowestLevel = 129;
// Black point at most this, white point at least kLowestLevel.
constexpr int kHighestBlackPoint = 128;

// A histogram count as the peak search sees it: rounded to single precision
// and truncated to an integer.
int searchCount(int64_t count) {
  const float rounded = static_cast<float>(count);
  return rounded >= 2147483648.0f ? INT_MAX : static_cast<int>(rounded);
}

class MarginHistogramLoop : public cv::ParallelLoopBody {
 public:
  MarginHistogramLoop(const uint8_t* first, int width, size_t stride,
                      CAutoAdjustCore::Histogram& result)
      : first_(first), width_(width), stride_(stride), result_(result) {}

  void operator()(const cv::Range& rows) const override {
    // Four tables in turn, so runs of equal grays do not wait on each other.
    uint64_t tables[4][256] = {};
    for (int y = rows.start; y < rows.end; ++y) {
      const uint8_t* p = first_ + static_cast<size_t>(y) * stride_;
      int x = 0;
      for (; x + 4 <= width_; x += 4) {
        ++tables[0][p[x]];
        ++tables[1][p[x + 1]];
        ++tables[2][p[x + 2]];
        ++tables[3][p[x + 3]];
      }
      for (; x < width_; ++x) ++tables[0][p[x]];
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    for (int v = 0; v < 256; ++v) {
      result_[v] += static_cast<int64_t>(tables[0][v] + tables[1][v] + tables[2][v] + tables[3][v]);
    }
  }

 private:
  const uint8_t* first_;
  int width_;
  size_t stride_;
  CAutoAdjustCore::Histogram& result_;
  mutable std::mutex mutex_;
};

}  // namespace

AdjustSettings AdjustSettings::fromRecord(const TonvaleParameter::Record& record) {
  AdjustSettings settings;
  settings.toneSize = record.TONE_SIZE;
  settings.maskThresholdCompensation = record.MASK_CREATE_TH_CONPENSATION;
  settings.marginRate = record.MARGIN_RATE;
  settings.allowDustRate = record.ALLOW_DUST_RATE;
  settings.shadowOffset = static_cast<double>(record.SHADOW_LEVEL_COMPENSATION) - 50.0;
  settings.highlightOffset = static_cast<double>(record.HIGHLIGHT_LEVEL_COMPENSATION) - 50.0;
  settings.inverseGamma = 1.0 / record.GAMMA;
  return settings;
}

CAutoAdjustCore::CAutoAdjustCore(const AdjustSettings& settings) : settings_(settings) {}

bool CAutoAdjustCore::execute(const uint8_t* src, int width, int height, int stride, uint8_t* dst) {
  const AdjustSettings& s = settings_;
  if (src == nullptr || dst == nullptr || width <= 0 || height <= 0 || stride < width) return false;
  if (s.toneSize <= 0 || s.toneSize % 2 == 0) return false;  // the smoothing needs an odd aperture
  if (s.maskThresholdCompensation < 0 || s.allowDustRate < 0) return false;
  if (!(s.shadowOffset >= -50 && s.shadowOffset <= 50)) return false;
  if (!(s.highlightOffset >= -50 && s.highlightOffset <= 50)) return false;
  try {
    return run(src, width, height, stride, dst);
  } catch (const cv::Exception&) {
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool CAutoAdjustCore::run(const uint8_t* src, int width, int height, int stride, uint8_t* dst) {
  const AdjustSettings& s = settings_;
  const size_t rowStep = static_cast<size_t>(stride);

  // Peaks of the page without its margin; one histogram serves both.
  const float marginFraction = static_cast<float>(s.marginRate) / 100.0f;
  Histogram margin{};
  if (!marginHistogram(src, width, height, stride, marginFraction, margin)) return false;
  paperPeak_ = CalcBlackColor(margin, PeakRange::Paper);
  inkPeak_ = CalcBlackColor(margin, PeakRange::Ink);

  // Paper core and ink core, counted against the page's grays.
  const int64_t compensation = s.maskThresholdCompensation;
  CoreMaskHistograms cores;
  cores.compute(src, width, height, rowStep, s.toneSize, paperPeak_ - compensation,
                inkPeak_ + compensation);

  const double dustFraction = s.allowDustRate / 100.0;
  whiteLevel_ = 0;
  blackLevel_ = 0;
  AdjustWhLevel(cores.paper, cores.paperCount, paperPeak_, dustFraction, whiteLevel_);
  AdjustWhLevel(cores.ink, cores.inkCount, 255 - inkPeak_, dustFraction, blackLevel_);
  blackLevel_ = 255 - blackLevel_;  // back from the inverted scale, also when nothing was found

  blackPoint_ = std::clamp(static_cast<int>(blackLevel_ + s.shadowOffset), 0, kHighestBlackPoint);
  whitePoint_ = std::clamp(static_cast<int>(whiteLevel_ - s.highlightOffset), kLowestLevel, 255);
  if (!buildToneCurve(blackPoint_, whitePoint_, s.inverseGamma, lut_)) return false;

  // The only write to dst: one lookup per pixel, width bytes of each row.
  cv::Mat table(1, 256, CV_8UC1);
  for (int i = 0; i < 256; ++i) table.at<uint8_t>(i) = static_cast<uint8_t>(lut_[i] & 0xFF);
  const cv::Mat in(height, width, CV_8UC1, const_cast<uint8_t*>(src), rowStep);
  cv::Mat out(height, width, CV_8UC1, dst, rowStep);
  cv::LUT(in, table, out);
  return true;
}

bool CAutoAdjustCore::marginHistogram(const uint8_t* page, int width, int height, int stride,
                                      float marginFraction, Histogram& out) {
  if (page == nullptr || width <= 0 || height <= 0 || stride < width) return false;
  if (!(marginFraction >= 0.0f && marginFraction <= 50.0f)) return false;
  const double dx = std::trunc(static_cast<double>(marginFraction) * width);
  const double dy = std::trunc(static_cast<double>(marginFraction) * height);
  if (width - 2 * dx <= 0 || height - 2 * dy <= 0) return false;
  const int left = static_cast<int>(dx);
  const int top = static_cast<int>(dy);
  const int cropWidth = width - 2 * left;
  const int cropHeight = height - 2 * top;

  out.fill(0);
  const size_t rowStep = static_cast<size_t>(stride);
  MarginHistogramLoop loop(page + static_cast<size_t>(top) * rowStep + left, cropWidth, rowStep,
                           out);
  const int stripes = std::max(1, std::min(cropHeight / 64, 4 * cv::getNumThreads()));
  cv::parallel_for_(cv::Range(0, cropHeight), loop, stripes);
  return true;
}

int CAutoAdjustCore::CalcBlackColor(const Histogram& marginHistogram, PeakRange range) {
  int result = 255;
  int maximum = 0;
  const auto visit = [&](int i) {
    const int f = searchCount(marginHistogram[i]);
    if (f > maximum) {
      result = i;
      // The first bin met counts only half against the later ones.
      maximum = maximum == 0 ? f / 2 : f;
    }
  };
  if (range == PeakRange::Paper) {
    for (int i = 255; i > kPaperRangeStart; --i) visit(i);
  } else {
    for (int i = 0; i < kInkRangeEnd; ++i) visit(i);
  }
  return result;
}

bool CAutoAdjustCore::AdjustWhLevel(const Histogram& maskHistogram, int64_t count, int startLevel,
                                    double dustFraction, int& level) {
  if (dustFraction < 0 || count == 0) return false;
  const double allowed = static_cast<double>(count) * dustFraction;
  // Sum of the bins from n up to 255, grown as n goes down.
  int64_t sum = 0;
  for (int n = 255; n > startLevel && n >= kLowestLevel; --n) sum += maskHistogram[n];
  for (int n = startLevel; n >= kLowestLevel; --n) {
    if (n <= 255) sum += maskHistogram[n];
    if (static_cast<double>(count - sum) <= allowed) {
      level = n;
      return true;
    }
  }
  return false;
}

bool CAutoAdjustCore::buildToneCurve(int q, int r, double inverseGamma, ToneCurve& curve) {
  if (q < 0 || r > 255 || q == r || q > 255 || inverseGamma == 0) return false;
  const double exponent = 1.0 / inverseGamma;
  for (int i = 0; i < 256; ++i) {
    if (i <= q) {
      curve[i] = 0;
    } else if (i >= r) {
      curve[i] = 255;
    } else {
      const double v =
          255.0 * std::pow(static_cast<double>(i - q) / static_cast<double>(r - q), exponent);
      // trunc(v) > 255 exactly when v >= 256, trunc(v) <= 0 when v < 1.
      if (std::isnan(v) || v < 1.0) {
        curve[i] = 0;
      } else if (v >= 256.0) {
        curve[i] = 255;
      } else {
        curve[i] = static_cast<int32_t>(v);
      }
    }
  }
  return true;
}

}  // namespace tonvale
