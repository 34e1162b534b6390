// Mode numbers, mode names and the settings file of the density adjustment.
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
using tonvale::TonvaleParameter;
using tonvale::TonvalePlugin;
using Record = TonvaleParameter::Record;

TEST(DensityParameter, ModeSelectionAndCopies) {
  TonvalePlugin plugin;
  TonvaleParameter& p = plugin.parameters();
  EXPECT_FALSE(plugin.GetUserButtonModeisSaved(1));  // still taken from user mode 2
  p.setUserButtonParameterOriginalNumber(TonvaleParameter::kChangedOrigin, 1);
  EXPECT_TRUE(plugin.GetUserButtonModeisSaved(1));
  const Record custom{5, "線"};
  p.setUserButtonParameter(custom, 1);
  plugin.SetMode(1);
  EXPECT_EQ(p.getRecord(), custom);
  plugin.SetMode(7);
  plugin.SetMode(16);  // out of range: nothing changes
  EXPECT_EQ(p.getSelectedMode(), 7);
  EXPECT_EQ(p.getRecord().MODE_NAME, "下書きを消す");
  // A copy or an assignment takes the current record only.
  p.setUserParameter(custom, 0);
  const TonvaleParameter copy(p);
  EXPECT_EQ(copy.getRecord().MODE_NAME, "下書きを消す");
  EXPECT_EQ(copy.getUserParameter(0).MODE_NAME, "ユーザークッキリ1");
  TonvaleParameter target = copy;
  target.setUserParameter(custom, 3);
  target = TonvaleParameter();
  EXPECT_EQ(target.getRecord().MODE_NAME, "普通にクッキリ");
  EXPECT_EQ(target.getUserParameter(3), custom);
}

TEST(DensityParameter, ModeNameRulesAndButtonDecoration) {
  const char* tooLong = "モード名が長すぎます。（9文字以内）";
  const std::pair<const char*, const char*> names[] = {
      {"普通にクッキリです", nullptr},  // 9 double-byte characters
      {"普通にクッキリです２", tooLong},    {"abcdefghi", nullptr},
      {"", "モード名を入力してください。"}, {"線*", "モード名に*が含まれています。"},
  };
  for (const auto& [name, message] : names) {
    SCOPED_TRACE(name);
    NoticeRecorder recorder;
    EXPECT_EQ(TonvaleParameter::isSafeModeName(name), message == nullptr);
    ASSERT_EQ(recorder.notices.size(), message == nullptr ? 0u : 1u);
    if (message == nullptr) continue;
    EXPECT_EQ(recorder.notices[0].text, message);
    EXPECT_EQ(recorder.notices[0].icon, common::NoticeIcon::Stop);
  }
  const std::pair<const char*, const char*> buttons[] = {
      {"[普通にクッキリ]ボタン", "普通にクッキリ"},
      {"[]ボタン", ""},
      {"[ab", "[ab"},
      {"abc]ボタン", "abc]ボタン"},
      {"[abc]", "[abc]"}};
  for (const auto& [name, stripped] : buttons)
    EXPECT_EQ(TonvaleParameter::modeNameHyphenation(name), stripped) << name;
}

// Section n of a settings file in which every key of every section holds its
// own value: TonvaleMode_0..13 (presets, then user modes), then the two
// buttons, taken from modes 12 and 13.
Record fileRecord(int n) {
  return {2 * n + 1, "M" + std::to_string(n), 10 + n, 60 + n,
          0.25 + n,  1.5 + n / 4.0,           30 + n, 1 + n};
}

