// Reading JPEG, PNG and BMP pages through the probe and decodeOther.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>

#include "TestSupport.h"
#include "common/Notice.h"
#include "quillane/imagefile/GrayConversion.h"
#include "quillane/imagefile/ImageLoader.h"
#include "quillane/imagefile/PageImageFile.h"

namespace quillane {
namespace {

using imagefile_test::compareGray;
using imagefile_test::openPage;
using imagefile_test::PngSpec;
using imagefile_test::TempDir;

// A smooth gray ramp (JPEG keeps it closely).
std::vector<uint8_t> ramp(uint32_t w, uint32_t h) {
  std::vector<uint8_t> v(size_t{w} * h);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) v[y * w + x] = static_cast<uint8_t>(x * 255 / (w - 1));
  return v;
}

struct Opened {
  PageImageFile file;
  QuillaneImage page;
  int probe = 0;
  int decode = 0;
  void open(const std::string& path, int32_t mode) {
    decode = openPage(file, page, path, mode, &probe);
  }
};

TEST(Loader, JpegGrayRgbAndCmyk) {
  TempDir dir;
  const uint32_t w = 32, h = 16;
  const std::vector<uint8_t> gray = ramp(w, h);
  ASSERT_TRUE(imagefile_test::writeJpeg(dir.file("g.jpg"), w, h, 1, gray, 100, 300));
  Opened g;
  g.open(dir.file("g.jpg"), kGrayAsIs);
  EXPECT_EQ(g.probe, 1);
  ASSERT_EQ(g.decode, 0);
  EXPECT_EQ(compareGray(g.page, gray, 3), "");
  EXPECT_FLOAT_EQ(g.page.horizontalResolution, 300);
  EXPECT_FALSE(g.file.resolutionDefaulted());

  // RGB: red follows the ramp, green is 0, blue 255.
  std::vector<uint8_t> rgb;
  for (uint8_t v : gray) rgb.insert(rgb.end(), {v, 0, 255});
  ASSERT_TRUE(imagefile_test::writeJpeg(dir.file("c.jpg"), w, h, 3, rgb, 100));
  Opened red;
  red.open(dir.file("c.jpg"), kGrayRed);
  EXPECT_EQ(red.probe, 3);
  ASSERT_EQ(red.decode, 0);
  EXPECT_EQ(compareGray(red.page, gray, 8), "");
  EXPECT_TRUE(red.file.resolutionDefaulted());  // no density: 72 dpi
  EXPECT_FLOAT_EQ(red.page.horizontalResolution, 72);
  Opened cyan;
  cyan.open(dir.file("c.jpg"), kGrayCyan);
  EXPECT_EQ(cyan.decode, pagefile::kGrayModeUnavailable);

  // CMYK as Adobe stores it (inverted: 255 = no ink): magenta and yellow
  // ink only, which shows as red. The notice comes once, then RGB.
  std::vector<uint8_t> cmyk;
  for (uint32_t i = 0; i < w * h; ++i) cmyk.insert(cmyk.end(), {255, 0, 0, 255});
  ASSERT_TRUE(imagefile_test::writeJpeg(dir.file("k.jpg"), w, h, 4, cmyk, 100));
  std::vector<std::string> notices;
  common::ScopedNoticeHandler recorder(
      [&notices](const std::string& text, common::NoticeIcon icon, common::NoticeButtons) {
        EXPECT_EQ(icon, common::NoticeIcon::None);
        notices.push_back(text);
        return common::NoticeAnswer::Ok;
      });
  Opened k;
  k.open(dir.file("k.jpg"), kGrayRed);
  EXPECT_EQ(k.probe, 3);
  ASSERT_EQ(k.decode, 0);
  EXPECT_EQ(k.file.loaderColorKind(), 4);
  EXPECT_GE(k.page.row(5)[5], 250);
  k.open(dir.file("k.jpg"), kGrayGreen);
  EXPECT_LE(k.page.row(5)[5], 5);
  ASSERT_EQ(notices.size(), 2u);  // one for each open
  EXPECT_EQ(notices[0], "JPEGのCMYK画像はサポート対象外です。RGBに変換して表示します。");
}

TEST(Loader, PngKinds) {
  TempDir dir;
  const uint32_t w = 11, h = 5;
  const std::vector<uint8_t> page = imagefile_test::patternPage(w, h, 4);
  struct Case {
    std::string name;
    PngSpec spec;
    int probe;
    int32_t mode;
    std::vector<uint8_t> expected;
    bool bilevel;
  };
  std::vector<Case> cases;
  {  // 8-bit gray, interlaced
    PngSpec s{.width = w, .height = h, .interlace = true, .data = page};
    cases.push_back({"gray8", s, 1, 0, page, false});
  }
  {  // 16-bit gray: the high byte
    PngSpec s{.width = w, .height = h, .bitDepth = 16};
    for (uint8_t v : page) s.data.insert(s.data.end(), {v, static_cast<uint8_t>(255 - v)});
    cases.push_back({"gray16", s, 1, 0, page, false});
  }
  std::vector<uint8_t> bilevel(page.size());
  std::transform(page.begin(), page.end(), bilevel.begin(),
                 [](uint8_t v) { return v < 128 ? 0 : 255; });
  {  // 1-bit gray: marked bilevel
    PngSpec s{.width = w, .height = h, .bitDepth = 1};
    s.data.assign(2 * h, 0);
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x)
        if (bilevel[y * w + x]) s.data[y * 2 + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    cases.push_back({"gray1", s, 1, 0, bilevel, true});
  }
  {  // RGB: mode 2 takes green
    PngSpec s{.width = w, .height = h, .colorType = PNG_COLOR_TYPE_RGB};
    for (uint8_t v : page) s.data.insert(s.data.end(), {0, v, 255});
    cases.push_back({"rgb", s, 3, kGrayGreen, page, false});
  }
  {  // RGB with alpha, interlaced: alpha dropped
    PngSpec s{.width = w, .height = h, .colorType = PNG_COLOR_TYPE_RGB_ALPHA, .interlace = true};
    for (uint8_t v : page) s.data.insert(s.data.end(), {v, 9, 9, 17});
    cases.push_back({"rgba", s, 3, kGrayRed, page, false});
  }
  {  // RGB whose every pixel is gray: reported gray
    PngSpec s{.width = w, .height = h, .colorType = PNG_COLOR_TYPE_RGB};
    for (uint8_t v : page) s.data.insert(s.data.end(), {v, v, v});
    cases.push_back({"rgbgray", s, 1, 0, page, false});
  }
  std::vector<uint8_t> indices(page.size());
  std::transform(page.begin(), page.end(), indices.begin(), [](uint8_t v) { return v % 4; });
  {  // gray palette, 2 bits: stays one channel
    PngSpec s{.width = w,
              .height = h,
              .bitDepth = 2,
              .colorType = PNG_COLOR_TYPE_PALETTE,
              .palette = {0, 0, 0, 90, 90, 90, 180, 180, 180, 250, 250, 250}};
    s.data.assign(3 * h, 0);
    std::vector<uint8_t> expected(page.size());
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) {
        const uint8_t i = indices[y * w + x];
        s.data[y * 3 + x / 4] |= static_cast<uint8_t>(i << (6 - 2 * (x % 4)));
        expected[y * w + x] = static_cast<uint8_t>(i == 3 ? 250 : i * 90);
      }
    cases.push_back({"graypalette", s, 1, 0, expected, false});
  }
  {  // colour palette with transparency, darkest channel
    PngSpec s{.width = w,
              .height = h,
              .colorType = PNG_COLOR_TYPE_PALETTE,
              .palette = {255, 0, 0, 10, 200, 30, 40, 50, 60, 255, 255, 255},
              .trns = {0, 128}};
    s.data = indices;
    std::vector<uint8_t> expected(page.size());
    const uint8_t darkest[] = {0, 10, 40, 255};
    for (size_t i = 0; i < page.size(); ++i) expected[i] = darkest[indices[i]];
    cases.push_back({"palette", s, 3, kGrayDarkest, expected, false});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(imagefile_test::writePng(dir.file(c.name + ".png"), c.spec));
    Opened o;
    o.open(dir.file(c.name + ".png"), c.mode);
    EXPECT_EQ(o.probe, c.probe);
    ASSERT_EQ(o.decode, 0);
    EXPECT_EQ(compareGray(o.page, c.expected, 0), "");
    EXPECT_EQ(o.file.isBilevel(), c.bilevel);
  }
}

