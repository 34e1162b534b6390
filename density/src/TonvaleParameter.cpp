#include "tonvale/TonvaleParameter.h"

#include <common/Notice.h>

#include <cstdio>
#include <string_view>

namespace tonvale {

namespace {

struct PresetValues {
  const char* name;
  int shadow;
  int highlight;
  double gamma;
};

constexpr PresetValues kPresets[TonvaleParameter::kPresetCount] = {
    {"普通にクッキリ", 50, 65, 1.0},     {"白めにクッキリ", 50, 100, 1.0},
    {"黒めにクッキリ", 100, 65, 1.0},    {"線を太めにクッキリ", 50, 65, 5.0},
    {"線を細めにクッキリ", 50, 65, 0.1}, {"下書きを消す", 100, 100, 0.1},
};

constexpr std::string_view kButtonPrefix = "[";
constexpr std::string_view kButtonSuffix = "]ボタン";

// Number of Unicode code points of a UTF-8 text: every byte that is not a
// continuation byte (10xxxxxx) starts a character.
int codePointCount(std::string_view text) {
  int count = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) ++count;
  }
  return count;
}

}  // namespace

TonvaleParameter::Record TonvaleParameter::builtInPreset(int i) {
  Record record;
  if (i < 0 || i >= kPresetCount) return record;
  record.MODE_NAME = kPresets[i].name;
  record.SHADOW_LEVEL_COMPENSATION = kPresets[i].shadow;
  record.HIGHLIGHT_LEVEL_COMPENSATION = kPresets[i].highlight;
  record.GAMMA = kPresets[i].gamma;
  return record;
}

TonvaleParameter::TonvaleParameter() {
  for (int i = 0; i < kPresetCount; ++i) presets_[i] = builtInPreset(i);
  for (int i = 0; i < kUserModeCount; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "%s%d", "ユーザークッキリ", i + 1);
    userModes_[i].MODE_NAME = name;
  }
  for (int i = 0; i < kUserButtonCount; ++i) {
    userButtons_[i] = userModes_[i];
    originalNumber_[i] = kFirstUserMode + i;
  }
}

TonvaleParameter::TonvaleParameter(const TonvaleParameter& other) : TonvaleParameter() {
  current_ = other.current_;
}

TonvaleParameter& TonvaleParameter::operator=(const TonvaleParameter& other) {
  current_ = other.current_;
  return *this;
}

TonvaleParameter::~TonvaleParameter() = default;

bool TonvaleParameter::read() { return true; }

bool TonvaleParameter::write() const { return true; }

void TonvaleParameter::setSelectedMode(int mode) {
  if (mode < 0 || mode >= kModeCount) return;
  selectedMode_ = mode;
  current_ = getAutoAdjustParameter(mode);
}

void TonvaleParameter::setPresetParameter(const Record* presets) {
  if (presets == nullptr) return;
  for (int i = 0; i < kPresetCount; ++i) presets_[i] = presets[i];
}

TonvaleParameter::Record TonvaleParameter::getAutoAdjustParameter(int mode) const {
  if (mode >= 0 && mode < kFirstPresetMode) return userButtons_[mode];
  if (mode >= kFirstPresetMode && mode < kFirstUserMode) return presets_[mode - kFirstPresetMode];
  if (mode >= kFirstUserMode && mode < kModeCount) return userModes_[mode - kFirstUserMode];
  return current_;
}

TonvaleParameter::Record TonvaleParameter::getUserParameter(int i) const {
  if (i < 0 || i >= kUserModeCount) return Record{};
  return userModes_[i];
}

void TonvaleParameter::setUserParameter(const Record& record, int i) {
  if (i < 0 || i >= kUserModeCount) return;
  userModes_[i] = record;
}

TonvaleParameter::Record TonvaleParameter::getUserButtonParameter(int i) const {
  if (i < 0 || i >= kUserButtonCount) return Record{};
  return userButtons_[i];
}

void TonvaleParameter::setUserButtonParameter(const Record& record, int i) {
  if (i < 0 || i >= kUserButtonCount) return;
  userButtons_[i] = record;
}

int TonvaleParameter::getUserButtonParameterOriginalNumber(int i) const {
  if (i < 0 || i >= kUserButtonCount) return kChangedOrigin;
  return originalNumber_[i];
}

void TonvaleParameter::setUserButtonParameterOriginalNumber(int value, int i) {
  if (i < 0 || i >= kUserButtonCount) return;
  originalNumber_[i] = value;
}

void TonvaleParameter::setIniPaths(const std::string& directory, const std::string& filePath) {
  iniDirectory_ = directory;
  iniFilePath_ = filePath;
}

bool TonvaleParameter::isSafeModeName(const std::string& name) {
  if (codePointCount(name) > kMaxModeNameLength) {
    char text[128];
    std::snprintf(text, sizeof text, "モード名が長すぎます。（%d文字以内）", kMaxModeNameLength);
    common::notice(text, common::NoticeIcon::Stop);
    return false;
  }
  if (name.empty()) {
    common::notice("モード名を入力してください。", common::NoticeIcon::Stop);
    return false;
  }
  if (name.find('*') != std::string::npos) {
    common::notice("モード名に*が含まれています。", common::NoticeIcon::Stop);
    return false;
  }
  return true;
}

std::string TonvaleParameter::modeNameHyphenation(const std::string& name) {
  const std::string_view text(name);
  if (codePointCount(text) >= 5 && text.starts_with(kButtonPrefix) &&
      text.ends_with(kButtonSuffix)) {
    return std::string(text.substr(kButtonPrefix.size(),
                                   text.size() - kButtonPrefix.size() - kButtonSuffix.size()));
  }
  return name;
}

}  // namespace tonvale
