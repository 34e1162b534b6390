// Reading TIFF pages: the probe's rules and the decode of every kind of page.
#include <gtest/gtest.h>

#include <tiffio.h>
#include <algorithm>
#include <cstring>

#include "TestSupport.h"
#include "quillane/imagefile/GrayConversion.h"
#include "quillane/imagefile/PageImageFile.h"

namespace quillane {
namespace {

using imagefile_test::compareGray;
using imagefile_test::openPage;
using imagefile_test::TempDir;
using imagefile_test::TiffSpec;
using imagefile_test::writeTiff;

constexpr uint32_t kW = 13, kH = 11;

// A bilevel pattern: value 0 (black) or 255, 1 bit a pixel packed MSB first
// with 1 meaning "set" as the photometric interpretation reads it.
std::vector<uint8_t> bilevelPage() {
  std::vector<uint8_t> page(kW * kH);
  for (uint32_t y = 0; y < kH; ++y) {
    for (uint32_t x = 0; x < kW; ++x) page[y * kW + x] = ((x * x + 3 * y) % 5 == 0) ? 0 : 255;
  }
  return page;
}

std::vector<uint8_t> packBits(const std::vector<uint8_t>& page, bool oneIsBlack) {
  const size_t rowBytes = (kW + 7) / 8;
  std::vector<uint8_t> packed(rowBytes * kH, 0);
  for (uint32_t y = 0; y < kH; ++y) {
    for (uint32_t x = 0; x < kW; ++x) {
      const bool black = page[y * kW + x] == 0;
      if (black == oneIsBlack)
        packed[y * rowBytes + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
  }
  return packed;
}

struct Opened {
  PageImageFile file;
  QuillaneImage page;
  int probe = 0;
  int decode = 0;
};

void openTiff(Opened& o, const std::string& path, const TiffSpec& spec, int32_t mode) {
  ASSERT_TRUE(writeTiff(path, spec));
  o.decode = openPage(o.file, o.page, path, mode, &o.probe);
}

TEST(TiffRead, BilevelInEveryCompressionAndPolarity) {
  TempDir dir;
  const std::vector<uint8_t> expected = bilevelPage();
  for (uint16_t compression : {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE,
                               COMPRESSION_PACKBITS, COMPRESSION_DEFLATE}) {
    for (uint16_t photometric : {PHOTOMETRIC_MINISWHITE, PHOTOMETRIC_MINISBLACK}) {
      for (uint16_t fillOrder : {0, FILLORDER_LSB2MSB}) {
        SCOPED_TRACE(testing::Message() << "compression " << compression << " photometric "
                                        << photometric << " fill order " << fillOrder);
        TiffSpec spec{.width = kW,
                      .height = kH,
                      .bits = 1,
                      .photometric = photometric,
                      .compression = compression,
                      .rowsPerStrip = 4,
                      .fillOrder = fillOrder};
        spec.data = packBits(expected, photometric == PHOTOMETRIC_MINISWHITE);
        Opened o;
        openTiff(o, dir.file("b.tif"), spec, kGrayAsIs);
        EXPECT_EQ(o.probe, 1);
        ASSERT_EQ(o.decode, 0);
        EXPECT_EQ(o.page.stride(), static_cast<int32_t>(kW));
        EXPECT_EQ(compareGray(o.page, expected, 0), "");
        EXPECT_TRUE(o.file.isBilevel());
      }
    }
  }
}

TEST(TiffRead, CompressionsThePageKindDoesNotSupport) {
  TempDir dir;
  const std::vector<uint8_t> expected = bilevelPage();
  TiffSpec spec{.width = kW,
                .height = kH,
                .bits = 1,
                .photometric = PHOTOMETRIC_MINISWHITE,
                .compression = COMPRESSION_CCITTFAX4};
  spec.data = packBits(expected, true);
  Opened o;
  openTiff(o, dir.file("g4.tif"), spec, kGrayAsIs);
  EXPECT_EQ(o.probe, 1);
  EXPECT_EQ(o.decode, pagefile::kUnsupportedCompression);
  EXPECT_TRUE(o.page.isEmpty());

  spec.compression = COMPRESSION_CCITTRLE;
  Opened rle;
  openTiff(rle, dir.file("g3.tif"), spec, kGrayAsIs);
  EXPECT_EQ(rle.decode, pagefile::kUnsupportedCompression);
}

TEST(TiffRead, GrayPagesOfEverySampleSize) {
  TempDir dir;
  const std::vector<uint8_t> page = imagefile_test::patternPage(kW, kH, 3);
  struct Case {
    uint16_t bits;
    uint16_t photometric;
    uint16_t compression;
  };
  for (const Case& c :
       {Case{8, 1, COMPRESSION_NONE}, Case{8, 1, COMPRESSION_LZW}, Case{8, 1, COMPRESSION_PACKBITS},
        Case{8, 1, COMPRESSION_DEFLATE}, Case{8, 0, COMPRESSION_NONE}, Case{16, 1, COMPRESSION_LZW},
        Case{4, 1, COMPRESSION_NONE}, Case{2, 1, COMPRESSION_ADOBE_DEFLATE}}) {
    SCOPED_TRACE(testing::Message() << "bits " << c.bits << " photometric " << c.photometric
                                    << " compression " << c.compression);
    TiffSpec spec{.width = kW,
                  .height = kH,
                  .bits = c.bits,
                  .photometric = c.photometric,
                  .compression = c.compression,
                  .rowsPerStrip = 3};
    const uint32_t maxValue = (1u << c.bits) - 1;
    const size_t rowBytes = (kW * c.bits + 7) / 8;
    spec.data.assign(rowBytes * kH, 0);
    std::vector<uint8_t> expected(kW * kH);
    for (uint32_t y = 0; y < kH; ++y) {
      for (uint32_t x = 0; x < kW; ++x) {
        const uint32_t v = page[y * kW + x] * maxValue / 255;  // sample value
        uint8_t* row = spec.data.data() + y * rowBytes;
        if (c.bits == 16) {
          const auto v16 = static_cast<uint16_t>(v);
          std::memcpy(row + 2 * x, &v16, 2);
        } else if (c.bits == 8) {
          row[x] = static_cast<uint8_t>(v);
        } else {
          const uint32_t perByte = 8 / c.bits;
          row[x / perByte] |= static_cast<uint8_t>(v << (8 - c.bits * (1 + x % perByte)));
        }
        const uint32_t gray = c.bits == 16 ? v >> 8 : v * 255 / maxValue;
        expected[y * kW + x] = static_cast<uint8_t>(c.photometric == 0 ? 255 - gray : gray);
      }
    }
    Opened o;
    openTiff(o, dir.file("g.tif"), spec, kGrayAsIs);
    EXPECT_EQ(o.probe, 1);
    ASSERT_EQ(o.decode, 0);
    EXPECT_EQ(compareGray(o.page, expected, 0), "");
    EXPECT_FALSE(o.file.isBilevel());
  }
}

TEST(TiffRead, PalettePages) {
  TempDir dir;
  // 4-bit gray palette stored with 16-bit entries: scaled by 255 / 65535.
  TiffSpec spec{.width = kW,
                .height = kH,
                .bits = 4,
                .photometric = PHOTOMETRIC_PALETTE,
                .compression = COMPRESSION_LZW};
  for (int i = 0; i < 16; ++i) {
    const auto v = static_cast<uint16_t>(65535 - i * 4369);  // 255 - 17 i, times 257
    spec.red.push_back(v);
    spec.green.push_back(v);
    spec.blue.push_back(v);
  }
  const size_t rowBytes = (kW + 1) / 2;
  spec.data.assign(rowBytes * kH, 0);
  std::vector<uint8_t> expected(kW * kH);
  for (uint32_t y = 0; y < kH; ++y) {
    for (uint32_t x = 0; x < kW; ++x) {
      const uint32_t index = (x + y) % 16;
      spec.data[y * rowBytes + x / 2] |= static_cast<uint8_t>(index << (x % 2 ? 0 : 4));
      expected[y * kW + x] = static_cast<uint8_t>(255 - 17 * index);
    }
  }
  Opened gray;
  openTiff(gray, dir.file("p.tif"), spec, kGrayAsIs);
  EXPECT_EQ(gray.probe, 1);
  EXPECT_EQ(gray.file.tiffHeader().samplesPerPixel, 1);
  ASSERT_EQ(gray.decode, 0);
  EXPECT_EQ(compareGray(gray.page, expected, 0), "");

  // A colour map whose red and green differ counts as three samples and the
  // page is made gray by the weighted formula; 8-bit entries are not scaled.
  spec.red.assign(16, 0);
  spec.green.assign(16, 0);
  spec.blue.assign(16, 0);
  spec.red[3] = 255;
  spec.blue[5] = 200;
  spec.data.assign(rowBytes * kH, 0x35);  // indices 3 and 5 alternating
  Opened colour;
  openTiff(colour, dir.file("c.tif"), spec, kGrayAsIs);
  EXPECT_EQ(colour.probe, 1);
  EXPECT_EQ(colour.file.tiffHeader().samplesPerPixel, 3);
  ASSERT_EQ(colour.decode, 0);
  EXPECT_EQ(colour.page.row(0)[0], 76);  // red 255
  EXPECT_EQ(colour.page.row(0)[1], 22);  // blue 200: 0.114 * 200 = 22.8
}

// A colour page of kW x kH: pixel (x, y) has samples sample(x, y, c).
uint8_t sample(uint32_t x, uint32_t y, uint32_t c) {
  return static_cast<uint8_t>((x * 37 + y * 11 + c * 71) % 256);
}

std::vector<uint8_t> colourData(uint16_t samples, bool separate) {
  std::vector<uint8_t> data(size_t{kW} * kH * samples);
  size_t i = 0;
  if (separate) {
    for (uint32_t c = 0; c < samples; ++c)
      for (uint32_t y = 0; y < kH; ++y)
        for (uint32_t x = 0; x < kW; ++x) data[i++] = sample(x, y, c);
  } else {
    for (uint32_t y = 0; y < kH; ++y)
      for (uint32_t x = 0; x < kW; ++x)
        for (uint32_t c = 0; c < samples; ++c) data[i++] = sample(x, y, c);
  }
  return data;
}

TEST(TiffRead, RgbAndCmykInEveryLayoutAndMode) {
  TempDir dir;
  struct Case {
    uint16_t photometric, samples, extra, planar, compression;
  };
  for (const Case& c :
       {Case{PHOTOMETRIC_RGB, 3, 0, PLANARCONFIG_CONTIG, COMPRESSION_NONE},
        Case{PHOTOMETRIC_RGB, 3, 0, PLANARCONFIG_SEPARATE, COMPRESSION_LZW},
        Case{PHOTOMETRIC_RGB, 3, 0, PLANARCONFIG_SEPARATE, COMPRESSION_NONE},
        Case{PHOTOMETRIC_RGB, 4, 1, PLANARCONFIG_CONTIG, COMPRESSION_PACKBITS},
        Case{PHOTOMETRIC_SEPARATED, 4, 0, PLANARCONFIG_CONTIG, COMPRESSION_DEFLATE},
        Case{PHOTOMETRIC_SEPARATED, 4, 0, PLANARCONFIG_SEPARATE, COMPRESSION_PACKBITS}}) {
    const bool cmyk = c.photometric == PHOTOMETRIC_SEPARATED;
    const std::vector<int> modes =
        cmyk ? std::vector<int>{4, 5, 6, 7, 8, 9} : std::vector<int>{1, 2, 3, 8, 9};
    for (int mode : modes) {
      SCOPED_TRACE(testing::Message()
                   << "photometric " << c.photometric << " samples " << c.samples << " planar "
                   << c.planar << " compression " << c.compression << " mode " << mode);
      TiffSpec spec{.width = kW,
                    .height = kH,
                    .samples = c.samples,
                    .photometric = c.photometric,
                    .compression = c.compression,
                    .planar = c.planar,
                    .extraSamples = c.extra,
                    .rowsPerStrip = 4};
      spec.data = colourData(c.samples, c.planar == PLANARCONFIG_SEPARATE);
      std::vector<uint8_t> expected(kW * kH);
      for (uint32_t y = 0; y < kH; ++y) {
        for (uint32_t x = 0; x < kW; ++x) {
          const unsigned s0 = sample(x, y, 0), s1 = sample(x, y, 1), s2 = sample(x, y, 2),
                         s3 = sample(x, y, 3);
          unsigned v = 0;
          if (mode >= 1 && mode <= 7) {
            const unsigned picked = mode == 7 ? s3 : sample(x, y, (mode - 1) % 3);
            v = cmyk ? 255 - picked : picked;
          } else if (mode == 8) {
            v = cmyk ? (30 * (255 - std::max(s0, s3)) + 59 * (255 - std::max(s1, s3)) +
                        11 * (255 - std::max(s2, s3))) /
                           100
                     : (299 * s0 + 587 * s1 + 114 * s2) / 1000;
          } else {
            v = cmyk ? 255 - std::max({s0, s1, s2, s3}) : std::min({s0, s1, s2});
          }
          expected[y * kW + x] = static_cast<uint8_t>(v);
        }
      }
      Opened o;
      openTiff(o, dir.file("c.tif"), spec, mode);
      EXPECT_EQ(o.probe, cmyk ? 4 : 3);
      EXPECT_EQ(o.file.tiffHeader().extraSamples, c.extra);
      ASSERT_EQ(o.decode, 0);
      EXPECT_EQ(compareGray(o.page, expected, 0), "");
    }
  }
}

TEST(TiffRead, YCbCrPages) {
  TempDir dir;
  // Full-resolution samples: the conversion's own formula.
  TiffSpec spec{.width = kW,
                .height = kH,
                .samples = 3,
                .photometric = PHOTOMETRIC_YCBCR,
                .subsamplingH = 1,
                .subsamplingV = 1};
  spec.data.assign(size_t{kW} * kH * 3, 128);
  for (size_t i = 0; i < spec.data.size(); i += 3) spec.data[i] = static_cast<uint8_t>(i % 200);
  Opened plain;
  openTiff(plain, dir.file("y.tif"), spec, kGrayWeighted);
  EXPECT_EQ(plain.probe, 3);
  ASSERT_EQ(plain.decode, 0);
  EXPECT_EQ(plain.page.row(0)[5], 15);  // Y of pixel 5; Cb = Cr = 128

  // 2 x 2 chroma subsampling, one uniform colour: Y 100, Cb 128, Cr 200
  // (RGB about 201, 49, 100), stored as blocks of 4 Y, Cb, Cr.
  TiffSpec sub{.width = 8,
               .height = 4,
               .samples = 3,
               .photometric = PHOTOMETRIC_YCBCR,
               .rowsPerStrip = 4,
               .subsamplingH = 2,
               .subsamplingV = 2};
  for (int block = 0; block < 8; ++block) {
    sub.data.insert(sub.data.end(), {100, 100, 100, 100, 128, 200});
  }
  Opened subsampled;
  openTiff(subsampled, dir.file("s.tif"), sub, kGrayRed);
  EXPECT_EQ(subsampled.probe, 3);
  ASSERT_EQ(subsampled.decode, 0);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 8; ++x) EXPECT_NEAR(subsampled.page.row(y)[x], 201, 2) << x << "," << y;
  }

  // JPEG-compressed YCbCr, written from RGB by libtiff's codec.
  TiffSpec jpeg{.width = 32,
                .height = 16,
                .samples = 3,
                .photometric = PHOTOMETRIC_YCBCR,
                .compression = COMPRESSION_JPEG,
                .rowsPerStrip = 16,
                .jpegRgbInput = true};
  for (int i = 0; i < 32 * 16; ++i) jpeg.data.insert(jpeg.data.end(), {200, 40, 90});
  Opened compressed;
  openTiff(compressed, dir.file("j.tif"), jpeg, kGrayWeighted);
  EXPECT_EQ(compressed.probe, 3);
  ASSERT_EQ(compressed.decode, 0);
  const int weighted = (299 * 200 + 587 * 40 + 114 * 90) / 1000;
  for (int y = 0; y < 16; ++y) EXPECT_NEAR(compressed.page.row(y)[y], weighted, 4);
}

TEST(TiffRead, TiledPages) {
  TempDir dir;
  const uint32_t w = 40, h = 20;
  TiffSpec gray{
      .width = w, .height = h, .compression = COMPRESSION_LZW, .tileWidth = 16, .tileLength = 16};
  gray.data = imagefile_test::patternPage(w, h, 7);
  Opened g;
  openTiff(g, dir.file("g.tif"), gray, kGrayAsIs);
  EXPECT_EQ(g.probe, 1);
  ASSERT_EQ(g.decode, 0);
  EXPECT_EQ(compareGray(g.page, gray.data, 0), "");

  TiffSpec rgb{.width = w,
               .height = h,
               .samples = 3,
               .photometric = PHOTOMETRIC_RGB,
               .tileWidth = 16,
               .tileLength = 16};
  std::vector<uint8_t> expected;
  for (uint8_t v : gray.data) {
    rgb.data.insert(rgb.data.end(), {v, static_cast<uint8_t>(255 - v), 3});
    expected.push_back(std::min<uint8_t>({v, static_cast<uint8_t>(255 - v), 3}));
  }
  Opened c;
  openTiff(c, dir.file("c.tif"), rgb, kGrayDarkest);
  EXPECT_EQ(c.probe, 3);
  ASSERT_EQ(c.decode, 0);
  EXPECT_EQ(compareGray(c.page, expected, 0), "");
}

TEST(TiffRead, ProbeRefusesWhatItCannotShow) {
  TempDir dir;
  TiffSpec lab{.width = kW, .height = kH, .samples = 3, .photometric = PHOTOMETRIC_CIELAB};
  lab.data.assign(size_t{kW} * kH * 3, 50);
  Opened o;
  openTiff(o, dir.file("lab.tif"), lab, kGrayWeighted);
  EXPECT_EQ(o.probe, pagefile::kUnsupported);

  TiffSpec twelve{.width = kW, .height = kH, .bits = 12, .photometric = PHOTOMETRIC_MINISBLACK};
  twelve.data.assign((kW * 12 + 7) / 8 * kH, 0);
  openTiff(o, dir.file("12.tif"), twelve, kGrayAsIs);
  EXPECT_EQ(o.probe, pagefile::kUnsupported);
}

TEST(TiffRead, Resolution) {
  TempDir dir;
  struct Case {
    float x, y;
    uint16_t unit;
    float expectX, expectY;
    bool defaulted;
  };
  for (const Case& c :
       {Case{300, 600, RESUNIT_INCH, 300, 600, false},
        Case{118.11f, 118.11f, RESUNIT_CENTIMETER, 300, 300, false},
        Case{300, 300, RESUNIT_NONE, 72, 72, true}, Case{50, 50, RESUNIT_INCH, 72, 72, true},
        Case{40000, 40000, RESUNIT_INCH, 72, 72, true}, Case{60, 60, RESUNIT_INCH, 60, 60, false},
        Case{30000, 30000, RESUNIT_INCH, 30000, 30000, false}, Case{0, 0, 0, 72, 72, true}}) {
    SCOPED_TRACE(testing::Message() << c.x << " unit " << c.unit);
    TiffSpec spec{.width = kW,
                  .height = kH,
                  .xResolution = c.x,
                  .yResolution = c.y,
                  .resolutionUnit = c.unit};
    spec.data.assign(size_t{kW} * kH, 200);
    Opened o;
    openTiff(o, dir.file("r.tif"), spec, kGrayAsIs);
    ASSERT_EQ(o.decode, 0);
    EXPECT_NEAR(o.page.horizontalResolution, c.expectX, 0.01);
    EXPECT_NEAR(o.page.verticalResolution, c.expectY, 0.01);
    EXPECT_EQ(o.file.resolutionDefaulted(), c.defaulted);
  }
}

// A little-endian TIFF of one 8-bit gray strip whose header declares
// width x height; the strip itself is missing from the file.
std::vector<uint8_t> tiffHeaderOnly(uint32_t width, uint32_t height) {
  std::vector<uint8_t> b = {'I', 'I', 42, 0, 8, 0, 0, 0};
  const auto add16 = [&b](uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
  };
  const auto add32 = [&](uint32_t v) {
    add16(v & 0xFFFF);
    add16(v >> 16);
  };
  const auto entry = [&](uint16_t tag, uint16_t type, uint32_t value) {
    add16(tag);
    add16(type);
    add32(1);
    if (type == 3) {
      add16(value);
      add16(0);
    } else {
      add32(value);
    }
  };
  add16(8);
  entry(256, 4, width);
  entry(257, 4, height);
  entry(258, 3, 8);
  entry(259, 3, 1);
  entry(262, 3, 1);
  entry(273, 4, 200);  // strip offset
  entry(278, 4, height);
  entry(279, 4, static_cast<uint32_t>(std::min<uint64_t>(uint64_t{width} * height, 0xFFFFFFFF)));
  add32(0);
  return b;
}

TEST(TiffRead, SizeLimitFromTheHeader) {
  TempDir dir;
  // Exactly the limit loads (1 bit, LZW: a small file for a large page).
  TiffSpec limit{
      .width = 6550, .height = 9080, .bits = 1, .photometric = 0, .compression = COMPRESSION_LZW};
  limit.data.assign(size_t{(6550 + 7) / 8} * 9080, 0);
  Opened o;
  openTiff(o, dir.file("limit.tif"), limit, kGrayAsIs);
  EXPECT_EQ(o.probe, 1);
  ASSERT_EQ(o.decode, 0);
  EXPECT_EQ(o.page.width(), 6550);
  EXPECT_EQ(o.page.row(9079)[6549], 255);
  o.file.reset();

  // One pixel more in the product, whatever the shape: the header alone
  // (no strips written) is refused before any page memory exists.
  for (auto [w, h] : {std::pair<uint32_t, uint32_t>{6551, 9080},
                      {59474001, 1},
                      {1, 59474001},
                      {100000, 100000}}) {
    SCOPED_TRACE(testing::Message() << w << " x " << h);
    const std::string path = dir.file("big.tif");
    imagefile_test::writeBytes(path, tiffHeaderOnly(w, h));
    PageImageFile file;
    QuillaneImage page;
    file.setPage(&page);
    imagefile_test::AllocationWatch watch;
    EXPECT_EQ(file.probe(path), pagefile::kTooLarge);
    if (imagefile_test::AllocationWatch::available()) {
      EXPECT_LT(watch.largest(), 1u << 20);
    }
    EXPECT_TRUE(page.isEmpty());
  }
}

TEST(TiffRead, MagicBytesDecideTheFormat) {
  TempDir dir;
  TiffSpec spec{.width = kW, .height = kH};
  spec.data = imagefile_test::patternPage(kW, kH, 9);
  Opened o;
  openTiff(o, dir.file("named.jpg"), spec, kGrayAsIs);
  EXPECT_EQ(o.probe, 1);
  EXPECT_EQ(o.decode, 0);
  EXPECT_EQ(o.file.formatKind(), kFormatTiff);
  EXPECT_EQ(compareGray(o.page, spec.data, 0), "");

  imagefile_test::writeBytes(dir.file("short.tif"), {'I'});
  EXPECT_EQ(PageImageFile::detectFormat(dir.file("short.tif")), pagefile::kFileTooShort);
  EXPECT_EQ(PageImageFile::detectFormat(dir.file("missing.tif")), pagefile::kCannotOpenForReading);
  imagefile_test::writeBytes(dir.file("text.tif"), {'h', 'e', 'l', 'l', 'o'});
  EXPECT_EQ(PageImageFile::detectFormat(dir.file("text.tif")), kFormatUnknown);
  PageImageFile file;
  EXPECT_EQ(file.probe(dir.file("text.tif")), pagefile::kUnsupported);
  EXPECT_EQ(file.probe(dir.file("missing.png")), pagefile::kCannotOpenForReading);
}

}  // namespace
}  // namespace quillane
