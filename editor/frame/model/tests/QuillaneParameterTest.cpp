// Editor settings: the settings file, the dust size presets and the control
// exchange.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "common/IniFile.h"
#include "common/Notice.h"
#include "quillane/model/ControlExchange.h"
#include "quillane/model/DustSizePresets.h"
#include "quillane/model/QuillaneIniFileIo.h"

namespace quillane {
namespace {

namespace fs = std::filesystem;

struct Shown {
  std::string text;
  common::NoticeIcon icon;
  common::NoticeButtons buttons;
};

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        fs::temp_directory_path() /
        ("quillane_settings_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    fs::copy_file(fs::path(QUILLANE_DATA_DIR) / "QuillanePlugin.ini",
                  folder_ / "QuillanePlugin.ini");
    parameter_.setSettingsFolder(folder_.string());
  }
  void TearDown() override { fs::remove_all(folder_); }

  // Rewrites one line "KEY=..." of the file (the first one after [section]).
  void replaceLine(const std::string& from, const std::string& to) {
    std::ifstream in(parameter_.settingsFilePath);
    std::stringstream text;
    text << in.rdbuf();
    std::string content = text.str();
    const auto at = content.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    content.replace(at, from.size(), to);
    std::ofstream(parameter_.settingsFilePath, std::ios::trunc) << content;
  }

  std::vector<Shown> shown_;
  common::ScopedNoticeHandler recorder_{
      [this](const std::string& text, common::NoticeIcon icon, common::NoticeButtons buttons) {
        shown_.push_back({text, icon, buttons});
        return common::NoticeAnswer::Ok;
      }};
  fs::path folder_;
  QuillaneParameter parameter_;
};

TEST_F(SettingsFile, ShippedFileLoadsTheDefaultsAndValuesLandInTheirFields) {
  QuillaneParameter defaults;
  parameter_.brushSize = 7;
  parameter_.customColours[3] = 0x123456;
  ASSERT_EQ(QuillaneIniFileIo::load(parameter_), 0);
  EXPECT_EQ(parameter_.brushSize, defaults.brushSize);
  EXPECT_EQ(parameter_.customColours, defaults.customColours);
  EXPECT_EQ(parameter_.dustSizePresetsWhite, defaults.dustSizePresetsWhite);
  EXPECT_EQ(parameter_.grayThresholdPresetsBlack, defaults.grayThresholdPresetsBlack);
  EXPECT_EQ(parameter_.dustColourRed, defaults.dustColourRed);
  EXPECT_EQ(
      common::IniFile(parameter_.settingsFilePath).readString("CommonEnvironment", "VERSION", ""),
      "0003");

  replaceLine("LASTDUSTSIZE_BLACK=36", "LASTDUSTSIZE_BLACK=11");
  replaceLine("LASTDUSTSIZE_WHITE=36", "LASTDUSTSIZE_WHITE=22");
  replaceLine("GRAYTHRESHOLD_M_WHITE=120", "GRAYTHRESHOLD_M_WHITE=121");
  replaceLine("[DustColor]\nRED=255\nGREEN=0\nBLUE=0", "[DustColor]\nRED=300\nGREEN=513\nBLUE=2");
  ASSERT_EQ(QuillaneIniFileIo::load(parameter_), 0);
  EXPECT_EQ(parameter_.lastDustSizeWhite, 11);
  EXPECT_EQ(parameter_.lastDustSizeBlack, 22);
  EXPECT_EQ(parameter_.grayThresholdPresetsBlack[1], 121);
  EXPECT_EQ(parameter_.dustColourRed, 44);  // modulo 256
  EXPECT_EQ(parameter_.dustColourGreen, 1);
  EXPECT_EQ(parameter_.dustColourBlue, 2);
}

TEST_F(SettingsFile, MissingPresetKeyOrStoredMinusOneUsesNothing) {
  for (auto [from, to] : {std::pair{"GRAYTHRESHOLD_L_WHITE=220\n", ""},
                          std::pair{"FILTERINDEX=0", "FILTERINDEX=-1"}}) {
    SetUp();  // a fresh copy of the shipped file
    replaceLine("BRUSHSIZE=60", "BRUSHSIZE=99");
    replaceLine(from, to);
    EXPECT_EQ(QuillaneIniFileIo::load(parameter_), common::kIniKeyMissing) << from;
    EXPECT_EQ(parameter_.brushSize, 60);
  }
  EXPECT_FALSE(QuillaneIniFileIo::loadLastParameterFromIniFile(parameter_));
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].text,
            "ユーザー設定ファイルの読み込みに失敗しました。\n"
            "アプリケーションを再インストールすると直る可能性があります。(1052)");
  EXPECT_EQ(shown_[0].icon, common::NoticeIcon::Stop);
  EXPECT_EQ(shown_[0].buttons, common::NoticeButtons::Ok);
}

