// Page images: creation rules, the clipped rectangle copy and the crop against
// a per-pixel statement of the copy, and the engine's pinhole pass on a page
// (a missing engine, one without LWPinhole, binding twice).
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "quillane/model/EngineBinding.h"
#include "quillane/model/ImageCopy.h"
#include "quillane/model/QuillaneImage.h"

namespace quillane {
namespace {

std::vector<uint8_t> bytes(const FilterImageData& image) {
  return std::vector<uint8_t>(image.pixels(), image.pixels() + image.size());
}

void expectEmpty(const FilterImageData& i) {
  EXPECT_TRUE(i.isEmpty() && i.pixels() == nullptr &&
              (i.width() | i.height() | i.stride() | i.size() | i.bytesPerPixel()) == 0);
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

// Freed page-sized buffers are handed out again, but never to two images at
// once, and create() clears what an earlier image left in them.
TEST(FilterImageData, FreedPageBuffersAreReusedOnceAndCleared) {
  constexpr int32_t w = 6000, h = 5000;
  QuillaneImage first;
  ASSERT_TRUE(first.createUninitialized(w, h, w, 1));
  std::memset(first.pixels(), 7, size_t{w} * h);
  const uint8_t* const buffer = first.pixels();
  first.release();
  QuillaneImage a, b;
  ASSERT_TRUE(a.createUninitialized(w, h - 100, w, 1));  // a little smaller fits
  EXPECT_EQ(a.pixels(), buffer);
  ASSERT_TRUE(b.create(w, h, w, 1));
  EXPECT_NE(b.pixels(), a.pixels());
  std::memset(a.pixels(), 9, size_t{w} * (h - 100));
  EXPECT_EQ(bytes(b), std::vector<uint8_t>(size_t{w} * h, 0));
  a.release();
  ASSERT_TRUE(a.create(w, h - 100, w, 1));
  EXPECT_EQ(a.pixels(), buffer);
  EXPECT_EQ(bytes(a), std::vector<uint8_t>(size_t{w} * (h - 100), 0));
}

// The copy stated per pixel: pixel i of dstRect takes pixel i of srcRect
// where both lie inside their images, read from the source bytes as they were.
std::vector<uint8_t> referenceCopy(const FilterImageData& src, const std::vector<uint8_t>& from,
                                   const FilterImageData& dst, Rect s, Rect d) {
  std::vector<uint8_t> out = bytes(dst);
  for (int64_t y = 0; y < int64_t(s.bottom) - s.top; ++y)
    for (int64_t x = 0; x < int64_t(s.right) - s.left; ++x) {
      const int64_t sx = s.left + x, sy = s.top + y, dx = d.left + x, dy = d.top + y;
      if (sx >= 0 && sy >= 0 && sx < src.width() && sy < src.height() && dx >= 0 && dy >= 0 &&
          dx < dst.width() && dy < dst.height())
        out[dy * dst.stride() + dx] = from[sy * src.stride() + sx];
    }
  return out;
}

TEST(CopyClippedRect, CopyAndCropMatchThePerPixelStatement) {
  // Random rectangles sticking out of either image on any side, equal sizes
  // or not, within one image or between two; stride padding holds 0xEE.
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
    const int w = uniform(0, 8), h = uniform(0, 8), sx = uniform(-5, 9), sy = uniform(-5, 9);
    // Within one image mostly a short shift, so that the rectangles overlap.
    const int dx = sameImage ? sx + uniform(-2, 2) : uniform(-5, 9);
    const int dy = sameImage ? sy + uniform(-2, 2) : uniform(-5, 9);
    const Rect sr{sx, sy, sx + w, sy + h}, dr{dx, dy, dx + w + unequal, dy + h};
    const auto expected = unequal ? bytes(dst) : referenceCopy(src, bytes(src), dst, sr, dr);
    EXPECT_EQ(copyClippedRect(src, dst, sr, dr), !unequal);
    ASSERT_EQ(bytes(dst), expected);
    // A crop is a copy into a zeroed image of the rectangle's size.
    auto patch = crop(src, sr);
    ASSERT_EQ(patch != nullptr, w > 0 && h > 0);
    if (!patch) continue;
    QuillaneImage zeros;
    ASSERT_TRUE(zeros.create(w, h, w, 1));
    EXPECT_EQ(bytes(*patch), referenceCopy(src, bytes(src), zeros, sr, {0, 0, w, h}));
  }
  // Far outside, where the clipping arithmetic could overflow: nothing left.
  QuillaneImage src = numbered(4, 0), dst = numbered(4, 0);
  const auto before = bytes(dst);
  EXPECT_TRUE(copyClippedRect(src, dst, {INT32_MIN, 0, INT32_MIN + 3, 2}, {0, 0, 3, 2}));
  EXPECT_EQ(bytes(dst), before);
  EXPECT_EQ(crop(src, {3, 0, 1, 2}), nullptr);
  EXPECT_EQ(crop(QuillaneImage(), {0, 0, 2, 2}), nullptr);
}

// A white 8 x 6 page with a 2-pixel dark speck and an 8-pixel dark bar; rows
// of 10 bytes, the last two padding of 77.
QuillaneImage speckledPage() {
  QuillaneImage page;
  EXPECT_TRUE(page.create(8, 6, 10, 1));
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 10; ++x) page.row(y)[x] = x < 8 ? 255 : 77;
  page.row(1)[1] = page.row(1)[2] = 0;
  for (int x = 0; x < 8; ++x) page.row(4)[x] = 0;
  return page;
}

TEST(EngineBinding, PinholeSequenceNeedsAnEngineWithLWPinholeBoundOnce) {
  // Without an engine, or with one that lacks LWPinhole, nothing changes.
  for (const std::string folder : {"/nonexistent", QUILLANE_TEST_ENGINE_NO_PINHOLE}) {
    EngineBinding::unbind();
    EXPECT_EQ(EngineBinding::bind(folder), folder != "/nonexistent");
    QuillaneImage page = speckledPage();
    EXPECT_FALSE(EngineBinding::runPinhole(page, true, 9)) << folder;
    EXPECT_EQ(bytes(page), bytes(speckledPage()));
  }
  EngineBinding::unbind();
  // Without a folder the engine comes from the program's own folder, where
  // the build puts it beside the tests. A second bind keeps it, even with a
  // folder whose engine has no LWPinhole.
  ASSERT_TRUE(EngineBinding::bind());
  ASSERT_TRUE(EngineBinding::bind(QUILLANE_TEST_ENGINE_NO_PINHOLE));
  QuillaneImage page = speckledPage(), expected = speckledPage();
  expected.row(1)[1] = expected.row(1)[2] = 255;  // the speck goes, the bar (8 px) stays
  ASSERT_TRUE(EngineBinding::runPinhole(page, true, 7));
  EXPECT_EQ(bytes(page), bytes(expected));  // stride padding untouched as well
  QuillaneImage empty;
  EXPECT_FALSE(EngineBinding::runPinhole(empty, true, 7));
  // One unbind unloads it: it was loaded only once.
  EngineBinding::unbind();
  EXPECT_FALSE(EngineBinding::isBound());
  const std::string path = std::string(QUILLANE_TEST_ENGINE_FULL) + "/libtrellin.so";
  EXPECT_EQ(dlopen(path.c_str(), RTLD_NOLOAD | RTLD_NOW), nullptr);
  EXPECT_EQ(EngineBinding::createLWData(), nullptr);
}

}  // namespace
}  // namespace quillane
