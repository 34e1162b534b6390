#pragma once
// Console: everything tavelmor-batch shows while it runs.
//
//   stdout  the report: one line per page in input order (text or JSON) and,
//           for text, the summary
//   stderr  notices (the editor's and the density library's messages, the
//           batch tool's own errors), prefixed with the page they concern;
//           the progress bar, only when stderr is a terminal
// Notices never wait for an answer: the default button is taken, as a user
// pressing Enter would. All output goes through one lock, so lines of
// parallel jobs never mix and the progress bar is cleared before a line is
// written and drawn again after it.
#include <cstddef>
#include <mutex>
#include <string>

#include "PageReport.h"

namespace batch {

class Console {
 public:
  /// quiet: no report lines, summary or progress (failures still go to
  /// stderr); json: JSON report lines, summary on stderr; progress: draw the
  /// bar (the caller decides, normally when stderr is a terminal).
  Console(bool quiet, bool json, bool progress);
  ~Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  /// Names the page the calling thread works on, for the notices it raises
  /// (empty: none).
  static void setCurrentPage(const std::string& page);

  /// Shows a message of the tool itself as a stop notice, which the
  /// installed handler prints on stderr ("tavelmor-batch: text").
  void error(const std::string& text);

  /// Reports a finished page (call in input order) and moves the bar to
  /// done of total.
  void page(const PageReport& report, size_t done, size_t total);
  /// Moves the progress bar only.
  void progress(size_t done, size_t total);
  /// The summary after the last page.
  void summary(const std::string& text);

 private:
  void clearBar();
  void drawBar();
  void noticeLine(const std::string& text);

  bool quiet_;
  bool json_;
  bool progress_;
  bool barShown_ = false;
  size_t done_ = 0;
  size_t total_ = 0;
  std::mutex mutex_;
};

}  // namespace batch
