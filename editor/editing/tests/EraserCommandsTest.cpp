// The eraser and density commands: the rectangle each names, pixels outside
// it untouched, undo and redo byte for byte; and the stroke mask and polygon
// helpers the tools use.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "quillane/editing/BrushCommand.h"
#include "quillane/editing/BrushMask.h"
#include "quillane/editing/LineAdjustCommand.h"
#include "quillane/editing/RegionFillCommand.h"
#include "quillane/editing/UndoHistory.h"
#include "tonvale/TonvalePlugin.h"

namespace quillane {
namespace {

std::vector<uint8_t> snapshot(const QuillaneImage& page) {
  return std::vector<uint8_t>(page.pixels(), page.pixels() + page.size());
}

// Line-art-like noise: mostly light, a quarter dark.
QuillaneImage makePage(int w, int h, int bpp = 1, unsigned seed = 1) {
  QuillaneImage page;
  EXPECT_TRUE(page.create(w, h, w * bpp, bpp));
  std::mt19937 rng(seed);
  for (int i = 0; i < page.size(); ++i)
    page.pixels()[i] = static_cast<uint8_t>(rng() % 4 == 0 ? rng() % 90 : 200 + rng() % 56);
  return page;
}

// Executes command with a new undo step: pixels change only inside the
// rectangle it names, undo gives the page before, redo the page after.
Rect executeAndRoundTrip(Command& command, QuillaneImage& page) {
  UndoHistory history;
  history.beginStep();
  const std::vector<uint8_t> before = snapshot(page);
  Rect out;
  EXPECT_TRUE(command.execute(&history, out, nullptr, nullptr));
  const int bpp = page.bytesPerPixel();
  for (int y = 0; y < page.height(); ++y)
    for (int x = 0; x < page.width() * bpp; ++x)
      if (x / bpp < out.left || x / bpp >= out.right || y < out.top || y >= out.bottom) {
        EXPECT_EQ(page.row(y)[x], before[y * page.stride() + x]) << x / bpp << "," << y;
      }
  const std::vector<uint8_t> after = snapshot(page);
  EXPECT_EQ(history.undo(page), out);
  EXPECT_EQ(snapshot(page), before);
  EXPECT_EQ(history.redo(page), out);
  EXPECT_EQ(snapshot(page), after);
  return out;
}

// A command that must fail: false, the out rectangle cleared, nothing
// written, nothing saved in the open step.
void expectRefused(Command&& command, QuillaneImage& page, ProgressCallback progress = nullptr) {
  UndoHistory history;
  history.beginStep();
  const std::vector<uint8_t> before = snapshot(page);
  Rect out{1, 2, 3, 4};
  EXPECT_FALSE(command.execute(&history, out, progress, nullptr));
  EXPECT_EQ(out, Rect{});
  EXPECT_EQ(snapshot(page), before);
  EXPECT_FALSE(history.canUndo());
}

std::vector<QPointF> randomStroke(std::mt19937& rng, int n, double from, double size) {
  std::uniform_real_distribution<double> coordinate(from, from + size);
  std::vector<QPointF> points;
  for (int i = 0; i < n; ++i) points.emplace_back(coordinate(rng), coordinate(rng));
  return points;
}

TEST(BrushMask, SinglePointsAreDotsAsWideAsThePen) {
  const BrushMask dot = renderStroke({QPointF(10.4, 9.6)}, 5, QSize(20, 20), true);
  const BrushMask pixel = renderStroke({QPointF(3, 4)}, 1, QSize(20, 20), true);
  int dotPixels = 0, pixelPixels = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      if (dot.image.constScanLine(y)[x] == 0) {
        ++dotPixels;
        EXPECT_TRUE(std::abs(x - 10) <= 2 && std::abs(y - 10) <= 2) << x << "," << y;
      }
      pixelPixels += pixel.image.constScanLine(y)[x] == 0;
    }
  EXPECT_GE(dotPixels, 13);
  EXPECT_EQ(dot.image.constScanLine(10)[8], 0);
  EXPECT_EQ(dot.image.constScanLine(10)[12], 0);
  EXPECT_EQ(pixelPixels, 1);
  EXPECT_EQ(pixel.image.constScanLine(4)[3], 0);
}

TEST(BrushCommand, StrokeAtThePageEdgeSavesAClippedRectangle) {
  QuillaneImage page = makePage(80, 60);
  BrushCommand command(&page, 255, 255,
                       renderStroke({QPointF(2, 30), QPointF(40, 1)}, 9, QSize(80, 60)));
  ASSERT_EQ(command.regions.size(), 1u);
  // The pen reaches 4 pixels beyond the end points; the rim 1 more.
  EXPECT_EQ(executeAndRoundTrip(command, page), (Rect{0, 0, 46, 36}));
}

TEST(BrushCommand, BoxMaskPaintsAsThePageSizedMask) {
  // The stroke rendered into its bounding box only must give the regions and
  // pixels of the page-sized mask, for strokes reaching off the page too.
  std::mt19937 rng(23);
  for (int trial = 0; trial < 40; ++trial) {
    const int bpp = 1 + trial % 2;
    QuillaneImage a = makePage(118, 90, bpp, trial), b = makePage(118, 90, bpp, trial);
    const auto points = randomStroke(rng, 1 + static_cast<int>(rng() % 8), -20, 160);
    const int pen = 1 + static_cast<int>(rng() % 25);
    const uint8_t paper = trial % 3 == 0 ? 0 : 255;
    const BrushMask whole = renderStroke(points, pen, QSize(118, 90), true);
    ASSERT_EQ(whole.image.bytesPerLine(), 120);  // rows padded to 4 bytes
    BrushCommand boxed(&a, paper, 255, renderStroke(points, pen, QSize(118, 90)));
    BrushCommand wholeCommand(&b, paper, 255, whole.image);
    ASSERT_EQ(boxed.regions.size(), wholeCommand.regions.size());
    for (size_t i = 0; i < boxed.regions.size(); ++i)
      ASSERT_EQ(boxed.regions[i].runs, wholeCommand.regions[i].runs);
    Rect outA, outB;
    ASSERT_EQ(boxed.execute(nullptr, outA, nullptr, nullptr),
              wholeCommand.execute(nullptr, outB, nullptr, nullptr));
    EXPECT_EQ(outA, outB);
    ASSERT_EQ(snapshot(a), snapshot(b)) << "trial " << trial;
  }
  EXPECT_TRUE(
      renderStroke({QPointF(-100, -100), QPointF(-90, -95)}, 5, QSize(9, 9)).image.isNull());
}

TEST(BrushCommand, RoundTripsOnATwoBytePageAndFails) {
  QuillaneImage page = makePage(70, 50, 2, 4);
  BrushCommand command(
      &page, 0, 255,
      renderStroke({QPointF(10, 10), QPointF(50, 30), QPointF(20, 40)}, 7, QSize(70, 50)));
  executeAndRoundTrip(command, page);

  // No mark in the mask, or a progress callback saying stop.
  QImage blank(70, 50, QImage::Format_Grayscale8);
  blank.fill(255);
  expectRefused(BrushCommand(&page, 255, 255, blank), page);
  expectRefused(std::move(command), page, [](int, void*) { return false; });
}

TEST(RegionFillCommand, PaintsInsideThePageOnly) {
  EXPECT_FALSE(polygonRegion({QPointF(1, 1), QPointF(30, 30)}).has_value());
  const auto square = polygonRegion({QPointF(1, 1), QPointF(6, 1), QPointF(6, 4), QPointF(1, 4)});
  EXPECT_EQ(square->boundingRect(), QRect(1, 1, 5, 3));

  QuillaneImage page = makePage(60, 40);
  const auto region =
      polygonRegion({QPointF(-20, -10), QPointF(30, -10), QPointF(30, 25), QPointF(-20, 25)});
  RegionFillCommand command(&page, 255, 255, &*region);
  EXPECT_EQ(executeAndRoundTrip(command, page), (Rect{0, 0, 31, 26}));
  for (int y = 0; y < 24; ++y)  // away from the rim, all paper
    for (int x = 0; x < 29; ++x) ASSERT_EQ(page.row(y)[x], 255) << x << "," << y;

  // A region wholly beside the page (its grown box touches column 0), or none.
  const QRegion beside(-10, 5, 10, 5);
  expectRefused(RegionFillCommand(&page, 0, 255, &beside), page);
  expectRefused(RegionFillCommand(&page, 0, 255, nullptr), page);
}

TEST(LineAdjustCommand, AdjustsTheWholePageOrKeepsItOnFailure) {
  QuillaneImage page = makePage(64, 48);
  const std::vector<uint8_t> before = snapshot(page);
  tonvale::TonvalePlugin density;
  density.SetMode(2);
  std::vector<uint8_t> expected(64 * 48);
  ASSERT_TRUE(density.executeTonvale(page.pixels(), 64, 48, 64, expected.data()));
  ASSERT_NE(expected, before);
  LineAdjustCommand command(&page, &density);
  EXPECT_EQ(executeAndRoundTrip(command, page), (Rect{0, 0, 64, 48}));
  EXPECT_EQ(snapshot(page), expected);
  Rect out;
  EXPECT_FALSE(LineAdjustCommand(&page, nullptr).execute(nullptr, out, nullptr, nullptr));
  QuillaneImage grayAlpha = makePage(64, 48, 2);
  EXPECT_FALSE(LineAdjustCommand(&grayAlpha, &density).execute(nullptr, out, nullptr, nullptr));

  // A failed adjustment: true, the whole page named, pixels kept, and one
  // whole-page undo step.
  tonvale::TonvaleParameter::Record broken = density.parameters().getRecord();
  broken.TONE_SIZE = 2;  // the smoothing needs an odd aperture
  density.parameters().setRecord(broken);
  UndoHistory history;
  history.beginStep();
  EXPECT_TRUE(LineAdjustCommand(&page, &density).execute(&history, out, nullptr, nullptr));
  EXPECT_EQ(out, (Rect{0, 0, 64, 48}));
  EXPECT_EQ(snapshot(page), expected);
  EXPECT_EQ(history.undo(page), (Rect{0, 0, 64, 48}));
  EXPECT_EQ(history.undoSteps(), 0);
}

}  // namespace
}  // namespace quillane
