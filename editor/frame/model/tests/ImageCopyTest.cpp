// Page records: creation rules, and the clipped rectangle copy and the crop
// against a per-pixel statement of the copy.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "quillane/model/ImageCopy.h"
#include "quillane/model/QuillaneImage.h"

namespace quillane {
namespace {

std::vector<uint8_t> bytes(const FilterImageData& image) {
  return std::vector<uint8_t>(image.pixels(), image.pixels() + image.size());
}

void expectEmpty(const FilterImageData& image) {
  EXPECT_TRUE(image.isEmpty());
  EXPECT_EQ(image.pixels(), nullptr);
  EXPECT_EQ(image.width() | image.height() | image.stride() | image.size(), 0);
  EXPECT_EQ(image.bytesPerPixel(), 0);
}

TEST(FilterImageData, CreateZeroesMovesAndReleases) {
  // Small buffers and page-sized ones (another allocation path) start zero.
  for (auto [w, h, stride] : {std::array{5, 3, 8}, std::array{4000, 3000, 4001}}) {
    QuillaneImage image;
    expectEmpty(image);
    ASSERT_TRUE(image.create(w, h, stride, 1));
    EXPECT_EQ(bytes(image), std::vector<uint8_t>(size_t(h) * stride, 0));
    image.row(h - 1)[stride - 1] = 9;
    QuillaneImage moved;
    ASSERT_TRUE(moved.create(2, 2, 2, 1));
    moved = std::move(image);
    expectEmpty(image);
    EXPECT_EQ(moved.row(h - 1)[stride - 1], 9);
    ASSERT_TRUE(moved.create(w, h, stride, 1));  // a new buffer, zeroed again
    EXPECT_EQ(moved.row(h - 1)[stride - 1], 0);
    moved.release();
    expectEmpty(moved);
  }
  // Empty sizes, stride below width * bytes, size beyond 32 bits.
  for (auto [w, h, stride, bpp] :
       {std::array{0, 3, 4, 1}, std::array{3, 0, 4, 1}, std::array{-1, 3, 4, 1},
        std::array{4, 3, 3, 1}, std::array{4, 3, 4, 0}, std::array{4, 3, 4, 3},
        std::array{65536, 65536, 65536, 1}}) {
    QuillaneImage image;
    ASSERT_TRUE(image.create(2, 2, 2, 1));  // an old buffer is released first
    EXPECT_FALSE(image.create(w, h, stride, bpp)) << w << "x" << h << " stride " << stride;
    expectEmpty(image);
  }
}

// The copy stated per pixel: pixel i of dstRect takes pixel i of srcRect
// where both lie inside their images (read from the source as it was before).
std::vector<uint8_t> referenceCopy(const std::vector<uint8_t>& src, int sw, int sh, int sStride,
                                   const FilterImageData& dst, Rect s, Rect d) {
  std::vector<uint8_t> out = bytes(dst);
  for (int64_t y = 0; y < int64_t(s.bottom) - s.top; ++y)
    for (int64_t x = 0; x < int64_t(s.right) - s.left; ++x) {
      const int64_t sx = s.left + x, sy = s.top + y, dx = d.left + x, dy = d.top + y;
      if (sx >= 0 && sy >= 0 && sx < sw && sy < sh && dx >= 0 && dy >= 0 && dx < dst.width() &&
          dy < dst.height())
        out[dy * dst.stride() + dx] = src[sy * sStride + sx];
    }
  return out;
}

TEST(CopyClippedRect, CopyAndCropMatchThePerPixelStatement) {
  // Random rectangles sticking out of either image on any side, equal sizes
  // or not, within one image (overlapping) or between two; stride padding
  // holds 0xEE.
  std::mt19937 rng(3);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  auto numbered = [&](int stride, int base) {
    QuillaneImage image;
    const int w = uniform(1, std::min(9, stride)), h = uniform(1, 9);
    EXPECT_TRUE(image.create(w, h, stride, 1));
    std::memset(image.pixels(), 0xEE, image.size());
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) image.row(y)[x] = static_cast<uint8_t>(base + y * 16 + x);
    return image;
  };
  for (int trial = 0; trial < 3000; ++trial) {
    SCOPED_TRACE(testing::Message() << "trial " << trial);
    const bool sameImage = trial % 4 == 0, unequal = trial % 7 == 0;
    QuillaneImage src = numbered(10, 0), other = numbered(11, 100);
    QuillaneImage& dst = sameImage ? src : other;
    const int w = uniform(0, 8), h = uniform(0, 8);
    const Rect s{uniform(-5, 9), uniform(-5, 9), 0, 0}, d{uniform(-5, 9), uniform(-5, 9), 0, 0};
    const Rect sr{s.left, s.top, s.left + w, s.top + h};
    const Rect dr{d.left, d.top, d.left + w + unequal, d.top + h};
    const auto before = bytes(src);
    const auto expected =
        unequal ? bytes(dst)
                : referenceCopy(before, src.width(), src.height(), src.stride(), dst, sr, dr);
    EXPECT_EQ(copyClippedRect(src, dst, sr, dr), !unequal);
    ASSERT_EQ(bytes(dst), expected);
    // A crop is a copy into a zeroed image of the rectangle's size.
    auto patch = crop(src, sr);
    ASSERT_EQ(patch != nullptr, w > 0 && h > 0);
    if (!patch) continue;
    QuillaneImage zeros;
    ASSERT_TRUE(zeros.create(w, h, w, 1));
    EXPECT_EQ(bytes(*patch), referenceCopy(bytes(src), src.width(), src.height(), src.stride(),
                                           zeros, sr, {0, 0, w, h}));
  }
  // Far outside, where the clipping arithmetic could overflow: nothing left.
  QuillaneImage src = numbered(4, 0), dst = numbered(4, 0);
  const auto before = bytes(dst);
  EXPECT_TRUE(copyClippedRect(src, dst, {INT32_MIN, 0, INT32_MIN + 3, 2}, {0, 0, 3, 2}));
  EXPECT_EQ(bytes(dst), before);
  EXPECT_EQ(crop(src, {3, 0, 1, 2}), nullptr);
  EXPECT_EQ(crop(QuillaneImage(), {0, 0, 2, 2}), nullptr);
}

}  // namespace
}  // namespace quillane
