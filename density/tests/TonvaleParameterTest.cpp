// The parameter records, mode names and the settings file.
#include "tonvale/TonvaleIniFileIo.h"
#include "tonvale/TonvaleParameter.h"
#include "tonvale/TonvalePlugin.h"

#include "NoticeRecorder.h"

#include <common/IniFile.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using tonvale::TonvaleIniFileIo;
using tonvale::TonvaleParameter;
using tonvale::TonvalePlugin;
using Record = TonvaleParameter::Record;

const std::string kReinstall = "アプリケーションを再インストールすると直る可能性があります。";
const std::string kLoadFailed = "ユーザー設定の読み込みに失敗しました。\n" + kReinstall;
const std::string kSaveFailed = "ユーザー設定の書き込みに失敗しました。\n" + kReinstall;

TEST(DensityParameter, ModeNumbersReachButtonsPresetsAndUserModes) {
  tonvale::TonvalePlugin plugin;
  const TonvaleParameter& p = plugin.parameters();
  EXPECT_EQ(p.getAutoAdjustParameter(4).MODE_NAME, "黒めにクッキリ");
  EXPECT_EQ(p.getAutoAdjustParameter(6).MODE_NAME, "線を細めにクッキリ");
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

// "Section/KEY" -> new value, or nullopt to leave the key out.
using Changes = std::map<std::string, std::optional<std::string>>;

// A complete settings file unlike the built-in values: presets "P0".."P5",
// user modes "U0".."U7", buttons "B0", "B1" taken from modes 3 and 4.
std::string distinctFile(const Changes& changes = {}) {
  std::string text =
      "[CommonEnvironment]\r\nVERSION=0004\r\n[Environment]\r\nLAST_SELECTED_SECTION=2\r\n";
  const auto section = [&](const std::string& name, const std::string& mode, int shadow,
                           int origin) {
    text += "[" + name + "]\r\n";
    std::vector<std::pair<std::string, std::string>> keys = {
        {"MODE_NAME", mode},
        {"SHADOW_LEVEL_COMPENSATION", std::to_string(shadow)},
        {"HIGHLIGHT_LEVEL_COMPENSATION", "70"},
        {"ALLOW_DUST_RATE", "0.5"},
        {"GAMMA", "2"},
        {"TONE_SIZE", "5"},
        {"MARGIN_RATE", "3"},
        {"MASK_CREATE_TH_CONPENSATION", "12"}};
    if (origin >= 0) keys.emplace_back("ORIGINAL_RECODE", std::to_string(origin));
    for (const auto& [key, value] : keys) {
      const auto change = changes.find(name + "/" + key);
      if (change == changes.end())
        text += key + "=" + value + "\r\n";
      else if (change->second)
        text += key + "=" + *change->second + "\r\n";
    }
  };
  for (int i = 0; i < 14; ++i)
    section("TonvaleMode_" + std::to_string(i),
            i < 6 ? "P" + std::to_string(i) : "U" + std::to_string(i - 6), 10 + i, -1);
  for (int i = 0; i < 2; ++i)
    section("TonvaleUserButtonMode_" + std::to_string(i), "B" + std::to_string(i), 40 + i, 3 + i);
  return text;
}

std::vector<Record> allRecords(const TonvaleParameter& p) {
  std::vector<Record> records;
  for (int mode = 0; mode < TonvaleParameter::kModeCount; ++mode)
    records.push_back(p.getAutoAdjustParameter(mode));
  return records;
}

class DensitySettingsFile : public testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        fs::temp_directory_path() / ("tonvale-" + std::to_string(::getpid()) + "-" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string iniPath() const { return (folder_ / "TonvalePlugin.ini").string(); }
  void write(const std::string& bytes) const {
    std::ofstream(iniPath(), std::ios::binary) << bytes;
  }
  std::string read() const {
    std::ifstream in(iniPath(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path folder_;
  NoticeRecorder recorder_;
};

TEST_F(DensitySettingsFile, LoadsAllSixteenSectionsWithTheKeyRules) {
  write(distinctFile({{"TonvaleMode_7/MARGIN_RATE", "7.9"},         // truncated to 7
                      {"TonvaleMode_8/GAMMA", "-0.5"},              // truncates to 0: accepted
                      {"TonvaleMode_9/ALLOW_DUST_RATE", "abc"}}));  // no number reads 0
  TonvalePlugin plugin;
  EXPECT_TRUE(plugin.SetIniFilePath(folder_.string()));
  EXPECT_TRUE(recorder_.notices.empty());
  EXPECT_EQ(plugin.GetIniFilePath(), iniPath());
  const TonvaleParameter& p = plugin.parameters();
  const Record preset5 = p.getAutoAdjustParameter(7);
  EXPECT_EQ(preset5.MODE_NAME, "P5");
  EXPECT_EQ(preset5.SHADOW_LEVEL_COMPENSATION, 15);
  EXPECT_EQ(preset5.HIGHLIGHT_LEVEL_COMPENSATION, 70);
  EXPECT_EQ(preset5.ALLOW_DUST_RATE, 0.5);
  EXPECT_EQ(preset5.GAMMA, 2.0);
  EXPECT_EQ(preset5.TONE_SIZE, 5);
  EXPECT_EQ(preset5.MARGIN_RATE, 3);
  EXPECT_EQ(preset5.MASK_CREATE_TH_CONPENSATION, 12);
  EXPECT_EQ(plugin.GetUserModeName(7), "U7");
  EXPECT_EQ(p.getUserParameter(1).MARGIN_RATE, 7);
  EXPECT_EQ(p.getUserParameter(2).GAMMA, -0.5);
  EXPECT_EQ(p.getUserParameter(3).ALLOW_DUST_RATE, 0.0);
  EXPECT_EQ(plugin.GetUserButtonModeName(1), "B1");
  EXPECT_EQ(p.getUserButtonParameter(0).SHADOW_LEVEL_COMPENSATION, 40);
  EXPECT_EQ(p.getUserButtonParameterOriginalNumber(1), 4);
}

TEST_F(DensitySettingsFile, OneRejectedKeyAppliesNothing) {
  const Changes cases[] = {
      {{"TonvaleMode_9/HIGHLIGHT_LEVEL_COMPENSATION", std::nullopt}},
      {{"TonvaleMode_9/MODE_NAME", ""}},
      {{"TonvaleMode_9/GAMMA", "-1"}},
      {{"TonvaleMode_9/ALLOW_DUST_RATE", ""}},
      {{"TonvaleMode_9/MARGIN_RATE", std::nullopt}},
      {{"TonvaleMode_9/MARGIN_RATE", "1e300"}},
      {{"TonvaleMode_9/TONE_SIZE", "-999"}},
      {{"TonvaleUserButtonMode_1/ORIGINAL_RECODE", std::nullopt}},
  };
  for (const Changes& change : cases) {
    SCOPED_TRACE(change.begin()->first);
    write(distinctFile(change));
    TonvalePlugin plugin;
    recorder_.notices.clear();
    EXPECT_FALSE(plugin.SetIniFilePath(folder_.string()));
    ASSERT_EQ(recorder_.notices.size(), 1u);
    EXPECT_EQ(recorder_.notices[0].text, kLoadFailed + "(1052)");
    EXPECT_EQ(recorder_.notices[0].icon, common::NoticeIcon::Stop);
    EXPECT_EQ(allRecords(plugin.parameters()), allRecords(TonvaleParameter()));
    EXPECT_EQ(plugin.parameters().getUserButtonParameterOriginalNumber(0), 8);
  }
}

TEST_F(DensitySettingsFile, UnreachableFileKeepsTheBuiltInsAndReportsBothWays) {
  const fs::path notAFolder = folder_ / "plain-file";
  std::ofstream(notAFolder) << "x";
  TonvalePlugin plugin;
  EXPECT_FALSE(plugin.SetIniFilePath(notAFolder.string()));
  EXPECT_EQ(allRecords(plugin.parameters()), allRecords(TonvaleParameter()));
  EXPECT_FALSE(plugin.saveLastParameterFromIniFile());
  ASSERT_EQ(recorder_.notices.size(), 2u);
  EXPECT_EQ(recorder_.notices[0].text, kLoadFailed + "(1050)");
  EXPECT_EQ(recorder_.notices[1].text, kSaveFailed + "(1050)");
  EXPECT_EQ(recorder_.notices[1].icon, common::NoticeIcon::Stop);
}

TEST_F(DensitySettingsFile, SavingWritesUserModesAndButtonsButNeverPresets) {
  const std::string original = distinctFile({{"TonvaleMode_2/GAMMA", " 2.0 "}});
  write(original);
  TonvalePlugin plugin;
  ASSERT_TRUE(plugin.SetIniFilePath(folder_.string()));
  Record changed;  // the built-in values, renamed
  changed.MODE_NAME = "線を太く";
  plugin.parameters().setUserParameter(changed, 2);
  plugin.parameters().setUserButtonParameter(changed, 0);
  plugin.parameters().setUserButtonParameterOriginalNumber(10, 0);
  Record presets[6];  // presets changed in memory never reach the file
  plugin.parameters().setPresetParameter(presets);
  ASSERT_TRUE(plugin.saveLastParameterFromIniFile());
  EXPECT_TRUE(recorder_.notices.empty());

  const size_t userStart = original.find("[TonvaleMode_6]");
  EXPECT_EQ(read().substr(0, userStart), original.substr(0, userStart));
  const common::IniFile file(iniPath());
  EXPECT_EQ(file.readString("TonvaleMode_8", "ALLOW_DUST_RATE", ""), "0.01");
  EXPECT_EQ(file.readString("TonvaleMode_8", "GAMMA", ""), "1");
  EXPECT_EQ(file.readString("TonvaleMode_8", "MARGIN_RATE", ""), "5");

  TonvalePlugin reloaded;
  ASSERT_TRUE(reloaded.SetIniFilePath(folder_.string()));
  EXPECT_EQ(reloaded.parameters().getUserParameter(2), changed);
  EXPECT_EQ(reloaded.parameters().getUserButtonParameter(0), changed);
  EXPECT_EQ(reloaded.parameters().getUserButtonParameterOriginalNumber(0), 10);
  EXPECT_EQ(reloaded.parameters().getAutoAdjustParameter(2).MODE_NAME, "P0");
}

TEST_F(DensitySettingsFile, FileWrittenInCp932KeepsItsJapaneseNames) {
  // "普通にクッキリ" and "ユーザークッキリ1" in Shift-JIS.
  write(distinctFile(
      {{"TonvaleMode_0/MODE_NAME", "\x95\x81\x92\xca\x82\xc9\x83\x4e\x83\x62\x83\x4c\x83\x8a"},
       {"TonvaleMode_6/MODE_NAME",
        "\x83\x86\x81\x5b\x83\x55\x81\x5b\x83\x4e\x83\x62\x83\x4c\x83\x8a\x31"}}));
  TonvalePlugin plugin;
  ASSERT_TRUE(plugin.SetIniFilePath(folder_.string()));
  EXPECT_EQ(plugin.parameters().getAutoAdjustParameter(2).MODE_NAME, "普通にクッキリ");
  EXPECT_EQ(plugin.GetUserModeName(0), "ユーザークッキリ1");
}

TEST_F(DensitySettingsFile, ShippedFileHoldsTheBuiltInValues) {
  fs::copy_file(TONVALE_SHIPPED_INI, iniPath());
  TonvalePlugin plugin;
  ASSERT_TRUE(plugin.SetIniFilePath(folder_.string()));
  EXPECT_EQ(allRecords(plugin.parameters()), allRecords(TonvaleParameter()));
  EXPECT_EQ(plugin.parameters().getUserButtonParameterOriginalNumber(1), 9);
  EXPECT_EQ(common::IniFile(iniPath()).readString("CommonEnvironment", "VERSION", ""), "0004");
  EXPECT_EQ(TonvaleIniFileIo::GetIniLastSelectedModeNumber(iniPath()), 0);
}

}  // namespace
