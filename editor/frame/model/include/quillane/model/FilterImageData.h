#pragma once
// FilterImageData: an image with an owned pixel buffer, rows top first.
//
// Pixel (x, y) lies at pixels() + y * stride() + x * bytesPerPixel(). Every
// image of the editor has one byte a pixel, 0 black and 255 white. An empty
// image has every field 0 and a null pixel pointer.
//
// The fields are plain 32-bit signed numbers; size() == height() * stride()
// is the buffer length in bytes.
#include <cstddef>
#include <cstdint>

namespace quillane {

class FilterImageData {
 public:
  FilterImageData() = default;
  virtual ~FilterImageData();

  // An image owns its buffer: moving hands the buffer over and leaves the
  // source empty; copying pixels is done explicitly (copyClippedRect, crop).
  FilterImageData(const FilterImageData&) = delete;
  FilterImageData& operator=(const FilterImageData&) = delete;
  FilterImageData(FilterImageData&& other) noexcept;
  FilterImageData& operator=(FilterImageData&& other) noexcept;

  /// Releases the old buffer, then allocates height * stride bytes filled
  /// with 0 and sets every field.
  /// Fails (false, image left empty) unless width > 0, height > 0,
  /// bytesPerPixel > 0 and stride >= width * bytesPerPixel (so every pixel of
  /// every row lies inside the buffer), when height * stride does not fit in
  /// 32 bits, or when the buffer cannot be allocated.
  virtual bool create(int32_t width, int32_t height, int32_t stride, int32_t bytesPerPixel);

  /// As create, but the buffer's bytes are left as they come (they may be
  /// those of an image freed earlier): for callers that write every byte of
  /// the buffer before anything reads it, such as the page readers.
  bool createUninitialized(int32_t width, int32_t height, int32_t stride, int32_t bytesPerPixel);

  /// Frees the buffer and sets every field to 0. Safe on an empty image.
  virtual void release();

  /// True when there is no pixel buffer.
  virtual bool isEmpty() const;

  int32_t bytesPerPixel() const { return bytesPerPixel_; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  int32_t stride() const { return stride_; }
  /// Buffer length in bytes: height * stride.
  int32_t size() const { return size_; }

  uint8_t* pixels() { return pixels_; }
  const uint8_t* pixels() const { return pixels_; }
  /// Start of row y (0 <= y < height); not checked.
  uint8_t* row(int32_t y) { return pixels_ + static_cast<int64_t>(y) * stride_; }
  const uint8_t* row(int32_t y) const { return pixels_ + static_cast<int64_t>(y) * stride_; }

 private:
  bool allocate(int32_t width, int32_t height, int32_t stride, int32_t bytesPerPixel, bool zeroed);
  void takeFrom(FilterImageData& other) noexcept;
  void freeBuffer() noexcept;

  int32_t bytesPerPixel_ = 0;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t stride_ = 0;
  int32_t size_ = 0;
  uint8_t* pixels_ = nullptr;
  // Page-sized buffers are mapped directly, and kept for reuse when freed
  // (see FilterImageData.cpp); these keep the mapping for its release. Null
  // for heap buffers.
  void* mapping_ = nullptr;
  size_t mappingLength_ = 0;
};

}  // namespace quillane
