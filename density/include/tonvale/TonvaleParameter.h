#pragma once
// The density adjustment's parameter sets and the sixteen modes that hold
// them.
//
// A Record is one parameter set. TonvaleParameter keeps:
//   - the current record, used by the next adjustment;
//   - six built-in presets (mode numbers 2..7);
//   - eight user modes the user may overwrite and rename (mode numbers 8..15);
//   - two user buttons (mode numbers 0 and 1), each with the number of the
//     mode its settings were taken from ("origin number"), or 999 once they
//     have been changed;
//   - the settings folder and file given by the plug-in, and the last
//     selected mode number.
//
// Mode numbers: 0, 1 user button 0, 1; 2..7 preset 0..5; 8..15 user mode 0..7.
// Every user text is UTF-8.
#include <array>
#include <string>

namespace tonvale {

class TonvaleParameter {
 public:
  /// One parameter set. The field names are the keys of the settings file.
  struct Record {
    /// Aperture of the Gaussian smoothing used for the masks, in pixels (odd, >= 1).
    int TONE_SIZE = 3;
    /// Display name of the mode (UTF-8).
    std::string MODE_NAME = "普通にクッキリ";
    /// Black-point shift, 0..100; 50 is neutral, more makes more pixels black.
    int SHADOW_LEVEL_COMPENSATION = 50;
    /// White-point shift, 0..100; 50 is neutral, more makes more pixels white.
    int HIGHLIGHT_LEVEL_COMPENSATION = 65;
    /// Share of mask pixels allowed beyond the found paper and ink levels, in percent (>= 0).
    double ALLOW_DUST_RATE = 0.01;
    /// Exponent of the tone curve between black and white point; > 1 darkens mid grays.
    double GAMMA = 1.0;
    /// Distance of the paper and ink masks from their peaks, in gray steps (>= 0).
    int MASK_CREATE_TH_CONPENSATION = 10;
    /// Border left out of the peak searches, in percent of width and height per side.
    int MARGIN_RATE = 5;

    bool operator==(const Record&) const = default;
  };

  static constexpr int kUserButtonCount = 2;
  static constexpr int kPresetCount = 6;
  static constexpr int kUserModeCount = 8;
  static constexpr int kModeCount = kUserButtonCount + kPresetCount + kUserModeCount;
  /// First mode number of the presets and of the user modes.
  static constexpr int kFirstPresetMode = 2;
  static constexpr int kFirstUserMode = 8;
  /// Origin number of a user button whose settings no longer equal a stored mode.
  static constexpr int kChangedOrigin = 999;
  /// Longest accepted mode name, in characters (Unicode code points).
  static constexpr int kMaxModeNameLength = 9;

  /// Builds the defaults: the built-in presets, user modes "ユーザークッキリ1" ..
  /// "ユーザークッキリ8", user buttons copied from user modes 0 and 1 with origin
  /// numbers 8 and 9, empty paths, selected mode 0.
  TonvaleParameter();
  /// The copy takes the source's current record only; its presets, user modes,
  /// user buttons, origin numbers, paths and selected mode are the defaults.
  TonvaleParameter(const TonvaleParameter& other);
  /// Replaces the current record by the source's; everything else is kept.
  TonvaleParameter& operator=(const TonvaleParameter& other);
  virtual ~TonvaleParameter();

  /// Kept for the interface: return true and do nothing.
  bool read();
  bool write() const;

  /// The current record, the one the next adjustment uses.
  const Record& getRecord() const { return current_; }
  /// Size of a record in the original binary layout of the interface: 40.
  int getRecordSize() const { return 40; }
  /// Replaces the current record.
  void setRecord(const Record& record) { current_ = record; }

  /// Remembers mode as the selected mode and copies its record into the
  /// current record. A number outside 0..15 changes nothing.
  void setSelectedMode(int mode);
  int getSelectedMode() const { return selectedMode_; }

  /// Copies six consecutive records into presets 0..5.
  void setPresetParameter(const Record* presets);

  /// A copy of the record of a mode number (0..15). Outside that range: a copy
  /// of the current record.
  Record getAutoAdjustParameter(int mode) const;

  /// User mode i (0..7). Out-of-range indexes read the defaults and write nothing.
  Record getUserParameter(int i) const;
  void setUserParameter(const Record& record, int i);

  /// User button i (0..1). Out-of-range indexes read the defaults and write nothing.
  Record getUserButtonParameter(int i) const;
  void setUserButtonParameter(const Record& record, int i);

  /// Origin number of user button i (0..1): the mode number its settings came
  /// from, or 999 when changed since. Out-of-range indexes give 999 and write nothing.
  int getUserButtonParameterOriginalNumber(int i) const;
  void setUserButtonParameterOriginalNumber(int value, int i);

  /// The settings folder and the full path of the settings file ("" at first).
  const std::string& getIniDirectory() const { return iniDirectory_; }
  const std::string& getIniFilePath() const { return iniFilePath_; }
  void setIniPaths(const std::string& directory, const std::string& filePath);

  /// Checks a mode name and tells the user what is wrong with it, in this
  /// order, with the stop icon: more than 9 characters (the message names the
  /// limit), empty, or containing "*" (the mark of a changed button caption).
  /// Characters are the Unicode code points of the UTF-8 name. Returns true,
  /// without a message, for an acceptable name.
  static bool isSafeModeName(const std::string& name);

  /// Strips the decoration of a preset or user-button list entry: a name of at
  /// least 5 characters that begins with "[" and ends with "]ボタン" gives the
  /// characters between them; any other name comes back unchanged.
  static std::string modeNameHyphenation(const std::string& name);

  /// The record the constructor uses for the current record and user modes.
  static Record defaultRecord() { return Record{}; }
  /// Built-in preset i (0..5).
  static Record builtInPreset(int i);

 private:
  Record current_;
  std::array<Record, kPresetCount> presets_;
  std::array<Record, kUserModeCount> userModes_;
  std::array<Record, kUserButtonCount> userButtons_;
  std::array<int, kUserButtonCount> originalNumber_;
  std::string iniDirectory_;
  std::string iniFilePath_;
  int selectedMode_ = 0;
};

}  // namespace tonvale
