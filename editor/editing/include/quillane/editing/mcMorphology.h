#pragma once
// mcMorphology: one erosion, dilation, opening or closing of an 8-bit image
// with a width x height elliptical structuring element (at 3 x 3 the
// plus-shaped cross: the pixel and its four edge neighbours).
//
// Images with an odd number of bytes a pixel are processed in place, every
// channel on its own; pixels outside the rectangle are read where the element
// reaches over its edge, and at the image edge the edge pixel is repeated.
// Images with an even number of bytes a pixel carry an alpha byte last: each
// channel of the rectangle is taken out into a temporary of the rectangle's
// size (so the rectangle's edge counts as the image edge), the alpha channel
// inverted before and after, processed there and put back.
#include <cstdint>

#include <opencv2/core/mat.hpp>

#include "quillane/model/Rect.h"

namespace quillane {

class mcMorphology {
 public:
  enum Operation : int32_t { Erode = 0, Dilate = 1, Open = 2, Close = 3 };

  /// width, height: size of the structuring element (3 x 3 where used).
  explicit mcMorphology(int32_t width = 3, int32_t height = 3);
  virtual ~mcMorphology() = default;
  mcMorphology(const mcMorphology&) = default;
  mcMorphology& operator=(const mcMorphology&) = default;

  /// Applies operation once to the image (height rows of stride bytes, width
  /// pixels; bytesPerPixel 0 takes stride / width) within rect (clipped to
  /// the image; null for all). Opening is an erosion followed by a dilation,
  /// closing the reverse. False, writing nothing, when the operation is not
  /// 0 ... 3, pixels is null, width or height is not positive,
  /// stride < width * bytes a pixel, the bytes a pixel are not 1 ... 4, or
  /// rect does not meet the image.
  bool apply(uint8_t* pixels, int32_t width, int32_t height, int32_t stride, int32_t operation,
             const Rect* rect, int32_t bytesPerPixel = 0);

  /// The structuring element (1 inside, 0 outside), made on first use.
  const cv::Mat& element();

 private:
  int32_t width_;
  int32_t height_;
  cv::Mat element_;
};

}  // namespace quillane
