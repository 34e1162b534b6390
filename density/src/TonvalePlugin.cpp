#include "tonvale/TonvalePlugin.h"

#include "tonvale/CAutoAdjustCore.h"
#include "tonvale/TonvaleIniFileIo.h"

#include <common/FilePath.h>
#include <common/IniFile.h>
#include <common/Notice.h>

#include <array>

namespace tonvale {

namespace {

using Record = TonvaleParameter::Record;

void showSettingsError(const char* text, int code) {
  common::notice(text + TonvaleIniFileIo::GetINIERRMessage(code), common::NoticeIcon::Stop);
}

}  // namespace

bool TonvalePlugin::SetIniFilePath(const std::string& folder) {
  parameter_.setIniPaths(folder, common::joinPath(folder, kIniFileName));
  return loadLastParameterFromIniFile();
}

std::string TonvalePlugin::GetIniFilePath() const { return parameter_.getIniFilePath(); }

void TonvalePlugin::SetMode(int mode) { parameter_.setSelectedMode(mode); }

bool TonvalePlugin::executeTonvale(const uint8_t* src, int width, int height, int stride,
                                   uint8_t* dst) {
  CAutoAdjustCore core(AdjustSettings::fromRecord(parameter_.getRecord()));
  if (core.execute(src, width, height, stride, dst)) return true;
  common::notice("TODO:エラー処理", common::NoticeIcon::None, common::NoticeButtons::Ok);
  return false;
}

std::string TonvalePlugin::GetUserModeName(int i) const {
  return parameter_.getUserParameter(i).MODE_NAME;
}

std::string TonvalePlugin::GetUserButtonModeName(int i) const {
  return parameter_.getUserButtonParameter(i).MODE_NAME;
}

bool TonvalePlugin::GetUserButtonModeisSaved(int i) const {
  return parameter_.getUserButtonParameterOriginalNumber(i) == TonvaleParameter::kChangedOrigin;
}

bool TonvalePlugin::loadLastParameterFromIniFile() {
  constexpr int kPresets = TonvaleParameter::kPresetCount;
  constexpr int kUserModes = TonvaleParameter::kUserModeCount;
  constexpr int kButtons = TonvaleParameter::kUserButtonCount;
  const std::string& path = parameter_.getIniFilePath();

  // Everything is read into temporaries first and applied only when all
  // sixteen sections were read.
  std::array<Record, kPresets> presets;
  std::array<Record, kUserModes> userModes;
  std::array<Record, kButtons> buttons;
  std::array<int, kButtons> origins{};
  try {
    for (int i = 0; i < kPresets; ++i) TonvaleIniFileIo::ReadIni(path, presets[i], i);
    for (int i = 0; i < kUserModes; ++i)
      TonvaleIniFileIo::ReadIni(path, userModes[i], kPresets + i);
    for (int i = 0; i < kButtons; ++i)
      TonvaleIniFileIo::ReadIni_UserButton(path, buttons[i], origins[i], i);
  } catch (const common::IniError& error) {
    showSettingsError(
        "ユーザー設定の読み込みに失敗しました。\n"
        "アプリケーションを再インストールすると直る可能性があります。",
        error.code());
    return false;
  }

  parameter_.setPresetParameter(presets.data());
  for (int i = 0; i < kUserModes; ++i) parameter_.setUserParameter(userModes[i], i);
  for (int i = 0; i < kButtons; ++i) {
    parameter_.setUserButtonParameter(buttons[i], i);
    parameter_.setUserButtonParameterOriginalNumber(origins[i], i);
  }
  return true;
}

bool TonvalePlugin::saveLastParameterFromIniFile() {
  const std::string& path = parameter_.getIniFilePath();
  try {
    for (int i = 0; i < TonvaleParameter::kUserModeCount; ++i) {
      TonvaleIniFileIo::WriteIni(path, parameter_.getUserParameter(i),
                                 TonvaleParameter::kPresetCount + i);
    }
    for (int i = 0; i < TonvaleParameter::kUserButtonCount; ++i) {
      TonvaleIniFileIo::WriteIni_UserButton(path, parameter_.getUserButtonParameter(i),
                                            parameter_.getUserButtonParameterOriginalNumber(i), i);
    }
  } catch (const common::IniError& error) {
    showSettingsError(
        "ユーザー設定の書き込みに失敗しました。\n"
        "アプリケーションを再インストールすると直る可能性があります。",
        error.code());
    return false;
  }
  return true;
}

}  // namespace tonvale
