#pragma once
// Splitting and joining of file paths ('/'-separated).
//
//   split("/scans/vol1/p001.Tif") -> folder "/scans/vol1", baseName "p001",
//                                    extension ".Tif"
//   split("p001")                 -> folder "", baseName "p001", extension ""
//   split("/scans/.hidden")       -> folder "/scans", baseName ".hidden",
//                                    extension "" (a leading dot is part of
//                                    the name, not an extension)
//   join("/scans", "p.tif") -> "/scans/p.tif";  join("", "p.tif") -> "p.tif"
#include <string>

namespace common {

struct FilePath {
  std::string folder;     ///< without a trailing '/', "" when none; "/" for the root
  std::string baseName;   ///< file name without its extension
  std::string extension;  ///< with its leading '.', as written; "" when none

  static FilePath split(const std::string& path);

  /// The file name: baseName + extension.
  std::string fileName() const { return baseName + extension; }
  /// The whole path again: join(folder, fileName()).
  std::string path() const;
};

/// folder + "/" + name, without doubling a '/' and without a leading "/" for
/// an empty folder.
std::string joinPath(const std::string& folder, const std::string& name);

/// The extension of a path in lower case, with its dot (".tif"), for table
/// lookups; "" when the path has none.
std::string lowerExtension(const std::string& path);

/// ASCII lower case of a string (other bytes unchanged).
std::string asciiLower(std::string text);

}  // namespace common
