// Temporary file beside the target, flushed and renamed over it when complete.
#include "quillane/imagefile/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "common/FilePath.h"

namespace quillane {

namespace {

// The process umask, read without changing it (umask() itself would have to
// set a value, which is not safe while other threads create files).
mode_t currentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0) {
      try {
        return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
      } catch (...) {
        break;
      }
    }
  }
  return 022;
}

}  // namespace

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_ && !tempPath_.empty()) ::unlink(tempPath_.c_str());
}

bool AtomicFile::open() {
  // A symbolic link is written through: the file it names is replaced, the
  // link stays.
  struct stat link {};
  if (::lstat(target_.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    if (char* resolved = ::realpath(target_.c_str(), nullptr)) {
      target_ = resolved;
      std::free(resolved);
    }
  }
  const common::FilePath parts = common::FilePath::split(target_);
  std::string pattern = common::joinPath(parts.folder, "." + parts.fileName() + ".XXXXXX");
  const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return false;
  fd_ = fd;
  tempPath_ = pattern;
  return true;
}

std::FILE* AtomicFile::openStream() {
  if (fd_ < 0) return nullptr;
  const int copy = ::dup(fd_);
  if (copy < 0) return nullptr;
  std::FILE* stream = ::fdopen(copy, "wb");
  if (stream == nullptr) ::close(copy);
  return stream;
}

bool AtomicFile::commit() {
  if (fd_ < 0 || committed_) return false;
  struct stat old {};
  const mode_t mode =
      ::stat(target_.c_str(), &old) == 0 ? (old.st_mode & 07777) : (0666 & ~currentUmask());
  bool ok = ::fchmod(fd_, mode) == 0 && ::fsync(fd_) == 0;
  ok = ::close(fd_) == 0 && ok;
  fd_ = -1;
  if (!ok || ::rename(tempPath_.c_str(), target_.c_str()) != 0) return false;
  committed_ = true;
  // Make the rename itself durable.
  const common::FilePath parts = common::FilePath::split(target_);
  const int dir =
      ::open(parts.folder.empty() ? "." : parts.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace quillane
