// LWPinhole on drawn cases: which areas are painted, which stay, and how the
// result is stored.
#include <gtest/gtest.h>

#include "CLWData.h"
#include "TestImages.h"

namespace trellin::test {
namespace {

// Runs LWPinhole (dark areas to white) and checks the pixels and the changed
// mask against the drawn expectation, where 'o' marks a painted pixel.
void expectPinhole(const std::vector<std::string>& before, std::int32_t largestArea,
                   const std::vector<std::string>& after) {
  std::vector<std::string> expectedRows = after;
  for (auto& row : expectedRows)
    for (char& c : row) c = c == 'o' ? '.' : c;
  const Gray expected = parseGray(expectedRows);
  const FloodResult result = runPinhole(parseGray(before), 0, 255, largestArea);
  EXPECT_EQ(describeDifference(result.image, expected), "") << "largest area " << largestArea;
  for (int y = 0; y < expected.height; ++y)
    for (int x = 0; x < expected.width; ++x)
      EXPECT_EQ(result.changed[y * expected.width + x], after[y][x] == 'o')
          << "changed mark at " << x << "," << y;
}

TEST(LWPinhole, SinglePixelIsPaintedFromLargestAreaOne) {
  expectPinhole({"...", ".#.", "..."}, 1, {"...", ".o.", "..."});
  expectPinhole({"...", ".#.", "..."}, 0, {"...", ".#.", "..."});
  expectPinhole({"...", ".#.", "..."}, -1, {"...", ".#.", "..."});
}

TEST(LWPinhole, CornerTouchingPixelsAreSeparateAreas) {
  expectPinhole({"#...", ".#..", "..#.", "...#"}, 1, {"o...", ".o..", "..o.", "...o"});
  // Joined by sides, pixels form one area.
  expectPinhole({"##..", ".#..", ".##.", "...."}, 5, {"oo..", ".o..", ".oo.", "...."});
  expectPinhole({"##..", ".#..", ".##.", "...."}, 4, {"##..", ".#..", ".##.", "...."});
}

TEST(LWPinhole, ShapesWhoseBranchesMeetOrEndAreFilledWhole) {
  // U: arms that start apart and meet lower down (11 pixels).
  const std::vector<std::string> u = {"#...#", "#...#", "#...#", "#####", "....."};
  expectPinhole(u, 11, {"o...o", "o...o", "o...o", "ooooo", "....."});
  expectPinhole(u, 10, u);
  // Arch: one top that splits into legs ending at different rows (10 pixels).
  const std::vector<std::string> arch = {".#####.", ".#...#.", ".#...#.", ".#.....", "......."};
  expectPinhole(arch, 10, {".ooooo.", ".o...o.", ".o...o.", ".o.....", "......."});
  expectPinhole(arch, 9, arch);
  // Ring (16 pixels) around a white hole that stays white.
  const std::vector<std::string> ring = {"#####", "#...#", "#...#", "#...#", "#####"};
  expectPinhole(ring, 16, {"ooooo", "o...o", "o...o", "o...o", "ooooo"});
  expectPinhole(ring, 15, ring);
  // Comb: teeth hanging from a bar, branches ending on several rows, plus a
  // stray pixel in a gap.
  const std::vector<std::string> comb = {"#########", "#.#.#.#.#", "#.#...#..", "#.#.#...#"};
  expectPinhole(comb, 19, {"ooooooooo", "o.o.o.o.o", "o.o...o..", "o.o.o...o"});
  expectPinhole(comb, 18, {"#########", "#.#.#.#.#", "#.#...#..", "#.#.o...o"});
}

TEST(LWPinhole, AreasTouchingTheBorderCountLikeAnyOther) {
  expectPinhole({"##..#", "#....", ".....", "...##"}, 3, {"oo..o", "o....", ".....", "...oo"});
  expectPinhole({"#"}, 1, {"o"});
  expectPinhole({"#####"}, 5, {"ooooo"});
  expectPinhole({"#####"}, 4, {"#####"});
  expectPinhole({"#", "#", "#", "."}, 3, {"o", "o", "o", "."});
}

TEST(LWPinhole, FillingWithTheTargetColourOnlyMarksTheArea) {
  const Gray image = parseGray({"#..", "...", ".##"});
  const FloodResult result = runPinhole(image, 0, 0, 2);
  EXPECT_EQ(result.image.pixels, image.pixels);
  const std::vector<std::uint8_t> changed = {1, 0, 0, 0, 0, 0, 0, 1, 1};
  EXPECT_EQ(result.changed, changed);
}

TEST(LWPinhole, RowsWiderThanTheLongestRunAreStoredInPiecesOf65535Pixels) {
  const int width = 140000;
  Gray image(width, 2, 255);
  image.at(70000, 0) = 0;
  image.at(3, 1) = 0;
  image.at(4, 1) = 0;
  const FloodResult result = runPinhole(image, 0, 255, 2);
  EXPECT_EQ(result.image.pixels, Gray(width, 2, 255).pixels);

  Data data = makeData();
  ASSERT_EQ(LWDataSetImageData(data.get(), width, 2, width, 1, image.pixels.data()), 1);
  ASSERT_EQ(LWPinhole(data.get(), imageValue(0), imageValue(255), 2), 1);
  const LWRunRow& row = data->rows()[0];
  // white 70000 | painted 1 | white 69999, each white run split.
  ASSERT_EQ(row.count, 5u);
  const std::uint32_t lengths[] = {65535, 70000 - 65535, 1, 65535, 69999 - 65535};
  for (std::uint32_t i = 0; i < row.count; ++i) {
    EXPECT_EQ(row.runs[i].length, lengths[i]) << "run " << i;
    EXPECT_EQ(row.runs[i].value, 0xFFFFFFFFu);
    EXPECT_EQ(row.runs[i].attribute, i == 2 ? 2u : 0u);
  }
}

TEST(LWPinhole, AnAreaMadeOfRunsWithDifferentMarksIsPaintedWhole) {
  // After a first pass the painted dot is a white run with attribute 2
  // between plain white runs; a second pass over white must take all of the
  // white as one area.
  Gray image = parseGray({"......", "..#...", "......"});
  Data data = makeData();
  ASSERT_EQ(LWDataSetImageData(data.get(), 6, 3, 6, 1, image.pixels.data()), 1);
  ASSERT_EQ(LWPinhole(data.get(), imageValue(0), imageValue(255), 1), 1);
  ASSERT_EQ(data->rows()[1].count, 3u);
  ASSERT_EQ(LWPinhole(data.get(), imageValue(255), imageValue(0), 18), 1);
  Gray out(6, 3, 9);
  ASSERT_EQ(LWDataReturnImageData(data.get(), 6, 3, 6, 1, out.pixels.data()), 1);
  EXPECT_EQ(out.pixels, Gray(6, 3, 0).pixels);
  Gray changed(6, 3, 9);
  ASSERT_EQ(LWDataReturnImageData_TargetAtr(data.get(), 6, 3, 6, 1, LWATTR_CHANGED,
                                            changed.pixels.data()),
            1);
  EXPECT_EQ(changed.pixels, Gray(6, 3, 0).pixels);
}

}  // namespace
}  // namespace trellin::test
