#include "tonvale/TonvaleParameter.h"
#include "tonvale/TonvalePlugin.h"

#include "NoticeRecorder.h"

#include <gtest/gtest.h>

namespace {

using tonvale::TonvaleParameter;
using Record = TonvaleParameter::Record;

TEST(DensityParameter, ModeNumbersReachButtonsPresetsAndUserModes) {
  TonvaleParameter p;
  const char* presetNames[] = {"普通にクッキリ",     "白めにクッキリ",     "黒めにクッキリ",
                               "線を太めにクッキリ", "線を細めにクッキリ", "下書きを消す"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(p.getAutoAdjustParameter(2 + i).MODE_NAME, presetNames[i]);
  EXPECT_EQ(p.getAutoAdjustParameter(4).SHADOW_LEVEL_COMPENSATION, 100);
  EXPECT_EQ(p.getAutoAdjustParameter(7).HIGHLIGHT_LEVEL_COMPENSATION, 100);
  EXPECT_EQ(p.getAutoAdjustParameter(6).GAMMA, 0.1);
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(p.getAutoAdjustParameter(8 + i).MODE_NAME,
              "ユーザークッキリ" + std::to_string(i + 1));
  EXPECT_EQ(p.getAutoAdjustParameter(0).MODE_NAME, "ユーザークッキリ1");
  EXPECT_EQ(p.getAutoAdjustParameter(1).MODE_NAME, "ユーザークッキリ2");
  EXPECT_EQ(p.getUserButtonParameterOriginalNumber(0), 8);
  EXPECT_EQ(p.getUserButtonParameterOriginalNumber(1), 9);

  Record custom;
  custom.MODE_NAME = "線";
  custom.GAMMA = 2.5;
  p.setUserButtonParameter(custom, 1);
  p.setSelectedMode(1);
  EXPECT_EQ(p.getRecord(), custom);
  EXPECT_EQ(p.getSelectedMode(), 1);
  p.setSelectedMode(16);  // out of range: nothing changes
  p.setSelectedMode(-1);
  EXPECT_EQ(p.getRecord(), custom);
  EXPECT_EQ(p.getSelectedMode(), 1);
}

TEST(DensityParameter, CopiesTakeTheCurrentRecordOnly) {
  TonvaleParameter source;
  Record mine;
  mine.MODE_NAME = "mine";
  source.setUserParameter(mine, 0);
  source.setUserButtonParameterOriginalNumber(999, 0);
  source.setIniPaths("/d", "/d/TonvalePlugin.ini");
  source.setSelectedMode(8);

  const TonvaleParameter copy(source);
  EXPECT_EQ(copy.getRecord().MODE_NAME, "mine");
  EXPECT_EQ(copy.getUserParameter(0).MODE_NAME, "ユーザークッキリ1");
  EXPECT_EQ(copy.getUserButtonParameterOriginalNumber(0), 8);
  EXPECT_EQ(copy.getIniFilePath(), "");

  TonvaleParameter target;
  Record theirs;
  theirs.MODE_NAME = "theirs";
  target.setUserParameter(theirs, 3);
  target = source;
  EXPECT_EQ(target.getRecord().MODE_NAME, "mine");
  EXPECT_EQ(target.getUserParameter(3).MODE_NAME, "theirs");
  EXPECT_EQ(target.getUserParameter(0).MODE_NAME, "ユーザークッキリ1");
}

TEST(DensityParameter, ModeNameRules) {
  struct Case {
    const char* name;
    bool accepted;
    const char* message;
  };
  const Case cases[] = {
      {"普通にクッキリです", true, nullptr},  // 9 double-byte characters
      {"普通にクッキリです２", false, "モード名が長すぎます。（9文字以内）"},
      {"abcdefghi", true, nullptr},
      {"", false, "モード名を入力してください。"},
      {"線*", false, "モード名に*が含まれています。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NoticeRecorder recorder;
    EXPECT_EQ(TonvaleParameter::isSafeModeName(c.name), c.accepted);
    if (c.message == nullptr) {
      EXPECT_TRUE(recorder.notices.empty());
    } else {
      ASSERT_EQ(recorder.notices.size(), 1u);
      EXPECT_EQ(recorder.notices[0].text, c.message);
      EXPECT_EQ(recorder.notices[0].icon, common::NoticeIcon::Stop);
    }
  }
}

TEST(DensityParameter, HyphenationStripsTheButtonDecorationOnly) {
  EXPECT_EQ(TonvaleParameter::modeNameHyphenation("[普通にクッキリ]ボタン"), "普通にクッキリ");
  EXPECT_EQ(TonvaleParameter::modeNameHyphenation("[abc]ボタン"), "abc");
  EXPECT_EQ(TonvaleParameter::modeNameHyphenation("[]ボタン"), "");
  EXPECT_EQ(TonvaleParameter::modeNameHyphenation("[ab"), "[ab");
  EXPECT_EQ(TonvaleParameter::modeNameHyphenation("abc]ボタン"), "abc]ボタン");
  EXPECT_EQ(TonvaleParameter::modeNameHyphenation("[abc]"), "[abc]");
  EXPECT_EQ(TonvaleParameter::modeNameHyphenation("ユーザークッキリ3"), "ユーザークッキリ3");
}

TEST(DensityPlugin, ButtonCaptionsAndModes) {
  tonvale::TonvalePlugin plugin;
  EXPECT_EQ(plugin.tvlTest(2, 3), 5);
  EXPECT_EQ(plugin.GetUserButtonModeName(0), "ユーザークッキリ1");
  EXPECT_EQ(plugin.GetUserModeName(7), "ユーザークッキリ8");
  EXPECT_FALSE(plugin.GetUserButtonModeisSaved(1));
  plugin.parameters().setUserButtonParameterOriginalNumber(999, 1);
  EXPECT_TRUE(plugin.GetUserButtonModeisSaved(1));
  plugin.SetMode(7);
  EXPECT_EQ(plugin.parameters().getRecord().MODE_NAME, "下書きを消す");
}

}  // namespace
