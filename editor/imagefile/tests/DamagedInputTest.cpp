// Damaged files made by a generator: every reader gets valid files cut at
// many lengths and with random bytes changed. Each must end with a result
// code, never a crash, a sanitizer report or a message; a cut file that
// still loads must give exactly the page of the whole file.
#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>

#include <random>
#include <set>

#include "TestSupport.h"
#include "common/Notice.h"
#include "quillane/imagefile/PageImageFile.h"

namespace quillane {
namespace {

using imagefile_test::readBytes;
using imagefile_test::TempDir;
using imagefile_test::writeBytes;

constexpr uint32_t kW = 23, kH = 17;

std::vector<uint8_t> samples(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> v(count);
  for (size_t i = 0; i < count; ++i) v[i] = static_cast<uint8_t>((i * 13) % 256 ^ (random() & 15));
  return v;
}

// Valid small files of every reader and layout, as bytes.
std::vector<std::pair<std::string, std::vector<uint8_t>>> validFiles(const TempDir& dir) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  const auto addTiff = [&](const std::string& name, imagefile_test::TiffSpec spec) {
    EXPECT_TRUE(imagefile_test::writeTiff(dir.file(name), spec));
    files.emplace_back(name, readBytes(dir.file(name)));
  };
  addTiff("gray-lzw.tif", {.width = kW,
                           .height = kH,
                           .compression = COMPRESSION_LZW,
                           .rowsPerStrip = 5,
                           .data = samples(kW * kH, 1)});
  addTiff("rgb-planes.tif", {.width = kW,
                             .height = kH,
                             .samples = 3,
                             .photometric = 2,
                             .compression = COMPRESSION_DEFLATE,
                             .planar = 2,
                             .rowsPerStrip = 4,
                             .data = samples(kW * kH * 3, 2)});
  addTiff("cmyk-packbits.tif", {.width = kW,
                                .height = kH,
                                .samples = 4,
                                .photometric = 5,
                                .compression = COMPRESSION_PACKBITS,
                                .data = samples(kW * kH * 4, 3)});
  addTiff("bilevel.tif", {.width = kW,
                          .height = kH,
                          .bits = 1,
                          .photometric = 0,
                          .rowsPerStrip = 3,
                          .data = samples((kW + 7) / 8 * kH, 4)});
  addTiff("ycbcr-jpeg.tif", {.width = 32,
                             .height = 16,
                             .samples = 3,
                             .photometric = 6,
                             .compression = COMPRESSION_JPEG,
                             .rowsPerStrip = 16,
                             .jpegRgbInput = true,
                             .data = samples(32 * 16 * 3, 5)});
  {
    imagefile_test::TiffSpec palette{.width = kW,
                                     .height = kH,
                                     .bits = 8,
                                     .photometric = 3,
                                     .compression = COMPRESSION_LZW,
                                     .data = samples(kW * kH, 6)};
    for (int i = 0; i < 256; ++i) {
      palette.red.push_back(static_cast<uint16_t>(i * 257));
      palette.green.push_back(static_cast<uint16_t>((255 - i) * 257));
      palette.blue.push_back(0);
    }
    addTiff("palette.tif", palette);
  }
  const auto addJpeg = [&](const std::string& name, int components) {
    EXPECT_TRUE(imagefile_test::writeJpeg(dir.file(name), kW, kH, components,
                                          samples(kW * kH * components, 7), 90, 300));
    files.emplace_back(name, readBytes(dir.file(name)));
  };
  addJpeg("gray.jpg", 1);
  addJpeg("rgb.jpg", 3);
  addJpeg("cmyk.jpg", 4);
  const auto addPng = [&](const std::string& name, imagefile_test::PngSpec spec) {
    EXPECT_TRUE(imagefile_test::writePng(dir.file(name), spec));
    files.emplace_back(name, readBytes(dir.file(name)));
  };
  addPng("rgb-interlaced.png", {.width = kW,
                                .height = kH,
                                .colorType = PNG_COLOR_TYPE_RGB,
                                .xPpm = 11811,
                                .yPpm = 11811,
                                .interlace = true,
                                .data = samples(kW * kH * 3, 8)});
  addPng("gray16.png",
         {.width = kW, .height = kH, .bitDepth = 16, .data = samples(kW * kH * 2, 9)});
  addPng("palette.png", {.width = kW,
                         .height = kH,
                         .bitDepth = 4,
                         .colorType = PNG_COLOR_TYPE_PALETTE,
                         .palette = samples(48, 10),
                         .data = samples((kW + 1) / 2 * kH, 11)});
  addPng("gray1.png", {.width = kW, .height = kH, .bitDepth = 1, .data = samples(3 * kH, 12)});
  std::vector<uint8_t> gray256;
  for (int i = 0; i < 256; ++i)
    gray256.insert(gray256.end(), {uint8_t(i), uint8_t(i), uint8_t(i), 0});
  files.emplace_back("gray8.bmp", imagefile_test::makeBmp(kW, kH, 8, 0, gray256,
                                                          samples(24 * kH, 13), 11811, 11811));
  files.emplace_back("rgb24.bmp", imagefile_test::makeBmp(kW, -static_cast<int32_t>(kH), 24, 0, {},
                                                          samples(72 * kH, 14)));
  {
    std::vector<uint8_t> rle;
    for (uint32_t y = 0; y < kH; ++y) {
      rle.insert(rle.end(), {10, uint8_t(y * 9), 0, 5, 1, 2, 3, 4, 5, 0, 8, uint8_t(y), 0, 0});
    }
    rle.insert(rle.end(), {0, 1});
    files.emplace_back("rle8.bmp", imagefile_test::makeBmp(kW, kH, 8, 1, gray256, rle));
  }
  return files;
}

struct Outcome {
  int code = 0;
  std::vector<uint8_t> pixels;
};

Outcome openBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  writeBytes(path, bytes);
  PageImageFile file;
  QuillaneImage page;
  Outcome outcome;
  const int probed = file.probe(path);
  if (probed != 1 && probed != 3 && probed != 4) {
    outcome.code = probed;
    return outcome;
  }
  file.setPage(&page);
  const int32_t mode = probed == 1 ? 0 : 8;
  outcome.code = file.hasTiffHandle() ? file.decodeTiff(mode) : file.decodeOther(mode);
  if (outcome.code == 0) {
    EXPECT_FALSE(page.isEmpty());
    EXPECT_EQ(page.stride(), page.width());
    EXPECT_LE(int64_t{page.width()} * page.height(), pagefile::kMaxPagePixels);
    outcome.pixels.assign(page.pixels(), page.pixels() + page.size());
  }
  return outcome;
}

