// PinholeCommand: construction, brush discs, the band at the page edges, the
// criteria switches, failures, undo of strokes, and the diagnosis.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "EngineFixture.h"
#include "quillane/editing/DustDiagnosis.h"
#include "quillane/editing/PinholeCommand.h"
#include "quillane/editing/UndoHistory.h"

namespace quillane {
namespace {

QuillaneImage filledPage(int w, int h, uint8_t value) {
  QuillaneImage page;
  EXPECT_TRUE(page.create(w, h, w, 1));
  std::fill(page.pixels(), page.pixels() + page.size(), value);
  return page;
}

std::vector<uint8_t> bytes(const QuillaneImage& image) {
  return std::vector<uint8_t>(image.pixels(), image.pixels() + image.size());
}

// Runs a command with both criteria set as given.
bool run(QuillaneImage& page, bool white, int t, const Rect* rect, int dust, bool whole = true,
         uint32_t diameter = 0, UndoHistory* history = nullptr, bool dustOn = true,
         bool grayOn = true, Rect* changed = nullptr) {
  PinholeCommand command(&page, white, t, rect, dust, whole, diameter);
  command.dustSizeEnabled = dustOn;
  command.grayDustEnabled = grayOn;
  Rect out;
  const bool ok = command.execute(history, out, nullptr, nullptr);
  if (changed) *changed = out;
  return ok;
}

// The brush rectangle of a dab of diameter d at page position (px, py).
Rect dab(double px, double py, int d) {
  auto roundAway = [](double v) {
    return static_cast<int32_t>(v >= 0 ? v + 0.5 + 1e-10 : v - 0.5 - 1e-10);
  };
  return {roundAway(px - d / 2.0), roundAway(py - d / 2.0), roundAway(px + d / 2.0),
          roundAway(py + d / 2.0)};
}

TEST(PinholeCommandSetup, ConstructionAndClone) {
  QuillaneImage page = filledPage(30, 20, 255);
  PinholeCommand white(&page, true, 100, nullptr, 36, true, 0);
  EXPECT_EQ(white.rect, (Rect{0, 0, 30, 20}));
  EXPECT_EQ(white.thresholdByte, 156);
  EXPECT_EQ(white.paintValue, 255);
  EXPECT_EQ(PinholeCommand(&page, true, 1, nullptr, 1, true, 0).thresholdByte, 255);
  const Rect r{1, 2, 3, 4};
  PinholeCommand black(&page, false, 120, &r, 9, false, 5);
  EXPECT_EQ(black.thresholdByte, 120);
  EXPECT_EQ(black.paintValue, 0);
  black.dustSizeEnabled = true;
  auto copy = black.clone();
  auto* same = dynamic_cast<PinholeCommand*>(copy.get());
  ASSERT_NE(same, nullptr);
  EXPECT_EQ(same->rect, r);
  EXPECT_EQ(same->diameter, 5u);
  EXPECT_TRUE(same->dustSizeEnabled);
  EXPECT_FALSE(same->grayDustEnabled);
  EXPECT_FALSE(same->whiteBackgroundDefault);
}

class PinholeCommandTest : public EngineFixture {};

TEST_F(PinholeCommandTest, BrushDiscSnapsOnlyInsideDiscAndRect) {
  // Gray 200 everywhere, t = 64 (threshold byte 192), no dust criterion: the
  // pixels that were binarised and lie in R become 255.
  QuillaneImage five = filledPage(24, 24, 200);
  const Rect r5 = dab(10, 10, 5);
  EXPECT_EQ(r5, (Rect{8, 8, 13, 13}));
  ASSERT_TRUE(run(five, true, 64, &r5, 36, false, 5, nullptr, false, true));
  QuillaneImage four = filledPage(24, 24, 200);
  const Rect r4 = dab(10, 10, 4);
  EXPECT_EQ(r4, (Rect{8, 8, 12, 12}));
  Rect changed;
  ASSERT_TRUE(run(four, true, 64, &r4, 36, false, 4, nullptr, false, true, &changed));
  EXPECT_EQ(changed, r4);
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 24; ++x) {
      const bool in5 = x >= 8 && x <= 12 && y >= 8 && y <= 12;
      EXPECT_EQ(five.row(y)[x], in5 ? 255 : 200) << x << "," << y;
      const bool in4 = x >= 9 && x <= 11 && y >= 9 && y <= 11;
      EXPECT_EQ(four.row(y)[x], in4 ? 255 : 200) << x << "," << y;
    }
  }
}