// A complete settings file; changes map "Section/KEY" to other text, or to
// nullopt to leave the key out.
std::string settingsFile(const std::map<std::string, std::optional<std::string>>& changes = {}) {
  std::string text = "[CommonEnvironment]\r\nVERSION=0004\r\n[Environment]\r\n";
  for (int n = 0; n < 16; ++n) {
    const std::string section = n < 14 ? "TonvaleMode_" + std::to_string(n)
                                       : "TonvaleUserButtonMode_" + std::to_string(n - 14);
    const Record r = fileRecord(n);
    using std::to_string;
    std::map<std::string, std::optional<std::string>> keys = {
        {"MODE_NAME", r.MODE_NAME},
        {"SHADOW_LEVEL_COMPENSATION", to_string(r.SHADOW_LEVEL_COMPENSATION)},
        {"HIGHLIGHT_LEVEL_COMPENSATION", to_string(r.HIGHLIGHT_LEVEL_COMPENSATION)},
        {"ALLOW_DUST_RATE", to_string(r.ALLOW_DUST_RATE)},
        {"GAMMA", to_string(r.GAMMA)},
        {"TONE_SIZE", to_string(r.TONE_SIZE)},
        {"MARGIN_RATE", to_string(r.MARGIN_RATE)},
        {"MASK_CREATE_TH_CONPENSATION", to_string(r.MASK_CREATE_TH_CONPENSATION)}};
    if (n >= 14) keys["ORIGINAL_RECODE"] = to_string(n - 2);
    for (const auto& [key, value] : changes)
      if (key.starts_with(section + "/")) keys[key.substr(section.size() + 1)] = value;
    text += "[" + section + "]\r\n";
    for (const auto& [key, value] : keys)
      if (value) text += key + "=" + *value + "\r\n";
  }
  return text;
}

// Records by mode number: buttons 0-1, presets 2-7, user modes 8-15.
std::vector<Record> allRecords(const TonvaleParameter& p) {
  std::vector<Record> records;
  for (int mode = 0; mode < TonvaleParameter::kModeCount; ++mode)
    records.push_back(p.getAutoAdjustParameter(mode));
  return records;
}

class DensitySettingsFile : public testing::Test {
 protected:
  void SetUp() override { fs::create_directories(folder_); }
  void TearDown() override { fs::remove_all(folder_); }
  void write(const std::string& bytes) const { std::ofstream(path_, std::ios::binary) << bytes; }
  std::string read() const {
    std::ifstream in(path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  const fs::path folder_ = fs::temp_directory_path() / ("tonvale-" + std::to_string(::getpid()));
  const std::string path_ = (folder_ / "TonvalePlugin.ini").string();
  NoticeRecorder recorder_;
};

TEST_F(DensitySettingsFile, EveryKeyOfEverySectionReachesItsMode) {
  // A real margin is truncated, a gamma that truncates to 0 is accepted, and
  // a rate that is no number reads 0.
  write(settingsFile({{"TonvaleMode_7/MARGIN_RATE", "7.9"},
                      {"TonvaleMode_8/GAMMA", "-0.5"},
                      {"TonvaleMode_9/ALLOW_DUST_RATE", "abc"}}));
  TonvalePlugin plugin;
  EXPECT_TRUE(plugin.SetIniFilePath(folder_.string()));
  EXPECT_TRUE(recorder_.notices.empty());
  EXPECT_EQ(plugin.GetIniFilePath(), path_);
  std::vector<Record> expected;
  for (int mode = 0; mode < TonvaleParameter::kModeCount; ++mode)
    expected.push_back(fileRecord(mode < 2 ? 14 + mode : mode - 2));
  expected[9].MARGIN_RATE = 7;
  expected[10].GAMMA = -0.5;
  expected[11].ALLOW_DUST_RATE = 0;
  EXPECT_EQ(allRecords(plugin.parameters()), expected);
  EXPECT_EQ(plugin.parameters().getUserButtonParameterOriginalNumber(0), 12);
  EXPECT_EQ(plugin.parameters().getUserButtonParameterOriginalNumber(1), 13);
}

TEST_F(DensitySettingsFile, OneRejectedKeyOrNoFileAppliesNothing) {
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"TonvaleMode_9/HIGHLIGHT_LEVEL_COMPENSATION", std::nullopt},
      {"TonvaleMode_9/MODE_NAME", ""},
      {"TonvaleMode_9/GAMMA", "-1"},
      {"TonvaleMode_9/ALLOW_DUST_RATE", ""},
      {"TonvaleMode_9/MARGIN_RATE", std::nullopt},
      {"TonvaleMode_9/MARGIN_RATE", "1e300"},
      {"TonvaleMode_9/TONE_SIZE", "-999"},
      {"TonvaleUserButtonMode_1/ORIGINAL_RECODE", std::nullopt},
      {"no file", std::nullopt}};
  for (const auto& [key, value] : cases) {
    SCOPED_TRACE(key);
    write(settingsFile({{key, value}}));
    if (key == "no file") fs::remove(path_);
    TonvalePlugin plugin;
    recorder_.notices.clear();
    EXPECT_FALSE(plugin.SetIniFilePath(folder_.string()));
    ASSERT_EQ(recorder_.notices.size(), 1u);
    EXPECT_EQ(recorder_.notices[0].text,
              "ユーザー設定の読み込みに失敗しました。\n"
              "アプリケーションを再インストールすると直る可能性があります。" +
                  std::string(key == "no file" ? "(1050)" : "(1052)"));
    EXPECT_EQ(recorder_.notices[0].icon, common::NoticeIcon::Stop);
    EXPECT_EQ(allRecords(plugin.parameters()), allRecords(TonvaleParameter()));
    EXPECT_EQ(plugin.parameters().getUserButtonParameterOriginalNumber(0), 8);
  }
}

