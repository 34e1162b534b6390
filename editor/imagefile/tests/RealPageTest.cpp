// Real scans: the two small pages kept in tests/data, and, when the shared
// folder of real test pages is present beside the project, a few more of
// them (skipped otherwise).
#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "common/Notice.h"
#include "quillane/imagefile/GrayConversion.h"
#include "quillane/imagefile/PageImageFile.h"

namespace quillane {
namespace {

using imagefile_test::compareGray;
using imagefile_test::openPage;
using imagefile_test::TempDir;

std::vector<uint8_t> pixelsOf(const QuillaneImage& page) {
  return std::vector<uint8_t>(page.pixels(), page.pixels() + page.size());
}

// Opens path, then saves it in every format and checks each copy.
void openAndSaveBack(const std::string& path, int32_t expectedWidth, int32_t expectedHeight,
                     int expectedProbe) {
  PageImageFile file;
  QuillaneImage page;
  int probed = 0;
  ASSERT_EQ(openPage(file, page, path, kGrayWeighted, &probed), 0);
  EXPECT_EQ(probed, expectedProbe);
  EXPECT_EQ(page.width(), expectedWidth);
  EXPECT_EQ(page.height(), expectedHeight);
  const std::vector<uint8_t> original = pixelsOf(page);

  TempDir dir;
  struct Copy {
    const char* name;
    int32_t kind;
    int32_t compression;
    int allowed;
  };
  for (const Copy& c : {Copy{"p.tif", kFormatTiff, 1, 0}, Copy{"p.png", kFormatPng, 0, 0},
                        Copy{"p.bmp", kFormatBmp, 0, 0}, Copy{"p.jpg", kFormatJpeg, 0, 12}}) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(file.saveAs(dir.file(c.name), c.kind, c.compression, 12, true), 0);
    PageImageFile reader;
    QuillaneImage back;
    ASSERT_EQ(openPage(reader, back, dir.file(c.name)), 0);
    EXPECT_EQ(compareGray(back, original, c.allowed), "");
    EXPECT_NEAR(back.horizontalResolution, page.horizontalResolution, 0.01);
  }
}

TEST(RealPage, SmallScansOpenAndSaveBack) {
  const std::string data = IMAGEFILE_TEST_DATA;
  // A 4-bit palette PNG and a colour JPEG, both without resolution.
  openAndSaveBack(data + "/dreyfus4.png", 329, 400, 1);  // its palette is gray
  openAndSaveBack(data + "/lyra.036.jpg", 772, 713, 3);

  PageImageFile file;
  QuillaneImage page;
  ASSERT_EQ(openPage(file, page, data + "/lyra.036.jpg", kGrayDarkest), 0);
  EXPECT_TRUE(file.resolutionDefaulted());
  EXPECT_FLOAT_EQ(page.horizontalResolution, 72);
}

class SharedRealPages : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::is_directory(root_)) GTEST_SKIP() << "no folder " << root_;
  }
  std::string path(const std::string& name) const { return root_ + "/" + name; }
  const std::string root_ = IMAGEFILE_REAL_PAGES;
};

TEST_F(SharedRealPages, OverLimitPageIsRefusedFromItsHeader) {
  PageImageFile file;
  QuillaneImage page;
  file.setPage(&page);
  imagefile_test::AllocationWatch watch;
  EXPECT_EQ(file.probe(path("github-iiif_print-newspapers/"
                            "chicopee-weekly-journal_1856-05-24_p4_7200x9600.png")),
            pagefile::kTooLarge);
  if (imagefile_test::AllocationWatch::available()) {
    EXPECT_LT(watch.largest(), 1u << 20);
  }
  EXPECT_TRUE(page.isEmpty());
  EXPECT_FALSE(file.hasDecodedImage());
}

TEST_F(SharedRealPages, EveryPageOpensAndSavesBackInEveryFormat) {
  common::ScopedNoticeHandler quiet([](const std::string&, common::NoticeIcon,
                                       common::NoticeButtons) { return common::NoticeAnswer::Ok; });
  TempDir dir;
  int pages = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root_)) {
    const std::string name = entry.path().string();
    const std::string extension = entry.path().extension().string();
    if (extension != ".png" && extension != ".jpg" && extension != ".tif") continue;
    SCOPED_TRACE(name);
    PageImageFile file;
    QuillaneImage page;
    int probed = 0;
    const int opened = openPage(file, page, name, kGrayWeighted, &probed);
    if (name.find("7200x9600") != std::string::npos) {
      EXPECT_EQ(opened, pagefile::kTooLarge);
      continue;
    }
    ASSERT_EQ(opened, 0);
    ++pages;
    const std::vector<uint8_t> original = pixelsOf(page);
    for (int32_t kind : {kFormatTiff, kFormatJpeg, kFormatPng, kFormatBmp}) {
      SCOPED_TRACE(kind);
      ASSERT_EQ(file.saveAs(dir.file("copy"), kind, 1, 8, true), 0);
      PageImageFile reader;
      QuillaneImage back;
      ASSERT_EQ(openPage(reader, back, file.path()), 0);
      EXPECT_EQ(reader.isBilevel(), file.isBilevel() && kind != kFormatJpeg);
      if (kind == kFormatJpeg) {
        EXPECT_EQ(back.width(), page.width());
      } else {
        EXPECT_EQ(compareGray(back, original, 0), "");
      }
      // PNG and BMP keep whole pixels a metre: within 0.5 / 39.37 dpi.
      EXPECT_NEAR(back.horizontalResolution, page.horizontalResolution, 0.013);
    }
  }
  EXPECT_GT(pages, 0);
}

}  // namespace
}  // namespace quillane
