#include "common/Notice.h"

#include <gtest/gtest.h>

#include <vector>

using namespace common;

TEST(Notice, HandlerIsReplacedAndRestored) {
  std::vector<std::string> seen;
  {
    ScopedNoticeHandler recorder([&](const std::string& text, NoticeIcon icon, NoticeButtons) {
      seen.push_back(text + (icon == NoticeIcon::Stop ? "!" : ""));
      return NoticeAnswer::No;
    });
    EXPECT_EQ(notice("ユーザー設定", NoticeIcon::Stop, NoticeButtons::YesNoCancel),
              NoticeAnswer::No);
  }
  EXPECT_EQ(seen, std::vector<std::string>{"ユーザー設定!"});
  // The default handler prints and answers the default button.
  EXPECT_EQ(notice("x", NoticeIcon::None, NoticeButtons::YesNoCancel), NoticeAnswer::Yes);
  EXPECT_EQ(notice("x", NoticeIcon::None), NoticeAnswer::Ok);
  EXPECT_EQ(seen.size(), 1u);
}
