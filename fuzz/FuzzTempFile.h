#pragma once
// FuzzTempFile: the one file through which a fuzz target hands its input to
// readers that only take a path. It lives in a private folder made on first
// use (in /dev/shm when that is available, so that the settings writer's
// flushes to disk cost nothing), which is removed at normal exit.
#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

class FuzzTempFile {
 public:
  /// The process's temp file, named name inside the private folder.
  explicit FuzzTempFile(const std::string& name);
  ~FuzzTempFile();
  FuzzTempFile(const FuzzTempFile&) = delete;
  FuzzTempFile& operator=(const FuzzTempFile&) = delete;

  /// Replaces the file's content with size bytes of data. Aborts when the
  /// file cannot be written: a run on a half-written input proves nothing.
  void write(const uint8_t* data, size_t size) const;

  const std::string& path() const { return path_; }

 private:
  std::string folder_;
  std::string path_;
};

}  // namespace fuzz