TEST_F(DensitySettingsFile, SavingKeepsUserModesAndButtonsNeverPresetsAndReportsFailure) {
  const std::string original = settingsFile({{"TonvaleMode_2/GAMMA", " 2.0 "}});
  write(original);
  TonvalePlugin plugin;
  ASSERT_TRUE(plugin.SetIniFilePath(folder_.string()));
  TonvaleParameter& p = plugin.parameters();
  const Record changed{7, "線を太く", 0, 100, 0.0625, 2.2345, 99, 12};  // all digits needed
  p.setUserParameter(changed, 2);
  p.setUserButtonParameter(changed, 0);
  p.setUserButtonParameterOriginalNumber(10, 0);
  const std::vector<Record> expected = allRecords(p);
  Record presets[6];  // presets changed in memory never reach the file
  p.setPresetParameter(presets);
  ASSERT_TRUE(plugin.saveLastParameterFromIniFile());
  EXPECT_TRUE(recorder_.notices.empty());
  const size_t userStart = original.find("[TonvaleMode_6]");
  EXPECT_EQ(read().substr(0, userStart), original.substr(0, userStart));
  EXPECT_EQ(common::IniFile(path_).readString("TonvaleMode_8", "GAMMA", ""), "2.2345");
  TonvalePlugin reloaded;
  ASSERT_TRUE(reloaded.SetIniFilePath(folder_.string()));
  EXPECT_EQ(allRecords(reloaded.parameters()), expected);
  EXPECT_EQ(reloaded.parameters().getUserButtonParameterOriginalNumber(0), 10);

  // A settings folder that is a plain file: the save fails and says so.
  TonvalePlugin unreachable;
  EXPECT_FALSE(unreachable.SetIniFilePath(path_));
  EXPECT_FALSE(unreachable.saveLastParameterFromIniFile());
  ASSERT_EQ(recorder_.notices.size(), 2u);
  EXPECT_EQ(recorder_.notices[1].text,
            "ユーザー設定の書き込みに失敗しました。\n"
            "アプリケーションを再インストールすると直る可能性があります。(1050)");
  EXPECT_EQ(recorder_.notices[1].icon, common::NoticeIcon::Stop);
}

TEST_F(DensitySettingsFile, ShippedFileHoldsTheBuiltInValues) {
  fs::copy_file(TONVALE_SHIPPED_INI, path_);
  TonvalePlugin plugin;
  ASSERT_TRUE(plugin.SetIniFilePath(folder_.string()));
  EXPECT_EQ(allRecords(plugin.parameters()), allRecords(TonvaleParameter()));
  EXPECT_EQ(plugin.parameters().getUserButtonParameterOriginalNumber(1), 9);
  EXPECT_EQ(common::IniFile(path_).readString("CommonEnvironment", "VERSION", ""), "0004");
  EXPECT_EQ(tonvale::TonvaleIniFileIo::GetIniLastSelectedModeNumber(path_), 0);
}

}  // namespace