const std::set<int> kKnownCodes = {
    0, pagefile::kUnsupported, 1001, 1003, 1202, 1500, 1501, 1504, 2001, -1};

TEST(DamagedInput, CutAndChangedFilesEndWithAResultCode) {
  TempDir dir;
  std::vector<std::string> notices;
  common::ScopedNoticeHandler quiet(
      [&notices](const std::string& text, common::NoticeIcon, common::NoticeButtons) {
        notices.push_back(text);
        return common::NoticeAnswer::Ok;
      });
  std::mt19937 random(20240601);
  for (const auto& [name, bytes] : validFiles(dir)) {
    SCOPED_TRACE(name);
    const std::string path = dir.file("damaged-" + name);
    const Outcome whole = openBytes(path, bytes);
    ASSERT_EQ(whole.code, 0);

    // Cut at every length up to 64 bytes, then at about 60 places.
    std::vector<size_t> lengths;
    for (size_t n = 0; n < std::min<size_t>(64, bytes.size()); ++n) lengths.push_back(n);
    for (size_t n = 64; n < bytes.size(); n += std::max<size_t>(1, bytes.size() / 60)) {
      lengths.push_back(n);
    }
    lengths.push_back(bytes.size() - 1);
    for (size_t n : lengths) {
      const Outcome cut = openBytes(
          path, std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(n)));
      ASSERT_TRUE(kKnownCodes.count(cut.code)) << "cut at " << n << ": " << cut.code;
      if (cut.code == 0) {
        ASSERT_EQ(cut.pixels, whole.pixels) << "cut at " << n;
      } else if (n < 2) {
        EXPECT_EQ(cut.code, pagefile::kFileTooShort);
      }
    }

    // 1 to 4 changed bytes, 120 times.
    for (int round = 0; round < 120; ++round) {
      std::vector<uint8_t> changed = bytes;
      const int count = 1 + static_cast<int>(random() % 4);
      for (int i = 0; i < count; ++i) {
        changed[random() % changed.size()] ^= static_cast<uint8_t>(1 + random() % 255);
      }
      const Outcome outcome = openBytes(path, changed);
      ASSERT_TRUE(kKnownCodes.count(outcome.code)) << "round " << round << ": " << outcome.code;
    }
  }
  // Only the CMYK JPEG notice may have been shown.
  for (const std::string& text : notices) {
    EXPECT_EQ(text, "JPEGのCMYK画像はサポート対象外です。RGBに変換して表示します。");
  }
}

// Found by fuzzing: a page of 4096 samples a pixel in strips of 128 rows
// asked for a 2 GB strip buffer. The decoder refuses buffers that libtiff
// itself would refuse to allocate.
TEST(DamagedInput, HeaderAskingForGigabytesIsRefusedWithoutAllocating) {
  TempDir dir;
  const std::string path = dir.file("many-samples.tif");
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(tif, nullptr);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 4096);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 128);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4096);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 128);
  uint8_t strip[16] = {0x80};
  ASSERT_EQ(TIFFWriteRawStrip(tif, 0, strip, sizeof strip), static_cast<tmsize_t>(sizeof strip));
  TIFFClose(tif);

  PageImageFile file;
  QuillaneImage page;
  imagefile_test::AllocationWatch watch;
  int probed = 0;
  EXPECT_EQ(imagefile_test::openPage(file, page, path, 0, &probed), pagefile::kTiffReadFailed);
  EXPECT_EQ(probed, pagefile::kGray);
  if (imagefile_test::AllocationWatch::available()) {
    EXPECT_LT(watch.largest(), size_t{1} << 30);
  }
}

}  // namespace
}  // namespace quillane
