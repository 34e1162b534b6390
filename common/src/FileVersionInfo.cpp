#include "common/FileVersionInfo.h"

#include "BuildInfo.h"

namespace common {

std::string FileVersionInfo::fileVersion() { return std::string(TAVELMOR_VERSION) + ".0"; }

std::string FileVersionInfo::productVersion() { return TAVELMOR_VERSION; }

std::string FileVersionInfo::fileDescription() { return TAVELMOR_DESCRIPTION; }

}  // namespace common
