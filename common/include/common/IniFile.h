#pragma once
// One access to a private-profile settings file ("ini" file), with the
// semantics settings files written on Windows rely on:
//
//  - "[Section]" lines open a section; "key=value" lines belong to it.
//  - Section and key names compare case-insensitively (ASCII); values and
//    names are trimmed of surrounding blanks.
//  - Integer read: an optional sign and the leading decimal digits of the value
//    ("12abc" reads 12, "abc" reads 0); a missing key or an empty value gives
//    the caller's default.
//  - String read: a missing key gives the caller's default; a present key gives
//    its trimmed value (possibly empty).
//  - Write: replaces the key's value in place, or appends the key at the end of
//    its section, or appends the section at the end of the file; every other
//    line of the file is kept as it was.
//
// Files are read as UTF-8, or as cp932 (Shift-JIS) when they are not valid
// UTF-8 (files written on Windows), and always written as UTF-8. Every write
// replaces the file atomically: the new content goes to a temporary file in the
// same folder, is flushed to disk and renamed over the old file, so a failed
// write leaves the old file exactly as it was.
//
// Errors are integer codes carried by IniError. The settings code of each
// library raises them from its own rules (what counts as a missing key is the
// caller's decision) and shows them as "(%d)".
#include <exception>
#include <memory>
#include <string>

namespace common {

/// The settings file cannot be opened (read: missing or unreadable; write:
/// its folder cannot be created or the file cannot be opened for writing).
inline constexpr int kIniNotAccessible = 1050;
/// A key is missing or holds a value the caller rejects.
inline constexpr int kIniKeyMissing = 1052;
/// The write of a value was refused.
inline constexpr int kIniWriteRefused = 1053;

/// An integer settings-file error code (1050, 1052 or 1053) raised as an
/// exception inside the settings code.
class IniError : public std::exception {
 public:
  explicit IniError(int code);
  int code() const noexcept { return code_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  int code_;
  std::string message_;
};

class IniFile {
 public:
  explicit IniFile(std::string path);

  const std::string& path() const noexcept { return path_; }

  /// Checks that the file exists and can be opened for reading; raises
  /// IniError(kIniNotAccessible) otherwise.
  void openForReading() const;

  /// Creates every missing folder on the file's path and the file itself when
  /// missing (empty), and checks that it can be opened for writing; raises
  /// IniError(kIniNotAccessible) when any of this fails.
  void openForWriting() const;

  /// Private-profile integer read (see the top of this file). A file that
  /// does not exist or cannot be read gives the default.
  int readInt(const std::string& section, const std::string& key, int defaultValue) const;

  /// Private-profile string read. A file that does not exist or cannot be read
  /// gives the default.
  std::string readString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const;

  /// Private-profile write of one key, replacing the file atomically. Creates
  /// the file (not its folder) when missing. Raises IniError(kIniWriteRefused)
  /// when the new file cannot be written or renamed; the old file is then
  /// untouched.
  void writeString(const std::string& section, const std::string& key,
                   const std::string& value) const;

  /// writeString with the value formatted as "%d".
  void writeInt(const std::string& section, const std::string& key, int value) const;

 private:
  std::string path_;
};

class IniText;

/// Several writes to one settings file made as one: the file is read once,
/// each write changes the text in memory, and commit() replaces the file
/// atomically. Either every write reaches the file or none does, and saving
/// many keys costs one replacement of the file instead of one a key. Each
/// write follows the rules of IniFile::writeString.
class IniEdit {
 public:
  /// Reads the file; a missing file starts empty. Raises
  /// IniError(kIniWriteRefused) when the file exists but cannot be read (it
  /// must not be replaced by one that holds only the new keys).
  explicit IniEdit(const IniFile& file);
  ~IniEdit();
  IniEdit(const IniEdit&) = delete;
  IniEdit& operator=(const IniEdit&) = delete;

  void writeString(const std::string& section, const std::string& key, const std::string& value);
  void writeInt(const std::string& section, const std::string& key, int value);

  /// Replaces the file with the edited text. Raises IniError(kIniWriteRefused)
  /// when the new file cannot be written or renamed; the old file is then
  /// untouched.
  void commit();

 private:
  std::string path_;
  std::unique_ptr<IniText> text_;
};

}  // namespace common
