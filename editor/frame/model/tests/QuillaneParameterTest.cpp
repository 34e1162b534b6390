// Editor settings: the settings file, the dust size presets and the control
// exchange.
#include <gtest/gtest.h>

#include <filesystem>
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

// The fields the settings file keeps, and the presets it only provides.
auto savedFields(const QuillaneParameter& p) {
  return std::tuple(p.brushSize, p.eraserSize, p.lastDustSizeWhite, p.lastDustSizeBlack,
                    p.lastGrayThresholdWhite, p.lastGrayThresholdBlack, p.fileTypeIndex,
                    p.dustColourRed, p.dustColourGreen, p.dustColourBlue, p.customColours);
}
auto presets(const QuillaneParameter& p) {
  return std::tuple(p.dustSizePresetsWhite, p.dustSizePresetsBlack, p.grayThresholdPresetsWhite,
                    p.grayThresholdPresetsBlack);
}

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    fs::copy_file(fs::path(QUILLANE_DATA_DIR) / "QuillanePlugin.ini", ini_.path());
    parameter_.setSettingsFolder(folder_.string());
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::vector<std::string> shown_;
  common::ScopedNoticeHandler recorder_{
      [this](const std::string& text, common::NoticeIcon icon, common::NoticeButtons buttons) {
        EXPECT_EQ(std::tie(icon, buttons),
                  std::tuple(common::NoticeIcon::Stop, common::NoticeButtons::Ok));
        shown_.push_back(text);
        return common::NoticeAnswer::Ok;
      }};
  const fs::path folder_ = fs::temp_directory_path() / ("quillane-" + std::to_string(::getpid()));
  const common::IniFile ini_{(folder_ / "QuillanePlugin.ini").string()};
  QuillaneParameter parameter_;
};

TEST_F(SettingsFile, EveryKeyLandsInItsFieldAndSavedFieldsComeBack) {
  const QuillaneParameter defaults;
  ASSERT_EQ(QuillaneIniFileIo::load(parameter_), 0);  // the shipped file: the defaults
  EXPECT_EQ(savedFields(parameter_), savedFields(defaults));

  // Every key its own value. The "_BLACK" keys belong to the White mode.
  QuillaneParameter want;
  const std::tuple<const char*, const char*, int32_t*> keys[] = {
      {"BrushSize", "BRUSHSIZE", &want.brushSize},
      {"EraserSize", "ERASERSIZE", &want.eraserSize},
      {"DustSize", "LASTDUSTSIZE_BLACK", &want.lastDustSizeWhite},
      {"DustSize", "LASTDUSTSIZE_WHITE", &want.lastDustSizeBlack},
      {"GrayThreshold", "LASTGRAYTHRESHOLD_BLACK", &want.lastGrayThresholdWhite},
      {"GrayThreshold", "LASTGRAYTHRESHOLD_WHITE", &want.lastGrayThresholdBlack},
      {"FileType", "FILTERINDEX", &want.fileTypeIndex},
      {"DustColor", "GREEN", &want.dustColourGreen},
      {"DustColor", "BLUE", &want.dustColourBlue}};
  int value = 2;
  for (const auto& [section, key, field] : keys) ini_.writeInt(section, key, *field = ++value);
  const char* sizes[] = {"S", "M", "L"};
  for (int i = 0; i < 3; ++i) {
    const std::string s = sizes[i];
    ini_.writeInt("DustSize", "DUSTRATIO_" + s + "_BLACK", want.dustSizePresetsWhite[i] = ++value);
    ini_.writeInt("DustSize", "DUSTRATIO_" + s + "_WHITE", want.dustSizePresetsBlack[i] = ++value);
    ini_.writeInt("GrayThreshold", "GRAYTHRESHOLD_" + s + "_BLACK",
                  want.grayThresholdPresetsWhite[i] = ++value);
    ini_.writeInt("GrayThreshold", "GRAYTHRESHOLD_" + s + "_WHITE",
                  want.grayThresholdPresetsBlack[i] = ++value);
  }
  ini_.writeInt("SaveColor_15", "RED", 1);
  ini_.writeInt("SaveColor_15", "GREEN", 2);
  ini_.writeInt("SaveColor_15", "BLUE", 3);
  want.customColours[15] = packColour(1, 2, 3);
  ini_.writeInt("DustColor", "RED", 300);  // colours are taken modulo 256
  want.dustColourRed = 44;
  ASSERT_EQ(QuillaneIniFileIo::load(parameter_), 0);
  EXPECT_EQ(savedFields(parameter_), savedFields(want));
  EXPECT_EQ(presets(parameter_), presets(want));

  // Saved into the shipped file, the kept fields come back; the presets are
  // never written.
  SetUp();
  ASSERT_TRUE(QuillaneIniFileIo::saveLastParameterFromIniFile(parameter_));
  QuillaneParameter reloaded;
  reloaded.setSettingsFolder(folder_.string());
  ASSERT_EQ(QuillaneIniFileIo::load(reloaded), 0);
  EXPECT_EQ(savedFields(reloaded), savedFields(want));
  EXPECT_EQ(presets(reloaded), presets(defaults));
}

