#pragma once
// Version strings of the running program, taken from the build's project
// version and description.
#include <string>

namespace common {

struct FileVersionInfo {
  /// "1.0.0.0" style file version.
  static std::string fileVersion();
  /// "1.0.0" style product version.
  static std::string productVersion();
  /// The "FileDescription" string.
  static std::string fileDescription();
};

}  // namespace common
