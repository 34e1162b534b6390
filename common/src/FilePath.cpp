#include "common/FilePath.h"

namespace common {

FilePath FilePath::split(const std::string& path) {
  FilePath parts;
  std::string name = path;
  const size_t slash = path.find_last_of('/');
  if (slash != std::string::npos) {
    parts.folder = slash == 0 ? "/" : path.substr(0, slash);
    name = path.substr(slash + 1);
  }
  // A dot at the start of the name marks a hidden file, not an extension.
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) {
    parts.baseName = name.substr(0, dot);
    parts.extension = name.substr(dot);
  } else {
    parts.baseName = name;
  }
  return parts;
}

std::string FilePath::path() const { return joinPath(folder, fileName()); }

std::string joinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string asciiLower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

std::string lowerExtension(const std::string& path) {
  return asciiLower(FilePath::split(path).extension);
}

}  // namespace common