TEST_F(SettingsFile, MissingKeyOrFolderAppliesNothingAndSavingRecreatesTheFolder) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"GrayThreshold", "GRAYTHRESHOLD_L_WHITE", ""},
      {"FileType", "FILTERINDEX", "-1"},
      {"deleted folder", "", nullptr}};
  for (const auto& [section, key, text] : cases) {
    SCOPED_TRACE(section);
    SetUp();  // a fresh copy of the shipped file
    ini_.writeInt("BrushSize", "BRUSHSIZE", 99);
    if (text) ini_.writeString(section, key, text);
    if (!text) fs::remove_all(folder_);
    shown_.clear();
    EXPECT_FALSE(QuillaneIniFileIo::loadLastParameterFromIniFile(parameter_));
    EXPECT_EQ(parameter_.brushSize, 60);
    const std::string expected =
        "ユーザー設定ファイルの読み込みに失敗しました。\n"
        "アプリケーションを再インストールすると直る可能性があります。" +
        std::string(text ? "(1052)" : "(1050)");
    EXPECT_EQ(shown_, std::vector{expected});
  }
  // Saving recreates the folder, with the kept keys only: the presets stay missing.
  parameter_.brushSize = 77;
  ASSERT_TRUE(QuillaneIniFileIo::saveLastParameterFromIniFile(parameter_));
  EXPECT_EQ(ini_.readInt("BrushSize", "BRUSHSIZE", -1), 77);
  EXPECT_EQ(QuillaneIniFileIo::load(parameter_), common::kIniKeyMissing);
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
    std::swap(p.dustSizePresetsWhite, p.dustSizePresetsBlack);
    EXPECT_EQ((Triple{smallDustSizeBlack(p), mediumDustSizeBlack(p), largeDustSizeBlack(p)}),
              expected);
    // No preset past either end (the tables hold three).
    EXPECT_EQ(dustSizePreset(p, DustMode::Black, -1) | dustSizePreset(p, DustMode::Black, 3), 0);
  }
}

TEST(ControlExchange, ToolSizesAndModeValues) {
  QuillaneParameter p;
  readControlsBack(p, kToolDustBrush, {80, 120, 50}, DustMode::Black);
  readControlsBack(p, kToolEraser, {33, 40, 9}, DustMode::White);
  // The brush and eraser keep their own sizes, each mode its own values.
  EXPECT_EQ(std::tie(p.brushSize, p.eraserSize, p.lastGrayThresholdBlack, p.lastDustSizeBlack,
                     p.lastGrayThresholdWhite, p.lastDustSizeWhite),
            std::tuple(80, 33, 120, 50, 40, 9));
  const ControlValues brush = loadControls(p, kToolDustBrush, {1, 2, 3});
  EXPECT_EQ(std::tie(brush.toolSize, brush.grayThreshold, brush.dustSize), std::tuple(80, 40, 9));
  EXPECT_EQ(loadControls(p, 2, {1, 2, 3}).toolSize, 1);  // no size of its own
}

}  // namespace
}  // namespace quillane
