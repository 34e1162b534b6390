// Writing pages: round trips through every writer, the bilevel rule, the
// extension and quality rules, and writes that must fail without harm.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "TestSupport.h"
#include "quillane/imagefile/PageImageFile.h"

namespace quillane {
namespace {

using imagefile_test::compareGray;
using imagefile_test::openPage;
using imagefile_test::readBytes;
using imagefile_test::TempDir;

constexpr int32_t kW = 57, kH = 31;

// A page made directly (not read from a file) with a resolution.
void makePage(QuillaneImage& page, float xDpi, float yDpi, uint32_t seed = 1) {
  ASSERT_TRUE(page.create(kW, kH, kW, 1));
  const std::vector<uint8_t> pixels = imagefile_test::patternPage(kW, kH, seed);
  std::copy(pixels.begin(), pixels.end(), page.pixels());
  page.horizontalResolution = xDpi;
  page.verticalResolution = yDpi;
}

std::vector<uint8_t> pixelsOf(const QuillaneImage& page) {
  return std::vector<uint8_t>(page.pixels(), page.pixels() + page.size());
}

// The first quantisation value (DC, table 0) of the JPEG stream in bytes:
// libjpeg writes 16 * s / 100 rounded, s = 5000 / q below 50, else 200 - 2q.
int firstQuantValue(const std::vector<uint8_t>& bytes) {
  for (size_t i = 0; i + 5 < bytes.size(); ++i) {
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xDB) return bytes[i + 5];
  }
  return -1;
}

TEST(Save, RoundTripsThroughEveryWriter) {
  TempDir dir;
  struct Case {
    const char* name;
    int32_t kind;
    int32_t compression;  // dialog choice
    int32_t level;
    int allowed;  // largest pixel difference
    double dpiTolerance;
  };
  for (const Case& c :
       {Case{"none.tif", kFormatTiff, 0, 0, 0, 0.0}, Case{"lzw.tif", kFormatTiff, 1, 0, 0, 0.0},
        Case{"zip.tif", kFormatTiff, 2, 0, 0, 0.0}, Case{"jpeg.tif", kFormatTiff, 3, 12, 6, 0.0},
        Case{"page.jpg", kFormatJpeg, 0, 12, 6, 0.0}, Case{"page.png", kFormatPng, 0, 0, 0, 0.002},
        Case{"page.bmp", kFormatBmp, 0, 0, 0, 0.002}}) {
    SCOPED_TRACE(c.name);
    PageImageFile writer;
    QuillaneImage page;
    makePage(page, 300, 600);
    writer.setPage(&page);
    ASSERT_EQ(writer.saveAs(dir.file(c.name), c.kind, c.compression, c.level, true), 0);
    EXPECT_EQ(writer.path(), dir.file(c.name));
    EXPECT_EQ(writer.formatKind(), c.kind);

    PageImageFile reader;
    QuillaneImage back;
    ASSERT_EQ(openPage(reader, back, dir.file(c.name)), 0);
    EXPECT_EQ(compareGray(back, pixelsOf(page), c.allowed), "");
    EXPECT_NEAR(back.horizontalResolution, 300, c.dpiTolerance + 1e-4);
    EXPECT_NEAR(back.verticalResolution, 600, 2 * c.dpiTolerance + 1e-4);
    EXPECT_FALSE(reader.resolutionDefaulted());
    if (c.kind == kFormatTiff) {
      const uint16_t codes[] = {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_DEFLATE,
                                COMPRESSION_JPEG};
      EXPECT_EQ(reader.tiffHeader().compression, codes[c.compression]);
      EXPECT_EQ(reader.tiffHeader().bitsPerSample, 8);
      EXPECT_EQ(reader.tiffHeader().photometric, PHOTOMETRIC_MINISBLACK);
      EXPECT_EQ(reader.tiffHeader().fillOrder, FILLORDER_LSB2MSB);
      EXPECT_EQ(reader.tiffHeader().resolutionUnit, RESUNIT_INCH);
    }
  }
}

// A bilevel page read from a 1-bit PNG of width 9 at 300 dpi.
void openBilevelPage(const TempDir& dir, PageImageFile& file, QuillaneImage& page,
                     std::vector<uint8_t>& expected) {
  imagefile_test::PngSpec spec{
      .width = 9, .height = 4, .bitDepth = 1, .xPpm = 11811, .yPpm = 11811};
  expected.assign(9 * 4, 255);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 9; ++x) {
      if ((x + y) % 3 == 0) expected[y * 9 + x] = 0;
    }
  }
  spec.data.assign(2 * 4, 0);
  for (int i = 0; i < 36; ++i) {
    if (expected[i])
      spec.data[(i / 9) * 2 + (i % 9) / 8] |= static_cast<uint8_t>(0x80 >> (i % 9 % 8));
  }
  ASSERT_TRUE(imagefile_test::writePng(dir.file("bilevel.png"), spec));
  ASSERT_EQ(openPage(file, page, dir.file("bilevel.png")), 0);
  ASSERT_TRUE(file.isBilevel());
}

