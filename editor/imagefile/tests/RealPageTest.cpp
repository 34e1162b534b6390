// Real scans open and save back in every format: the two small pages kept in
// tests/data, and every page of the shared folder of real test pages when it
// is present beside the project (skipped otherwise).
#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "common/Notice.h"
#include "quillane/imagefile/GrayConversion.h"
#include "quillane/imagefile/PageImageFile.h"

namespace quillane {
namespace {

using namespace imagefile_test;

// Opens every page under root, then saves it in every format and checks each
// copy. Pages over the size limit must be refused from their header, and are
// counted in refused.
void openEveryPageAndSaveBack(const std::string& root, int& refused) {
  common::ScopedNoticeHandler quiet([](const std::string&, common::NoticeIcon,
                                       common::NoticeButtons) { return common::NoticeAnswer::Ok; });
  const TempDir dir;
  int pages = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    const std::string name = entry.path().string();
    const std::string extension = entry.path().extension().string();
    if (extension != ".png" && extension != ".jpg" && extension != ".tif") continue;
    SCOPED_TRACE(name);
    PageImageFile file;
    QuillaneImage page;
    AllocationWatch watch;
    const int opened = openPage(file, page, name, kGrayWeighted);
    if (name.find("7200x9600") != std::string::npos) {
      EXPECT_EQ(opened, pagefile::kTooLarge);
      EXPECT_LT(AllocationWatch::available() ? watch.largest() : 0, 1u << 20);
      EXPECT_TRUE(page.isEmpty());
      EXPECT_FALSE(file.hasDecodedImage());
      ++refused;
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
      EXPECT_EQ(compareGray(back, original, kind == kFormatJpeg ? 48 : 0), "");
      // PNG and BMP keep whole pixels a metre: within 0.5 / 39.37 dpi.
      EXPECT_NEAR(back.horizontalResolution, page.horizontalResolution, 0.013);
      EXPECT_NEAR(back.verticalResolution, page.verticalResolution, 0.013);
    }
  }
  EXPECT_GT(pages, 0);
}

TEST(RealPage, SmallScansOpenAndSaveBack) {
  int refused = 0;
  openEveryPageAndSaveBack(IMAGEFILE_TEST_DATA, refused);
  EXPECT_EQ(refused, 0);
}

TEST(RealPage, SharedRealPagesOpenAndSaveBack) {
  if (!std::filesystem::is_directory(IMAGEFILE_REAL_PAGES)) {
    GTEST_SKIP() << "no folder " << IMAGEFILE_REAL_PAGES;
  }
  int refused = 0;
  openEveryPageAndSaveBack(IMAGEFILE_REAL_PAGES, refused);
  EXPECT_EQ(refused, 1);  // the newspaper page of 7200 x 9600 pixels
}

}  // namespace
}  // namespace quillane