TEST(Loader, PngResolutionRule) {
  TempDir dir;
  struct Case {
    uint32_t ppm;
    double dpi;
    bool defaulted;
  };
  // 11811 px/m is 299.9994 dpi, 1968 about 50 dpi, 2363 just over 60 dpi, 1181103 just over 30000.
  for (const Case& c :
       {Case{11811, 11811 * 0.0254, false}, Case{1968, 72, true}, Case{2363, 2363 * 0.0254, false},
        Case{1181103, 72, true}, Case{0, 72, true}}) {
    SCOPED_TRACE(c.ppm);
    PngSpec s{.width = 3, .height = 2, .xPpm = c.ppm, .yPpm = c.ppm, .data = {1, 2, 3, 4, 5, 6}};
    ASSERT_TRUE(imagefile_test::writePng(dir.file("r.png"), s));
    Opened o;
    o.open(dir.file("r.png"), 0);
    ASSERT_EQ(o.decode, 0);
    EXPECT_NEAR(o.page.horizontalResolution, c.dpi, 1e-3);
    EXPECT_NEAR(o.file.yResolution(), c.dpi, 1e-3);
    EXPECT_EQ(o.file.resolutionDefaulted(), c.defaulted);
  }
}

std::vector<uint8_t> grayQuads(int n) {
  std::vector<uint8_t> quads;
  for (int i = 0; i < n; ++i) {
    const auto v = static_cast<uint8_t>(n == 1 ? 0 : i * 255 / (n - 1));
    quads.insert(quads.end(), {v, v, v, 0});
  }
  return quads;
}

