// Page records: creation rules, the clipped rectangle copy and the crop.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "quillane/model/ImageCopy.h"
#include "quillane/model/QuillaneImage.h"

namespace quillane {
namespace {

// An image whose pixel (x, y) holds a value that tells where it came from.
QuillaneImage numbered(int w, int h, int stride, int base = 0) {
  QuillaneImage image;
  EXPECT_TRUE(image.create(w, h, stride, 1));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.row(y)[x] = static_cast<uint8_t>(base + y * 16 + x);
  return image;
}

void expectEmpty(const FilterImageData& image) {
  EXPECT_TRUE(image.isEmpty());
  EXPECT_EQ(image.pixels(), nullptr);
  EXPECT_EQ(image.width(), 0);
  EXPECT_EQ(image.height(), 0);
  EXPECT_EQ(image.stride(), 0);
  EXPECT_EQ(image.size(), 0);
  EXPECT_EQ(image.bytesPerPixel(), 0);
}

TEST(FilterImageData, CreateSetsFieldsAndZeroesTheBuffer) {
  QuillaneImage image;
  expectEmpty(image);
  ASSERT_TRUE(image.create(5, 3, 8, 1));
  EXPECT_FALSE(image.isEmpty());
  EXPECT_EQ(image.width(), 5);
  EXPECT_EQ(image.height(), 3);
  EXPECT_EQ(image.stride(), 8);
  EXPECT_EQ(image.size(), 24);
  EXPECT_EQ(image.bytesPerPixel(), 1);
  std::vector<uint8_t> zero(24, 0);
  EXPECT_EQ(std::memcmp(image.pixels(), zero.data(), 24), 0);
  image.release();
  expectEmpty(image);
}

TEST(FilterImageData, PageSizedBuffersStartZeroAndMove) {
  // Page-sized buffers take another allocation path than small ones.
  QuillaneImage page;
  ASSERT_TRUE(page.create(4000, 3000, 4001, 1));
  EXPECT_EQ(page.size(), 3000 * 4001);
  for (int y = 0; y < 3000; y += 999)
    for (int x = 0; x < 4001; x += 1000) ASSERT_EQ(page.row(y)[x], 0);
  page.row(2999)[4000] = 9;
  QuillaneImage moved;
  ASSERT_TRUE(moved.create(2, 2, 2, 1));
  moved = std::move(page);
  expectEmpty(page);
  EXPECT_EQ(moved.row(2999)[4000], 9);
  ASSERT_TRUE(moved.create(4000, 3000, 4000, 1));  // a new buffer, zeroed again
  EXPECT_EQ(moved.row(2999)[3999], 0);
  moved.release();
  expectEmpty(moved);
}

TEST(FilterImageData, RefusedCreateLeavesTheImageEmpty) {
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

TEST(CopyClippedRect, DifferentSizesFailWithoutWriting) {
  QuillaneImage src = numbered(8, 8, 8);
  QuillaneImage dst;
  ASSERT_TRUE(dst.create(8, 8, 8, 1));
  EXPECT_FALSE(copyClippedRect(src, dst, {0, 0, 4, 4}, {0, 0, 5, 4}));
  EXPECT_FALSE(copyClippedRect(src, dst, {0, 0, 4, 4}, {0, 0, 4, 3}));
  for (int i = 0; i < dst.size(); ++i) ASSERT_EQ(dst.pixels()[i], 0);
}

TEST(CopyClippedRect, ClipsAgainstBothImages) {
  // Source 6x5, destination 4x4 (stride padded); the rectangles stick out of
  // the source on the left and top and out of the destination on the right
  // and bottom.
  QuillaneImage src = numbered(6, 5, 7);
  QuillaneImage dst;
  ASSERT_TRUE(dst.create(4, 4, 6, 1));
  std::memset(dst.pixels(), 0xEE, dst.size());
  ASSERT_TRUE(copyClippedRect(src, dst, {-1, -2, 3, 2}, {1, 1, 5, 5}));
  // Cut left 1 (source), top 2 (source), right 1 (destination), bottom 1
  // (destination): source columns 0..1, row 0 land at destination (2..3, 3).
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) {
      uint8_t expected = 0xEE;
      if (y == 3 && (x == 2 || x == 3)) expected = src.row(0)[x - 2];
      EXPECT_EQ(dst.row(y)[x], expected) << x << "," << y;
    }
  }
}

TEST(CopyClippedRect, NothingLeftSucceedsWithoutCopying) {
  QuillaneImage src = numbered(4, 4, 4);
  QuillaneImage dst;
  ASSERT_TRUE(dst.create(4, 4, 4, 1));
  EXPECT_TRUE(copyClippedRect(src, dst, {4, 0, 8, 4}, {0, 0, 4, 4}));
  EXPECT_TRUE(copyClippedRect(src, dst, {0, 0, 4, 4}, {-4, 0, 0, 4}));
  EXPECT_TRUE(copyClippedRect(src, dst, {INT32_MIN, 0, INT32_MIN + 3, 2}, {0, 0, 3, 2}));
  for (int i = 0; i < dst.size(); ++i) ASSERT_EQ(dst.pixels()[i], 0);
}

TEST(CopyClippedRect, OverlappingCopyWithinOneImage) {
  QuillaneImage image = numbered(6, 6, 6);
  QuillaneImage original = numbered(6, 6, 6);
  ASSERT_TRUE(copyClippedRect(image, image, {0, 0, 4, 4}, {1, 1, 5, 5}));
  for (int y = 1; y < 5; ++y)
    for (int x = 1; x < 5; ++x) EXPECT_EQ(image.row(y)[x], original.row(y - 1)[x - 1]);
  ASSERT_TRUE(copyClippedRect(image, image, {1, 1, 5, 5}, {0, 0, 4, 4}));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(image.row(y)[x], original.row(y)[x]);
}

TEST(Crop, OutsidePartStaysZero) {
  QuillaneImage page = numbered(5, 4, 8, 1);
  auto patch = crop(page, {3, -1, 7, 2});
  ASSERT_NE(patch, nullptr);
  EXPECT_EQ(patch->width(), 4);
  EXPECT_EQ(patch->height(), 3);
  EXPECT_EQ(patch->stride(), 4);
  EXPECT_EQ(patch->bytesPerPixel(), 1);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      const int px = 3 + x, py = y - 1;
      const uint8_t expected = (px < 5 && py >= 0) ? page.row(py)[px] : 0;
      EXPECT_EQ(patch->row(y)[x], expected) << x << "," << y;
    }
  }
}

TEST(Crop, ImpossibleCropsGiveNoImage) {
  QuillaneImage page = numbered(5, 4, 5);
  EXPECT_EQ(crop(page, {2, 2, 2, 3}), nullptr);
  EXPECT_EQ(crop(page, {3, 0, 1, 2}), nullptr);
  QuillaneImage empty;
  EXPECT_EQ(crop(empty, {0, 0, 2, 2}), nullptr);
  // A rectangle wholly outside still gives an image (of zeros).
  auto outside = crop(page, {10, 10, 12, 11});
  ASSERT_NE(outside, nullptr);
  EXPECT_EQ(outside->row(0)[1], 0);
}

}  // namespace
}  // namespace quillane
