// The eraser and density commands: the rectangle each names, pixels outside
// it untouched, undo and redo byte for byte, and the stroke mask and polygon
// helpers the tools use.
#include <gtest/gtest.h>

#include <cstring>
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

// A page of line-art-like noise: mostly light with dark strokes.
QuillaneImage makePage(int w, int h, int bpp = 1, unsigned seed = 1) {
  QuillaneImage page;
  EXPECT_TRUE(page.create(w, h, w * bpp, bpp));
  std::mt19937 rng(seed);
  for (int i = 0; i < page.size(); ++i)
    page.pixels()[i] = static_cast<uint8_t>(rng() % 4 == 0 ? rng() % 90 : 200 + rng() % 56);
  return page;
}

// Pixels outside rect are as in before.
void expectOutsideUntouched(const QuillaneImage& page, const std::vector<uint8_t>& before,
                            const Rect& rect) {
  const int bpp = page.bytesPerPixel();
  for (int y = 0; y < page.height(); ++y)
    for (int x = 0; x < page.width(); ++x) {
      if (x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom) continue;
      for (int c = 0; c < bpp; ++c) {
        const size_t i = static_cast<size_t>(y) * page.stride() + x * bpp + c;
        ASSERT_EQ(page.pixels()[i], before[i]) << "pixel " << x << "," << y;
      }
    }
}

// Executes command with a new undo step and checks the protocol: changed
// pixels only inside out, undo gives the page before, redo the page after.
Rect executeAndRoundTrip(Command& command, QuillaneImage& page) {
  UndoHistory history;
  history.beginStep();
  const std::vector<uint8_t> before = snapshot(page);
  Rect out;
  EXPECT_TRUE(command.execute(&history, out, nullptr, nullptr));
  expectOutsideUntouched(page, before, out);
  const std::vector<uint8_t> after = snapshot(page);
  EXPECT_EQ(history.undo(page), out);
  EXPECT_EQ(snapshot(page), before);
  EXPECT_EQ(history.redo(page), out);
  EXPECT_EQ(snapshot(page), after);
  return out;
}

std::vector<QPointF> randomStroke(std::mt19937& rng, int n, double x0, double y0, double size) {
  std::vector<QPointF> points;
  for (int i = 0; i < n; ++i)
    points.emplace_back(x0 + std::uniform_real_distribution<double>(0, size)(rng),
                        y0 + std::uniform_real_distribution<double>(0, size)(rng));
  return points;
}

TEST(BrushMask, BoxMaskEqualsPageSizedMask) {
  std::mt19937 rng(21);
  const QSize pageSize(150, 110);
  for (int trial = 0; trial < 60; ++trial) {
    const int pen = 1 + static_cast<int>(rng() % 25);
    const int n = 1 + static_cast<int>(rng() % 6);
    const auto points = randomStroke(rng, n, -20, -20, 190);
    const BrushMask whole = renderStroke(points, pen, pageSize, true);
    const BrushMask box = renderStroke(points, pen, pageSize);
    ASSERT_EQ(whole.image.bytesPerLine(), 152);  // rows padded to 4 bytes
    for (int y = 0; y < pageSize.height(); ++y)
      for (int x = 0; x < pageSize.width(); ++x) {
        const QPoint local = QPoint(x, y) - box.origin;
        const uint8_t expected = whole.image.constScanLine(y)[x];
        const uint8_t actual = !box.image.isNull() && box.image.rect().contains(local)
                                   ? box.image.constScanLine(local.y())[local.x()]
                                   : 255;
        ASSERT_EQ(actual, expected) << "trial " << trial << " pixel " << x << "," << y;
      }
  }
}

TEST(BrushMask, DotsAndLines) {
  // A single point is a dot as wide as the pen, centred on its pixel.
  const BrushMask dot = renderStroke({QPointF(10.4, 9.6)}, 5, QSize(20, 20), true);
  int marked = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x)
      if (dot.image.constScanLine(y)[x] == 0) {
        ++marked;
        EXPECT_LE(std::abs(x - 10), 2);
        EXPECT_LE(std::abs(y - 10), 2);
      }
  EXPECT_GE(marked, 13);
  EXPECT_EQ(dot.image.constScanLine(10)[8], 0);
  EXPECT_EQ(dot.image.constScanLine(10)[12], 0);
  const BrushMask pixel = renderStroke({QPointF(3, 4)}, 1, QSize(8, 8), true);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(pixel.image.constScanLine(y)[x], x == 3 && y == 4 ? 0 : 255);
  // A stroke wholly outside the page gives no mask.
  EXPECT_TRUE(
      renderStroke({QPointF(-100, -100), QPointF(-90, -95)}, 5, QSize(8, 8)).image.isNull());
}

