// Gray conversion of sample rows and of reader images. Each conversion picks
// its loop once per row; the loops themselves do no per-pixel dispatch.
#include "quillane/imagefile/GrayConversion.h"

#include <algorithm>
#include <cstring>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "quillane/imagefile/PageFileResult.h"

namespace quillane {

namespace {

inline uint8_t weightedRgb(unsigned r, unsigned g, unsigned b) {
  return static_cast<uint8_t>((299 * r + 587 * g + 114 * b) / 1000);
}

inline uint8_t weightedCmyk(unsigned c, unsigned m, unsigned y, unsigned k) {
  const unsigned r = 255 - std::max(c, k);
  const unsigned g = 255 - std::max(m, k);
  const unsigned b = 255 - std::max(y, k);
  return static_cast<uint8_t>((30 * r + 59 * g + 11 * b) / 100);
}

inline uint8_t clampTrunc(double v) {
  // Truncation toward zero, then clamping to 0..255.
  const int i = static_cast<int>(v);
  return static_cast<uint8_t>(i < 0 ? 0 : (i > 255 ? 255 : i));
}

// YCbCr to RGB with the constants of the class comment; tables of the
// chroma terms are built once.
struct YCbCrTables {
  double crR[256], cbG[256], crG[256], cbB[256];
  YCbCrTables() {
    for (int i = 0; i < 256; ++i) {
      crR[i] = 1.402 * (i - 128);
      cbG[i] = -0.34414 * (i - 128);
      crG[i] = -0.71414 * (i - 128);
      cbB[i] = 1.772 * (i - 128);
    }
  }
};

const YCbCrTables& yccTables() {
  static const YCbCrTables tables;
  return tables;
}

// Converts width YCbCr pixels (stride samples apart) into RGB triplets.
void yccToRgb(const uint8_t* src, int32_t stride, int32_t width, uint8_t* rgb) {
  const YCbCrTables& t = yccTables();
  for (int32_t x = 0; x < width; ++x, src += stride, rgb += 3) {
    const double y = src[0];
    const uint8_t cb = src[1], cr = src[2];
    rgb[0] = clampTrunc(y + t.crR[cr]);
    rgb[1] = clampTrunc(y + t.cbG[cb] + t.crG[cr]);
    rgb[2] = clampTrunc(y + t.cbB[cb]);
  }
}

void takeChannel(const uint8_t* src, int32_t stride, int32_t channel, bool invert, int32_t width,
                 uint8_t* gray) {
  src += channel;
  if (invert && stride == 1) {
    // One sample a pixel (WhiteIsZero and bilevel rows): a loop the
    // compiler vectorises.
    for (int32_t x = 0; x < width; ++x) gray[x] = static_cast<uint8_t>(255 - src[x]);
  } else if (invert) {
    for (int32_t x = 0; x < width; ++x, src += stride) gray[x] = static_cast<uint8_t>(255 - *src);
  } else {
    for (int32_t x = 0; x < width; ++x, src += stride) gray[x] = *src;
  }
}

void rgbRow(const uint8_t* src, int32_t stride, int32_t mode, int32_t channel, int32_t width,
            uint8_t* gray) {
  switch (mode) {
    case kGrayWeighted:
      for (int32_t x = 0; x < width; ++x, src += stride)
        gray[x] = weightedRgb(src[0], src[1], src[2]);
      break;
    case kGrayDarkest:
      for (int32_t x = 0; x < width; ++x, src += stride) {
        gray[x] = std::min({src[0], src[1], src[2]});
      }
      break;
    default:
      takeChannel(src, stride, channel, false, width, gray);
      break;
  }
}

}  // namespace

int TiffGrayConverter::init(SampleModel model, int32_t samplesPerPixel, int32_t mode) {
  if (mode < 0 || mode > kGrayDarkest || samplesPerPixel < 1) {
    return pagefile::kGrayModeUnavailable;
  }
  if (samplesPerPixel == 1) {
    mode = kGrayAsIs;
  } else if ((samplesPerPixel == 3 || samplesPerPixel == 4) && mode == kGrayAsIs) {
    mode = kGrayWeighted;
  }
  int32_t channel = 0;
  switch (mode) {
    case kGrayRed:
    case kGrayCyan:
      channel = 0;
      break;
    case kGrayGreen:
    case kGrayMagenta:
      channel = 1;
      break;
    case kGrayBlue:
    case kGrayYellow:
      channel = 2;
      break;
    case kGrayBlack:
      channel = 3;
      break;
    default:
      break;
  }
  const bool gray = model == SampleModel::BlackIsZero || model == SampleModel::WhiteIsZero;
  const int32_t colourSamples = gray ? 1 : (model == SampleModel::Cmyk ? 4 : 3);
  if (samplesPerPixel < colourSamples) return pagefile::kGrayModeUnavailable;
  if (mode == kGrayWeighted || mode == kGrayDarkest) {
    if (gray) return pagefile::kGrayModeUnavailable;
  } else if (channel >= samplesPerPixel || (model == SampleModel::YCbCr && channel >= 3)) {
    return pagefile::kGrayModeUnavailable;
  }
  model_ = model;
  samplesPerPixel_ = samplesPerPixel;
  mode_ = mode;
  channel_ = channel;
  return pagefile::kSuccess;
}

void TiffGrayConverter::convertRow(const uint8_t* samples, uint8_t* gray, int32_t width) const {
  const int32_t spp = samplesPerPixel_;
  switch (model_) {
    case SampleModel::BlackIsZero:
    case SampleModel::WhiteIsZero: {
      const bool invert = model_ == SampleModel::WhiteIsZero;
      if (spp == 1 && !invert) {
        std::memcpy(gray, samples, static_cast<size_t>(width));
      } else {
        takeChannel(samples, spp, channel_, invert, width, gray);
      }
      break;
    }
    case SampleModel::Rgb:
      rgbRow(samples, spp, mode_, channel_, width, gray);
      break;
    case SampleModel::YCbCr: {
      // Turned into RGB a block of pixels at a time through a small buffer.
      constexpr int32_t kBlock = 256;
      uint8_t rgb[kBlock * 3];
      for (int32_t x0 = 0; x0 < width; x0 += kBlock) {
        const int32_t n = std::min(kBlock, width - x0);
        yccToRgb(samples + static_cast<size_t>(x0) * spp, spp, n, rgb);
        rgbRow(rgb, 3, mode_, channel_, n, gray + x0);
      }
      break;
    }
    case SampleModel::Cmyk:
      switch (mode_) {
        case kGrayWeighted:
          for (int32_t x = 0; x < width; ++x, samples += spp) {
            gray[x] = weightedCmyk(samples[0], samples[1], samples[2], samples[3]);
          }
          break;
        case kGrayDarkest:
          for (int32_t x = 0; x < width; ++x, samples += spp) {
            gray[x] = static_cast<uint8_t>(
                255 - std::max({samples[0], samples[1], samples[2], samples[3]}));
          }
          break;
        default:
          takeChannel(samples, spp, channel_, true, width, gray);
          break;
      }
      break;
  }
}

int convertLoadedImage(const LoadedImage& image, int32_t mode, uint8_t* dst, int32_t dstStride) {
  const int32_t w = image.width, h = image.height;
  if (image.empty()) return pagefile::kUnsupported;
  if (image.channels == 1) {
    for (int32_t y = 0; y < h; ++y) {
      std::memcpy(dst + static_cast<size_t>(y) * dstStride, image.row(y), static_cast<size_t>(w));
    }
    return pagefile::kSuccess;
  }
  if (image.channels != 3) return pagefile::kUnsupported;
  if (mode == kGrayAsIs) mode = kGrayBlue;
  switch (mode) {
    case kGrayRed:
    case kGrayGreen:
    case kGrayBlue: {
      const int32_t channel = mode == kGrayRed ? 2 : (mode == kGrayGreen ? 1 : 0);
      for (int32_t y = 0; y < h; ++y) {
        takeChannel(image.row(y), 3, channel, false, w, dst + static_cast<size_t>(y) * dstStride);
      }
      return pagefile::kSuccess;
    }
    case kGrayWeighted: {
      // OpenCV's own fixed-point BGR-to-gray, written straight into dst.
      try {
        const cv::Mat src(h, w, CV_8UC3, const_cast<uint8_t*>(image.pixels.get()), image.pitch);
        cv::Mat out(h, w, CV_8UC1, dst, static_cast<size_t>(dstStride));
        cv::cvtColor(src, out, cv::COLOR_BGR2GRAY);
        // The destination had the right size and type, so OpenCV wrote into
        // it and did not allocate a new one.
        return out.data == dst ? pagefile::kSuccess : pagefile::kUnsupported;
      } catch (const cv::Exception&) {
        return pagefile::kUnsupported;
      }
    }
    case kGrayDarkest:
      for (int32_t y = 0; y < h; ++y) {
        const uint8_t* src = image.row(y);
        uint8_t* out = dst + static_cast<size_t>(y) * dstStride;
        for (int32_t x = 0; x < w; ++x, src += 3) {
          uint8_t v = 255;
          v = std::min(v, src[0]);
          v = std::min(v, src[1]);
          v = std::min(v, src[2]);
          out[x] = v;
        }
      }
      return pagefile::kSuccess;
    default:
      return pagefile::kGrayModeUnavailable;
  }
}

}  // namespace quillane
