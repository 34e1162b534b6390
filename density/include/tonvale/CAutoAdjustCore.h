#pragma once
// The automatic line-art density adjustment of one 8-bit gray page.
//
// The page's paper level and ink level are found from the page itself, and
// every pixel is mapped through a tone curve: at or below the black point Q
// it becomes 0, at or above the white point R it becomes 255, and the grays in
// between are stretched by a power curve with exponent GAMMA.
//
//  1. Peaks: a 256-bin histogram of the page without its margin (MARGIN_RATE
//     percent of width and height on each side). The paper peak t is searched
//     in grays 255 down to 171, the ink peak o in grays 0 up to 84; the first
//     non-empty bin met counts only half against later bins. 255 when empty.
//  2. Masks: the page smoothed with a TONE_SIZE x TONE_SIZE Gaussian (sigma
//     derived from the aperture, replicated border). The paper core is where
//     the smoothed page is above t - MASK_CREATE_TH_CONPENSATION, eroded by a
//     7 x 7 ellipse; the ink core is where the smoothed page is at or below
//     o + MASK_CREATE_TH_CONPENSATION, eroded the same way (the complement of
//     the dilated lighter area). Morphology replicates the border.
//  3. Levels: the white level is the highest gray n in t .. 129 such that at
//     most ALLOW_DUST_RATE percent of the paper core's pixels are darker than
//     n; the black level likewise on the inverted page over the ink core,
//     starting at 255 - o, turned back (255 when nothing qualifies).
//  4. Q = black level + SHADOW_LEVEL_COMPENSATION - 50 clamped to 0..128,
//     R = white level - (HIGHLIGHT_LEVEL_COMPENSATION - 50) clamped to 129..255.
//
// Buffers: src and dst are height rows of stride bytes; only the first width
// bytes of each row are pixels. dst receives exactly those bytes, in one final
// pass that reads each source byte before writing the destination byte at the
// same offset, so dst may be src; padding bytes of dst are never written, and
// nothing is written to dst when the adjustment fails.
#include "tonvale/TonvaleParameter.h"

#include <array>
#include <cstdint>

namespace tonvale {

/// The parameters of one run, derived from a Record.
struct AdjustSettings {
  int toneSize = 3;                    ///< TONE_SIZE, odd and >= 1
  int maskThresholdCompensation = 10;  ///< MASK_CREATE_TH_CONPENSATION, >= 0
  int marginRate = 5;                  ///< MARGIN_RATE, percent per side
  double allowDustRate = 0.01;         ///< ALLOW_DUST_RATE, percent, >= 0
  double shadowOffset = 0;             ///< SHADOW_LEVEL_COMPENSATION - 50, in -50..50
  double highlightOffset = 15;         ///< HIGHLIGHT_LEVEL_COMPENSATION - 50, in -50..50
  double inverseGamma = 1;             ///< 1 / GAMMA, not 0

  static AdjustSettings fromRecord(const TonvaleParameter::Record& record);
};

class CAutoAdjustCore {
 public:
  /// Pixel counts by gray level.
  using Histogram = std::array<int64_t, 256>;
  /// Output gray by input gray.
  using ToneCurve = std::array<int32_t, 256>;
  enum class PeakRange { Paper, Ink };

  explicit CAutoAdjustCore(const AdjustSettings& settings);

  /// Adjusts src into dst (see the top of this file). Fails, returning false
  /// and leaving dst untouched, when: src or dst is null; width or height is
  /// not positive; stride < width; TONE_SIZE is not a positive odd number;
  /// MASK_CREATE_TH_CONPENSATION or ALLOW_DUST_RATE is negative; an offset
  /// lies outside -50..50; the margin leaves no pixel (MARGIN_RATE < 0,
  /// above 5000, or >= half the width or height); GAMMA is infinite; memory
  /// runs out. Uses the process's OpenCV threads.
  [[nodiscard]] bool execute(const uint8_t* src, int width, int height, int stride, uint8_t* dst);

  /// What the last execute found (valid after a successful run; levels are 0
  /// before it): paper peak t, ink peak o, white and black level, black
  /// point Q, white point R and the tone curve.
  int paperPeak() const { return paperPeak_; }
  int inkPeak() const { return inkPeak_; }
  int whiteLevel() const { return whiteLevel_; }
  int blackLevel() const { return blackLevel_; }
  int blackPoint() const { return blackPoint_; }
  int whitePoint() const { return whitePoint_; }
  const ToneCurve& toneCurve() const { return lut_; }

  /// Histogram of the page without a margin of marginFraction (a fraction,
  /// not percent) of width and height on each side: dx = trunc(fraction *
  /// width), dy likewise, in double. False when the fraction is below 0 or
  /// above 50, or no pixel is left.
  [[nodiscard]] static bool marginHistogram(const uint8_t* page, int width, int height, int stride,
                                            float marginFraction, Histogram& out);

  /// Peak of a margin histogram in the paper range (255 down to 171) or the
  /// ink range (0 up to 84). Each count is taken as a single-precision real
  /// truncated to an integer f; a bin wins when f is above the running
  /// maximum, which becomes f / 2 after the first winner and f after later
  /// ones; ties keep the bin met first. 255 when no bin in the range is used.
  static int CalcBlackColor(const Histogram& marginHistogram, PeakRange range);

  /// Level search: for n from startLevel down to 129, the first n with
  /// count - (histogram[n] + .. + histogram[255]) <= count * dustFraction
  /// is stored in level and true returned. level stays untouched (false)
  /// when count is 0, dustFraction is negative or no n qualifies. histogram
  /// counts the mask's pixels by gray.
  static bool AdjustWhLevel(const Histogram& maskHistogram, int64_t count, int startLevel,
                            double dustFraction, int& level);

  /// Tone curve from black point q, white point r and 1 / GAMMA: 0 up to q,
  /// 255 from r, trunc(255 * ((i - q) / (r - q)) ^ GAMMA) in between, kept in
  /// 0..255 (a NaN value gives 0). False, curve untouched, when q < 0, r > 255,
  /// q == r, q > 255 or inverseGamma is 0.
  static bool buildToneCurve(int q, int r, double inverseGamma, ToneCurve& curve);

 private:
  bool run(const uint8_t* src, int width, int height, int stride, uint8_t* dst);

  AdjustSettings settings_;
  ToneCurve lut_{};
  int whiteLevel_ = 0;
  int blackLevel_ = 0;
  int paperPeak_ = 0;
  int inkPeak_ = 0;
  int blackPoint_ = 0;
  int whitePoint_ = 0;
};

}  // namespace tonvale