TEST_F(SettingsFile, DeletedFolderIsRecreatedWithPersistentKeysOnly) {
  fs::remove_all(folder_);
  EXPECT_EQ(QuillaneIniFileIo::load(parameter_), common::kIniNotAccessible);
  EXPECT_FALSE(QuillaneIniFileIo::loadLastParameterFromIniFile(parameter_));
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_NE(shown_[0].text.find("(1050)"), std::string::npos);

  parameter_.brushSize = 77;
  parameter_.dustColourGreen = 128;
  parameter_.customColours[15] = packColour(1, 2, 3);
  ASSERT_TRUE(QuillaneIniFileIo::saveLastParameterFromIniFile(parameter_));
  ASSERT_TRUE(fs::exists(parameter_.settingsFilePath));
  const common::IniFile ini(parameter_.settingsFilePath);
  EXPECT_EQ(ini.readInt("BrushSize", "BRUSHSIZE", -1), 77);
  EXPECT_EQ(ini.readInt("DustColor", "GREEN", -1), 128);
  EXPECT_EQ(ini.readInt("SaveColor_15", "BLUE", -1), 3);
  EXPECT_EQ(ini.readInt("DustSize", "DUSTRATIO_S_BLACK", -1), -1);  // never written

  QuillaneParameter reloaded;
  reloaded.setSettingsFolder(folder_.string());
  EXPECT_EQ(QuillaneIniFileIo::load(reloaded), common::kIniKeyMissing);
  EXPECT_EQ(reloaded.brushSize, 60);
}

TEST(DustSizePresets, FollowTheResolution) {
  using Triple = std::array<int32_t, 3>;
  // 600 dpi: f = 1; 72 and 2400 dpi: the low and high triples; 1200 dpi:
  // f = 4 with L * 4 = 576 below 1000; f * S == 2 exactly still counts as low.
  for (auto [dpi, presets, expected] :
       {std::tuple{600.0, Triple{9, 36, 144}, Triple{9, 36, 144}},
        std::tuple{72.0, Triple{9, 36, 144}, Triple{2, 4, 10}},
        std::tuple{2400.0, Triple{9, 36, 144}, Triple{200, 400, 1000}},
        std::tuple{1200.0, Triple{9, 36, 144}, Triple{36, 144, 576}},
        std::tuple{1200.0, Triple{1, 50, 100}, Triple{4, 200, 400}},
        std::tuple{600.0, Triple{2, 50, 100}, Triple{2, 4, 10}}}) {
    SCOPED_TRACE(dpi);
    QuillaneParameter p;
    p.resolution = dpi;
    p.dustSizePresetsWhite = presets;  // the other mode's presets must not count
    p.dustSizePresetsBlack = {};
    EXPECT_EQ((Triple{smallDustSizeWhite(p), mediumDustSizeWhite(p), largeDustSizeWhite(p)}),
              expected);
    EXPECT_EQ(dustSizePreset(p, DustMode::White, 1), expected[1]);
    std::swap(p.dustSizePresetsWhite, p.dustSizePresetsBlack);
    EXPECT_EQ((Triple{smallDustSizeBlack(p), mediumDustSizeBlack(p), largeDustSizeBlack(p)}),
              expected);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(dustSizePreset(p, DustMode::Black, i), expected[i]);
  }
}

TEST(ControlExchange, ToolSizesAndModeValues) {
  QuillaneParameter p;
  readControlsBack(p, kToolDustBrush, {80, 120, 50}, DustMode::Black);
  EXPECT_EQ(p.brushSize, 80);
  EXPECT_EQ(p.currentGrayThreshold, 120);
  EXPECT_EQ(p.currentDustSize, 50);
  EXPECT_EQ(p.lastGrayThresholdBlack, 120);
  EXPECT_EQ(p.lastDustSizeBlack, 50);
  EXPECT_EQ(p.lastDustSizeWhite, 36);  // the other mode keeps its values

  readControlsBack(p, kToolEraser, {33, 40, 9}, DustMode::White);
  EXPECT_EQ(p.brushSize, 80);
  EXPECT_EQ(p.eraserSize, 33);
  EXPECT_EQ(p.lastGrayThresholdWhite, 40);
  EXPECT_EQ(p.lastDustSizeBlack, 50);

  const ControlValues brush = loadControls(p, kToolDustBrush, {1, 2, 3});
  EXPECT_EQ(brush.toolSize, 80);
  EXPECT_EQ(brush.grayThreshold, 40);
  EXPECT_EQ(brush.dustSize, 9);
  EXPECT_EQ(loadControls(p, 2, {1, 2, 3}).toolSize, 1);  // no size of its own
}

}  // namespace
}  // namespace quillane
