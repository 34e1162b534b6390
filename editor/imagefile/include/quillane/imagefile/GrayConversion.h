#pragma once
// Colour to gray: the conversion modes and their formulas, for rows of
// interleaved 8-bit TIFF samples and for the images of the JPEG, PNG and BMP
// readers. Every result is one byte a pixel, 0 black and 255 white.
//
// Formulas (results truncated toward zero):
//   weighted, RGB:   (299 R + 587 G + 114 B) / 1000
//   weighted, CMYK:  (30 (255 - max(C, K)) + 59 (255 - max(M, K))
//                     + 11 (255 - max(Y, K))) / 100
//   darkest, RGB:    min(R, G, B);  darkest, CMYK: 255 - max(C, M, Y, K)
//   YCbCr is first turned into RGB: R = Y + 1.402 (Cr - 128),
//   G = Y - 0.34414 (Cb - 128) - 0.71414 (Cr - 128), B = Y + 1.772 (Cb - 128),
//   each truncated toward zero and clamped to 0..255.
//   A single CMYK channel is inverted (255 - value) so that ink is dark.
// The weighted sums are computed in whole numbers so that a gray pixel keeps
// its value exactly (white stays 255).
#include <cstdint>

#include "quillane/imagefile/LoadedImage.h"

namespace quillane {

/// Gray conversion modes the editor passes to the decode calls.
enum GrayMode : int32_t {
  kGrayAsIs = 0,  ///< the page is gray already
  kGrayRed = 1,
  kGrayGreen = 2,
  kGrayBlue = 3,
  kGrayCyan = 4,
  kGrayMagenta = 5,
  kGrayYellow = 6,
  kGrayBlack = 7,
  kGrayWeighted = 8,
  kGrayDarkest = 9,
};

/// Colour model of a row of interleaved samples.
enum class SampleModel {
  BlackIsZero,  ///< gray, 0 black
  WhiteIsZero,  ///< gray, 0 white: the value is inverted
  Rgb,
  Cmyk,
  YCbCr,  ///< full-resolution Y, Cb, Cr (no chroma subsampling)
};

/// Turns rows of interleaved 8-bit samples into gray rows with one mode.
///
/// Mode normalisation: with 1 sample a pixel every mode becomes 0; with 3 or
/// 4 samples mode 0 becomes weighted (8). Modes 1..7 take the sample of
/// channel index 0, 1, 2 (modes 1 and 4, 2 and 5, 3 and 6) or 3 (mode 7);
/// YCbCr pixels are turned into RGB first. Mode 0 takes sample 0.
///
/// init() answers pagefile::kGrayModeUnavailable (1001) for a mode outside
/// 0..9, a channel the pixel does not have, and weighted or darkest for a gray
/// model or for too few colour samples; else 0.
class TiffGrayConverter {
 public:
  [[nodiscard]] int init(SampleModel model, int32_t samplesPerPixel, int32_t mode);

  /// Converts width pixels of samples (samplesPerPixel bytes each) into gray.
  void convertRow(const uint8_t* samples, uint8_t* gray, int32_t width) const;

  /// The mode after normalisation (valid after a successful init).
  int32_t mode() const { return mode_; }

 private:
  SampleModel model_ = SampleModel::BlackIsZero;
  int32_t samplesPerPixel_ = 1;
  int32_t mode_ = 0;
  int32_t channel_ = 0;
};

/// Converts a reader image into gray rows: dst receives image.height rows of
/// image.width bytes, dstStride bytes apart.
///
/// One channel: copied, the mode is not looked at. Three channels (blue,
/// green, red): mode 0 is taken as 3; 1, 2, 3 take the red, green, blue
/// channel; 8 is OpenCV's BGR-to-gray conversion; 9 the smallest channel.
/// Any other mode: 1001 and nothing written. Returns 0 on success.
[[nodiscard]] int convertLoadedImage(const LoadedImage& image, int32_t mode, uint8_t* dst,
                                     int32_t dstStride);

}  // namespace quillane
