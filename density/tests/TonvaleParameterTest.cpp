#include "tonvale/TonvaleParameter.h"
#include "tonvale/TonvalePlugin.h"

#include "NoticeRecorder.h"

#include <gtest/gtest.h>

namespace {

using tonvale::TonvaleParameter;
using Record = TonvaleParameter::Record;

TEST(DensityParameter, ModeNumbersReachButtonsPresetsAndUserModes) {
  tonvale::TonvalePlugin plugin;
  const TonvaleParameter& p = plugin.parameters();
  EXPECT_EQ(p.getAutoAdjustParameter(4).MODE_NAME, "黒めにクッキリ");
  EXPECT_EQ(p.getAutoAdjustParameter(4).SHADOW_LEVEL_COMPENSATION, 100);
  EXPECT_EQ(p.getAutoAdjustParameter(6).GAMMA, 0.1);
  EXPECT_EQ(p.getAutoAdjustParameter(15).MODE_NAME, "ユーザークッキリ8");
  EXPECT_EQ(plugin.GetUserButtonModeName(1), "ユーザークッキリ2");
  EXPECT_EQ(p.getUserButtonParameterOriginalNumber(1), 9);
  EXPECT_FALSE(plugin.GetUserButtonModeisSaved(1));
  plugin.parameters().setUserButtonParameterOriginalNumber(999, 1);
  EXPECT_TRUE(plugin.GetUserButtonModeisSaved(1));

  Record custom;
  custom.MODE_NAME = "線";
  custom.GAMMA = 2.5;
  plugin.parameters().setUserButtonParameter(custom, 1);
  plugin.SetMode(1);
  EXPECT_EQ(p.getRecord(), custom);
  plugin.SetMode(7);
  EXPECT_EQ(p.getRecord().MODE_NAME, "下書きを消す");
  plugin.SetMode(16);  // out of range: nothing changes
  EXPECT_EQ(p.getRecord().MODE_NAME, "下書きを消す");
  EXPECT_EQ(p.getSelectedMode(), 7);
}

TEST(DensityParameter, CopiesTakeTheCurrentRecordOnly) {
  TonvaleParameter source;
  Record mine;
  mine.MODE_NAME = "mine";
  source.setUserParameter(mine, 0);
  source.setIniPaths("/d", "/d/TonvalePlugin.ini");
  source.setSelectedMode(8);
  const TonvaleParameter copy(source);
  EXPECT_EQ(copy.getRecord().MODE_NAME, "mine");
  EXPECT_EQ(copy.getUserParameter(0).MODE_NAME, "ユーザークッキリ1");
  EXPECT_EQ(copy.getIniFilePath(), "");

  TonvaleParameter target;
  target.setUserParameter(mine, 3);
  target = TonvaleParameter();
  EXPECT_EQ(target.getRecord().MODE_NAME, "普通にクッキリ");
  EXPECT_EQ(target.getUserParameter(3).MODE_NAME, "mine");
}

TEST(DensityParameter, ModeNameRules) {
  const char* tooLong = "モード名が長すぎます。（9文字以内）";
  const std::pair<const char*, const char*> cases[] = {
      {"普通にクッキリです", nullptr},  // 9 double-byte characters
      {"普通にクッキリです２", tooLong},    {"abcdefghi", nullptr},
      {"", "モード名を入力してください。"}, {"線*", "モード名に*が含まれています。"},
  };
  for (const auto& [name, message] : cases) {
    SCOPED_TRACE(name);
    NoticeRecorder recorder;
    EXPECT_EQ(TonvaleParameter::isSafeModeName(name), message == nullptr);
    ASSERT_EQ(recorder.notices.size(), message == nullptr ? 0u : 1u);
    if (message == nullptr) continue;
    EXPECT_EQ(recorder.notices[0].text, message);
    EXPECT_EQ(recorder.notices[0].icon, common::NoticeIcon::Stop);
  }
}

TEST(DensityParameter, HyphenationStripsTheButtonDecorationOnly) {
  EXPECT_EQ(TonvaleParameter::modeNameHyphenation("[普通にクッキリ]ボタン"), "普通にクッキリ");
  EXPECT_EQ(TonvaleParameter::modeNameHyphenation("[]ボタン"), "");
  EXPECT_EQ(TonvaleParameter::modeNameHyphenation("[ab"), "[ab");
  EXPECT_EQ(TonvaleParameter::modeNameHyphenation("abc]ボタン"), "abc]ボタン");
  EXPECT_EQ(TonvaleParameter::modeNameHyphenation("[abc]"), "[abc]");
}

}  // namespace