TEST_F(PinholeCommandTest, SpeckInsideTheDiscGoesCutByTheEdgeStays) {
  QuillaneImage page = filledPage(40, 40, 255);
  page.row(20)[20] = page.row(20)[21] = 0;  // a 2-pixel speck
  const Rect inside = dab(20.5, 20, 9);
  QuillaneImage cut = filledPage(40, 40, 255);
  ASSERT_TRUE(run(page, true, 100, &inside, 36, false, 9));
  EXPECT_EQ(page.row(20)[20], 255);
  EXPECT_EQ(page.row(20)[21], 255);
  // A dab of diameter 9 whose disc ends at column 16 (R = 8 ... 16): the
  // speck at 16 and 17 is cut by the disc edge, touches the spot-coloured
  // frame beyond it and survives.
  const Rect edgeLeft{8, 16, 17, 25};
  cut.row(20)[16] = cut.row(20)[17] = 0;
  ASSERT_TRUE(run(cut, true, 100, &edgeLeft, 36, false, 9));
  EXPECT_EQ(cut.row(20)[16], 0);
  EXPECT_EQ(cut.row(20)[17], 0);
}

TEST_F(PinholeCommandTest, BandNeverReadsTheOuterColumnOrRow) {
  // A 2-pixel speck next to the rectangle's edge is removed only when the
  // band reaches one pixel beyond it; at left edge 1 and right edge width - 1
  // the band stops short of the outermost column and the speck survives.
  struct Case {
    Rect rect;
    int speckX;
    bool removed;
  };
  const int w = 20, h = 20;
  // Where R itself includes the outermost column, that column is read.
  for (Case c : {Case{{1, 2, 6, 9}, 1, false}, Case{{2, 2, 6, 9}, 2, true},
                 Case{{12, 2, w - 1, 9}, w - 3, false}, Case{{12, 2, w - 2, 9}, w - 4, true},
                 Case{{0, 2, 6, 9}, 0, true}}) {
    QuillaneImage page = filledPage(w, h, 255);
    page.row(5)[c.speckX] = page.row(5)[c.speckX + 1] = 0;
    ASSERT_TRUE(run(page, true, 100, &c.rect, 36));
    EXPECT_EQ(page.row(5)[c.speckX] == 255, c.removed) << "speck at " << c.speckX;
    EXPECT_EQ(page.row(5)[c.speckX + 1] == 255, c.removed) << "speck at " << c.speckX;
  }
  // Rows likewise: top edge 1.
  QuillaneImage page = filledPage(w, h, 255);
  page.row(1)[5] = page.row(2)[5] = 0;
  const Rect top{2, 1, 9, 6};
  ASSERT_TRUE(run(page, true, 100, &top, 36));
  EXPECT_EQ(page.row(1)[5], 0);
  EXPECT_EQ(page.row(2)[5], 0);
  QuillaneImage lowerPage = filledPage(w, h, 255);
  lowerPage.row(2)[5] = lowerPage.row(3)[5] = 0;
  const Rect lower{2, 2, 9, 6};
  ASSERT_TRUE(run(lowerPage, true, 100, &lower, 36));
  EXPECT_EQ(lowerPage.row(2)[5], 255);
  EXPECT_EQ(lowerPage.row(3)[5], 255);
}

