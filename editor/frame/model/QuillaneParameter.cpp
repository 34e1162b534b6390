#include "quillane/model/QuillaneParameter.h"

#include "common/FilePath.h"

namespace quillane {

void QuillaneParameter::setSettingsFolder(const std::string& folder) {
  settingsFolder = folder;
  settingsFilePath = common::joinPath(folder, kQuillaneIniFileName);
}

}  // namespace quillane
