// PinholeCommand: construction, brush discs, the band at the page edges, the
// criteria switches, failures, undo of strokes, and the diagnosis.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
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

// Runs a command with both criteria set as given; changed receives its out rectangle.
bool run(QuillaneImage& page, bool white, int t, const Rect* rect, int dust, bool whole = true,
         uint32_t diameter = 0, UndoHistory* history = nullptr, bool dustOn = true,
         bool grayOn = true, Rect* changed = nullptr) {
  PinholeCommand command(&page, white, t, rect, dust, whole, diameter);
  command.dustSizeEnabled = dustOn;
  command.grayDustEnabled = grayOn;
  Rect out{1, 1, 2, 2};  // execute must set it either way
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

class PinholeCommandTest : public EngineFixture {};

TEST_F(PinholeCommandTest, BrushDiscSnapsOnlyInsideDiscAndRect) {
  // Gray 200 everywhere, t = 64 (threshold byte 192), no dust criterion: the
  // pixels that were binarised and lie in R become 255.
  for (auto [d, r, lo, hi] :
       {std::tuple{5, Rect{8, 8, 13, 13}, 8, 12}, std::tuple{4, Rect{8, 8, 12, 12}, 9, 11}}) {
    QuillaneImage page = filledPage(24, 24, 200);
    EXPECT_EQ(dab(10, 10, d), r);
    Rect changed;
    ASSERT_TRUE(run(page, true, 64, &r, 36, false, d, nullptr, false, true, &changed));
    EXPECT_EQ(changed, r);
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 24; ++x) {
        const bool inside = x >= lo && x <= hi && y >= lo && y <= hi;
        EXPECT_EQ(page.row(y)[x], inside ? 255 : 200) << d << ": " << x << "," << y;
      }
  }
}

TEST_F(PinholeCommandTest, BandNeverReadsTheOuterColumnOrRow) {
  // A 2-pixel speck next to the rectangle's edge is removed only when the
  // band reaches one pixel beyond it; at left (top) edge 1 and right edge
  // width - 1 the band stops short of the outermost column (row) and the
  // speck survives. Where R itself includes the outermost column, it is read.
  struct Case {
    Rect rect;
    int x, y, dx, dy;  // the speck: (x, y) and (x + dx, y + dy)
    bool removed;
  };
  const int w = 20, h = 20;
  for (Case c :
       {Case{{1, 2, 6, 9}, 1, 5, 1, 0, false}, Case{{2, 2, 6, 9}, 2, 5, 1, 0, true},
        Case{{12, 2, w - 1, 9}, w - 3, 5, 1, 0, false},
        Case{{12, 2, w - 2, 9}, w - 4, 5, 1, 0, true}, Case{{0, 2, 6, 9}, 0, 5, 1, 0, true},
        Case{{2, 1, 9, 6}, 5, 1, 0, 1, false}, Case{{2, 2, 9, 6}, 5, 2, 0, 1, true}}) {
    QuillaneImage page = filledPage(w, h, 255);
    page.row(c.y)[c.x] = page.row(c.y + c.dy)[c.x + c.dx] = 0;
    ASSERT_TRUE(run(page, true, 100, &c.rect, 36));
    EXPECT_EQ(page.row(c.y)[c.x] == 255, c.removed) << "speck at " << c.x << "," << c.y;
    EXPECT_EQ(page.row(c.y + c.dy)[c.x + c.dx] == 255, c.removed) << c.x << "," << c.y;
  }
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

TEST_F(PinholeCommandTest, FailuresLeaveNoPatchAndProgressFramesTheWork) {
  QuillaneImage page = filledPage(10, 10, 255), empty;
  page.row(5)[5] = 0;
  UndoHistory history;
  history.beginStep();
  // A rectangle wholly outside the page, or an empty page: false, no patch.
  const Rect outside{10, 0, 20, 10};
  Rect out;
  EXPECT_FALSE(run(page, true, 100, &outside, 36, true, 0, &history, true, true, &out));
  EXPECT_EQ(out, Rect{});
  EXPECT_FALSE(run(empty, true, 100, nullptr, 36, true, 0, &history));
  EXPECT_FALSE(history.canUndo());
  EXPECT_EQ(page.row(5)[5], 0);

  // The progress callback is asked with 0 before any work (false stops) and
  // told 100 after success; a clone does the same work.
  struct Log {
    std::vector<int> calls;
    bool answer = false;
  } log;
  auto callback = [](int percent, void* user) {
    static_cast<Log*>(user)->calls.push_back(percent);
    return static_cast<Log*>(user)->answer;
  };
  const Rect disc = dab(5, 5, 5);
  PinholeCommand command(&page, true, 100, &disc, 36, false, 5);
  command.dustSizeEnabled = command.grayDustEnabled = true;
  auto copy = command.clone();
  EXPECT_FALSE(command.execute(nullptr, out, callback, &log));
  EXPECT_EQ(log.calls, (std::vector<int>{0}));
  EXPECT_EQ(page.row(5)[5], 0);
  log = {{}, true};
  EXPECT_TRUE(copy->execute(nullptr, out, callback, &log));
  EXPECT_EQ(log.calls, (std::vector<int>{0, 100}));
  EXPECT_EQ(out, disc);
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

TEST(PinholeCommandEngine, MissingEngineOrPinholeFailsAndLeavesNothing) {
  for (const char* folder : {"/nonexistent", QUILLANE_TEST_ENGINE_NO_PINHOLE}) {
    EngineBinding::unbind();
    EXPECT_EQ(EngineBinding::bind(folder), folder != std::string("/nonexistent"));
    QuillaneImage page = filledPage(10, 10, 255);
    page.row(5)[5] = 0;
    page.row(2)[2] = 230;
    const auto before = bytes(page);
    UndoHistory history;
    history.beginStep();
    EXPECT_FALSE(run(page, true, 100, nullptr, 36, true, 0, &history)) << folder;
    EXPECT_EQ(bytes(page), before);
    EXPECT_FALSE(history.canUndo());
    QuillaneImage mask;
    EXPECT_EQ(computeDustDiagnosis(page, mask, {0, 0, 10, 10}, {}), Rect::none());
  }
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
