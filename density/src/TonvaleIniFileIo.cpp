#include "tonvale/TonvaleIniFileIo.h"

#include <common/IniFile.h>

#include <locale.h>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace tonvale {

namespace {

using common::IniError;
using common::IniFile;

constexpr const char* kModeSectionBase = "TonvaleMode";
constexpr const char* kUserButtonSectionBase = "TonvaleUserButtonMode";
constexpr const char* kEnvironmentSection = "Environment";
constexpr const char* kLastSelectedKey = "LAST_SELECTED_SECTION";

// Read default of a string key; a value equal to it counts as missing.
constexpr const char* kMissingText = "CANT READ INI ATTRIBUTE";
// Read default of an integer key; a stored -999 counts as missing too.
constexpr int kMissingInt = -999;

std::string sectionName(const char* base, int n) {
  char text[64];
  std::snprintf(text, sizeof text, "%s_%d", base, n);
  return text;
}

// "%g" without the process locale: the settings file always uses '.'.
std::string formatReal(double value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
  return std::string(text, result.ptr);
}

// strtod in the "C" locale, whatever locale the host program has set.
double parseReal(const std::string& text) {
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
  return strtod_l(text.c_str(), nullptr, cLocale);
}

std::string readName(const IniFile& file, const std::string& section) {
  std::string name = file.readString(section, "MODE_NAME", kMissingText);
  if (name.empty() || name == kMissingText) throw IniError(common::kIniKeyMissing);
  return name;
}

int readInt(const IniFile& file, const std::string& section, const char* key) {
  const int value = file.readInt(section, key, kMissingInt);
  if (value == kMissingInt) throw IniError(common::kIniKeyMissing);
  return value;
}

// A missing or empty value reads as -1, which the sign check rejects. Text
// that is no number reads 0 and is accepted.
double readReal(const IniFile& file, const std::string& section, const char* key) {
  const std::string text = file.readString(section, key, "");
  const double value = text.empty() ? -1.0 : parseReal(text);
  if (std::trunc(value) < 0) throw IniError(common::kIniKeyMissing);
  return value;
}

void readRecord(const IniFile& file, const std::string& section, TonvaleParameter::Record& record) {
  record.MODE_NAME = readName(file, section);
  record.SHADOW_LEVEL_COMPENSATION = readInt(file, section, "SHADOW_LEVEL_COMPENSATION");
  record.HIGHLIGHT_LEVEL_COMPENSATION = readInt(file, section, "HIGHLIGHT_LEVEL_COMPENSATION");
  record.ALLOW_DUST_RATE = readReal(file, section, "ALLOW_DUST_RATE");
  record.GAMMA = readReal(file, section, "GAMMA");
  record.TONE_SIZE = readInt(file, section, "TONE_SIZE");
  // The margin is stored as a real and truncated toward zero. A value that is
  // not a number or does not fit an int is refused rather than converted.
  const double margin = std::trunc(readReal(file, section, "MARGIN_RATE"));
  if (!(margin <= static_cast<double>(std::numeric_limits<int>::max())))
    throw IniError(common::kIniKeyMissing);
  record.MARGIN_RATE = static_cast<int>(margin);
  record.MASK_CREATE_TH_CONPENSATION = readInt(file, section, "MASK_CREATE_TH_CONPENSATION");
}

void writeRecord(common::IniEdit& file, const std::string& section,
                 const TonvaleParameter::Record& record) {
  file.writeString(section, "MODE_NAME", record.MODE_NAME);
  file.writeInt(section, "SHADOW_LEVEL_COMPENSATION", record.SHADOW_LEVEL_COMPENSATION);
  file.writeInt(section, "HIGHLIGHT_LEVEL_COMPENSATION", record.HIGHLIGHT_LEVEL_COMPENSATION);
  file.writeString(section, "ALLOW_DUST_RATE", formatReal(record.ALLOW_DUST_RATE));
  file.writeString(section, "GAMMA", formatReal(record.GAMMA));
  file.writeInt(section, "TONE_SIZE", record.TONE_SIZE);
  file.writeString(section, "MARGIN_RATE", formatReal(record.MARGIN_RATE));
  file.writeInt(section, "MASK_CREATE_TH_CONPENSATION", record.MASK_CREATE_TH_CONPENSATION);
}

}  // namespace

bool TonvaleIniFileIo::ReadIni(const std::string& path, Record& record, int n) {
  const IniFile file(path);
  file.openForReading();
  readRecord(file, GetIniSectionName(path, n), record);
  return true;
}

bool TonvaleIniFileIo::WriteIni(const std::string& path, const Record& record, int n) {
  const IniFile file(path);
  file.openForWriting();
  common::IniEdit edit(file);
  writeRecord(edit, GetIniSectionName(path, n), record);
  edit.commit();
  return true;
}

bool TonvaleIniFileIo::ReadIni_UserButton(const std::string& path, Record& record, int& origin,
                                          int n) {
  const IniFile file(path);
  file.openForReading();
  const std::string section = GetIniSectionName_UserButton(path, n);
  readRecord(file, section, record);
  origin = readInt(file, section, "ORIGINAL_RECODE");
  return true;
}

bool TonvaleIniFileIo::WriteIni_UserButton(const std::string& path, const Record& record,
                                           int origin, int n) {
  const IniFile file(path);
  file.openForWriting();
  common::IniEdit edit(file);
  const std::string section = GetIniSectionName_UserButton(path, n);
  writeRecord(edit, section, record);
  edit.writeInt(section, "ORIGINAL_RECODE", origin);
  edit.commit();
  return true;
}

std::string TonvaleIniFileIo::GetIniSectionName(const std::string& /*path*/, int n) {
  return sectionName(kModeSectionBase, n);
}

std::string TonvaleIniFileIo::GetIniSectionName_UserButton(const std::string& /*path*/, int n) {
  return sectionName(kUserButtonSectionBase, n);
}

std::string TonvaleIniFileIo::GetIniModeName(const std::string& path, int n) {
  const IniFile file(path);
  file.openForReading();
  return readName(file, GetIniSectionName(path, n));
}

int TonvaleIniFileIo::GetIniLastSelectedModeNumber(const std::string& path) {
  const IniFile file(path);
  file.openForReading();
  return readInt(file, kEnvironmentSection, kLastSelectedKey);
}

void TonvaleIniFileIo::SetIniLastSelectedModeNumber(const std::string& path, int n) {
  const IniFile file(path);
  file.openForWriting();
  file.writeInt(kEnvironmentSection, kLastSelectedKey, n);
}

std::string TonvaleIniFileIo::GetINIERRMessage(int code) {
  char text[32];
  std::snprintf(text, sizeof text, "(%d)", code);
  return text;
}

}  // namespace tonvale
