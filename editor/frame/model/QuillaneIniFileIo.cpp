#include "quillane/model/QuillaneIniFileIo.h"

#include <cstdio>
#include <string>

#include "common/IniFile.h"
#include "common/Notice.h"

namespace quillane {
namespace {

constexpr const char* kLoadFailedText =
    "ユーザー設定ファイルの読み込みに失敗しました。\n"
    "アプリケーションを再インストールすると直る可能性があります。%s";
constexpr const char* kSaveFailedText =
    "ユーザー設定ファイルの保存に失敗しました。\n"
    "アプリケーションを再インストールすると直る可能性があります。%s";

const char* const kSizeKeys[3] = {"S", "M", "L"};

// Reads check the file before every key. A save goes to one edit of the
// file, which replaces it once: all of the settings are saved or none.
class Reader {
 public:
  explicit Reader(const std::string& path) : file_(path) {}

  int readInt(const std::string& section, const std::string& key) const {
    file_.openForReading();
    const int value = file_.readInt(section, key, -1);
    if (value == -1) throw common::IniError(common::kIniKeyMissing);
    return value;
  }

  ColourRef readColour(const std::string& section) const {
    const int red = readInt(section, "RED");
    const int green = readInt(section, "GREEN");
    const int blue = readInt(section, "BLUE");
    return packColour(red, green, blue);
  }

 private:
  common::IniFile file_;
};

void writeColour(common::IniEdit& ini, const std::string& section, ColourRef colour) {
  ini.writeInt(section, "RED", colourRed(colour));
  ini.writeInt(section, "GREEN", colourGreen(colour));
  ini.writeInt(section, "BLUE", colourBlue(colour));
}

std::string saveColourSection(int index) { return "SaveColor_" + std::to_string(index); }

std::string withCode(const char* text, int code) {
  char formattedCode[32];
  std::snprintf(formattedCode, sizeof formattedCode, "(%d)", code);
  std::string result(text);
  result.replace(result.find("%s"), 2, formattedCode);
  return result;
}

}  // namespace

int QuillaneIniFileIo::load(QuillaneParameter& parameter) {
  try {
    const Reader ini(parameter.settingsFilePath);
    QuillaneParameter read = parameter;
    const ColourRef dust = ini.readColour("DustColor");
    read.brushSize = ini.readInt("BrushSize", "BRUSHSIZE");
    read.eraserSize = ini.readInt("EraserSize", "ERASERSIZE");
    read.lastDustSizeWhite = ini.readInt("DustSize", "LASTDUSTSIZE_BLACK");
    read.lastDustSizeBlack = ini.readInt("DustSize", "LASTDUSTSIZE_WHITE");
    read.lastGrayThresholdWhite = ini.readInt("GrayThreshold", "LASTGRAYTHRESHOLD_BLACK");
    read.lastGrayThresholdBlack = ini.readInt("GrayThreshold", "LASTGRAYTHRESHOLD_WHITE");
    read.fileTypeIndex = ini.readInt("FileType", "FILTERINDEX");
    for (int i = 0; i < 16; ++i) read.customColours[i] = ini.readColour(saveColourSection(i));
    for (int i = 0; i < 3; ++i)
      read.dustSizePresetsWhite[i] =
          ini.readInt("DustSize", std::string("DUSTRATIO_") + kSizeKeys[i] + "_BLACK");
    for (int i = 0; i < 3; ++i)
      read.dustSizePresetsBlack[i] =
          ini.readInt("DustSize", std::string("DUSTRATIO_") + kSizeKeys[i] + "_WHITE");
    for (int i = 0; i < 3; ++i)
      read.grayThresholdPresetsWhite[i] =
          ini.readInt("GrayThreshold", std::string("GRAYTHRESHOLD_") + kSizeKeys[i] + "_BLACK");
    for (int i = 0; i < 3; ++i)
      read.grayThresholdPresetsBlack[i] =
          ini.readInt("GrayThreshold", std::string("GRAYTHRESHOLD_") + kSizeKeys[i] + "_WHITE");
    read.dustColourRed = colourRed(dust);
    read.dustColourGreen = colourGreen(dust);
    read.dustColourBlue = colourBlue(dust);
    parameter = read;
    return 0;
  } catch (const common::IniError& error) {
    return error.code();
  }
}

int QuillaneIniFileIo::save(const QuillaneParameter& parameter) {
  try {
    const common::IniFile file(parameter.settingsFilePath);
    file.openForWriting();
    common::IniEdit ini(file);
    writeColour(
        ini, "DustColor",
        packColour(parameter.dustColourRed, parameter.dustColourGreen, parameter.dustColourBlue));
    ini.writeInt("BrushSize", "BRUSHSIZE", parameter.brushSize);
    ini.writeInt("EraserSize", "ERASERSIZE", parameter.eraserSize);
    ini.writeInt("DustSize", "LASTDUSTSIZE_BLACK", parameter.lastDustSizeWhite);
    ini.writeInt("DustSize", "LASTDUSTSIZE_WHITE", parameter.lastDustSizeBlack);
    ini.writeInt("GrayThreshold", "LASTGRAYTHRESHOLD_BLACK", parameter.lastGrayThresholdWhite);
    ini.writeInt("GrayThreshold", "LASTGRAYTHRESHOLD_WHITE", parameter.lastGrayThresholdBlack);
    ini.writeInt("FileType", "FILTERINDEX", parameter.fileTypeIndex);
    for (int i = 0; i < 16; ++i) writeColour(ini, saveColourSection(i), parameter.customColours[i]);
    ini.commit();
    return 0;
  } catch (const common::IniError& error) {
    return error.code();
  }
}

bool QuillaneIniFileIo::loadLastParameterFromIniFile(QuillaneParameter& parameter) {
  const int code = load(parameter);
  if (code == 0) return true;
  common::notice(withCode(kLoadFailedText, code), common::NoticeIcon::Stop);
  return false;
}

bool QuillaneIniFileIo::saveLastParameterFromIniFile(const QuillaneParameter& parameter) {
  const int code = save(parameter);
  if (code == 0) return true;
  common::notice(withCode(kSaveFailedText, code), common::NoticeIcon::Stop);
  return false;
}

}  // namespace quillane
