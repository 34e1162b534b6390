#include "tonvale/TonvaleIniFileIo.h"
#include "tonvale/TonvaleParameter.h"
#include "tonvale/TonvalePlugin.h"

#include "NoticeRecorder.h"

#include <common/IniFile.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using tonvale::TonvaleIniFileIo;
using tonvale::TonvaleParameter;
using tonvale::TonvalePlugin;
using Record = TonvaleParameter::Record;

const std::string kLoadFailed =
    "ユーザー設定の読み込みに失敗しました。\nアプリケーションを再インストールすると直る可能性があり"
    "ます。";
const std::string kSaveFailed =
    "ユーザー設定の書き込みに失敗しました。\nアプリケーションを再インストールすると直る可能性があり"
    "ます。";

// An ini file as ordered sections of ordered keys, written out as text.
class IniText {
 public:
  void set(const std::string& section, const std::string& key, const std::string& value) {
    for (auto& [name, keys] : sections_) {
      if (name != section) continue;
      for (auto& [k, v] : keys) {
        if (k == key) {
          v = value;
          return;
        }
      }
      keys.emplace_back(key, value);
      return;
    }
    sections_.push_back({section, {{key, value}}});
  }
  void remove(const std::string& section, const std::string& key) {
    for (auto& [name, keys] : sections_) {
      if (name != section) continue;
      std::erase_if(keys, [&](const auto& kv) { return kv.first == key; });
    }
  }
  std::string text() const {
    std::ostringstream out;
    for (const auto& [name, keys] : sections_) {
      out << "[" << name << "]\r\n";
      for (const auto& [k, v] : keys) out << k << "=" << v << "\r\n";
      out << "\r\n";
    }
    return out.str();
  }

 private:
  std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> sections_;
};

void addMode(IniText& ini, const std::string& section, const std::string& name, int shadow) {
  ini.set(section, "MODE_NAME", name);
  ini.set(section, "SHADOW_LEVEL_COMPENSATION", std::to_string(shadow));
  ini.set(section, "HIGHLIGHT_LEVEL_COMPENSATION", "70");
  ini.set(section, "ALLOW_DUST_RATE", "0.5");
  ini.set(section, "GAMMA", "2");
  ini.set(section, "TONE_SIZE", "5");
  ini.set(section, "MARGIN_RATE", "3");
  ini.set(section, "MASK_CREATE_TH_CONPENSATION", "12");
}

