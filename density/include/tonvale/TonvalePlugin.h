#pragma once
// The density library's face to the editor: it loads the density settings
// file from the folder it is given, selects a mode, runs the adjustment on a
// page buffer and saves the user modes and user buttons back.
//
// Order of use: SetIniFilePath(folder) once; SetMode(n) when the user picks a
// density button (2..7 presets, 0 and 1 user buttons); executeTonvale(...) on
// the page; saveLastParameterFromIniFile() when the editor closes.
//
// Messages go through common::notice: a failed adjustment shows the fixed
// error text with an OK button and no icon; a failed load or save shows its
// settings message followed by the error code as "(<code>)", with the stop
// icon.
#include "tonvale/TonvaleParameter.h"

#include <cstdint>
#include <string>

namespace tonvale {

class TonvalePlugin {
 public:
  /// Name of the density settings file inside the folder.
  static constexpr const char* kIniFileName = "TonvalePlugin.ini";

  /// Builds the built-in parameters (no file is read).
  TonvalePlugin() = default;
  /// Copy and assignment as those of TonvaleParameter: the current record only.
  TonvalePlugin(const TonvalePlugin&) = default;
  TonvalePlugin& operator=(const TonvalePlugin&) = default;
  ~TonvalePlugin() = default;

  /// Remembers folder and folder + "/TonvalePlugin.ini", then loads the six
  /// presets, eight user modes and two user buttons from that file: all
  /// sixteen or, at the first error, none (the load message then tells the
  /// error code and the previous values stay). Returns true when loaded.
  bool SetIniFilePath(const std::string& folder);
  /// The full path of the settings file ("" before SetIniFilePath).
  std::string GetIniFilePath() const;

  /// Copies the record of mode number mode (0..15) into the current record.
  void SetMode(int mode);

  /// Runs the adjustment with the current record on src (height rows of
  /// stride bytes, the first width bytes of each row are pixels) into dst of
  /// the same geometry; dst may be src. Padding bytes of dst are not written.
  /// On failure shows the adjustment error message, leaves dst untouched and
  /// returns false.
  bool executeTonvale(const uint8_t* src, int width, int height, int stride, uint8_t* dst);

  /// MODE_NAME of user mode i (0..7) and of user button i (0..1).
  std::string GetUserModeName(int i) const;
  std::string GetUserButtonModeName(int i) const;
  /// True when user button i's settings were changed since they were taken
  /// from a stored mode (origin number 999); the editor then marks its caption.
  bool GetUserButtonModeisSaved(int i) const;

  /// Writes the eight user modes and the two user buttons (with their origin
  /// numbers) into the settings file; the presets and the last selected
  /// section are never written. Stops at the first error with the save
  /// message (sections already written stay written). Returns true on success.
  bool saveLastParameterFromIniFile();

  /// a + b (a check that the library is linked).
  int tvlTest(int a, int b) const { return a + b; }

  /// The parameters themselves, for the settings dialogs and the batch cleaner.
  TonvaleParameter& parameters() { return parameter_; }
  const TonvaleParameter& parameters() const { return parameter_; }

 private:
  bool loadLastParameterFromIniFile();

  TonvaleParameter parameter_;
};

}  // namespace tonvale