TEST(Save, BilevelPagesStayOneBitExceptAsJpeg) {
  TempDir dir;
  PageImageFile file;
  QuillaneImage page;
  std::vector<uint8_t> expected;
  openBilevelPage(dir, file, page, expected);

  ASSERT_EQ(file.saveAs(dir.file("b.png"), kFormatPng, 0, 0, false), 0);
  const std::vector<uint8_t> png = readBytes(dir.file("b.png"));
  EXPECT_EQ(png[24], 1);  // bit depth
  // pHYs: 11811 pixels a metre in both directions, unit metre.
  const std::string text(png.begin(), png.end());
  const size_t phys = text.find("pHYs");
  ASSERT_NE(phys, std::string::npos);
  const std::vector<uint8_t> physData(png.begin() + static_cast<long>(phys) + 4,
                                      png.begin() + static_cast<long>(phys) + 13);
  EXPECT_EQ(physData, (std::vector<uint8_t>{0, 0, 0x2E, 0x23, 0, 0, 0x2E, 0x23, 1}));

  ASSERT_EQ(file.saveAs(dir.file("b.bmp"), kFormatBmp, 0, 0, false), 0);
  const std::vector<uint8_t> bmp = readBytes(dir.file("b.bmp"));
  EXPECT_EQ(bmp[28], 1);  // bit count
  ASSERT_EQ(file.saveAs(dir.file("b.tif"), kFormatTiff, 1, 0, true), 0);
  ASSERT_EQ(file.saveAs(dir.file("b.jpg"), kFormatJpeg, 0, 12, false), 0);
  ASSERT_EQ(file.saveAs(dir.file("bj.tif"), kFormatTiff, 3, 0, true), 0);

  for (const char* name : {"b.png", "b.bmp", "b.tif", "b.jpg", "bj.tif"}) {
    SCOPED_TRACE(name);
    PageImageFile reader;
    QuillaneImage back;
    ASSERT_EQ(openPage(reader, back, dir.file(name)), 0);
    const bool jpeg = std::string(name).find('j') != std::string::npos;
    EXPECT_EQ(reader.isBilevel(), !jpeg);
    EXPECT_EQ(compareGray(back, expected, jpeg ? 40 : 0), "");
    EXPECT_NEAR(back.horizontalResolution, 300, 0.01);
    if (std::string(name) == "b.tif") {
      EXPECT_EQ(reader.tiffHeader().photometric, PHOTOMETRIC_MINISWHITE);
    }
  }
}

TEST(Save, ExtensionRules) {
  TempDir dir;
  struct Case {
    std::string given;
    int32_t kind;
    bool dialog;
    std::string written;
  };
  for (const Case& c :
       {Case{"page", kFormatTiff, true, "page.tif"},
        Case{"page.TIF", kFormatTiff, true, "page.TIF"},
        Case{"page.Tiff", kFormatTiff, true, "page.Tiff"},
        Case{"page.jpeg", kFormatJpeg, true, "page.jpeg"},
        Case{"page.png", kFormatTiff, true, "page.png.tif"},
        Case{"page.txt", kFormatBmp, true, "page.txt.bmp"},
        Case{"page.rle", kFormatBmp, true, "page.rle"}, Case{"scan", kFormatPng, false, "scan"}}) {
    SCOPED_TRACE(c.given);
    PageImageFile file;
    QuillaneImage page;
    makePage(page, 200, 200);
    file.setPage(&page);
    ASSERT_EQ(file.saveAs(dir.file(c.given), c.kind, 0, 0, c.dialog), 0);
    EXPECT_EQ(file.path(), dir.file(c.written));
    EXPECT_EQ(PageImageFile::detectFormat(dir.file(c.written)), c.kind);
  }
  EXPECT_EQ(PageImageFile::fileName("/scans/vol 1/p001.Tif"), "p001.Tif");
}

