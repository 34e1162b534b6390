// Writing pages: round trips of gray and bilevel pages through every writer,
// the extension and quality rules, and writes that must fail without harm.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <vector>

#include "BilevelRows.h"
#include "TestSupport.h"
#include "quillane/imagefile/PageImageFile.h"

namespace quillane {
namespace {

using namespace imagefile_test;

constexpr int32_t kW = 57, kH = 31;

// A page made directly (not read from a file) with a resolution.
void makePage(QuillaneImage& page, float xDpi, float yDpi) {
  ASSERT_TRUE(page.create(kW, kH, kW, 1));
  const std::vector<uint8_t> pixels = patternPage(kW, kH, 1);
  std::copy(pixels.begin(), pixels.end(), page.pixels());
  page.horizontalResolution = xDpi;
  page.verticalResolution = yDpi;
}

// The first quantisation value (DC, table 0) of the JPEG stream in bytes:
// libjpeg writes 16 * s / 100 rounded, s = 5000 / q below 50, else 200 - 2q.
int firstQuantValue(const std::vector<uint8_t>& bytes) {
  for (size_t i = 0; i + 5 < bytes.size(); ++i) {
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xDB) return bytes[i + 5];
  }
  return -1;
}

TEST(Save, RoundTripsKeepPixelsResolutionAndOneBitPages) {
  const TempDir dir;
  // A gray page at 300 x 600 dpi, and a bilevel page read from a 1-bit PNG
  // of 11811 pixels a metre (300 dpi).
  PageImageFile grayFile, bilevelFile;
  QuillaneImage grayPage, bilevelPage;
  makePage(grayPage, 300, 600);
  grayFile.setPage(&grayPage);
  PngSpec png{.width = 9, .height = 4, .bitDepth = 1, .xPpm = 11811, .yPpm = 11811};
  png.data = {0x6D, 0x80, 0xDB, 0x00, 0xB6, 0x80, 0x6D, 0x80};  // black where (x + y) % 3 == 0
  ASSERT_TRUE(writePng(dir.file("bilevel.png"), png));
  ASSERT_EQ(openPage(bilevelFile, bilevelPage, dir.file("bilevel.png")), 0);
  ASSERT_TRUE(bilevelFile.isBilevel());
  struct Case {
    const char* name;
    int32_t kind, compression, level;
    uint16_t tiffCompression;
  };
  for (const Case& c : {Case{"none.tif", kFormatTiff, 0, 0, COMPRESSION_NONE},
                        Case{"lzw.tif", kFormatTiff, 1, 0, COMPRESSION_LZW},
                        Case{"zip.tif", kFormatTiff, 2, 0, COMPRESSION_DEFLATE},
                        Case{"jpeg.tif", kFormatTiff, 3, 12, COMPRESSION_JPEG},
                        Case{"page.jpg", kFormatJpeg, 0, 12}, Case{"page.png", kFormatPng, 0, 0},
                        Case{"page.bmp", kFormatBmp, 0, 0}}) {
    for (bool bilevel : {false, true}) {
      SCOPED_TRACE(testing::Message() << c.name << (bilevel ? ", bilevel" : ", gray"));
      PageImageFile& file = bilevel ? bilevelFile : grayFile;
      const std::vector<uint8_t> pixels = pixelsOf(*file.page());
      const std::string path = dir.file((bilevel ? "b-" : "g-") + std::string(c.name));
      ASSERT_EQ(file.saveAs(path, c.kind, c.compression, c.level, true), 0);
      EXPECT_EQ(file.path(), path);
      EXPECT_EQ(file.formatKind(), c.kind);

      const bool lossy = c.kind == kFormatJpeg || c.tiffCompression == COMPRESSION_JPEG;
      PageImageFile reader;
      QuillaneImage back;
      ASSERT_EQ(openPage(reader, back, path), 0);
      EXPECT_EQ(compareGray(back, pixels, lossy ? (bilevel ? 40 : 6) : 0), "");
      EXPECT_EQ(reader.isBilevel(), bilevel && !lossy);
      EXPECT_NEAR(back.horizontalResolution, 300, 0.01);
      EXPECT_NEAR(back.verticalResolution, bilevel ? 300 : 600, 0.01);
      EXPECT_FALSE(reader.resolutionDefaulted());
      if (c.kind == kFormatTiff) {
        const TiffHeader& h = reader.tiffHeader();
        const bool oneBit = bilevel && !lossy;
        EXPECT_EQ(h.compression, c.tiffCompression);
        EXPECT_EQ(h.bitsPerSample, oneBit ? 1 : 8);
        EXPECT_EQ(h.photometric, oneBit ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK);
        EXPECT_EQ(h.fillOrder, FILLORDER_LSB2MSB);
        EXPECT_EQ(h.resolutionUnit, RESUNIT_INCH);
      }
    }
  }
}

// The writers pack bilevel rows eight pixels at a time: every row length
// from 1 to 40, with the bytes a word-wide zero test could mistake (1, 0x7F,
// 0x80 next to 0), against packing one pixel at a time.
TEST(Save, BilevelRowPacking) {
  std::mt19937 random(7);
  const uint8_t values[] = {0, 0, 0, 1, 0x7F, 0x80, 0xFE, 0xFF};
  for (int32_t width = 1; width <= 40; ++width) {
    for (bool blackIsOne : {false, true}) {
      std::vector<uint8_t> row(static_cast<size_t>(width));
      for (uint8_t& v : row) v = values[random() % 8];
      std::vector<uint8_t> expected((width + 7) / 8, 0), packed(expected.size() + 1, 0xAA);
      for (int32_t x = 0; x < width; ++x)
        if ((row[x] == 0) == blackIsOne) expected[x >> 3] |= static_cast<uint8_t>(0x80u >> (x & 7));
      quillane::packBilevelRow(row.data(), width, blackIsOne, packed.data());
      EXPECT_EQ(std::vector<uint8_t>(packed.begin(), packed.end() - 1), expected) << width;
      EXPECT_EQ(packed.back(), 0xAA) << "written past the row, width " << width;
    }
  }
}

TEST(Save, ExtensionAndQualityRules) {
  const TempDir dir;
  PageImageFile file;
  QuillaneImage page;
  makePage(page, 200, 200);
  file.setPage(&page);
  // With the dialog's choices, the format's extension is appended unless the
  // name has one of the format's own.
  struct Name {
    std::string given;
    int32_t kind;
    bool dialog;
    std::string written;
  };
  for (const Name& c :
       {Name{"page", kFormatTiff, true, "page.tif"},
        Name{"page.TIF", kFormatTiff, true, "page.TIF"},
        Name{"page.Tiff", kFormatTiff, true, "page.Tiff"},
        Name{"page.jpeg", kFormatJpeg, true, "page.jpeg"},
        Name{"page.png", kFormatTiff, true, "page.png.tif"},
        Name{"page.txt", kFormatBmp, true, "page.txt.bmp"},
        Name{"page.rle", kFormatBmp, true, "page.rle"}, Name{"scan", kFormatPng, false, "scan"}}) {
    ASSERT_EQ(file.saveAs(dir.file(c.given), c.kind, 0, 0, c.dialog), 0) << c.given;
    EXPECT_EQ(file.path(), dir.file(c.written));
    EXPECT_EQ(PageImageFile::detectFormat(dir.file(c.written)), c.kind) << c.given;
  }
  EXPECT_EQ(PageImageFile::fileName("/scans/vol 1/p001.Tif"), "p001.Tif");
  // Level 0 and levels outside 0..12 are 82 % (s 36: 6), 92 % for JPEG in
  // TIFF (s 16: 3); level 1 is 30 % (s 166: 27), level 12 100 % (1).
  struct Quality {
    const char* name;
    int32_t kind, compression, level, quant;
  };
  for (const Quality& c :
       {Quality{"q0.jpg", kFormatJpeg, 0, 0, 6}, Quality{"q13.jpg", kFormatJpeg, 0, 13, 6},
        Quality{"q1.jpg", kFormatJpeg, 0, 1, 27}, Quality{"q12.jpg", kFormatJpeg, 0, 12, 1},
        Quality{"q0.tif", kFormatTiff, 3, 0, 3}}) {
    ASSERT_EQ(file.saveAs(dir.file(c.name), c.kind, c.compression, c.level, true), 0) << c.name;
    EXPECT_EQ(firstQuantValue(readBytes(dir.file(c.name))), c.quant) << c.name;
  }
}

TEST(Save, SaveKeepsTheFileFormatAndReopensTiff) {
  const TempDir dir;
  PageImageFile file;
  QuillaneImage page;
  EXPECT_EQ(file.save(nullptr, 2), pagefile::kNoPath);
  makePage(page, 300, 300);
  file.setPage(&page);
  ASSERT_EQ(file.saveAs(dir.file("p.tif"), kFormatTiff, 1, 0, true), 0);

  QuillaneImage opened;
  ASSERT_EQ(openPage(file, opened, dir.file("p.tif")), 0);
  opened.row(0)[0] = 17;
  ASSERT_EQ(file.save(nullptr, 2), 0);
  EXPECT_EQ(file.tiffHeader().compression, COMPRESSION_LZW);
  // The reopened handle reads the written page.
  ASSERT_TRUE(file.hasTiffHandle());
  ASSERT_EQ(file.decodeTiff(0), 0);
  EXPECT_EQ(opened.row(0)[0], 17);

  // A JPEG-compressed TIFF keeps its header's quality (libtiff reports its
  // codec default, 75 %: 16 * 50 / 100 = 8).
  ASSERT_EQ(file.saveAs(dir.file("j.tif"), kFormatTiff, 3, 0, true), 0);
  ASSERT_EQ(openPage(file, opened, dir.file("j.tif")), 0);
  ASSERT_EQ(file.save(nullptr, 2), 0);
  EXPECT_EQ(firstQuantValue(readBytes(dir.file("j.tif"))), 8);

  // Saving as another type writes that format under the same name.
  const int32_t level = 12;
  ASSERT_EQ(file.save(&level, 3), 0);
  EXPECT_EQ(PageImageFile::detectFormat(dir.file("j.tif")), kFormatPng);
  EXPECT_EQ(file.formatKind(), kFormatPng);
  EXPECT_EQ(file.save(&level, 7), pagefile::kBadFormatKind);
}

TEST(Save, ProtectedTargetsAreRefusedAndKept) {
  const TempDir dir;
  PageImageFile file;
  QuillaneImage page;
  makePage(page, 300, 300);
  file.setPage(&page);
  ASSERT_EQ(file.saveAs(dir.file("old.png"), kFormatPng, 0, 0, false), 0);
  const std::vector<uint8_t> before = readBytes(dir.file("old.png"));

  // Read-only: refused, path and file as they were.
  ASSERT_EQ(::chmod(dir.file("old.png").c_str(), 0444), 0);
  page.row(0)[0] ^= 0xFF;
  EXPECT_EQ(file.saveAs(dir.file("old.png"), kFormatPng, 0, 0, false),
            pagefile::kCannotOpenForWriting);
  EXPECT_EQ(file.save(nullptr, 3), pagefile::kCannotOpenForWriting);
  EXPECT_EQ(readBytes(dir.file("old.png")), before);

  // Hidden (name starting with a dot).
  writeBytes(dir.file(".hidden.png"), {1, 2, 3});
  EXPECT_EQ(file.saveAs(dir.file(".hidden.png"), kFormatPng, 0, 0, false),
            pagefile::kCannotOpenForWriting);
  EXPECT_EQ(readBytes(dir.file(".hidden.png")), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(file.path(), dir.file("old.png"));

  // An unknown format kind, and no page.
  EXPECT_EQ(file.saveAs(dir.file("x.png"), 5, 0, 0, false), pagefile::kBadFormatKind);
  PageImageFile empty;
  EXPECT_EQ(empty.saveAs(dir.file("x.png"), kFormatPng, 0, 0, false), pagefile::kBadFormatKind);
  EXPECT_FALSE(std::filesystem::exists(dir.file("x.png")));

  // Saving through a symbolic link replaces the file it names; a replaced
  // file keeps its permissions.
  ASSERT_EQ(::symlink(dir.file("old.png").c_str(), dir.file("link.png").c_str()), 0);
  ASSERT_EQ(::chmod(dir.file("old.png").c_str(), 0640), 0);
  ASSERT_EQ(file.saveAs(dir.file("link.png"), kFormatBmp, 0, 0, false), 0);
  EXPECT_EQ(PageImageFile::detectFormat(dir.file("old.png")), kFormatBmp);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.png")));
  struct stat st {};
  ASSERT_EQ(::stat(dir.file("old.png").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(Save, WriteFailingMidwayLeavesTheOldFile) {
  const TempDir dir;
  // The file size limit makes writes past 4 KB fail (EFBIG) once the old
  // files exist; SIGXFSZ is ignored so that the write call reports it.
  struct Case {
    const char* name;
    int32_t kind, compression;
  };
  const Case cases[] = {{"a.tif", kFormatTiff, 0},
                        {"b.tif", kFormatTiff, 1},
                        {"c.jpg", kFormatJpeg, 0},
                        {"d.png", kFormatPng, 0},
                        {"e.bmp", kFormatBmp, 0}};
  PageImageFile file;
  QuillaneImage page;
  makePage(page, 300, 300);
  file.setPage(&page);
  std::vector<std::vector<uint8_t>> before;
  for (const Case& c : cases) {
    ASSERT_EQ(file.saveAs(dir.file(c.name), c.kind, c.compression, 12, true), 0);
    before.push_back(readBytes(dir.file(c.name)));
  }
  // A bigger, noisier page that needs more than 4 KB in every format.
  QuillaneImage big;
  ASSERT_TRUE(big.create(300, 200, 300, 1));
  const std::vector<uint8_t> noise = patternPage(300, 200, 5);
  for (size_t i = 0; i < noise.size(); ++i) big.pixels()[i] = static_cast<uint8_t>(noise[i] * 131);
  big.horizontalResolution = big.verticalResolution = 300;
  file.setPage(&big);

  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  std::vector<int> results;
  for (const Case& c : cases) {
    results.push_back(file.saveAs(dir.file(c.name), c.kind, c.compression, 12, true));
  }
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);

  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(results[i], pagefile::kWriteFailed);
    EXPECT_EQ(readBytes(dir.file(cases[i].name)), before[i]);
  }
  EXPECT_EQ(file.path(), dir.file("e.bmp"));
  // No temporary file is left behind.
  const auto entries = std::filesystem::directory_iterator(dir.path());
  EXPECT_EQ(std::distance(begin(entries), end(entries)), std::ssize(cases));
}

TEST(Save, ResultMessages) {
  using pagefile::message;
  using pagefile::MessageVariant;
  for (int code : {0, 1, 3, 4}) EXPECT_EQ(message(code, MessageVariant::Reading), "");
  EXPECT_EQ(message(1003, MessageVariant::Reading),
            "画像サイズがオーバーしています。6550×9080 ピクセル以下にしてください。\n"
            "B4サイズ(600dpi)に相当します。");
  // Codes without a text of their own take the text of the operation.
  for (int code : {-1, 1001, 1500, 1501, 1503, 1504, 2001}) {
    EXPECT_EQ(message(code, MessageVariant::Reading),
              "ファイルの読み込みに失敗しました。ファイルに異常がないか確認して"
              "ください。");
    EXPECT_EQ(message(code, MessageVariant::Writing),
              "ファイルの書き込みに失敗しました。ファイルに異常がないか確認して"
              "ください。");
    EXPECT_EQ(message(code, MessageVariant::Other),
              "エラーが発生しました。もう一度操作を行ってください。");
  }
}

}  // namespace
}  // namespace quillane
