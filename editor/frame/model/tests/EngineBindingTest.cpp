// Engine binding: a missing engine, an engine without LWPinhole, binding
// twice, and the pinhole sequence on a page.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "quillane/model/EngineBinding.h"
#include "quillane/model/QuillaneImage.h"

namespace quillane {
namespace {

class EngineBindingTest : public ::testing::Test {
 protected:
  void SetUp() override { EngineBinding::unbind(); }
  void TearDown() override { EngineBinding::unbind(); }
};

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

std::vector<uint8_t> bytes(const QuillaneImage& image) {
  return std::vector<uint8_t>(image.pixels(), image.pixels() + image.size());
}

TEST_F(EngineBindingTest, MissingEngineOrPinholeFailsAndLeavesThePage) {
  const std::filesystem::path empty = std::filesystem::temp_directory_path() / "quillane_no_engine";
  std::filesystem::create_directories(empty);
  EXPECT_FALSE(EngineBinding::bind(empty.string()));
  std::filesystem::remove_all(empty);
  EXPECT_FALSE(EngineBinding::isBound());
  EXPECT_EQ(EngineBinding::createLWData(), nullptr);
  EngineBinding::deleteLWData(nullptr);
  uint8_t pixel = 5;
  EXPECT_FALSE(EngineBinding::setImageData(nullptr, 1, 1, 1, 1, &pixel));
  EXPECT_FALSE(EngineBinding::returnImageData(nullptr, 1, 1, 1, 1, &pixel));
  EXPECT_FALSE(EngineBinding::pinhole(nullptr, EngineBinding::kBlack, EngineBinding::kWhite, 9));
  QuillaneImage page = speckledPage();
  EXPECT_FALSE(EngineBinding::runPinhole(page, true, 9));
  EXPECT_EQ(bytes(page), bytes(speckledPage()));

  // Without LWPinhole the pixels still go in and come back (into rows of 8).
  ASSERT_TRUE(EngineBinding::bind(QUILLANE_TEST_ENGINE_NO_PINHOLE));
  CLWData* data = EngineBinding::createLWData();
  ASSERT_NE(data, nullptr);
  ASSERT_TRUE(EngineBinding::setImageData(data, 8, 6, 10, 1, page.pixels()));
  EXPECT_FALSE(EngineBinding::pinhole(data, EngineBinding::kBlack, EngineBinding::kWhite, 9));
  std::vector<uint8_t> back(48, 1);
  ASSERT_TRUE(EngineBinding::returnImageData(data, 8, 6, 8, 1, back.data()));
  EngineBinding::deleteLWData(data);
  for (int y = 0; y < 6; ++y)
    EXPECT_TRUE(std::equal(&back[y * 8], &back[y * 8 + 8], page.row(y))) << "row " << y;
  EXPECT_FALSE(EngineBinding::runPinhole(page, true, 9));
  EXPECT_EQ(bytes(page), bytes(speckledPage()));
}

TEST_F(EngineBindingTest, BoundOnceThePinholeSequenceRemovesSmallSpecksInPlace) {
  // Without a folder the engine comes from the program's own folder, where
  // the build puts it beside the tests. A second bind keeps it, even with a
  // folder whose engine has no LWPinhole.
  ASSERT_TRUE(EngineBinding::bind());
  ASSERT_TRUE(EngineBinding::bind(QUILLANE_TEST_ENGINE_NO_PINHOLE));
  QuillaneImage page = speckledPage(), expected = speckledPage();
  expected.row(1)[1] = expected.row(1)[2] = 255;  // the speck goes, the bar (8 px) stays
  ASSERT_TRUE(EngineBinding::runPinhole(page, true, 7));
  EXPECT_EQ(bytes(page), bytes(expected));  // stride padding untouched as well
  // White holes of at most 7 px in black become black: the paper areas (30
  // and 8 px) are too large, so nothing changes.
  ASSERT_TRUE(EngineBinding::runPinhole(page, false, 7));
  EXPECT_EQ(bytes(page), bytes(expected));
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
