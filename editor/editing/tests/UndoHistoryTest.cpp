// Undo history: pixels before, after, after undo and after redo.
#include <gtest/gtest.h>

#include <vector>

#include "quillane/editing/UndoHistory.h"

namespace quillane {
namespace {

std::vector<uint8_t> snapshot(const QuillaneImage& page) {
  return std::vector<uint8_t>(page.pixels(), page.pixels() + page.size());
}

QuillaneImage makePage(int w, int h) {
  QuillaneImage page;
  EXPECT_TRUE(page.create(w, h, w, 1));
  for (int i = 0; i < page.size(); ++i) page.pixels()[i] = static_cast<uint8_t>(i * 7);
  return page;
}

// One edit the way a command does it: a patch of rect, then the writes.
void edit(UndoHistory& history, QuillaneImage& page, Rect rect, uint8_t value,
          bool newStep = true) {
  if (newStep) history.beginStep();
  ASSERT_TRUE(history.addPatch(page, rect));
  const Rect inside = rect.intersected({0, 0, page.width(), page.height()});
  for (int y = inside.top; y < inside.bottom; ++y)
    for (int x = inside.left; x < inside.right; ++x) page.row(y)[x] = value;
}

TEST(UndoHistory, ElevenEditsKeepTheLastTenBothWays) {
  QuillaneImage page = makePage(20, 20);
  UndoHistory history;
  std::vector<std::vector<uint8_t>> states{snapshot(page)};
  for (int i = 0; i < 11; ++i) {
    edit(history, page, {i, i, i + 5, i + 5}, static_cast<uint8_t>(200 + i));
    states.push_back(snapshot(page));
  }
  EXPECT_EQ(history.undoSteps(), UndoHistory::kDepth);
  for (int i = 10; i >= 1; --i) {
    EXPECT_EQ(history.undo(page), (Rect{i, i, i + 5, i + 5}));
    EXPECT_EQ(snapshot(page), states[i]) << "after undoing edit " << i;
  }
  EXPECT_FALSE(history.canUndo());
  EXPECT_EQ(history.undo(page), Rect::none());
  EXPECT_EQ(snapshot(page), states[1]);  // the first edit is out of reach
  EXPECT_EQ(history.redoSteps(), UndoHistory::kDepth);
  for (int i = 1; i <= 10; ++i) {
    EXPECT_EQ(history.redo(page), (Rect{i, i, i + 5, i + 5}));
    EXPECT_EQ(snapshot(page), states[i + 1]) << "after redoing edit " << i;
  }
  EXPECT_FALSE(history.canRedo());
  EXPECT_EQ(history.undo(page), (Rect{10, 10, 15, 15}));
  EXPECT_EQ(snapshot(page), states[10]);
}

TEST(UndoHistory, NewEditAfterUndoClearsRedo) {
  QuillaneImage page = makePage(10, 10);
  UndoHistory history;
  edit(history, page, {0, 0, 4, 4}, 1);
  history.undo(page);
  EXPECT_TRUE(history.canRedo());
  edit(history, page, {5, 5, 8, 8}, 2);
  const auto afterEdit = snapshot(page);
  EXPECT_FALSE(history.canRedo());
  EXPECT_EQ(history.redo(page), Rect::none());
  EXPECT_EQ(snapshot(page), afterEdit);
}

TEST(UndoHistory, FailedEditLeavesAnEmptyStep) {
  QuillaneImage page = makePage(10, 10);
  UndoHistory history;
  const auto before = snapshot(page);
  edit(history, page, {1, 1, 5, 5}, 99);
  const auto afterEdit = snapshot(page);
  // A failed edit: step begun, patch saved, then dropped again.
  history.beginStep();
  ASSERT_TRUE(history.addPatch(page, {0, 0, 10, 10}));
  history.dropLastPatch();
  EXPECT_FALSE(history.canUndo());
  EXPECT_EQ(history.undo(page), Rect::none());
  EXPECT_EQ(snapshot(page), afterEdit);
  EXPECT_EQ(history.undo(page), (Rect{1, 1, 5, 5}));
  EXPECT_EQ(snapshot(page), before);
}

TEST(UndoHistory, PatchRules) {
  QuillaneImage page = makePage(8, 8);
  const auto before = snapshot(page);
  UndoHistory history;
  // A patch needs a step, and so does restoring the newest one.
  EXPECT_FALSE(history.addPatch(page, {0, 0, 2, 2}));
  EXPECT_FALSE(history.restoreLastPatch(page));
  history.beginStep();
  EXPECT_FALSE(history.restoreLastPatch(page));
  // A patch reaching outside the page restores only the inside.
  edit(history, page, {-3, 5, 4, 12}, 0, false);
  ASSERT_TRUE(history.restoreLastPatch(page));
  EXPECT_EQ(snapshot(page), before);
  EXPECT_TRUE(history.canUndo());  // the patch stays until dropped
  edit(history, page, {-3, 5, 4, 12}, 0, false);
  EXPECT_EQ(history.undo(page), (Rect{-3, 5, 4, 12}));
  EXPECT_EQ(snapshot(page), before);
  history.redo(page);
  history.beginStep();  // opening or saving a page: nothing to undo any more
  EXPECT_FALSE(history.canUndo());
}

}  // namespace
}  // namespace quillane
