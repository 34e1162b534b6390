// Morphology through OpenCV's erode and dilate with replicated borders. The
// in-place path computes each step into a temporary of the rectangle's size
// and copies it back, so each step reads only unprocessed pixels.
#include "quillane/editing/mcMorphology.h"

#include <opencv2/imgproc.hpp>

namespace quillane {
namespace {

// One step of op on source into target (which may be a different size only
// when it is empty).
void step(const cv::Mat& source, cv::Mat& target, int op, const cv::Mat& element) {
  if (op == mcMorphology::Erode)
    cv::erode(source, target, element, cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
  else
    cv::dilate(source, target, element, cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
}

// The steps of an operation: erode, dilate, erode + dilate, dilate + erode.
int stepCount(int32_t operation) { return operation >= mcMorphology::Open ? 2 : 1; }
int stepOp(int32_t operation, int index) {
  switch (operation) {
    case mcMorphology::Erode:
      return mcMorphology::Erode;
    case mcMorphology::Dilate:
      return mcMorphology::Dilate;
    case mcMorphology::Open:
      return index == 0 ? mcMorphology::Erode : mcMorphology::Dilate;
    default:
      return index == 0 ? mcMorphology::Dilate : mcMorphology::Erode;
  }
}

}  // namespace

mcMorphology::mcMorphology(int32_t width, int32_t height)
    : width_(width > 0 ? width : 1), height_(height > 0 ? height : 1) {}

const cv::Mat& mcMorphology::element() {
  if (element_.empty())
    element_ = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(width_, height_),
                                         cv::Point(width_ / 2, height_ / 2));
  return element_;
}

bool mcMorphology::apply(uint8_t* pixels, int32_t width, int32_t height, int32_t stride,
                         int32_t operation, const Rect* rect, int32_t bytesPerPixel) {
  if (operation < Erode || operation > Close) return false;
  if (pixels == nullptr || width <= 0 || height <= 0 || stride < width) return false;
  const int32_t bpp = bytesPerPixel > 0 ? bytesPerPixel : stride / width;
  if (bpp < 1 || bpp > 4 || static_cast<int64_t>(width) * bpp > stride) return false;
  Rect part{0, 0, width, height};
  if (rect) part = rect->intersected(part);
  if (part.isEmpty()) return false;

  try {
    const cv::Mat& kernel = element();
    const cv::Mat image(height, width, CV_8UC(bpp), pixels, static_cast<size_t>(stride));
    cv::Mat target = image(cv::Rect(part.left, part.top, static_cast<int>(part.width()),
                                    static_cast<int>(part.height())));
    if (bpp % 2 == 1) {
      cv::Mat result;
      for (int i = 0; i < stepCount(operation); ++i) {
        step(target, result, stepOp(operation, i), kernel);
        result.copyTo(target);
      }
      return true;
    }
    std::vector<cv::Mat> channels;
    cv::split(target, channels);
    cv::Mat& alpha = channels.back();
    cv::bitwise_not(alpha, alpha);
    for (cv::Mat& channel : channels)
      for (int i = 0; i < stepCount(operation); ++i)
        step(channel, channel, stepOp(operation, i), kernel);
    cv::bitwise_not(alpha, alpha);
    cv::merge(channels, target);
  } catch (const std::exception&) {
    return false;  // out of memory for a temporary
  }
  return true;
}

}  // namespace quillane
