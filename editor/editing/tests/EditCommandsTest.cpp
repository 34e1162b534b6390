// The undo history, and the eraser and density commands: the rectangle each
// names, pixels outside it untouched, undo and redo byte for byte, refusals;
// and the stroke mask and polygon helpers the tools use.
#include <gtest/gtest.h>

#include <random>
#include <string>
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

// One part of an edit the way a command does it: a patch of rect, then the writes.
void edit(UndoHistory& history, QuillaneImage& page, Rect rect, uint8_t value) {
  ASSERT_TRUE(history.addPatch(page, rect));
  const Rect inside = rect.intersected({0, 0, page.width(), page.height()});
  for (int y = inside.top; y < inside.bottom; ++y)
    for (int x = inside.left; x < inside.right; ++x) page.row(y)[x] = value;
}

// Random edits (one to three patches a step, overlapping, some reaching off
// the page), failed edits (each patch written, restored and dropped again, as
// a failing command does), undos and redos against two stacks of whole pages,
// each at most kDepth deep.
TEST(UndoHistory, MatchesStacksOfWholePages) {
  struct Step {
    std::vector<uint8_t> page;  // before the step (undo side) or after it (redo side)
    Rect changed;               // none for a step without patches
  };
  std::vector<Step> undos, redos;
  auto push = [](std::vector<Step>& stack, Step step) {
    stack.push_back(std::move(step));
    if (stack.size() > static_cast<size_t>(UndoHistory::kDepth)) stack.erase(stack.begin());
  };
  QuillaneImage page = makePage(12, 12);
  UndoHistory history;
  // A patch needs a step, and restoring one needs a patch.
  EXPECT_FALSE(history.addPatch(page, {0, 0, 2, 2}));
  EXPECT_FALSE(history.restoreLastPatch(page));
  std::mt19937 rng(5);
  for (int op = 0; op < 3000; ++op) {
    SCOPED_TRACE("operation " + std::to_string(op));
    // Edit-heavy and undo-heavy phases, so that the stacks fill to their depth and empty again.
    const unsigned kind = op / 40 % 2 == 1 && rng() % 4 != 0 ? 2 : rng() % 4;
    if (kind < 2) {
      Step step{snapshot(page), Rect::none()};
      history.beginStep();
      history.dropLastPatch();  // nothing to drop yet
      EXPECT_FALSE(history.restoreLastPatch(page));
      for (unsigned n = 1 + rng() % 3; n > 0; --n) {
        const int x = static_cast<int>(rng() % 14) - 2, y = static_cast<int>(rng() % 14) - 2;
        const Rect r{x, y, x + 3 + static_cast<int>(rng() % 6),
                     y + 3 + static_cast<int>(rng() % 6)};
        edit(history, page, r, static_cast<uint8_t>(rng()));
        if (kind == 0) {
          step.changed = step.changed.united(r);
        } else {
          ASSERT_TRUE(history.restoreLastPatch(page));
          history.dropLastPatch();
        }
      }
      EXPECT_TRUE(kind == 0 || snapshot(page) == step.page) << "a failed edit leaves the page";
      push(undos, step);
      redos.clear();
    } else {  // undo or redo
      auto& from = kind == 2 ? undos : redos;
      auto& to = kind == 2 ? redos : undos;
      const std::vector<uint8_t> current = snapshot(page);
      const Rect changed = kind == 2 ? history.undo(page) : history.redo(page);
      const Step step = from.empty() ? Step{current, Rect::none()} : from.back();
      if (!from.empty()) from.pop_back(), push(to, {current, step.changed});
      EXPECT_EQ(changed, step.changed);
      EXPECT_EQ(snapshot(page), step.page);
    }
    EXPECT_EQ(history.canUndo(), !undos.empty() && !undos.back().changed.isNone());
    EXPECT_EQ(history.canRedo(), !redos.empty());
  }
}

// Executes command in a new undo step: pixels change only inside the
// rectangle it names, undo gives the page before, redo the page after.
// A command that must fail returns false, clears out, writes and saves nothing.
Rect execute(Command&& command, QuillaneImage& page, bool succeeds = true,
             ProgressCallback progress = nullptr) {
  UndoHistory history;
  history.beginStep();
  const std::vector<uint8_t> before = snapshot(page);
  Rect out{1, 2, 3, 4};
  EXPECT_EQ(command.execute(&history, out, progress, nullptr), succeeds);
  if (!succeeds) {
    EXPECT_EQ(out, Rect{});
    EXPECT_EQ(snapshot(page), before);
    EXPECT_FALSE(history.canUndo());
    return out;
  }
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

TEST(BrushMask, SinglePointsAreDotsAsWideAsThePen) {
  // Pen 5 at (10.4, 9.6): a round dot of 13 or more pixels filling the box (8, 8) - (12, 12).
  // Pen 1 at (3, 4): that pixel alone. A stroke wholly beside the page: no mask.
  const QImage dot = renderStroke({QPointF(10.4, 9.6)}, 5, QSize(20, 20), true).image;
  const QImage pixel = renderStroke({QPointF(3, 4)}, 1, QSize(20, 20), true).image;
  QRegion dotPixels, pixelPixels;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      if (dot.constScanLine(y)[x] == 0) dotPixels += QRect(x, y, 1, 1);
      if (pixel.constScanLine(y)[x] == 0) pixelPixels += QRect(x, y, 1, 1);
    }
  EXPECT_EQ(dotPixels.boundingRect(), QRect(8, 8, 5, 5));
  int area = 0;
  for (const QRect& r : dotPixels) area += r.width() * r.height();
  EXPECT_GE(area, 13);
  EXPECT_EQ(pixelPixels, QRegion(3, 4, 1, 1));
  EXPECT_TRUE(
      renderStroke({QPointF(-100, -100), QPointF(-90, -95)}, 5, QSize(9, 9)).image.isNull());
}