TEST(Save, QualityLevels) {
  TempDir dir;
  PageImageFile file;
  QuillaneImage page;
  makePage(page, 300, 300);
  file.setPage(&page);
  const int32_t percent[] = {0, 30, 40, 50, 60, 68, 73, 78, 82, 86, 92, 96, 100};
  for (int level = 0; level <= 12; ++level)
    EXPECT_EQ(PageImageFile::qualityPercent(level), percent[level]);
  EXPECT_EQ(PageImageFile::qualityPercent(13), 0);
  // 16 * s / 100 rounded: 82 % -> s 36 -> 6; 100 % -> 1; 30 % -> s 166 -> 27;
  // 92 % -> s 16 -> 3.
  ASSERT_EQ(file.saveAs(dir.file("q0.jpg"), kFormatJpeg, 0, 0, false), 0);
  EXPECT_EQ(firstQuantValue(readBytes(dir.file("q0.jpg"))), 6);
  ASSERT_EQ(file.saveAs(dir.file("q12.jpg"), kFormatJpeg, 0, 12, false), 0);
  EXPECT_EQ(firstQuantValue(readBytes(dir.file("q12.jpg"))), 1);
  ASSERT_EQ(file.saveAs(dir.file("q1.jpg"), kFormatJpeg, 0, 1, false), 0);
  EXPECT_EQ(firstQuantValue(readBytes(dir.file("q1.jpg"))), 27);
  ASSERT_EQ(file.saveAs(dir.file("q.tif"), kFormatTiff, 3, 0, true), 0);
  EXPECT_EQ(firstQuantValue(readBytes(dir.file("q.tif"))), 3);
}

TEST(Save, SaveKeepsTheFileFormatAndReopensTiff) {
  TempDir dir;
  PageImageFile file;
  QuillaneImage page;
  EXPECT_EQ(file.save(nullptr, 2), pagefile::kNoPath);
  makePage(page, 300, 300);
  file.setPage(&page);
  ASSERT_EQ(file.saveAs(dir.file("p.tif"), kFormatTiff, 1, 0, true), 0);

  QuillaneImage opened;
  ASSERT_EQ(openPage(file, opened, dir.file("p.tif")), 0);
  ASSERT_TRUE(file.hasTiffHandle());
  opened.row(0)[0] = 17;
  ASSERT_EQ(file.save(nullptr, 2), 0);
  EXPECT_TRUE(file.hasTiffHandle());
  EXPECT_EQ(file.tiffHeader().compression, COMPRESSION_LZW);
  // The reopened handle reads the written page.
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
  TempDir dir;
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
  EXPECT_EQ(file.path(), dir.file("old.png"));

  // Hidden (name starting with a dot).
  imagefile_test::writeBytes(dir.file(".hidden.png"), {1, 2, 3});
  EXPECT_EQ(file.saveAs(dir.file(".hidden.png"), kFormatPng, 0, 0, false),
            pagefile::kCannotOpenForWriting);
  EXPECT_EQ(readBytes(dir.file(".hidden.png")), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(file.path(), dir.file("old.png"));

  // An unknown format kind, and no page.
  EXPECT_EQ(file.saveAs(dir.file("x.png"), 5, 0, 0, false), pagefile::kBadFormatKind);
  PageImageFile empty;
  EXPECT_EQ(empty.saveAs(dir.file("x.png"), kFormatPng, 0, 0, false), pagefile::kBadFormatKind);
  EXPECT_FALSE(std::filesystem::exists(dir.file("x.png")));

  // Saving through a symbolic link replaces the file it names.
  ASSERT_EQ(::symlink(dir.file("old.png").c_str(), dir.file("link.png").c_str()), 0);
  ASSERT_EQ(::chmod(dir.file("old.png").c_str(), 0644), 0);
  ASSERT_EQ(file.saveAs(dir.file("link.png"), kFormatBmp, 0, 0, false), 0);
  EXPECT_EQ(PageImageFile::detectFormat(dir.file("old.png")), kFormatBmp);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.png")));

  // A replaced file keeps its permissions.
  ASSERT_EQ(::chmod(dir.file("old.png").c_str(), 0640), 0);
  ASSERT_EQ(file.save(nullptr, 3), 0);
  struct stat st {};
  ASSERT_EQ(::stat(dir.file("old.png").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(Save, WriteFailingMidwayLeavesTheOldFile) {
  TempDir dir;
  // The file size limit makes writes past 4 KB fail (EFBIG) once the old
  // files exist; SIGXFSZ is ignored so that the write call reports it.
  struct Case {
    const char* name;
    int32_t kind;
    int32_t compression;
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
  const std::vector<uint8_t> noise = imagefile_test::patternPage(300, 200, 5);
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
  for (const Case& c : cases)
    results.push_back(file.saveAs(dir.file(c.name), c.kind, c.compression, 12, true));
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);

  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(results[i], pagefile::kWriteFailed);
    EXPECT_EQ(readBytes(dir.file(cases[i].name)), before[i]);
  }
  EXPECT_EQ(file.path(), dir.file("e.bmp"));
  // No temporary file is left behind.
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, std::size(cases));
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
              "ファイルの読み込みに失敗しました。ファイルに異常がないか確認してください。");
    EXPECT_EQ(message(code, MessageVariant::Writing),
              "ファイルの書き込みに失敗しました。ファイルに異常がないか確認してください。");
    EXPECT_EQ(message(code, MessageVariant::Other),
              "エラーが発生しました。もう一度操作を行ってください。");
  }
}

}  // namespace
}  // namespace quillane
