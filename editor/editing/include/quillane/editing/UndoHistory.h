#pragma once
// UndoHistory: the editor's undo and redo of pixel edits.
//
// A command saves the page pixels of every rectangle it is about to change
// into the newest undo step (addPatch) before it writes. Undo swaps the saved
// rectangles with the page: it first saves the current pixels of each
// rectangle into a new redo step, then copies the saved pixels back. Redo
// copies the redo step's rectangles back and hands the undo step back to the
// undo side. Commands themselves are never kept or replayed.
//
// Each side keeps at most kDepth steps; pushing beyond that destroys the
// oldest step of that side. Within a step, patches are restored newest first
// on both sides, which reproduces the exact page state even when the
// rectangles of one step overlap.
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "quillane/model/QuillaneImage.h"
#include "quillane/model/Rect.h"

namespace quillane {

class UndoHistory {
 public:
  /// Largest number of steps kept on each side.
  static constexpr int kDepth = 10;

  UndoHistory();
  ~UndoHistory();
  UndoHistory(const UndoHistory&) = delete;
  UndoHistory& operator=(const UndoHistory&) = delete;

  /// Destroys the whole redo side, pushes a new empty step on the undo side
  /// and destroys the oldest undo steps beyond kDepth. Called when an edit
  /// begins, when a page is opened and when it is saved (no undo past those).
  void beginStep();

  /// Saves the pixels of rect (page pixels; may reach outside the page, the
  /// outside part is kept as 0 and never written back) as a new patch at the
  /// front of the newest undo step. False when there is no undo step, rect is
  /// empty or memory runs out; nothing is added then.
  bool addPatch(const FilterImageData& page, const Rect& rect);

  /// Removes and destroys the newest patch of the newest undo step (a command
  /// that fails after saving takes its patch back). Nothing happens when
  /// there is no step or the step has no patch.
  void dropLastPatch();

  /// Copies the newest patch of the newest undo step back into page (a
  /// command that fails after it began writing puts the pixels back before it
  /// drops its patch). False when there is no such patch or the copy fails.
  bool restoreLastPatch(FilterImageData& page) const;

  /// Undoes the newest undo step on page and returns the union of the
  /// restored rectangles, or Rect::none() when there is no undo step, the
  /// step holds no patch (it is consumed all the same), or memory runs out
  /// while saving the redo pixels (the page and both sides are then left as
  /// they were).
  Rect undo(FilterImageData& page);

  /// Redoes the newest redo step on page and returns the union of the
  /// restored rectangles; Rect::none() when there is no redo step or the step
  /// holds no patch.
  Rect redo(FilterImageData& page);

  /// True when the newest undo step holds a patch: the page differs from its
  /// opened or saved state and undo is offered.
  bool canUndo() const;
  /// True when there is a redo step.
  bool canRedo() const;

  /// Number of steps on each side.
  int undoSteps() const { return static_cast<int>(undo_.size()); }
  int redoSteps() const { return static_cast<int>(redo_.size()); }

  /// Destroys both sides.
  void clear();

 private:
  struct Patch {
    std::unique_ptr<QuillaneImage> pixels;  ///< stride = width * bytes a pixel
    Rect rect;
  };
  struct Step {
    std::vector<Patch> patches;         ///< oldest first; restored from the back
    std::unique_ptr<Step> counterpart;  ///< on a redo step: the undo step it reverses
  };
  using Side = std::deque<std::unique_ptr<Step>>;  ///< newest at the back

  static void push(Side& side, std::unique_ptr<Step> step);
  static bool restore(const Patch& patch, FilterImageData& page);

  Side undo_;
  Side redo_;
};

}  // namespace quillane
