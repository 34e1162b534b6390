#pragma once
// Command: one change of page pixels. A tool handler creates a command on the
// stack, executes it once and destroys it; undo works on the pixels the
// command saved, never by replaying commands.
//
// The execute protocol, the same for every command:
//  - out is emptied first (all 0) and receives the changed page rectangle on
//    success;
//  - progress (when given) is called as progress(0, user) before any work; a
//    false answer makes execute return false at once; after success it is
//    called as progress(100, user); long commands may call it in between with
//    percentages and stop (false) when it answers false;
//  - with a history, the command saves every rectangle it will change into
//    the history's newest step (UndoHistory::addPatch) before it writes, and
//    drops that patch again when it fails afterwards;
//  - failure is silent: false, the page and the history as they were.
#include <memory>

#include "quillane/model/Rect.h"

namespace quillane {

class UndoHistory;

/// Progress report: percent 0 ... 100; answer false to stop the command.
using ProgressCallback = bool (*)(int percent, void* user);

class Command {
 public:
  virtual ~Command() = default;

  /// A new command on the heap with every setting of this one.
  virtual std::unique_ptr<Command> clone() const = 0;

  /// Runs the command (see the protocol above). history and progress may be
  /// null; user is passed to progress unchanged.
  virtual bool execute(UndoHistory* history, Rect& out, ProgressCallback progress, void* user) = 0;

  /// Whether the command can run at all.
  virtual bool isValid() const = 0;

 protected:
  Command() = default;
  Command(const Command&) = default;
  Command& operator=(const Command&) = default;
};

}  // namespace quillane