TEST(Loader, BmpKinds) {
  TempDir dir;
  // 5 x 3 pages; rows stored bottom-up, padded to 4 bytes.
  struct Case {
    std::string name;
    std::vector<uint8_t> bytes;
    int probe;
    int32_t mode;
    std::vector<uint8_t> expected;
    bool bilevel;
  };
  const std::vector<uint8_t> expected = {0,   255, 0,   255, 255,  // top row
                                         255, 0,   0,   0,   255,  //
                                         255, 255, 255, 0,   0};
  std::vector<Case> cases;
  {
    // 1 bit: rows 0b01011000 ... (0 = black entry)
    const std::vector<uint8_t> rows = {0xE0, 0, 0, 0, 0x88, 0, 0, 0, 0x58, 0, 0, 0};
    cases.push_back(
        {"bits1", imagefile_test::makeBmp(5, 3, 1, 0, grayQuads(2), rows), 1, 0, expected, true});
    // top-down: the same rows in reading order
    const std::vector<uint8_t> down = {0x58, 0, 0, 0, 0x88, 0, 0, 0, 0xE0, 0, 0, 0};
    cases.push_back({"topdown", imagefile_test::makeBmp(5, -3, 1, 0, grayQuads(2), down), 1, 0,
                     expected, true});
  }
  {
    // 4 bit with a 16-entry gray palette: index 15 is white
    const std::vector<uint8_t> rows = {0xFF, 0xF0, 0x00, 0,    0xF0, 0x00,
                                       0xF0, 0,    0x0F, 0x0F, 0xF0, 0};
    cases.push_back(
        {"bits4", imagefile_test::makeBmp(5, 3, 4, 0, grayQuads(16), rows), 1, 0, expected, false});
  }
  {
    // 8 bit gray palette, and the same coded as RLE8
    std::vector<uint8_t> rows;
    for (int y = 2; y >= 0; --y) {
      rows.insert(rows.end(), expected.begin() + y * 5, expected.begin() + y * 5 + 5);
      rows.insert(rows.end(), 3, 0);
    }
    cases.push_back({"bits8", imagefile_test::makeBmp(5, 3, 8, 0, grayQuads(256), rows), 1, 0,
                     expected, false});
    const std::vector<uint8_t> rle = {3, 255, 2, 0,   0, 0,                  // bottom row
                                      1, 255, 3, 0,   1, 255, 0,   0,        // middle row
                                      0, 5,   0, 255, 0, 255, 255, 0, 0, 0,  // top: literal
                                      0, 1};
    cases.push_back(
        {"rle8", imagefile_test::makeBmp(5, 3, 8, 1, grayQuads(256), rle), 1, 0, expected, false});
    // RLE4, 16 gray entries: runs alternate the two nibbles
    const std::vector<uint8_t> rle4 = {3, 0xFF, 2,    0x00, 0,    0,           //
                                       1, 0xF0, 3,    0x00, 1,    0xF0, 0, 0,  //
                                       0, 5,    0x0F, 0x0F, 0xF0, 0,    0, 0, 0, 1};
    cases.push_back(
        {"rle4", imagefile_test::makeBmp(5, 3, 4, 2, grayQuads(16), rle4), 1, 0, expected, false});
  }
  {
    // 24 and 32 bits, colour: blue channel is the expected page, red 7
    std::vector<uint8_t> rows24, rows32;
    for (int y = 2; y >= 0; --y) {
      for (int x = 0; x < 5; ++x) {
        const uint8_t v = expected[y * 5 + x];
        rows24.insert(rows24.end(), {v, 100, 7});
        rows32.insert(rows32.end(), {v, 100, 7, 0});
      }
      rows24.insert(rows24.end(), 1, 0);  // 15 bytes padded to 16
    }
    cases.push_back({"bits24", imagefile_test::makeBmp(5, 3, 24, 0, {}, rows24), 3, kGrayBlue,
                     expected, false});
    cases.push_back({"bits32", imagefile_test::makeBmp(5, 3, 32, 0, {}, rows32), 3, kGrayBlue,
                     expected, false});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    imagefile_test::writeBytes(dir.file(c.name + ".bmp"), c.bytes);
    Opened o;
    o.open(dir.file(c.name + ".bmp"), c.mode);
    EXPECT_EQ(o.probe, c.probe);
    ASSERT_EQ(o.decode, 0);
    EXPECT_EQ(compareGray(o.page, c.expected, 0), "");
    EXPECT_EQ(o.file.isBilevel(), c.bilevel);
  }

  // Resolution in pixels a metre, horizontal and vertical apart.
  imagefile_test::writeBytes(dir.file("res.bmp"),
                             imagefile_test::makeBmp(1, 1, 24, 0, {}, {1, 2, 3, 0}, 11811, 23622));
  Opened res;
  res.open(dir.file("res.bmp"), kGrayRed);
  ASSERT_EQ(res.decode, 0);
  EXPECT_NEAR(res.page.horizontalResolution, 300, 0.01);
  EXPECT_NEAR(res.page.verticalResolution, 600, 0.01);
}