// A complete file whose every section differs from the built-in values:
// presets "P0".."P5", user modes "U0".."U7", buttons "B0", "B1" taken from
// presets 3 and 4.
IniText distinctFile() {
  IniText ini;
  ini.set("CommonEnvironment", "VERSION", "0004");
  ini.set("Environment", "LAST_SELECTED_SECTION", "2");
  for (int i = 0; i < 14; ++i) {
    addMode(ini, "TonvaleMode_" + std::to_string(i),
            (i < 6 ? "P" : "U") + std::to_string(i < 6 ? i : i - 6), 10 + i);
  }
  for (int i = 0; i < 2; ++i) {
    const std::string section = "TonvaleUserButtonMode_" + std::to_string(i);
    addMode(ini, section, "B" + std::to_string(i), 40 + i);
    ini.set(section, "ORIGINAL_RECODE", std::to_string(3 + i));
  }
  return ini;
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
  void writeFile(const std::string& bytes) const {
    std::ofstream(iniPath(), std::ios::binary) << bytes;
  }
  std::string readFile() const {
    std::ifstream in(iniPath(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path folder_;
};

TEST_F(DensitySettingsFile, LoadsAllSixteenSectionsWithTheKeyRules) {
  IniText ini = distinctFile();
  ini.set("TonvaleMode_7", "MARGIN_RATE", "7.9");      // truncated to 7
  ini.set("TonvaleMode_8", "GAMMA", "-0.5");           // truncates to 0: accepted
  ini.set("TonvaleMode_9", "ALLOW_DUST_RATE", "abc");  // no number: 0
  ini.set("TonvaleMode_10", "GAMMA", " 0.25 ");
  writeFile(ini.text());

  TonvalePlugin plugin;
  NoticeRecorder recorder;
  EXPECT_TRUE(plugin.SetIniFilePath(folder_.string()));
  EXPECT_TRUE(recorder.notices.empty());
  EXPECT_EQ(plugin.GetIniFilePath(), iniPath());

  const TonvaleParameter& p = plugin.parameters();
  for (int i = 0; i < 6; ++i) {
    const Record r = p.getAutoAdjustParameter(2 + i);
    EXPECT_EQ(r.MODE_NAME, "P" + std::to_string(i));
    EXPECT_EQ(r.SHADOW_LEVEL_COMPENSATION, 10 + i);
    EXPECT_EQ(r.HIGHLIGHT_LEVEL_COMPENSATION, 70);
    EXPECT_EQ(r.ALLOW_DUST_RATE, 0.5);
    EXPECT_EQ(r.TONE_SIZE, 5);
    EXPECT_EQ(r.MASK_CREATE_TH_CONPENSATION, 12);
  }
  EXPECT_EQ(plugin.GetUserModeName(0), "U0");
  EXPECT_EQ(p.getUserParameter(1).MARGIN_RATE, 7);
  EXPECT_EQ(p.getUserParameter(2).GAMMA, -0.5);
  EXPECT_EQ(p.getUserParameter(3).ALLOW_DUST_RATE, 0.0);
  EXPECT_EQ(p.getUserParameter(4).GAMMA, 0.25);
  EXPECT_EQ(plugin.GetUserButtonModeName(1), "B1");
  EXPECT_EQ(p.getUserButtonParameter(0).SHADOW_LEVEL_COMPENSATION, 40);
  EXPECT_EQ(p.getUserButtonParameterOriginalNumber(0), 3);
  EXPECT_EQ(p.getUserButtonParameterOriginalNumber(1), 4);
}

TEST_F(DensitySettingsFile, MissingFileKeepsTheBuiltInValues) {
  TonvalePlugin plugin;
  NoticeRecorder recorder;
  EXPECT_FALSE(plugin.SetIniFilePath((folder_ / "nowhere").string()));
  ASSERT_EQ(recorder.notices.size(), 1u);
  EXPECT_EQ(recorder.notices[0].text, kLoadFailed + "(1050)");
  EXPECT_EQ(recorder.notices[0].icon, common::NoticeIcon::Stop);
  EXPECT_EQ(allRecords(plugin.parameters()), allRecords(TonvaleParameter()));
}

TEST_F(DensitySettingsFile, OneRejectedKeyAppliesNothing) {
  struct Case {
    const char* what;
    void (*spoil)(IniText&);
  };
  const Case cases[] = {
      {"missing key in section 9",
       [](IniText& i) { i.remove("TonvaleMode_9", "HIGHLIGHT_LEVEL_COMPENSATION"); }},
      {"empty name", [](IniText& i) { i.set("TonvaleMode_9", "MODE_NAME", ""); }},
      {"gamma -1", [](IniText& i) { i.set("TonvaleMode_9", "GAMMA", "-1"); }},
      {"empty dust rate", [](IniText& i) { i.set("TonvaleMode_9", "ALLOW_DUST_RATE", ""); }},
      {"margin missing", [](IniText& i) { i.remove("TonvaleMode_9", "MARGIN_RATE"); }},
      {"margin beyond an int", [](IniText& i) { i.set("TonvaleMode_9", "MARGIN_RATE", "1e300"); }},
      {"stored -999", [](IniText& i) { i.set("TonvaleMode_9", "TONE_SIZE", "-999"); }},
      {"button without origin",
       [](IniText& i) { i.remove("TonvaleUserButtonMode_1", "ORIGINAL_RECODE"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    IniText ini = distinctFile();
    c.spoil(ini);
    writeFile(ini.text());
    TonvalePlugin plugin;
    NoticeRecorder recorder;
    EXPECT_FALSE(plugin.SetIniFilePath(folder_.string()));
    ASSERT_EQ(recorder.notices.size(), 1u);
    EXPECT_EQ(recorder.notices[0].text, kLoadFailed + "(1052)");
    EXPECT_EQ(recorder.notices[0].icon, common::NoticeIcon::Stop);
    EXPECT_EQ(allRecords(plugin.parameters()), allRecords(TonvaleParameter()));
    EXPECT_EQ(plugin.parameters().getUserButtonParameterOriginalNumber(0), 8);
  }
}

TEST_F(DensitySettingsFile, SavingWritesUserModesAndButtonsButNeverPresets) {
  IniText ini = distinctFile();
  const std::string original = ini.text();
  writeFile(original);
  TonvalePlugin plugin;
  ASSERT_TRUE(plugin.SetIniFilePath(folder_.string()));

  Record changed;  // the built-in defaults, renamed
  changed.MODE_NAME = "線を太く";
  plugin.parameters().setUserParameter(changed, 2);
  plugin.parameters().setUserButtonParameter(changed, 0);
  plugin.parameters().setUserButtonParameterOriginalNumber(10, 0);
  // Presets changed in memory must not reach the file either.
  Record presets[6];
  for (auto& p : presets) p.MODE_NAME = "memory only";
  plugin.parameters().setPresetParameter(presets);

  NoticeRecorder recorder;
  ASSERT_TRUE(plugin.saveLastParameterFromIniFile());
  EXPECT_TRUE(recorder.notices.empty());

  // Everything up to the first user-mode section is byte for byte as it was.
  const std::string saved = readFile();
  const size_t userStart = original.find("[TonvaleMode_6]");
  ASSERT_NE(userStart, std::string::npos);
  EXPECT_EQ(saved.substr(0, userStart), original.substr(0, userStart));

  const common::IniFile file(iniPath());
  EXPECT_EQ(file.readString("TonvaleMode_8", "MODE_NAME", ""), "線を太く");
  EXPECT_EQ(file.readString("TonvaleMode_8", "ALLOW_DUST_RATE", ""), "0.01");
  EXPECT_EQ(file.readString("TonvaleMode_8", "GAMMA", ""), "1");
  EXPECT_EQ(file.readString("TonvaleMode_8", "MARGIN_RATE", ""), "5");
  EXPECT_EQ(file.readString("TonvaleUserButtonMode_0", "ORIGINAL_RECODE", ""), "10");

  TonvalePlugin reloaded;
  ASSERT_TRUE(reloaded.SetIniFilePath(folder_.string()));
  EXPECT_EQ(reloaded.parameters().getUserParameter(2), changed);
  EXPECT_EQ(reloaded.parameters().getUserButtonParameter(0), changed);
  EXPECT_EQ(reloaded.parameters().getUserButtonParameterOriginalNumber(0), 10);
  EXPECT_EQ(reloaded.parameters().getAutoAdjustParameter(2).MODE_NAME, "P0");
  EXPECT_EQ(reloaded.GetUserModeName(3), "U3");
}

TEST_F(DensitySettingsFile, SaveFailureShowsTheMessage) {
  const fs::path notAFolder = folder_ / "plain-file";
  std::ofstream(notAFolder) << "x";
  TonvalePlugin plugin;
  NoticeRecorder recorder;
  EXPECT_FALSE(plugin.SetIniFilePath(notAFolder.string()));
  EXPECT_FALSE(plugin.saveLastParameterFromIniFile());
  ASSERT_EQ(recorder.notices.size(), 2u);
  EXPECT_EQ(recorder.notices[1].text, kSaveFailed + "(1050)");
  EXPECT_EQ(recorder.notices[1].icon, common::NoticeIcon::Stop);
}

TEST_F(DensitySettingsFile, FileWrittenInCp932KeepsItsJapaneseNames) {
  IniText ini = distinctFile();
  // "普通にクッキリ" and "ユーザークッキリ1" in Shift-JIS.
  ini.set("TonvaleMode_0", "MODE_NAME", "\x95\x81\x92\xca\x82\xc9\x83\x4e\x83\x62\x83\x4c\x83\x8a");
  ini.set("TonvaleMode_6", "MODE_NAME",
          "\x83\x86\x81\x5b\x83\x55\x81\x5b\x83\x4e\x83\x62\x83\x4c\x83\x8a\x31");
  writeFile(ini.text());
  TonvalePlugin plugin;
  NoticeRecorder recorder;
  ASSERT_TRUE(plugin.SetIniFilePath(folder_.string()));
  EXPECT_EQ(plugin.parameters().getAutoAdjustParameter(2).MODE_NAME, "普通にクッキリ");
  EXPECT_EQ(plugin.GetUserModeName(0), "ユーザークッキリ1");
}

TEST_F(DensitySettingsFile, ShippedFileHoldsTheBuiltInValues) {
  fs::copy_file(TONVALE_SHIPPED_INI, iniPath());
  TonvalePlugin plugin;
  NoticeRecorder recorder;
  ASSERT_TRUE(plugin.SetIniFilePath(folder_.string()));
  EXPECT_EQ(allRecords(plugin.parameters()), allRecords(TonvaleParameter()));
  EXPECT_EQ(plugin.parameters().getUserButtonParameterOriginalNumber(0), 8);
  EXPECT_EQ(plugin.parameters().getUserButtonParameterOriginalNumber(1), 9);
  const common::IniFile file(iniPath());
  EXPECT_EQ(file.readString("CommonEnvironment", "VERSION", ""), "0004");
  EXPECT_EQ(TonvaleIniFileIo::GetIniLastSelectedModeNumber(iniPath()), 0);
}

TEST_F(DensitySettingsFile, RecordRoundTripAndNames) {
  Record odd;
  odd.MODE_NAME = "ゆるく";
  odd.GAMMA = 2.2;
  odd.ALLOW_DUST_RATE = 0.003;
  odd.MARGIN_RATE = 12;
  odd.TONE_SIZE = 7;
  EXPECT_TRUE(TonvaleIniFileIo::WriteIni_UserButton(iniPath(), odd, 999, 1));
  Record back;
  int origin = 0;
  EXPECT_TRUE(TonvaleIniFileIo::ReadIni_UserButton(iniPath(), back, origin, 1));
  EXPECT_EQ(back, odd);
  EXPECT_EQ(origin, 999);
  EXPECT_THROW(TonvaleIniFileIo::ReadIni(iniPath(), back, 0), common::IniError);

  TonvaleIniFileIo::SetIniLastSelectedModeNumber(iniPath(), 5);
  EXPECT_EQ(TonvaleIniFileIo::GetIniLastSelectedModeNumber(iniPath()), 5);
  EXPECT_EQ(TonvaleIniFileIo::GetIniSectionName("", 13), "TonvaleMode_13");
  EXPECT_EQ(TonvaleIniFileIo::GetIniSectionName_UserButton("", 1), "TonvaleUserButtonMode_1");
  EXPECT_EQ(TonvaleIniFileIo::GetINIERRMessage(1052), "(1052)");
  try {
    TonvaleIniFileIo::GetIniModeName((folder_ / "none.ini").string(), 0);
    ADD_FAILURE() << "no error for a missing file";
  } catch (const common::IniError& error) {
    EXPECT_EQ(error.code(), 1050);
  }
}

}  // namespace
