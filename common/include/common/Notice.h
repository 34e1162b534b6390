#pragma once
// The message-box layer. Every text the system shows to its user goes through
// notice(), exactly as the product gives it. What a notice looks like depends
// on the process-wide handler: the editor installs one that shows a message
// box, the batch cleaner prints, and tests install a recorder.
//
// The default handler prints "text" to stderr and answers the default button
// (OK, or Yes for Yes/No/Cancel). Handlers may be called from several threads
// (the batch cleaner works in parallel); notice() serialises the calls.
#include <functional>
#include <string>

namespace common {

enum class NoticeIcon { None, Stop, Question, Exclamation };
enum class NoticeButtons { Ok, YesNoCancel };
enum class NoticeAnswer { Ok, Yes, No, Cancel };

using NoticeHandler =
    std::function<NoticeAnswer(const std::string& text, NoticeIcon icon, NoticeButtons buttons)>;

/// Shows text (UTF-8) with the icon and buttons and returns the user's answer.
NoticeAnswer notice(const std::string& text, NoticeIcon icon,
                    NoticeButtons buttons = NoticeButtons::Ok);

/// Replaces the process-wide handler and returns the previous one. An empty
/// handler restores the default.
NoticeHandler setNoticeHandler(NoticeHandler handler);

/// The answer the default handler gives: the default button of the set.
NoticeAnswer defaultAnswer(NoticeButtons buttons);

/// Installs a handler for the lifetime of the object and restores the
/// previous one afterwards (tests, the batch cleaner's quiet mode).
class ScopedNoticeHandler {
 public:
  explicit ScopedNoticeHandler(NoticeHandler handler)
      : previous_(setNoticeHandler(std::move(handler))) {}
  ~ScopedNoticeHandler() { setNoticeHandler(std::move(previous_)); }
  ScopedNoticeHandler(const ScopedNoticeHandler&) = delete;
  ScopedNoticeHandler& operator=(const ScopedNoticeHandler&) = delete;

 private:
  NoticeHandler previous_;
};

}  // namespace common
