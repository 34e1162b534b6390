// The container's internals that operations build on: the run rows a Set
// makes, deep copy, marking and run lookup.
#include <gtest/gtest.h>

#include "CLWData.h"
#include "TestImages.h"

namespace trellin::test {
namespace {

Data setGray(const std::vector<std::string>& rows) {
  Gray image = parseGray(rows);
  Data data = makeData();
  EXPECT_EQ(LWDataSetImageData(data.get(), image.width, image.height, image.width, 1,
                               image.pixels.data()),
            1);
  return data;
}

TEST(CLWData, SetMakesOneRunPerStretchOfEqualPixels) {
  // Stretches ending inside and across the 32-pixel chunks of the encoder.
  Data data = setGray({std::string(70, '.'), std::string(33, '#') + std::string(37, '.')});
  const LWRunRow* rows = data->rows();
  ASSERT_EQ(rows[0].count, 1u);
  EXPECT_EQ(rows[0].runs[0].length, 70u);
  ASSERT_EQ(rows[1].count, 2u);
  EXPECT_EQ(rows[1].runs[0].length, 33u);
  EXPECT_EQ(rows[1].runs[0].value, 0xFFFFFF00u);
  EXPECT_EQ(rows[1].runs[1].value, 0xFFFFFFFFu);
}

TEST(CLWData, CopyIsDeepAndMarkChangesOnlyTheGivenColour) {
  Data source = setGray({"#.#5", "5555"});
  Data copy = makeData();
  ASSERT_TRUE(copy->copyFrom(*source));
  ASSERT_EQ(copy->width(), 4);
  ASSERT_EQ(copy->height(), 2u);
  copy->mark(0xFFFFFF00u, LWATTR_TARGET);
  EXPECT_EQ(copy->rows()[0].runs[0].attribute, static_cast<std::uint32_t>(LWATTR_TARGET));
  EXPECT_EQ(copy->rows()[0].runs[1].attribute, 0u);
  EXPECT_EQ(copy->rows()[0].runs[2].attribute, static_cast<std::uint32_t>(LWATTR_TARGET));
  EXPECT_EQ(copy->rows()[1].runs[0].attribute, 0u);
  EXPECT_EQ(source->rows()[0].runs[0].attribute, 0u) << "the copy shares runs with its source";
  copy->markAll(LWATTR_TARGET2);
  EXPECT_EQ(copy->rows()[1].runs[0].attribute, static_cast<std::uint32_t>(LWATTR_TARGET2));
  EXPECT_EQ(copy->rows()[0].runs[1].attribute, static_cast<std::uint32_t>(LWATTR_TARGET2));

  Data empty = makeData();
  ASSERT_TRUE(copy->copyFrom(*empty));
  EXPECT_EQ(copy->width(), 0);
  EXPECT_EQ(copy->height(), 0u);
}

TEST(CLWData, RunLookupFindsTheRunHoldingAPixel) {
  Data data = setGray({"##...#", "......"});
  LWRun run{};
  ASSERT_TRUE(data->runAt(1, 0, run));
  EXPECT_EQ(run.value, 0xFFFFFF00u);
  ASSERT_TRUE(data->runAt(2, 0, run));
  EXPECT_EQ(run.value, 0xFFFFFFFFu);
  EXPECT_EQ(run.length, 3u);
  ASSERT_TRUE(data->runAt(5, 0, run));
  EXPECT_EQ(run.value, 0xFFFFFF00u);
  ASSERT_TRUE(data->runAt(5, 1, run));
  EXPECT_EQ(run.length, 6u);
  EXPECT_FALSE(data->runAt(6, 0, run));
  EXPECT_FALSE(data->runAt(-1, 0, run));
  EXPECT_FALSE(data->runAt(0, 2, run));
  EXPECT_FALSE(makeData()->runAt(0, 0, run));
}

}  // namespace
}  // namespace trellin::test