TEST(BrushCommand, BoxMaskPaintsAsThePageSizedMask) {
  // The stroke rendered into its bounding box only must give the regions and
  // pixels of the page-sized mask, for strokes reaching off the page too.
  std::mt19937 rng(23);
  std::uniform_real_distribution<double> coordinate(-20, 140);
  for (int trial = 0; trial < 40; ++trial) {
    const int bpp = 1 + trial % 2;
    QuillaneImage a = makePage(118, 90, bpp, trial), b = makePage(118, 90, bpp, trial);
    std::vector<QPointF> points(1 + rng() % 8);
    for (QPointF& p : points) p = QPointF(coordinate(rng), coordinate(rng));
    const int pen = 1 + static_cast<int>(rng() % 25);
    const uint8_t paper = trial % 3 == 0 ? 0 : 255;
    const BrushMask whole = renderStroke(points, pen, QSize(118, 90), true);
    ASSERT_EQ(whole.image.bytesPerLine(), 120);  // rows padded to 4 bytes
    BrushCommand boxed(&a, paper, 255, renderStroke(points, pen, QSize(118, 90)));
    BrushCommand wholeCommand(&b, paper, 255, whole.image);
    ASSERT_EQ(boxed.regions.size(), wholeCommand.regions.size()) << "trial " << trial;
    for (size_t i = 0; i < boxed.regions.size(); ++i)
      ASSERT_EQ(boxed.regions[i].runs, wholeCommand.regions[i].runs) << "trial " << trial;
    Rect outA, outB;
    ASSERT_EQ(boxed.execute(nullptr, outA, nullptr, nullptr),
              wholeCommand.execute(nullptr, outB, nullptr, nullptr));
    EXPECT_EQ(outA, outB);
    ASSERT_EQ(snapshot(a), snapshot(b)) << "trial " << trial;
  }
}

TEST(BrushCommand, ClippedAtThePageEdgeRoundTripsAndFails) {
  QuillaneImage page = makePage(80, 60);
  // The pen reaches 4 pixels beyond the end points; the rim 1 more.
  EXPECT_EQ(execute(BrushCommand(&page, 255, 255,
                                 renderStroke({QPointF(2, 30), QPointF(40, 1)}, 9, QSize(80, 60))),
                    page),
            (Rect{0, 0, 46, 36}));
  QuillaneImage twoBytes = makePage(70, 50, 2, 4);
  const BrushMask stroke =
      renderStroke({QPointF(10, 10), QPointF(50, 30), QPointF(20, 40)}, 7, QSize(70, 50));
  execute(BrushCommand(&twoBytes, 0, 255, stroke), twoBytes);
  // No mark in the mask, or a progress callback saying stop.
  QImage blank(70, 50, QImage::Format_Grayscale8);
  blank.fill(255);
  execute(BrushCommand(&twoBytes, 255, 255, blank), twoBytes, false);
  execute(BrushCommand(&twoBytes, 0, 255, stroke), twoBytes, false,
          [](int, void*) { return false; });
}

TEST(RegionFillCommand, PaintsInsideThePageOnly) {
  EXPECT_FALSE(polygonRegion({QPointF(1, 1), QPointF(30, 30)}).has_value());
  const auto square = polygonRegion({QPointF(1, 1), QPointF(6, 1), QPointF(6, 4), QPointF(1, 4)});
  EXPECT_EQ(square->boundingRect(), QRect(1, 1, 5, 3));

  QuillaneImage page = makePage(60, 40);
  const auto region =
      polygonRegion({QPointF(-20, -10), QPointF(30, -10), QPointF(30, 25), QPointF(-20, 25)});
  EXPECT_EQ(execute(RegionFillCommand(&page, 255, 255, &*region), page), (Rect{0, 0, 31, 26}));
  for (int y = 0; y < 24; ++y)  // away from the rim, all paper
    for (int x = 0; x < 29; ++x) ASSERT_EQ(page.row(y)[x], 255) << x << "," << y;
  // A region wholly beside the page (its grown box touches column 0), or none.
  const QRegion beside(-10, 5, 10, 5);
  execute(RegionFillCommand(&page, 0, 255, &beside), page, false);
  execute(RegionFillCommand(&page, 0, 255, nullptr), page, false);
}

TEST(LineAdjustCommand, AdjustsTheWholePageOrKeepsItOnFailure) {
  QuillaneImage page = makePage(64, 48);
  const Rect all{0, 0, 64, 48};
  tonvale::TonvalePlugin density;
  density.SetMode(2);
  std::vector<uint8_t> expected(64 * 48);
  ASSERT_TRUE(density.executeTonvale(page.pixels(), 64, 48, 64, expected.data()));
  ASSERT_NE(expected, snapshot(page));
  EXPECT_EQ(execute(LineAdjustCommand(&page, &density), page), all);
  EXPECT_EQ(snapshot(page), expected);
  QuillaneImage grayAlpha = makePage(64, 48, 2);
  execute(LineAdjustCommand(&page, nullptr), page, false);
  execute(LineAdjustCommand(&grayAlpha, &density), grayAlpha, false);

  // A failed adjustment: true, the whole page named, pixels kept, and one
  // whole-page undo step.
  tonvale::TonvaleParameter::Record broken = density.parameters().getRecord();
  broken.TONE_SIZE = 2;  // the smoothing needs an odd aperture
  density.parameters().setRecord(broken);
  EXPECT_EQ(execute(LineAdjustCommand(&page, &density), page), all);
  EXPECT_EQ(snapshot(page), expected);
}

}  // namespace
}  // namespace quillane
