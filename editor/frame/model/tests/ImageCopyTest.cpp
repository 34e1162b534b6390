// Page records: creation rules, the clipped rectangle copy and the crop.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "quillane/model/ImageCopy.h"
#include "quillane/model/QuillaneImage.h"

namespace quillane {
namespace {

// An image whose pixel (x, y) holds a value that tells where it came from;
// stride padding holds 0xEE.
QuillaneImage numbered(int w, int h, int stride, int base = 0) {
  QuillaneImage image;
  EXPECT_TRUE(image.create(w, h, stride, 1));
  std::memset(image.pixels(), 0xEE, image.size());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.row(y)[x] = static_cast<uint8_t>(base + y * 16 + x);
  return image;
}

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
    EXPECT_EQ(image.size(), h * stride);
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
  struct Case {
    int w, h, stride, bpp;
  };
  for (Case c : {Case{0, 3, 4, 1}, Case{3, 0, 4, 1}, Case{-1, 3, 4, 1}, Case{4, 3, 3, 1},
                 Case{4, 3, 4, 0}, Case{4, 3, 4, 3},  // stride below width * bytes
                 Case{65536, 65536, 65536, 1}}) {     // size beyond 32 bits
    QuillaneImage image;
    ASSERT_TRUE(image.create(2, 2, 2, 1));  // an old buffer is released first
    EXPECT_FALSE(image.create(c.w, c.h, c.stride, c.bpp)) << c.w << "x" << c.h;
    expectEmpty(image);
  }
}

// The copy stated per pixel: pixel i of dstRect takes pixel i of srcRect
// where both lie inside their images (read from the source as it was before).
std::vector<uint8_t> referenceCopy(const std::vector<uint8_t>& src, int sw, int sh, int sStride,
                                   const QuillaneImage& dst, Rect s, Rect d) {
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

TEST(CopyClippedRect, MatchesThePerPixelStatement) {
  // Random rectangles sticking out of either image on any side, equal sizes
  // or not, within one image (overlapping) or between two.
  std::mt19937 rng(3);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int trial = 0; trial < 3000; ++trial) {
    const bool sameImage = trial % 4 == 0;
    QuillaneImage src = numbered(uniform(1, 9), uniform(1, 9), 10);
    QuillaneImage other = numbered(uniform(1, 9), uniform(1, 9), 11, 100);
    QuillaneImage& dst = sameImage ? src : other;
    const int w = uniform(0, 8), h = uniform(0, 8);
    const Rect s{uniform(-5, 9), uniform(-5, 9), 0, 0}, d{uniform(-5, 9), uniform(-5, 9), 0, 0};
    const Rect sr{s.left, s.top, s.left + w, s.top + h};
    const Rect dr{d.left, d.top, d.left + w + (trial % 7 == 0), d.top + h};
    const auto before = bytes(src);
    const auto expected = trial % 7 == 0 ? bytes(dst)
                                         : referenceCopy(before, src.width(), src.height(),
                                                         src.stride(), dst, sr, dr);
    EXPECT_EQ(copyClippedRect(src, dst, sr, dr), trial % 7 != 0);
    ASSERT_EQ(bytes(dst), expected) << "trial " << trial;
  }
  // Far outside, where the clipping arithmetic could overflow: nothing left.
  QuillaneImage src = numbered(4, 4, 4), dst = numbered(4, 4, 4);
  EXPECT_TRUE(copyClippedRect(src, dst, {INT32_MIN, 0, INT32_MIN + 3, 2}, {0, 0, 3, 2}));
  EXPECT_EQ(bytes(dst), bytes(src));
}

TEST(Crop, OutsidePartStaysZero) {
  QuillaneImage page = numbered(5, 4, 8, 1);
  auto patch = crop(page, {3, -1, 7, 2});
  ASSERT_NE(patch, nullptr);
  EXPECT_EQ(patch->stride(), 4);
  EXPECT_EQ(patch->bytesPerPixel(), 1);
  EXPECT_EQ(bytes(*patch), (std::vector<uint8_t>{0, 0, 0, 0, 4, 5, 0, 0, 20, 21, 0, 0}));
  EXPECT_EQ(crop(page, {2, 2, 2, 3}), nullptr);
  EXPECT_EQ(crop(page, {3, 0, 1, 2}), nullptr);
  EXPECT_EQ(crop(QuillaneImage(), {0, 0, 2, 2}), nullptr);
  // A rectangle wholly outside still gives an image (of zeros).
  auto outside = crop(page, {10, 10, 12, 11});
  ASSERT_NE(outside, nullptr);
  EXPECT_EQ(bytes(*outside), std::vector<uint8_t>(2, 0));
}

}  // namespace
}  // namespace quillane