TEST(BrushCommand, StrokeAtThePageEdgeSavesAClippedRectangle) {
  QuillaneImage page = makePage(80, 60);
  const BrushMask mask = renderStroke({QPointF(2, 30), QPointF(40, 1)}, 9, QSize(80, 60));
  BrushCommand command(&page, 255, 255, mask);
  ASSERT_EQ(command.regions.size(), 1u);
  const Rect out = executeAndRoundTrip(command, page);
  EXPECT_EQ(out.left, 0);
  EXPECT_EQ(out.top, 0);
  EXPECT_EQ(out.right, 40 + 4 + 1 + 1);
  EXPECT_EQ(out.bottom, 30 + 4 + 1 + 1);
}

TEST(BrushCommand, BoxMaskPaintsAsThePageSizedMask) {
  std::mt19937 rng(23);
  for (int trial = 0; trial < 20; ++trial) {
    const int bpp = 1 + trial % 2;
    QuillaneImage a = makePage(120, 90, bpp, trial), b = makePage(120, 90, bpp, trial);
    const auto points = randomStroke(rng, 1 + static_cast<int>(rng() % 8), -10, -10, 140);
    const int pen = 1 + static_cast<int>(rng() % 20);
    const uint8_t paper = trial % 3 == 0 ? 0 : 255;
    BrushCommand boxed(&a, paper, 255, renderStroke(points, pen, QSize(120, 90)));
    BrushCommand whole(&b, paper, 255, renderStroke(points, pen, QSize(120, 90), true).image);
    ASSERT_EQ(boxed.regions.size(), whole.regions.size());
    for (size_t i = 0; i < boxed.regions.size(); ++i)
      ASSERT_EQ(boxed.regions[i].runs, whole.regions[i].runs);
    Rect outA, outB;
    const bool ranA = boxed.execute(nullptr, outA, nullptr, nullptr);
    ASSERT_EQ(ranA, whole.execute(nullptr, outB, nullptr, nullptr));
    EXPECT_EQ(outA, outB);
    ASSERT_EQ(snapshot(a), snapshot(b)) << "trial " << trial;
    if (ranA && bpp == 1) {
      // Every stroke pixel more than one pixel from the stroke's edge is paper.
      const BrushMask m = renderStroke(points, pen, QSize(120, 90), true);
      for (int y = 1; y + 1 < 90; ++y)
        for (int x = 1; x + 1 < 120; ++x) {
          bool deep = true;
          for (int dy = -2; dy <= 2 && deep; ++dy)
            for (int dx = -2; dx <= 2 && deep; ++dx) {
              const int yy = y + dy, xx = x + dx;
              deep =
                  yy >= 0 && yy < 90 && xx >= 0 && xx < 120 && m.image.constScanLine(yy)[xx] == 0;
            }
          if (deep) {
            ASSERT_EQ(a.row(y)[x], paper) << x << "," << y;
          }
        }
    }
  }
}

TEST(BrushCommand, UndoRedoAndFailures) {
  QuillaneImage page = makePage(70, 50, 2, 4);
  BrushCommand command(
      &page, 0, 255,
      renderStroke({QPointF(10, 10), QPointF(50, 30), QPointF(20, 40)}, 7, QSize(70, 50)));
  executeAndRoundTrip(command, page);

  // A mask with no mark, or a progress callback saying stop: false, nothing
  // written, nothing saved.
  QImage blank(70, 50, QImage::Format_Grayscale8);
  blank.fill(255);
  BrushCommand empty(&page, 255, 255, blank);
  UndoHistory history;
  history.beginStep();
  const std::vector<uint8_t> before = snapshot(page);
  Rect out{1, 2, 3, 4};
  EXPECT_FALSE(empty.execute(&history, out, nullptr, nullptr));
  EXPECT_EQ(out, Rect{});
  auto stop = [](int, void*) { return false; };
  EXPECT_FALSE(command.execute(&history, out, stop, nullptr));
  EXPECT_EQ(snapshot(page), before);
  EXPECT_FALSE(history.canUndo());
}

