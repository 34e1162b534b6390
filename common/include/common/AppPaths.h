#pragma once
// Folders the programs find relative to themselves or to the user.
//
//   applicationFolder()   the folder of the running program (/proc/self/exe),
//                         where the shared libraries live too
//   userSettingsFolder()  $XDG_CONFIG_HOME (default ~/.config) + /Kestra/Tavelmor100
//   masterSettingsFolders()  <application folder>/../share/Kestra/Tavelmor100,
//                         then each folder of $XDG_CONFIG_DIRS (default
//                         /etc/xdg) + /Kestra/Tavelmor100
#include <string>
#include <vector>

namespace common {

/// The folder of the running program, without a trailing '/'; "" if unknown.
std::string applicationFolder();

/// The per-user settings folder (not created here).
std::string userSettingsFolder();

/// The shipped settings folders, most specific first.
std::vector<std::string> masterSettingsFolders();

}  // namespace common
