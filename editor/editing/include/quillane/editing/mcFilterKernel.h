#pragma once
// mcFilterKernel: a convolution kernel and its application to an 8-bit image,
// optionally only inside a rectangle and only where a mask is set.
//
// The filter is a correlation with the kernel as given (not flipped), the
// kernel first scaled so that the absolute values of its coefficients sum to
// 1. Pixels outside the rectangle are read where the kernel reaches over its
// edge (they exist in the image); at the image edge the edge pixel is
// repeated. Results are rounded and saturated to 0 ... 255. Every channel of
// a pixel is filtered on its own.
#include <cstdint>
#include <vector>

#include "quillane/model/Rect.h"

namespace quillane {

class mcFilterKernel {
 public:
  /// A width x height kernel with the coefficients row by row (missing ones
  /// are 0, extra ones ignored). anchorX, anchorY: the kernel cell laid over
  /// the pixel being computed; -1 means the centre (width / 2, height / 2).
  mcFilterKernel(int32_t width, int32_t height, std::vector<float> coefficients,
                 int32_t anchorX = -1, int32_t anchorY = -1);
  virtual ~mcFilterKernel() = default;
  mcFilterKernel(const mcFilterKernel&) = default;
  mcFilterKernel& operator=(const mcFilterKernel&) = default;

  /// Filters the image (height rows of stride bytes, width pixels of
  /// bytesPerPixel bytes each; bytesPerPixel 0 takes stride / width).
  ///  - rect: the part that is filtered (clipped to the image); null for all;
  ///  - mask: one byte a pixel with the image's width and height and
  ///    maskStride bytes a row; the filtered value is written only where the
  ///    mask byte is non-zero. A mask whose maskStride / width is not 1 is
  ///    ignored (the whole part is written), as is a null mask.
  /// Returns false, writing nothing, when pixels is null, width or height is
  /// not positive, stride < width * bytes a pixel, the bytes a pixel are not
  /// 1 ... 4, the kernel is empty or rect does not meet the image.
  bool apply(int32_t width, uint8_t* pixels, int32_t height, int32_t stride, const Rect* rect,
             const uint8_t* mask, int32_t maskStride, int32_t bytesPerPixel = 0) const;

  /// As apply with a rectangle and a mask, but the mask covers only the
  /// rectangle: rectMask's first byte belongs to pixel (rect.left, rect.top),
  /// rows of rectMaskStride bytes. rect must lie inside the image (false
  /// otherwise). Used where building an image-sized mask would cost more
  /// than the filtering.
  bool applyInRect(int32_t width, uint8_t* pixels, int32_t height, int32_t stride, const Rect& rect,
                   const uint8_t* rectMask, int32_t rectMaskStride,
                   int32_t bytesPerPixel = 0) const;

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  int32_t anchorX() const { return anchorX_; }
  int32_t anchorY() const { return anchorY_; }
  /// The coefficients as given, row by row (width * height values).
  const std::vector<float>& coefficients() const { return coefficients_; }
  /// The coefficients scaled so that their absolute values sum to 1 (all 0
  /// when they are all 0), as the filter uses them.
  std::vector<float> normalisedCoefficients() const;

 private:
  int32_t width_;
  int32_t height_;
  std::vector<float> coefficients_;
  int32_t anchorX_;
  int32_t anchorY_;
};

}  // namespace quillane
