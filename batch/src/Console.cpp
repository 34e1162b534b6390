// Report, notices and progress on the terminal; see Console.h.
#include "Console.h"

#include <cstdio>

#include "common/Notice.h"

namespace batch {
namespace {

thread_local std::string tCurrentPage;

}  // namespace

Console::Console(bool quiet, bool json, bool progress)
    : quiet_(quiet), json_(json), progress_(progress && !quiet) {
  common::setNoticeHandler(
      [this](const std::string& text, common::NoticeIcon, common::NoticeButtons buttons) {
        noticeLine(text);
        return common::defaultAnswer(buttons);
      });
}

Console::~Console() {
  common::setNoticeHandler({});
  std::lock_guard lock(mutex_);
  clearBar();
}

void Console::setCurrentPage(const std::string& page) { tCurrentPage = page; }

void Console::noticeLine(const std::string& text) {
  std::lock_guard lock(mutex_);
  clearBar();
  if (tCurrentPage.empty())
    std::fprintf(stderr, "tavelmor-batch: %s\n", text.c_str());
  else
    std::fprintf(stderr, "tavelmor-batch: %s: %s\n", tCurrentPage.c_str(), text.c_str());
  std::fflush(stderr);
  drawBar();
}

void Console::error(const std::string& text) { common::notice(text, common::NoticeIcon::Stop); }

void Console::page(const PageReport& report, size_t done, size_t total) {
  std::lock_guard lock(mutex_);
  clearBar();
  if (!quiet_) {
    std::fprintf(stdout, "%s\n", (json_ ? jsonLine(report) : textLine(report)).c_str());
    std::fflush(stdout);
  } else if (report.status != PageStatus::Cleaned) {
    std::fprintf(stderr, "tavelmor-batch: %s\n", textLine(report).c_str());
    std::fflush(stderr);
  }
  done_ = done;
  total_ = total;
  drawBar();
}

void Console::progress(size_t done, size_t total) {
  std::lock_guard lock(mutex_);
  clearBar();
  done_ = done;
  total_ = total;
  drawBar();
}

void Console::summary(const std::string& text) {
  std::lock_guard lock(mutex_);
  clearBar();
  progress_ = false;
  if (quiet_) return;
  std::fprintf(json_ ? stderr : stdout, "%s\n", text.c_str());
  std::fflush(json_ ? stderr : stdout);
}

void Console::clearBar() {
  if (!barShown_) return;
  std::fputs("\r\033[K", stderr);
  barShown_ = false;
}

void Console::drawBar() {
  if (!progress_ || total_ == 0) return;
  constexpr size_t kWidth = 30;
  const size_t filled = done_ * kWidth / total_;
  std::string bar(filled, '#');
  bar.resize(kWidth, '.');
  std::fprintf(stderr, "\r[%s] %zu/%zu pages", bar.c_str(), done_, total_);
  std::fflush(stderr);
  barShown_ = true;
}

}  // namespace batch
