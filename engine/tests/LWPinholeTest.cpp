// LWPinhole against a plain pixel flood fill on many random images, and on
// images made to overflow its starting tables: more live components in a
// row than the label table holds, more bottom ends than the pending table
// holds, more finished components than the seed list holds, and widths from
// 10000 on, where the tables are sized by the width.
#include <gtest/gtest.h>

#include "CLWData.h"
#include "TestImages.h"

namespace trellin::test {
namespace {

// One LWPinhole call, in gray levels.
struct PinholePass {
  std::uint8_t target;
  std::uint8_t fill;
  std::int32_t largestArea;
};

// Compares LWPinhole with a model that paints every 4-connected area of
// the target gray with at most largestArea pixels, pass after pass, and
// marks the painted pixels as changed.
void expectSameAsModel(const Gray& image, const std::vector<PinholePass>& passes,
                       const std::string& what) {
  Gray expected = image;
  std::vector<std::uint8_t> changed(image.pixels.size(), 0);
  Data data = setGray(image);
  std::string calls;
  for (const PinholePass& pass : passes) {
    const std::vector<std::uint32_t> labels = labelAreas(expected, pass.target, false);
    std::vector<std::int64_t> area(labels.size() + 1, 0);
    for (std::uint32_t label : labels) ++area[label];
    for (std::size_t i = 0; i < labels.size(); ++i)
      if (labels[i] && area[labels[i]] <= pass.largestArea)
        expected.pixels[i] = pass.fill, changed[i] = 1;
    ASSERT_EQ(
        LWPinhole(data.get(), imageValue(pass.target), imageValue(pass.fill), pass.largestArea), 1);
    calls += " [target " + std::to_string(pass.target) + " fill " + std::to_string(pass.fill) +
             " largest area " + std::to_string(pass.largestArea) + "]";
  }
  ASSERT_EQ(describeDifference(returnGray(data.get()), expected), "")
      << what << calls << "\ninput:\n"
      << describeDifference(image, Gray(image.width, image.height, 1));
  ASSERT_EQ(attributeMask(data.get(), LWATTR_CHANGED), changed)
      << what << calls << ": attribute 2 differs from the painted pixels";
}

Gray randomImage(std::mt19937& random, int width, int height) {
  // Two levels, three levels or many; noise, runs or blocks.
  const unsigned kind = random() % 3, style = random() % 3;
  std::vector<std::uint8_t> others = {255};
  if (kind == 1) others.push_back(128);
  for (int i = 0; kind == 2 && i < 11; ++i) others.push_back(static_cast<std::uint8_t>(random()));
  const double ink = std::uniform_real_distribution<double>(0.05, 0.95)(random);
  Gray image = randomGray(random, width, height, ink, others);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      if (style == 1 && x > 0 && random() % 4 != 0) image.at(x, y) = image.at(x - 1, y);
      if (style == 2 && y > 0 && random() % 3 != 0) image.at(x, y) = image.at(x, y - 1);
    }
  return image;
}

std::int32_t randomLargestArea(std::mt19937& random, int pixels) {
  const std::int32_t choices[] = {
      static_cast<std::int32_t>(random() % 12) - 1, static_cast<std::int32_t>(random() % 100),
      static_cast<std::int32_t>(random() % (pixels + 10)), pixels, INT32_MAX};
  return choices[random() % 5];
}

TEST(LWPinholeProperty, MatchesTheFloodFillModelOnRandomImages) {
  std::mt19937 random(20261206);
  for (int round = 0; round < 3000; ++round) {
    const int width = 1 + static_cast<int>(random() % 80);
    const int height = 1 + static_cast<int>(random() % 80);
    const Gray image = randomImage(random, width, height);
    // Target and fill colours from the image, sometimes equal; every third
    // image takes a second call, over runs that the first one marked.
    std::vector<PinholePass> passes;
    for (int pass = 0; pass < (round % 3 == 0 ? 2 : 1); ++pass) {
      const std::uint8_t target = image.pixels[random() % image.pixels.size()];
      std::uint8_t fill = image.pixels[random() % image.pixels.size()];
      if (random() % 5 == 0) fill = target;
      passes.push_back({target, fill, randomLargestArea(random, width * height)});
    }
    expectSameAsModel(image, passes, "round " + std::to_string(round));
    if (HasFatalFailure()) return;
  }
}

TEST(LWPinholeProperty, MoreComponentsThanTheStartingTablesHoldAndWideImages) {
  // Every pixel its own component.
  const auto checkerboard = [](int width, int height) {
    Gray image(width, height);
    for (int i = 0; i < width * height; ++i)
      image.pixels[i] = (i % width + i / width) % 2 ? 255 : 0;
    return image;
  };
  // 2000 components start in one row (label table of 1000) and 200000 end
  // (seed list of 1000, so the seeds are painted in many passes).
  expectSameAsModel(checkerboard(4001, 3), {{0, 255, 1}}, "checkerboard 4001 x 3");
  expectSameAsModel(checkerboard(632, 632), {{0, 255, 1}}, "checkerboard 632 x 632");
  expectSameAsModel(checkerboard(632, 632), {{0, 255, 0}}, "checkerboard, largest area 0");

  // Specks of 1 to 4 pixels on a grid, some joined to long lines that stay.
  std::mt19937 random(5);
  Gray specks(700, 500);
  for (int y = 0; y < 500; y += 3)
    for (int x = 0; x < 700; x += 3) {
      const int size = 1 + static_cast<int>(random() % 4);
      for (int i = 0; i < size && x + i % 2 < 700 && y + i / 2 < 500; ++i)
        specks.at(x + i % 2, y + i / 2) = 0;
    }
  for (int x = 0; x < 700; ++x) specks.at(x, 250) = 0;
  expectSameAsModel(specks, {{0, 255, 3}}, "grid of specks");

  // A row rebuilt by one fill pass and painted again by a later one: area A
  // (three white runs after the first call) is painted in the pass that the
  // 1100 dots below it fill up, bar B, which shares A's row, only in the
  // final pass.
  Gray rebuilt(2300, 6, 0);
  rebuilt.at(0, 1) = rebuilt.at(2, 1) = 255;
  rebuilt.at(1, 1) = 128;
  for (int y = 1; y <= 4; ++y) rebuilt.at(10, y) = 255;
  for (int x = 20; x < 2220; x += 2) rebuilt.at(x, 2) = 255;
  expectSameAsModel(rebuilt, {{128, 255, 1}, {255, 0, 4}}, "row rebuilt between passes");

  // A comb whose 1500 teeth end on different rows: the component keeps more
  // bottom ends waiting than the pending table starts with.
  Gray comb(3001, 40);
  for (int x = 0; x < 3001; ++x) comb.at(x, 0) = 0;
  for (int x = 0; x < 3001; x += 2)
    for (int y = 1; y < 1 + (x * 7) % 39; ++y) comb.at(x, y) = 0;
  int area = 0;
  for (std::uint8_t v : comb.pixels) area += v == 0;
  expectSameAsModel(comb, {{0, 255, area}}, "comb, largest area = its area");
  expectSameAsModel(comb, {{0, 255, area - 1}}, "comb, largest area one short");

  // From a width of 10000 on the tables are sized by the width: 5000 labels
  // in one row overflow width / 5, 15000 seeds overflow width / 2.
  expectSameAsModel(checkerboard(10001, 3), {{0, 255, 1}}, "checkerboard 10001 x 3");
  for (int round = 0; round < 3; ++round) {
    Gray image = randomImage(random, 10000 + static_cast<int>(random() % 3000), 12);
    expectSameAsModel(image, {{image.pixels[0], 255, 1 + static_cast<std::int32_t>(random() % 40)}},
                      "wide random image");
  }
}

TEST(LWPinhole, RowsWiderThanTheLongestRunAreStoredInPiecesOf65535Pixels) {
  const int width = 140000;
  Gray image(width, 2, 255);
  image.at(70000, 0) = image.at(3, 1) = image.at(4, 1) = 0;
  expectSameAsModel(image, {{0, 255, 2}}, "140000 wide");
  Data data = setGray(image);
  ASSERT_EQ(LWPinhole(data.get(), kBlack, imageValue(255), 2), 1);
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

}  // namespace
}  // namespace trellin::test
