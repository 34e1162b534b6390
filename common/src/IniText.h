#pragma once
// The text of a private-profile file as lines, with the lookups and the edit
// that IniFile builds on. Pure in-memory work; no file access.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace common {

class IniText {
 public:
  /// Parses raw file bytes: UTF-8 (a leading byte-order mark is skipped and
  /// remembered), or
  /// cp932 when the bytes are not valid UTF-8. Line ends may be "\n" or
  /// "\r\n"; the style found first is kept for writing.
  static IniText fromBytes(std::string_view bytes);

  /// The trimmed value of the first matching key in the first matching
  /// section (names compared case-insensitively), without one pair of
  /// enclosing quotes; nothing when the section or key is missing.
  std::optional<std::string> value(std::string_view section, std::string_view key) const;

  /// Replaces the value of the key, appends the key at the end of its
  /// section, or appends the section with the key at the end of the text.
  void set(std::string_view section, std::string_view key, std::string_view value);

  /// The text as UTF-8 bytes, every line followed by the kept line end,
  /// after the byte-order mark when the parsed bytes began with one.
  std::string toBytes() const;

 private:
  std::vector<std::string> lines_;
  std::string lineEnd_ = "\n";
  bool byteOrderMark_ = false;
};

/// True when the bytes are well-formed UTF-8.
bool isValidUtf8(std::string_view bytes);

/// Converts cp932 (Shift-JIS) bytes to UTF-8; undecodable bytes become U+FFFD.
std::string cp932ToUtf8(std::string_view bytes);

/// Private-profile integer parse: optional blanks, an optional sign and the
/// leading decimal digits; no digits gives 0. Saturates at the int range.
int parseProfileInt(std::string_view text);

}  // namespace common