TEST_F(PinholeCommandTest, CriteriaSwitches) {
  QuillaneImage page = filledPage(20, 20, 255);
  page.row(3)[3] = 100;                                // a gray speck
  for (int x = 0; x < 20; ++x) page.row(10)[x] = 254;  // a long near-white line
  page.row(15)[15] = 200;
  QuillaneImage off = filledPage(20, 20, 0);
  std::copy(page.pixels(), page.pixels() + page.size(), off.pixels());

  // Gray criterion off, White mode: only 255 is paper; the gray speck is ink
  // and small, so it goes; the 254 line is a large ink area and stays 254.
  ASSERT_TRUE(run(off, true, 64, nullptr, 5, true, 0, nullptr, true, false));
  EXPECT_EQ(off.row(3)[3], 255);
  EXPECT_EQ(off.row(10)[7], 254);
  EXPECT_EQ(off.row(15)[15], 255);  // a one-pixel speck as well

  // Gray criterion on, t = 64: everything >= 192 snaps to 255.
  QuillaneImage on = filledPage(20, 20, 0);
  std::copy(page.pixels(), page.pixels() + page.size(), on.pixels());
  ASSERT_TRUE(run(on, true, 64, nullptr, 5, true, 0, nullptr, false, true));
  EXPECT_EQ(on.row(10)[7], 255);  // snapped although no speck is removed
  EXPECT_EQ(on.row(15)[15], 255);
  EXPECT_EQ(on.row(3)[3], 100);  // dust criterion off: the speck stays

  // Black mode: white holes in black, gray criterion off: only 0 is paper.
  QuillaneImage black = filledPage(20, 20, 0);
  black.row(4)[4] = 255;
  black.row(8)[8] = 1;
  ASSERT_TRUE(run(black, false, 120, nullptr, 3, true, 0, nullptr, true, false));
  EXPECT_EQ(black.row(4)[4], 0);
  EXPECT_EQ(black.row(8)[8], 0);  // 1 is not paper: a one-pixel hole, filled
  // Both off: nothing but exact paper counts, nothing is removed.
  QuillaneImage none = filledPage(20, 20, 0);
  none.row(4)[4] = 255;
  ASSERT_TRUE(run(none, false, 120, nullptr, 3, true, 0, nullptr, false, false));
  EXPECT_EQ(none.row(4)[4], 255);
}

TEST_F(PinholeCommandTest, RectangleOutsideThePageFailsWithoutPatch) {
  QuillaneImage page = filledPage(10, 10, 255);
  page.row(5)[5] = 0;
  UndoHistory history;
  history.beginStep();
  const Rect outside{10, 0, 20, 10};
  Rect out{1, 1, 2, 2};
  PinholeCommand command(&page, true, 100, &outside, 36, true, 0);
  command.dustSizeEnabled = command.grayDustEnabled = true;
  EXPECT_FALSE(command.execute(&history, out, nullptr, nullptr));
  EXPECT_EQ(out, Rect{});
  EXPECT_FALSE(history.canUndo());
  EXPECT_EQ(page.row(5)[5], 0);
  QuillaneImage empty;
  PinholeCommand onEmpty(&empty, true, 100, nullptr, 36, true, 0);
  EXPECT_FALSE(onEmpty.execute(&history, out, nullptr, nullptr));
}

TEST_F(PinholeCommandTest, ProgressIsAskedFirstAndToldAtTheEnd) {
  QuillaneImage page = filledPage(10, 10, 255);
  page.row(5)[5] = 0;
  struct Log {
    std::vector<int> calls;
    bool answer = true;
  } log;
  auto callback = [](int percent, void* user) {
    auto* l = static_cast<Log*>(user);
    l->calls.push_back(percent);
    return l->answer;
  };
  PinholeCommand command(&page, true, 100, nullptr, 36, true, 0);
  command.dustSizeEnabled = command.grayDustEnabled = true;
  auto copy = command.clone();
  log.answer = false;
  Rect out;
  EXPECT_FALSE(command.execute(nullptr, out, callback, &log));
  EXPECT_EQ(log.calls, (std::vector<int>{0}));
  EXPECT_EQ(page.row(5)[5], 0);
  log = {};
  EXPECT_TRUE(copy->execute(nullptr, out, callback, &log));
  EXPECT_EQ(log.calls, (std::vector<int>{0, 100}));
  EXPECT_EQ(page.row(5)[5], 255);
}

