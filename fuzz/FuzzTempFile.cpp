#include "FuzzTempFile.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace fuzz {

namespace {

std::string makeFolder() {
  std::error_code error;
  std::string base = "/dev/shm";
  if (::access(base.c_str(), W_OK) != 0) {
    base = std::filesystem::temp_directory_path(error).string();
    if (error) base = "/tmp";
  }
  std::string pattern = base + "/tavelmor-fuzz-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    std::abort();
  }
  return pattern;
}

}  // namespace

FuzzTempFile::FuzzTempFile(const std::string& name)
    : folder_(makeFolder()), path_(folder_ + "/" + name) {}

FuzzTempFile::~FuzzTempFile() {
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

void FuzzTempFile::write(const uint8_t* data, size_t size) const {
  std::FILE* file = std::fopen(path_.c_str(), "wbe");
  if (file == nullptr || (size > 0 && std::fwrite(data, 1, size, file) != size) ||
      std::fclose(file) != 0) {
    std::perror(path_.c_str());
    std::abort();
  }
}

}  // namespace fuzz
