// Engine binding: a missing engine, an engine without LWPinhole, binding
// twice, and the pinhole sequence on an image.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "quillane/model/EngineBinding.h"
#include "quillane/model/QuillaneImage.h"

namespace quillane {
namespace {

namespace fs = std::filesystem;

class EngineBindingTest : public ::testing::Test {
 protected:
  void SetUp() override { EngineBinding::unbind(); }
  void TearDown() override { EngineBinding::unbind(); }
};

// A white 8 x 6 page with a 2-pixel dark speck and an 8-pixel dark bar.
QuillaneImage speckledPage() {
  QuillaneImage page;
  EXPECT_TRUE(page.create(8, 6, 10, 1));
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 10; ++x) page.row(y)[x] = x < 8 ? 255 : 77;  // 77: stride padding
  page.row(1)[1] = page.row(1)[2] = 0;
  for (int x = 0; x < 8; ++x) page.row(4)[x] = 0;
  return page;
}

std::vector<uint8_t> bytes(const QuillaneImage& image) {
  return std::vector<uint8_t>(image.pixels(), image.pixels() + image.size());
}

TEST_F(EngineBindingTest, MissingEngineLeavesEverythingUnbound) {
  const fs::path empty = fs::temp_directory_path() / "quillane_no_engine";
  fs::create_directories(empty);
  EXPECT_FALSE(EngineBinding::bind(empty.string()));
  EXPECT_FALSE(EngineBinding::isBound());
  EXPECT_EQ(EngineBinding::createLWData(), nullptr);
  EngineBinding::deleteLWData(nullptr);
  uint8_t pixel = 5;
  EXPECT_FALSE(EngineBinding::setImageData(nullptr, 1, 1, 1, 1, &pixel));
  EXPECT_FALSE(EngineBinding::returnImageData(nullptr, 1, 1, 1, 1, &pixel));
  EXPECT_FALSE(EngineBinding::pinhole(nullptr, EngineBinding::kBlack, EngineBinding::kWhite, 9));
  QuillaneImage page = speckledPage();
  const auto before = bytes(page);
  EXPECT_FALSE(EngineBinding::runPinhole(page, true, 9));
  EXPECT_EQ(bytes(page), before);
  fs::remove_all(empty);
}

TEST_F(EngineBindingTest, EngineWithoutPinholeStillMovesPixels) {
  ASSERT_TRUE(EngineBinding::bind(QUILLANE_TEST_ENGINE_NO_PINHOLE));
  CLWData* data = EngineBinding::createLWData();
  ASSERT_NE(data, nullptr);
  QuillaneImage page = speckledPage();
  ASSERT_TRUE(EngineBinding::setImageData(data, 8, 6, 10, 1, page.pixels()));
  EXPECT_FALSE(EngineBinding::pinhole(data, EngineBinding::kBlack, EngineBinding::kWhite, 9));
  std::vector<uint8_t> back(48, 1);
  ASSERT_TRUE(EngineBinding::returnImageData(data, 8, 6, 8, 1, back.data()));
  EngineBinding::deleteLWData(data);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(back[y * 8 + x], page.row(y)[x]);
  const auto before = bytes(page);
  EXPECT_FALSE(EngineBinding::runPinhole(page, true, 9));
  EXPECT_EQ(bytes(page), before);
}

TEST_F(EngineBindingTest, PinholeSequenceRemovesSmallSpecksInPlace) {
  ASSERT_TRUE(EngineBinding::bind(QUILLANE_TEST_ENGINE_FULL));
  QuillaneImage page = speckledPage();
  QuillaneImage expected = speckledPage();
  expected.row(1)[1] = expected.row(1)[2] = 255;  // the speck goes, the bar (8 px) stays
  ASSERT_TRUE(EngineBinding::runPinhole(page, true, 7));
  EXPECT_EQ(bytes(page), bytes(expected));  // stride padding untouched as well
  // The other direction: white holes of at most 7 px in black become black.
  // The paper (white, 30 px and 8 px areas) is too large, so nothing changes.
  ASSERT_TRUE(EngineBinding::runPinhole(page, false, 7));
  EXPECT_EQ(bytes(page), bytes(expected));
  QuillaneImage empty;
  EXPECT_FALSE(EngineBinding::runPinhole(empty, true, 7));
}

TEST_F(EngineBindingTest, BindingTwiceLoadsOnce) {
  // Without a folder the engine comes from the program's own folder, where
  // the build puts it beside the tests.
  ASSERT_TRUE(EngineBinding::bind());
  // A second bind keeps the engine already bound, even with another folder.
  ASSERT_TRUE(EngineBinding::bind(QUILLANE_TEST_ENGINE_NO_PINHOLE));
  CLWData* data = EngineBinding::createLWData();
  uint8_t pixel = 0;
  ASSERT_TRUE(EngineBinding::setImageData(data, 1, 1, 1, 1, &pixel));
  EXPECT_TRUE(EngineBinding::pinhole(data, EngineBinding::kBlack, EngineBinding::kWhite, 1));
  EngineBinding::deleteLWData(data);
  // One unbind unloads it: it was loaded only once.
  EngineBinding::unbind();
  EXPECT_FALSE(EngineBinding::isBound());
  const std::string path = std::string(QUILLANE_TEST_ENGINE_FULL) + "/libtrellin.so";
  EXPECT_EQ(dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
  EXPECT_EQ(EngineBinding::createLWData(), nullptr);
}

}  // namespace
}  // namespace quillane
