#pragma once
// Reading and writing the density settings file "TonvalePlugin.ini".
//
// Layout:
//   [Environment]              LAST_SELECTED_SECTION=<int>
//   [TonvaleMode_0] .. [TonvaleMode_5]     the six presets (mode numbers 2..7)
//   [TonvaleMode_6] .. [TonvaleMode_13]    the eight user modes (mode numbers 8..15)
//   [TonvaleUserButtonMode_0], [TonvaleUserButtonMode_1]   the user buttons
// A mode section holds, in this order: MODE_NAME, SHADOW_LEVEL_COMPENSATION,
// HIGHLIGHT_LEVEL_COMPENSATION, ALLOW_DUST_RATE, GAMMA, TONE_SIZE, MARGIN_RATE,
// MASK_CREATE_TH_CONPENSATION; a user-button section adds ORIGINAL_RECODE.
// Integers are written "%d", reals "%g" (always with a '.' whatever the
// process locale), MARGIN_RATE "%g" of its integer.
//
// Every operation takes the full path of the settings file first. Failures are
// raised as common::IniError with an integer code:
//   1050  the file cannot be opened for reading (missing) or created for writing
//   1052  a key is missing or holds a rejected value
//   1053  a key could not be written
// Success returns true.
#include "tonvale/TonvaleParameter.h"

#include <string>

namespace tonvale {

class TonvaleIniFileIo {
 public:
  using Record = TonvaleParameter::Record;

  /// Reads mode section n into record. A key is rejected (1052) when:
  ///   MODE_NAME is missing or empty;
  ///   an integer key is missing or holds -999;
  ///   ALLOW_DUST_RATE, GAMMA or MARGIN_RATE is missing or empty, or its value
  ///   truncated toward zero is below 0 (text that is no number reads 0);
  ///   MARGIN_RATE is not a number that fits an int once truncated.
  /// MARGIN_RATE is read as a real and truncated toward zero (7.9 gives 7).
  /// The record may be partly filled when a key is rejected.
  static bool ReadIni(const std::string& path, Record& record, int n);
  /// Writes record into mode section n (folders and file created when
  /// missing), all of its keys at once or none.
  static bool WriteIni(const std::string& path, const Record& record, int n);

  /// As ReadIni, for user-button section n, with ORIGINAL_RECODE into origin.
  static bool ReadIni_UserButton(const std::string& path, Record& record, int& origin, int n);
  /// As WriteIni, for user-button section n, with ORIGINAL_RECODE = origin.
  static bool WriteIni_UserButton(const std::string& path, const Record& record, int origin, int n);

  /// "TonvaleMode_<n>" (the path is not used).
  static std::string GetIniSectionName(const std::string& path, int n);
  /// "TonvaleUserButtonMode_<n>" (the path is not used).
  static std::string GetIniSectionName_UserButton(const std::string& path, int n);

  /// MODE_NAME of mode section n, with the rules of ReadIni.
  static std::string GetIniModeName(const std::string& path, int n);
  /// LAST_SELECTED_SECTION of section "Environment"; 1052 when missing or -999.
  static int GetIniLastSelectedModeNumber(const std::string& path);
  /// Writes LAST_SELECTED_SECTION of section "Environment".
  static void SetIniLastSelectedModeNumber(const std::string& path, int n);

  /// The text shown for an error code: "(<code>)", e.g. "(1052)".
  static std::string GetINIERRMessage(int code);
};

}  // namespace tonvale
