#include "quillane/model/FilterImageData.h"

#include <cstdlib>
#include <utility>

namespace quillane {

FilterImageData::~FilterImageData() { std::free(pixels_); }

FilterImageData::FilterImageData(FilterImageData&& other) noexcept { takeFrom(other); }

FilterImageData& FilterImageData::operator=(FilterImageData&& other) noexcept {
  if (this != &other) {
    std::free(pixels_);
    takeFrom(other);
  }
  return *this;
}

void FilterImageData::takeFrom(FilterImageData& other) noexcept {
  bytesPerPixel_ = std::exchange(other.bytesPerPixel_, 0);
  width_ = std::exchange(other.width_, 0);
  height_ = std::exchange(other.height_, 0);
  stride_ = std::exchange(other.stride_, 0);
  size_ = std::exchange(other.size_, 0);
  pixels_ = std::exchange(other.pixels_, nullptr);
}

bool FilterImageData::create(int32_t width, int32_t height, int32_t stride, int32_t bytesPerPixel) {
  release();
  if (width <= 0 || height <= 0 || bytesPerPixel <= 0) return false;
  if (int64_t{stride} < int64_t{width} * bytesPerPixel) return false;
  const int64_t size = int64_t{height} * stride;
  if (size > INT32_MAX) return false;
  // calloc: the buffer must start as 0, and for page-sized buffers the
  // allocator hands out fresh zeroed pages without touching them.
  auto* pixels = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(size), 1));
  if (pixels == nullptr) return false;
  bytesPerPixel_ = bytesPerPixel;
  width_ = width;
  height_ = height;
  stride_ = stride;
  size_ = static_cast<int32_t>(size);
  pixels_ = pixels;
  return true;
}

void FilterImageData::release() {
  std::free(pixels_);
  pixels_ = nullptr;
  bytesPerPixel_ = 0;
  width_ = 0;
  height_ = 0;
  stride_ = 0;
  size_ = 0;
}

bool FilterImageData::isEmpty() const { return pixels_ == nullptr; }

}  // namespace quillane
