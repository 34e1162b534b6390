#include "quillane/model/ImageCopy.h"

#include <algorithm>
#include <cstring>

namespace quillane {

bool copyClippedRect(const FilterImageData& source, FilterImageData& destination,
                     const Rect& srcRect, const Rect& dstRect) {
  // 64-bit throughout: rectangles may lie anywhere in the int32 range.
  if (srcRect.width() != dstRect.width() || srcRect.height() != dstRect.height()) return false;
  if (source.bytesPerPixel() != destination.bytesPerPixel()) return false;

  const int64_t cutLeft = std::max<int64_t>({-int64_t{srcRect.left}, -int64_t{dstRect.left}, 0});
  const int64_t cutTop = std::max<int64_t>({-int64_t{srcRect.top}, -int64_t{dstRect.top}, 0});
  const int64_t cutRight = std::max<int64_t>(
      {int64_t{srcRect.right} - source.width(), int64_t{dstRect.right} - destination.width(), 0});
  const int64_t cutBottom = std::max<int64_t>({int64_t{srcRect.bottom} - source.height(),
                                               int64_t{dstRect.bottom} - destination.height(), 0});
  const int64_t columns = srcRect.width() - cutLeft - cutRight;
  const int64_t rows = srcRect.height() - cutTop - cutBottom;
  if (columns <= 0 || rows <= 0) return true;

  const int64_t bpp = source.bytesPerPixel();
  const size_t rowBytes = static_cast<size_t>(columns * bpp);
  const uint8_t* from = source.pixels() + (srcRect.top + cutTop) * int64_t{source.stride()} +
                        (srcRect.left + cutLeft) * bpp;
  uint8_t* to = destination.pixels() + (dstRect.top + cutTop) * int64_t{destination.stride()} +
                (dstRect.left + cutLeft) * bpp;
  const bool sameImage = &source == &destination;
  if (sameImage && to > from) {
    // Overlapping copy downwards within one image: go bottom up.
    for (int64_t y = rows - 1; y >= 0; --y) {
      std::memmove(to + y * destination.stride(), from + y * source.stride(), rowBytes);
    }
    return true;
  }
  for (int64_t y = 0; y < rows; ++y) {
    std::memmove(to, from, rowBytes);
    from += source.stride();
    to += destination.stride();
  }
  return true;
}

std::unique_ptr<QuillaneImage> crop(const FilterImageData& image, const Rect& rect) {
  if (rect.isEmpty() || image.isEmpty()) return nullptr;
  const int64_t stride = rect.width() * image.bytesPerPixel();
  if (stride > INT32_MAX || rect.height() > INT32_MAX) return nullptr;
  auto result = std::make_unique<QuillaneImage>();
  if (!result->create(static_cast<int32_t>(rect.width()), static_cast<int32_t>(rect.height()),
                      static_cast<int32_t>(stride), image.bytesPerPixel())) {
    return nullptr;
  }
  const Rect target{0, 0, static_cast<int32_t>(rect.width()), static_cast<int32_t>(rect.height())};
  if (!copyClippedRect(image, *result, rect, target)) return nullptr;
  return result;
}

}  // namespace quillane
