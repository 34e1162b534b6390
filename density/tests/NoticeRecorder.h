#pragma once
// Records every notice shown while it lives, answering with the default button.
#include <common/Notice.h>

#include <string>
#include <vector>

struct RecordedNotice {
  std::string text;
  common::NoticeIcon icon;
  common::NoticeButtons buttons;
};

class NoticeRecorder {
 public:
  NoticeRecorder()
      : scope_([this](const std::string& text, common::NoticeIcon icon,
                      common::NoticeButtons buttons) {
          notices.push_back({text, icon, buttons});
          return common::defaultAnswer(buttons);
        }) {}

  std::vector<RecordedNotice> notices;

 private:
  common::ScopedNoticeHandler scope_;
};
