#include "common/AppPaths.h"

#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "common/FilePath.h"

namespace common {
namespace {

const char* const kProductFolder = "/Kestra/Tavelmor100";

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

}  // namespace

std::string applicationFolder() {
  std::string buffer(4096, '\0');
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return {};
  buffer.resize(static_cast<size_t>(n));
  return FilePath::split(buffer).folder;
}

std::string userSettingsFolder() {
  std::string base = environment("XDG_CONFIG_HOME");
  if (base.empty() || base.front() != '/') {
    const std::string home = environment("HOME");
    base = (home.empty() ? std::string("/tmp") : home) + "/.config";
  }
  return base + kProductFolder;
}

std::vector<std::string> masterSettingsFolders() {
  std::vector<std::string> folders;
  const std::string app = applicationFolder();
  if (!app.empty()) folders.push_back(app + "/../share" + kProductFolder);
  std::string dirs = environment("XDG_CONFIG_DIRS");
  if (dirs.empty()) dirs = "/etc/xdg";
  std::istringstream list(dirs);
  for (std::string dir; std::getline(list, dir, ':');)
    if (!dir.empty() && dir.front() == '/') folders.push_back(dir + kProductFolder);
  return folders;
}

}  // namespace common
