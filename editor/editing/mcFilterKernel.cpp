// Kernel filtering through OpenCV's filter2D over headers laid on the
// caller's buffers. The filtered part is computed into a temporary of the
// rectangle's size and copied back (all of it, or where the mask is set), so
// that the pixels the kernel reads are always the unfiltered ones.
#include "quillane/editing/mcFilterKernel.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

namespace quillane {
namespace {

bool validImage(int32_t width, const uint8_t* pixels, int32_t height, int32_t stride,
                int32_t& bytesPerPixel) {
  if (pixels == nullptr || width <= 0 || height <= 0 || stride < width) return false;
  if (bytesPerPixel <= 0) bytesPerPixel = stride / width;
  return bytesPerPixel >= 1 && bytesPerPixel <= 4 &&
         static_cast<int64_t>(width) * bytesPerPixel <= stride;
}

}  // namespace

mcFilterKernel::mcFilterKernel(int32_t width, int32_t height, std::vector<float> coefficients,
                               int32_t anchorX, int32_t anchorY)
    : width_(width > 0 ? width : 0),
      height_(height > 0 ? height : 0),
      coefficients_(std::move(coefficients)),
      anchorX_(anchorX),
      anchorY_(anchorY) {
  coefficients_.resize(static_cast<size_t>(width_) * height_, 0.0f);
}

std::vector<float> mcFilterKernel::normalisedCoefficients() const {
  std::vector<float> out(coefficients_.size());
  if (out.empty()) return out;
  const cv::Mat source(height_, width_, CV_32F, const_cast<float*>(coefficients_.data()));
  cv::Mat target(height_, width_, CV_32F, out.data());
  cv::normalize(source, target, 1.0, 0.0, cv::NORM_L1);
  return out;
}

bool mcFilterKernel::apply(int32_t width, uint8_t* pixels, int32_t height, int32_t stride,
                           const Rect* rect, const uint8_t* mask, int32_t maskStride,
                           int32_t bytesPerPixel) const {
  if (!validImage(width, pixels, height, stride, bytesPerPixel)) return false;
  Rect part{0, 0, width, height};
  if (rect) part = rect->intersected(part);
  if (part.isEmpty()) return false;
  const bool useMask = mask != nullptr && maskStride / width == 1;
  const uint8_t* rectMask =
      useMask ? mask + static_cast<int64_t>(part.top) * maskStride + part.left : nullptr;
  return applyInRect(width, pixels, height, stride, part, rectMask, maskStride, bytesPerPixel);
}

bool mcFilterKernel::applyInRect(int32_t width, uint8_t* pixels, int32_t height, int32_t stride,
                                 const Rect& rect, const uint8_t* rectMask, int32_t rectMaskStride,
                                 int32_t bytesPerPixel) const {
  if (!validImage(width, pixels, height, stride, bytesPerPixel)) return false;
  if (rect.isEmpty() || rect.left < 0 || rect.top < 0 || rect.right > width || rect.bottom > height)
    return false;
  if (coefficients_.empty()) return false;

  if (rectMask != nullptr && rectMaskStride < rect.width()) return false;
  if (anchorX_ < -1 || anchorX_ >= width_ || anchorY_ < -1 || anchorY_ >= height_) return false;

  try {
    std::vector<float> kernel = normalisedCoefficients();
    const cv::Mat kernelMat(height_, width_, CV_32F, kernel.data());
    const cv::Mat image(height, width, CV_8UC(bytesPerPixel), pixels, static_cast<size_t>(stride));
    const cv::Rect part(rect.left, rect.top, static_cast<int>(rect.width()),
                        static_cast<int>(rect.height()));
    cv::Mat target = image(part);
    cv::Mat filtered;
    cv::filter2D(target, filtered, -1, kernelMat, cv::Point(anchorX_, anchorY_), 0,
                 cv::BORDER_REPLICATE);
    if (rectMask != nullptr) {
      const cv::Mat maskMat(part.height, part.width, CV_8UC1, const_cast<uint8_t*>(rectMask),
                            static_cast<size_t>(rectMaskStride));
      filtered.copyTo(target, maskMat);
    } else {
      filtered.copyTo(target);
    }
  } catch (const std::exception&) {
    return false;  // out of memory for the temporary
  }
  return true;
}

}  // namespace quillane
