#pragma once
// AtomicFile: writes a file so that the target is either the old file or the
// complete new one, never a partial write.
//
// open() creates a temporary file beside the target (same folder, name
// ".<name>.XXXXXX"). The caller writes it through fd(), tempPath() or
// openStream(). commit() flushes it to disk, gives it the target's
// permissions (a new file: 0666 less the umask), renames it over the target
// and flushes the folder. A target that is a symbolic link is written
// through: the file it points to is replaced. Destroying an uncommitted AtomicFile removes the
// temporary file and leaves the target untouched.
#include <cstdio>
#include <string>

namespace quillane {

class AtomicFile {
 public:
  explicit AtomicFile(std::string target);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  /// Creates the temporary file; false when the folder does not allow it.
  [[nodiscard]] bool open();

  /// Descriptor of the temporary file (-1 before open()).
  int fd() const { return fd_; }
  const std::string& tempPath() const { return tempPath_; }
  const std::string& target() const { return target_; }

  /// A stdio stream on a duplicate of fd() for binary writing; the caller
  /// closes it (fclose) before commit(). Null on failure.
  std::FILE* openStream();

  /// Makes the written file durable and renames it over the target. False
  /// when any step fails; the target is then unchanged.
  [[nodiscard]] bool commit();

 private:
  std::string target_;
  std::string tempPath_;
  int fd_ = -1;
  bool committed_ = false;
};

}  // namespace quillane
