#include "quillane/model/FilterImageData.h"

#include <sys/mman.h>

#include <cstdlib>
#include <utility>

namespace quillane {
namespace {

// Buffers from this size on (a page is up to 59.5 MB) are mapped directly
// from the system, 2 MB aligned and marked for transparent huge pages: a
// fresh mapping is zero-filled by the system, and huge pages cut the cost of
// first touching a page-sized scratch image to about a third. Smaller buffers
// come from the heap.
constexpr size_t kMappedFrom = size_t{8} << 20;
constexpr size_t kHugePage = size_t{2} << 20;

struct Buffer {
  uint8_t* pixels = nullptr;
  void* mapping = nullptr;
  size_t mappingLength = 0;
};

Buffer allocateZeroed(size_t size) {
  Buffer buffer;
  if (size < kMappedFrom) {
    buffer.pixels = static_cast<uint8_t*>(std::calloc(size, 1));
    return buffer;
  }
  const size_t length = size + kHugePage;
  void* mapping = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) return buffer;
  const auto start = (reinterpret_cast<uintptr_t>(mapping) + kHugePage - 1) & ~(kHugePage - 1);
  buffer.pixels = reinterpret_cast<uint8_t*>(start);
  buffer.mapping = mapping;
  buffer.mappingLength = length;
  // Only a hint; without huge pages the buffer works the same.
  madvise(buffer.pixels, size, MADV_HUGEPAGE);
  return buffer;
}

}  // namespace

FilterImageData::~FilterImageData() { freeBuffer(); }

FilterImageData::FilterImageData(FilterImageData&& other) noexcept { takeFrom(other); }

FilterImageData& FilterImageData::operator=(FilterImageData&& other) noexcept {
  if (this != &other) {
    freeBuffer();
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
  mapping_ = std::exchange(other.mapping_, nullptr);
  mappingLength_ = std::exchange(other.mappingLength_, 0);
}

void FilterImageData::freeBuffer() noexcept {
  if (mapping_ != nullptr) {
    munmap(mapping_, mappingLength_);
  } else {
    std::free(pixels_);
  }
  pixels_ = nullptr;
  mapping_ = nullptr;
  mappingLength_ = 0;
}

bool FilterImageData::create(int32_t width, int32_t height, int32_t stride, int32_t bytesPerPixel) {
  release();
  if (width <= 0 || height <= 0 || bytesPerPixel <= 0) return false;
  if (int64_t{stride} < int64_t{width} * bytesPerPixel) return false;
  const int64_t size = int64_t{height} * stride;
  if (size > INT32_MAX) return false;
  const Buffer buffer = allocateZeroed(static_cast<size_t>(size));
  if (buffer.pixels == nullptr) return false;
  bytesPerPixel_ = bytesPerPixel;
  width_ = width;
  height_ = height;
  stride_ = stride;
  size_ = static_cast<int32_t>(size);
  pixels_ = buffer.pixels;
  mapping_ = buffer.mapping;
  mappingLength_ = buffer.mappingLength;
  return true;
}

void FilterImageData::release() {
  freeBuffer();
  bytesPerPixel_ = 0;
  width_ = 0;
  height_ = 0;
  stride_ = 0;
  size_ = 0;
}

bool FilterImageData::isEmpty() const { return pixels_ == nullptr; }

}  // namespace quillane
