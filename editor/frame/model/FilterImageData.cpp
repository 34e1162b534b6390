#include "quillane/model/FilterImageData.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

namespace quillane {
namespace {

// Buffers from this size on (a page is up to 59.5 MB) are mapped directly
// from the system, 2 MB aligned and marked for transparent huge pages: huge
// pages cut the cost of first touching a page-sized image to about a third.
// Smaller buffers come from the heap.
constexpr size_t kMappedFrom = size_t{8} << 20;
constexpr size_t kHugePage = size_t{2} << 20;

struct Mapping {
  void* start = nullptr;
  size_t length = 0;

  uint8_t* pixels() const {
    const auto at = (reinterpret_cast<uintptr_t>(start) + kHugePage - 1) & ~(kHugePage - 1);
    return reinterpret_cast<uint8_t*>(at);
  }
  // Bytes usable from pixels() on.
  size_t capacity() const {
    return length - static_cast<size_t>(pixels() - static_cast<uint8_t*>(start));
  }
};

// Freed page-sized buffers kept for the next image of about the same size.
// Opening page after page, or a command's scratch image after scratch image,
// then reuses memory the process already has instead of asking the system
// for a fresh mapping, which it clears page by page on first touch (about as
// long as reading a 1-bit page takes). A kept buffer is marked MADV_FREE, so
// the system may still take its memory back under pressure; reusing it then
// costs no more than a fresh mapping.
class MappingCache {
 public:
  // The newest kept mapping that holds size bytes without wasting more than
  // a quarter of it, or an empty one.
  Mapping take(size_t size) {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = 0; i < count_; ++i) {
      const size_t capacity = kept_[i].capacity();
      if (capacity < size || capacity - size > size / 4) continue;
      const Mapping found = kept_[i];
      std::copy(kept_ + i + 1, kept_ + count_, kept_ + i);
      --count_;
      return found;
    }
    return Mapping{};
  }

  // Keeps a mapping, giving the oldest kept one back to the system when full.
  void keep(const Mapping& mapping) {
    madvise(mapping.pixels(), mapping.capacity(), MADV_FREE);
    Mapping dropped;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (count_ == kKept) dropped = kept_[--count_];
      std::copy_backward(kept_, kept_ + count_, kept_ + count_ + 1);
      kept_[0] = mapping;
      ++count_;
    }
    if (dropped.start != nullptr) munmap(dropped.start, dropped.length);
  }

 private:
  static constexpr size_t kKept = 2;
  std::mutex mutex_;
  Mapping kept_[kKept];  // newest first
  size_t count_ = 0;
};

// Never destroyed: images may be freed by other objects' destructors at exit.
MappingCache& mappingCache() {
  static MappingCache* cache = new MappingCache;
  return *cache;
}

struct Buffer {
  uint8_t* pixels = nullptr;
  Mapping mapping;
};

// A buffer of size bytes, filled with 0 when zeroed is set.
Buffer allocateBuffer(size_t size, bool zeroed) {
  Buffer buffer;
  if (size < kMappedFrom) {
    buffer.pixels = static_cast<uint8_t*>(zeroed ? std::calloc(size, 1) : std::malloc(size));
    return buffer;
  }
  buffer.mapping = mappingCache().take(size);
  if (buffer.mapping.start != nullptr) {
    buffer.pixels = buffer.mapping.pixels();
    if (zeroed) std::memset(buffer.pixels, 0, size);
    return buffer;
  }
  // A fresh mapping comes zero-filled from the system.
  const size_t length = size + kHugePage;
  void* start = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (start == MAP_FAILED) return buffer;
  buffer.mapping = Mapping{start, length};
  buffer.pixels = buffer.mapping.pixels();
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
    mappingCache().keep(Mapping{mapping_, mappingLength_});
  } else {
    std::free(pixels_);
  }
  pixels_ = nullptr;
  mapping_ = nullptr;
  mappingLength_ = 0;
}

bool FilterImageData::create(int32_t width, int32_t height, int32_t stride, int32_t bytesPerPixel) {
  return allocate(width, height, stride, bytesPerPixel, true);
}

bool FilterImageData::createUninitialized(int32_t width, int32_t height, int32_t stride,
                                          int32_t bytesPerPixel) {
  return allocate(width, height, stride, bytesPerPixel, false);
}

bool FilterImageData::allocate(int32_t width, int32_t height, int32_t stride, int32_t bytesPerPixel,
                               bool zeroed) {
  release();
  if (width <= 0 || height <= 0 || bytesPerPixel <= 0) return false;
  if (int64_t{stride} < int64_t{width} * bytesPerPixel) return false;
  const int64_t size = int64_t{height} * stride;
  if (size > INT32_MAX) return false;
  const Buffer buffer = allocateBuffer(static_cast<size_t>(size), zeroed);
  if (buffer.pixels == nullptr) return false;
  bytesPerPixel_ = bytesPerPixel;
  width_ = width;
  height_ = height;
  stride_ = stride;
  size_ = static_cast<int32_t>(size);
  pixels_ = buffer.pixels;
  mapping_ = buffer.mapping.start;
  mappingLength_ = buffer.mapping.length;
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
