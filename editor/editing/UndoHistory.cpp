#include "quillane/editing/UndoHistory.h"

#include <new>

#include "quillane/model/ImageCopy.h"

namespace quillane {

UndoHistory::UndoHistory() = default;
UndoHistory::~UndoHistory() = default;

void UndoHistory::push(Side& side, std::unique_ptr<Step> step) {
  side.push_back(std::move(step));
  while (side.size() > static_cast<size_t>(kDepth)) side.pop_front();
}

bool UndoHistory::restore(const Patch& patch, FilterImageData& page) {
  const QuillaneImage& pixels = *patch.pixels;
  return copyClippedRect(pixels, page, Rect{0, 0, pixels.width(), pixels.height()}, patch.rect);
}

void UndoHistory::beginStep() {
  redo_.clear();
  push(undo_, std::make_unique<Step>());
}

bool UndoHistory::addPatch(const FilterImageData& page, const Rect& rect) {
  if (undo_.empty()) return false;
  try {
    auto pixels = crop(page, rect);
    if (!pixels) return false;
    undo_.back()->patches.push_back(Patch{std::move(pixels), rect});
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void UndoHistory::dropLastPatch() {
  if (undo_.empty() || undo_.back()->patches.empty()) return;
  undo_.back()->patches.pop_back();
}

bool UndoHistory::restoreLastPatch(FilterImageData& page) const {
  if (undo_.empty() || undo_.back()->patches.empty()) return false;
  return restore(undo_.back()->patches.back(), page);
}

Rect UndoHistory::undo(FilterImageData& page) {
  if (undo_.empty()) return Rect::none();
  Step& step = *undo_.back();

  // The redo step is built apart and pushed only when complete, so a failure
  // part-way destroys no old redo step and leaves the page as it was.
  std::unique_ptr<Step> counter;
  Rect changed{};
  try {
    counter = std::make_unique<Step>();
    counter->patches.reserve(step.patches.size());
    for (auto patch = step.patches.rbegin(); patch != step.patches.rend(); ++patch) {
      auto saved = crop(page, patch->rect);
      if (!saved) throw std::bad_alloc();
      counter->patches.push_back(Patch{std::move(saved), patch->rect});
      restore(*patch, page);
      changed = changed.united(patch->rect);
    }
  } catch (const std::bad_alloc&) {
    if (counter) {
      // Put back what was already restored, newest first again.
      for (auto patch = counter->patches.rbegin(); patch != counter->patches.rend(); ++patch) {
        restore(*patch, page);
      }
    }
    return Rect::none();
  }
  // The redo patches were saved in undo order; a redo restores them in the
  // opposite order, so that overlapping patches end in the edited state.
  const bool hadPatches = !step.patches.empty();
  counter->counterpart = std::move(undo_.back());
  undo_.pop_back();
  push(redo_, std::move(counter));
  return hadPatches ? changed : Rect::none();
}

Rect UndoHistory::redo(FilterImageData& page) {
  if (redo_.empty()) return Rect::none();
  std::unique_ptr<Step> counter = std::move(redo_.back());
  redo_.pop_back();
  Rect changed{};
  for (auto patch = counter->patches.rbegin(); patch != counter->patches.rend(); ++patch) {
    restore(*patch, page);
    changed = changed.united(patch->rect);
  }
  const bool hadPatches = !counter->patches.empty();
  push(undo_, std::move(counter->counterpart));
  return hadPatches ? changed : Rect::none();
}

bool UndoHistory::canUndo() const { return !undo_.empty() && !undo_.back()->patches.empty(); }

bool UndoHistory::canRedo() const { return !redo_.empty(); }

void UndoHistory::clear() {
  undo_.clear();
  redo_.clear();
}

}  // namespace quillane
