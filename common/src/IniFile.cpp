#include "common/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>

#include "IniText.h"
#include "common/FilePath.h"

namespace common {
namespace {

// Reads the whole file; nothing when it cannot be opened or read.
std::optional<std::string> readAll(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string bytes;
  char buffer[16384];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return bytes;
}

bool writeAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Writes bytes to a temporary file beside path, flushes it to disk and
// renames it over path. On any failure the temporary file is removed and
// path is left as it was.
bool replaceAtomically(const std::string& path, const std::string& bytes) {
  const FilePath parts = FilePath::split(path);
  std::string pattern = joinPath(parts.folder, "." + parts.fileName() + ".XXXXXX");
  const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return false;
  // Keep the permissions of the file being replaced (new files: 0644).
  struct stat old {};
  const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok && ::rename(pattern.c_str(), path.c_str()) == 0) {
    // Make the rename itself durable.
    const int dir = ::open(parts.folder.empty() ? "." : parts.folder.c_str(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
      ::fsync(dir);
      ::close(dir);
    }
    return true;
  }
  ::unlink(pattern.c_str());
  return false;
}

}  // namespace

IniError::IniError(int code)
    : code_(code), message_("settings file error (" + std::to_string(code) + ")") {}

IniFile::IniFile(std::string path) : path_(std::move(path)) {}

void IniFile::openForReading() const {
  struct stat st {};
  if (::stat(path_.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) throw IniError(kIniNotAccessible);
  const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw IniError(kIniNotAccessible);
  ::close(fd);
}

void IniFile::openForWriting() const {
  const std::string folder = FilePath::split(path_).folder;
  if (!folder.empty()) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder)) throw IniError(kIniNotAccessible);
  }
  const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) throw IniError(kIniNotAccessible);
  ::close(fd);
}

int IniFile::readInt(const std::string& section, const std::string& key, int defaultValue) const {
  const auto bytes = readAll(path_);
  if (!bytes) return defaultValue;
  const auto value = IniText::fromBytes(*bytes).value(section, key);
  if (!value || value->empty()) return defaultValue;
  return parseProfileInt(*value);
}

std::string IniFile::readString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const {
  const auto bytes = readAll(path_);
  if (!bytes) return defaultValue;
  const auto value = IniText::fromBytes(*bytes).value(section, key);
  return value ? *value : defaultValue;
}

void IniFile::writeString(const std::string& section, const std::string& key,
                          const std::string& value) const {
  IniEdit edit(*this);
  edit.writeString(section, key, value);
  edit.commit();
}

void IniFile::writeInt(const std::string& section, const std::string& key, int value) const {
  writeString(section, key, std::to_string(value));
}

IniEdit::IniEdit(const IniFile& file) : path_(file.path()) {
  const std::optional<std::string> bytes = readAll(path_);
  // A file that exists but cannot be read must not be replaced by one that
  // holds only the new keys.
  if (!bytes && ::access(path_.c_str(), F_OK) == 0) throw IniError(kIniWriteRefused);
  text_ = std::make_unique<IniText>(IniText::fromBytes(bytes ? *bytes : std::string()));
}

IniEdit::~IniEdit() = default;

void IniEdit::writeString(const std::string& section, const std::string& key,
                          const std::string& value) {
  text_->set(section, key, value);
}

void IniEdit::writeInt(const std::string& section, const std::string& key, int value) {
  writeString(section, key, std::to_string(value));
}

void IniEdit::commit() {
  if (!replaceAtomically(path_, text_->toBytes())) throw IniError(kIniWriteRefused);
}

}  // namespace common
