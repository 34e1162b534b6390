#include "quillane/imagefile/LoadedImage.h"

#include <new>

namespace quillane {

bool LoadedImage::allocate(int32_t w, int32_t h, int32_t c) {
  pixels.reset();
  width = height = channels = 0;
  pitch = 0;
  if (w <= 0 || h <= 0 || c <= 0) return false;
  const size_t rowBytes = static_cast<size_t>(w) * static_cast<size_t>(c);
  // Uninitialised on purpose: every reader writes every byte of every row.
  pixels.reset(new (std::nothrow) uint8_t[rowBytes * static_cast<size_t>(h)]);
  if (!pixels) return false;
  width = w;
  height = h;
  channels = c;
  pitch = rowBytes;
  return true;
}

}  // namespace quillane