TEST(RegionFillCommand, PolygonPaintsInsideThePageOnly) {
  EXPECT_FALSE(polygonRegion({QPointF(1, 1), QPointF(30, 30)}).has_value());
  const auto square = polygonRegion({QPointF(1, 1), QPointF(6, 1), QPointF(6, 4), QPointF(1, 4)});
  ASSERT_TRUE(square.has_value());
  EXPECT_EQ(square->boundingRect(), QRect(1, 1, 5, 3));

  QuillaneImage page = makePage(60, 40);
  const auto region =
      polygonRegion({QPointF(-20, -10), QPointF(30, -10), QPointF(30, 25), QPointF(-20, 25)});
  ASSERT_TRUE(region.has_value());
  RegionFillCommand command(&page, 255, 255, &*region);
  const Rect out = executeAndRoundTrip(command, page);
  EXPECT_EQ(out, (Rect{0, 0, 31, 26}));
  // Inside, away from the rim next to the rest of the page, all paper.
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 29; ++x) ASSERT_EQ(page.row(y)[x], 255) << x << "," << y;

  // A region wholly off the page, or none at all: false, nothing saved.
  UndoHistory history;
  history.beginStep();
  const std::vector<uint8_t> before = snapshot(page);
  const QRegion beside(-10, 5, 10, 5);  // columns -10 ... -1: grown by 1 it reaches column 0
  Rect out2;
  EXPECT_FALSE(
      RegionFillCommand(&page, 255, 255, &beside).execute(&history, out2, nullptr, nullptr));
  EXPECT_FALSE(
      RegionFillCommand(&page, 255, 255, nullptr).execute(&history, out2, nullptr, nullptr));
  EXPECT_EQ(snapshot(page), before);
  EXPECT_FALSE(history.canUndo());
}

TEST(RegionFillCommand, LassoOnATwoBytePage) {
  QuillaneImage page = makePage(50, 50, 2, 9);
  const auto region = polygonRegion(
      {QPointF(5, 5), QPointF(45, 12), QPointF(25, 45), QPointF(30, 10), QPointF(8, 40)});
  ASSERT_TRUE(region.has_value());
  RegionFillCommand command(&page, 0, 255, &*region);
  const Rect out = executeAndRoundTrip(command, page);
  const QRect box = region->boundingRect();
  EXPECT_EQ(out, (Rect{box.left() - 1, box.top() - 1, box.right() + 2, box.bottom() + 2}));
}

TEST(LineAdjustCommand, AdjustsTheWholePageAndUndoes) {
  QuillaneImage page = makePage(64, 48);
  tonvale::TonvalePlugin density;
  density.SetMode(2);
  LineAdjustCommand command(&page, &density);
  const std::vector<uint8_t> before = snapshot(page);
  const Rect out = executeAndRoundTrip(command, page);
  EXPECT_EQ(out, (Rect{0, 0, 64, 48}));
  std::vector<uint8_t> expected(before.size());
  ASSERT_TRUE(density.executeTonvale(before.data(), 64, 48, 64, expected.data()));
  EXPECT_EQ(snapshot(page), expected);
  EXPECT_NE(expected, before);
}

TEST(LineAdjustCommand, FailedAdjustmentKeepsThePixelsAndOneWholePageStep) {
  QuillaneImage page = makePage(64, 48);
  tonvale::TonvalePlugin density;
  tonvale::TonvaleParameter::Record broken = density.parameters().getRecord();
  broken.TONE_SIZE = 2;  // the smoothing needs an odd aperture
  density.parameters().setRecord(broken);
  LineAdjustCommand command(&page, &density);
  UndoHistory history;
  history.beginStep();
  const std::vector<uint8_t> before = snapshot(page);
  Rect out;
  EXPECT_TRUE(command.execute(&history, out, nullptr, nullptr));
  EXPECT_EQ(out, (Rect{0, 0, 64, 48}));
  EXPECT_EQ(snapshot(page), before);
  EXPECT_TRUE(history.canUndo());
  EXPECT_EQ(history.undo(page), (Rect{0, 0, 64, 48}));
  EXPECT_EQ(snapshot(page), before);
  EXPECT_EQ(history.undoSteps(), 0);

  LineAdjustCommand orphan(&page, nullptr);
  EXPECT_FALSE(orphan.execute(nullptr, out, nullptr, nullptr));
}

}  // namespace
}  // namespace quillane
