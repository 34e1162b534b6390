// Settings resolution of tavelmor-batch; see BatchSettings.h.
#include "BatchSettings.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "common/AppPaths.h"
#include "common/FilePath.h"
#include "quillane/model/DustSizePresets.h"
#include "quillane/model/QuillaneIniFileIo.h"
#include "tonvale/TonvalePlugin.h"

namespace batch {
namespace {

bool fileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

std::optional<int> densityModeNumber(const std::string& text,
                                     const tonvale::TonvaleParameter& parameters) {
  if (text == "user1") return 0;
  if (text == "user2") return 1;
  if (text.size() == 1 && text[0] >= '2' && text[0] <= '7') return text[0] - '0';
  for (int mode = tonvale::TonvaleParameter::kFirstPresetMode;
       mode < tonvale::TonvaleParameter::kModeCount; ++mode) {
    if (parameters.getAutoAdjustParameter(mode).MODE_NAME == text) return mode;
  }
  return std::nullopt;
}

}  // namespace

std::string settingsFolderFor(const std::string& fileName,
                              const std::optional<std::string>& folder) {
  if (folder) return *folder;
  const std::string user = common::userSettingsFolder();
  if (fileExists(common::joinPath(user, fileName))) return user;
  for (const std::string& master : common::masterSettingsFolders())
    if (fileExists(common::joinPath(master, fileName))) return master;
  return user;
}

std::optional<BatchSettings> loadBatchSettings(const BatchOptions& options,
                                               std::string& usageError) {
  BatchSettings settings;
  if (options.dust) {
    settings.editor.setSettingsFolder(
        settingsFolderFor(quillane::kQuillaneIniFileName, options.settingsFolder));
    settings.editorFile = settings.editor.settingsFilePath;
    settings.editorLoaded =
        quillane::QuillaneIniFileIo::loadLastParameterFromIniFile(settings.editor);
  }
  if (options.density) {
    tonvale::TonvalePlugin plugin;
    settings.densityLoaded = plugin.SetIniFilePath(
        settingsFolderFor(tonvale::TonvalePlugin::kIniFileName, options.settingsFolder));
    settings.densityFile = plugin.GetIniFilePath();
    const auto mode = densityModeNumber(*options.density, plugin.parameters());
    if (!mode) {
      std::string names;
      for (int m = tonvale::TonvaleParameter::kFirstPresetMode;
           m < tonvale::TonvaleParameter::kFirstUserMode; ++m)
        names += " " + plugin.parameters().getAutoAdjustParameter(m).MODE_NAME;
      usageError = "--density: no mode \"" + *options.density +
                   "\" (give 2..7, user1, user2 or a mode name:" + names + ")";
      return std::nullopt;
    }
    settings.densityMode = *mode;
    settings.density = plugin.parameters().getAutoAdjustParameter(*mode);
  }
  return settings;
}

quillane::DustSettings dustSettingsFor(const BatchOptions& options,
                                       const quillane::QuillaneParameter& editor, double dpi) {
  quillane::DustSettings s;
  s.mode = *options.dust;
  s.dustSizeEnabled = options.dustSize.has_value() || !options.threshold.has_value();
  s.grayDustEnabled = options.threshold.has_value();

  int32_t size = editor.lastDustSize(s.mode);
  if (options.dustSize) {
    if (options.dustSize->preset >= 0) {
      quillane::QuillaneParameter atResolution = editor;
      atResolution.resolution = dpi;
      size = quillane::dustSizePreset(atResolution, s.mode, options.dustSize->preset);
    } else {
      size = options.dustSize->number;
    }
  }
  s.dustSize = std::clamp<int32_t>(size, 1, 1000);

  int threshold = editor.lastGrayThreshold(s.mode);
  if (options.threshold) {
    threshold = options.threshold->preset >= 0
                    ? editor.grayThresholdPresets(s.mode)[options.threshold->preset]
                    : options.threshold->number;
  }
  s.threshold = std::clamp(threshold, 1, 255);
  return s;
}

}  // namespace batch