// Patches a PNG's IHDR width and height and recomputes its CRC.
void patchPngSize(std::vector<uint8_t>& png, uint32_t w, uint32_t h) {
  for (int i = 0; i < 4; ++i) {
    png[16 + i] = static_cast<uint8_t>(w >> (24 - 8 * i));
    png[20 + i] = static_cast<uint8_t>(h >> (24 - 8 * i));
  }
  const uLong crc = crc32(0, png.data() + 12, 17);
  for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
}

TEST(Loader, SizeLimitFromTheHeader) {
  TempDir dir;
  {
    // Exactly the limit loads, and the watch sees the reader's image
    // buffer: it would see one in the refusals below.
    PngSpec s{.width = 6550, .height = 9080, .bitDepth = 1};
    s.data.assign(size_t{(6550 + 7) / 8} * 9080, 0xFF);
    ASSERT_TRUE(imagefile_test::writePng(dir.file("limit.png"), s));
    PageImageFile file;
    imagefile_test::AllocationWatch watch;
    EXPECT_EQ(file.probe(dir.file("limit.png")), 1);
    if (imagefile_test::AllocationWatch::available()) {
      EXPECT_GE(watch.largest(), size_t{6550} * 9080);
    }
  }
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  {
    PngSpec s{.width = 2, .height = 2, .data = {1, 2, 3, 4}};
    ASSERT_TRUE(imagefile_test::writePng(dir.file("small.png"), s));
    std::vector<uint8_t> png = imagefile_test::readBytes(dir.file("small.png"));
    patchPngSize(png, 6551, 9080);
    files.emplace_back("big.png", png);
  }
  {
    ASSERT_TRUE(
        imagefile_test::writeJpeg(dir.file("small.jpg"), 8, 8, 1, std::vector<uint8_t>(64, 9)));
    std::vector<uint8_t> jpeg = imagefile_test::readBytes(dir.file("small.jpg"));
    // SOF0: FF C0, length, precision, height, width (big-endian).
    for (size_t i = 0; i + 8 < jpeg.size(); ++i) {
      if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
        jpeg[i + 5] = 9080 >> 8;
        jpeg[i + 6] = 9080 & 255;
        jpeg[i + 7] = 6551 >> 8;
        jpeg[i + 8] = 6551 & 255;
        break;
      }
    }
    files.emplace_back("big.jpg", jpeg);
  }
  files.emplace_back("big.bmp", imagefile_test::makeBmp(6551, 9080, 8, 0, grayQuads(256), {}));
  files.emplace_back("wide.bmp", imagefile_test::makeBmp(59474001, -1, 24, 0, {}, {}));
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    imagefile_test::writeBytes(dir.file(name), bytes);
    PageImageFile file;
    imagefile_test::AllocationWatch watch;
    EXPECT_EQ(file.probe(dir.file(name)), pagefile::kTooLarge);
    if (imagefile_test::AllocationWatch::available()) {
      EXPECT_LT(watch.largest(), 1u << 20);
    }
    EXPECT_FALSE(file.hasDecodedImage());
  }
}

}  // namespace
}  // namespace quillane
