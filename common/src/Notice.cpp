#include "common/Notice.h"

#include <cstdio>
#include <mutex>

namespace common {
namespace {

std::recursive_mutex& noticeMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

NoticeHandler& currentHandler() {
  static NoticeHandler handler;
  return handler;
}

NoticeAnswer printToStderr(const std::string& text, NoticeIcon, NoticeButtons buttons) {
  std::fprintf(stderr, "%s\n", text.c_str());
  return defaultAnswer(buttons);
}

}  // namespace

NoticeAnswer defaultAnswer(NoticeButtons buttons) {
  return buttons == NoticeButtons::YesNoCancel ? NoticeAnswer::Yes : NoticeAnswer::Ok;
}

NoticeAnswer notice(const std::string& text, NoticeIcon icon, NoticeButtons buttons) {
  std::lock_guard<std::recursive_mutex> lock(noticeMutex());
  const NoticeHandler& handler = currentHandler();
  return handler ? handler(text, icon, buttons) : printToStderr(text, icon, buttons);
}

NoticeHandler setNoticeHandler(NoticeHandler handler) {
  std::lock_guard<std::recursive_mutex> lock(noticeMutex());
  NoticeHandler previous = std::move(currentHandler());
  currentHandler() = std::move(handler);
  return previous;
}

}  // namespace common