TEST_F(PinholeCommandTest, StrokeOfManyDabsIsOneUndoStep) {
  QuillaneImage page = filledPage(60, 40, 255);
  for (int x = 3; x < 57; x += 4) page.row(20)[x] = page.row(21)[x] = 0;
  const auto before = bytes(page);
  UndoHistory history;
  history.beginStep();  // the first dab of the stroke
  for (double x = 4; x < 56; x += 1.5) {
    const Rect r = dab(x, 20.5, 7);
    ASSERT_TRUE(run(page, true, 100, &r, 4, false, 7, &history));
  }
  const auto after = bytes(page);
  EXPECT_NE(after, before);
  EXPECT_EQ(page.row(20)[31], 255);
  EXPECT_EQ(history.undoSteps(), 1);
  history.undo(page);
  EXPECT_EQ(bytes(page), before);
  EXPECT_FALSE(history.canUndo());
  history.redo(page);
  EXPECT_EQ(bytes(page), after);
}

TEST(PinholeCommandEngine, MissingEngineFailsAndLeavesNothing) {
  EngineBinding::unbind();
  ASSERT_FALSE(EngineBinding::bind(std::filesystem::temp_directory_path().string()));
  QuillaneImage page = filledPage(10, 10, 255);
  page.row(5)[5] = 0;
  page.row(2)[2] = 230;
  const auto before = bytes(page);
  UndoHistory history;
  history.beginStep();
  EXPECT_FALSE(run(page, true, 100, nullptr, 36, true, 0, &history));
  EXPECT_EQ(bytes(page), before);
  EXPECT_FALSE(history.canUndo());
  QuillaneImage mask;
  EXPECT_EQ(computeDustDiagnosis(page, mask, {0, 0, 10, 10}, {}), Rect::none());
}

TEST(PinholeCommandEngine, EngineWithoutPinholeFailsAndLeavesNothing) {
  EngineBinding::unbind();
  ASSERT_TRUE(EngineBinding::bind(QUILLANE_TEST_ENGINE_NO_PINHOLE));
  QuillaneImage page = filledPage(10, 10, 255);
  page.row(5)[5] = 0;
  const auto before = bytes(page);
  UndoHistory history;
  history.beginStep();
  EXPECT_FALSE(run(page, true, 100, nullptr, 36, true, 0, &history));
  EXPECT_EQ(bytes(page), before);
  EXPECT_FALSE(history.canUndo());
  EngineBinding::unbind();
}

TEST_F(PinholeCommandTest, DiagnosisFlagsWhatTheRemovalWouldChange) {
  QuillaneImage page = filledPage(80, 60, 255);
  page.row(10)[10] = 0;                               // speck: removed
  page.row(30)[40] = 210;                             // gray: snapped (t = 100 -> 156)
  for (int y = 40; y < 50; ++y) page.row(y)[60] = 0;  // a line of 10: stays (dust 4)
  page.row(5)[75] = 0;                                // outside the area's reach
  const auto before = bytes(page);
  QuillaneImage mask;
  DustSettings settings;
  settings.threshold = 100;
  settings.dustSize = 4;
  const Rect changed = computeDustDiagnosis(page, mask, {5, 5, 65, 55}, settings);
  EXPECT_EQ(changed, (Rect{0, 0, 70, 60}));
  EXPECT_EQ(bytes(page), before);  // the page itself is never touched
  ASSERT_EQ(mask.width(), 80);
  ASSERT_EQ(mask.height(), 60);
  // The flags must equal a real removal over the same rectangle.
  QuillaneImage removed = filledPage(80, 60, 0);
  std::copy(before.begin(), before.end(), removed.pixels());
  ASSERT_TRUE(run(removed, true, 100, &changed, 4));
  for (int y = changed.top; y < changed.bottom; ++y)
    for (int x = changed.left; x < changed.right; ++x)
      ASSERT_EQ(mask.row(y)[x], removed.row(y)[x] != page.row(y)[x] ? 0xFF : 0) << x << "," << y;
  EXPECT_EQ(mask.row(10)[10], 0xFF);
  EXPECT_EQ(mask.row(30)[40], 0xFF);
  EXPECT_EQ(mask.row(45)[60], 0);
  EXPECT_EQ(computeDustDiagnosis(page, mask, {200, 200, 300, 300}, settings), Rect::none());
}

}  // namespace
}  // namespace quillane
