// Chooses the reader by the file's first bytes.
#include "quillane/imagefile/ImageLoader.h"

#include <cstdio>

namespace quillane {

LoadStatus loadImage(const std::string& path, LoadedImage& image) {
  image.clear();
  std::FILE* file = std::fopen(path.c_str(), "rbe");
  if (file == nullptr) return LoadStatus::Failed;
  unsigned char magic[2] = {0, 0};
  const size_t got = std::fread(magic, 1, 2, file);
  LoadStatus status = LoadStatus::Failed;
  if (got == 2 && std::fseek(file, 0, SEEK_SET) == 0) {
    if (magic[0] == 0xFF && magic[1] == 0xD8) {
      status = readJpeg(file, image);
    } else if (magic[0] == 0x89 && magic[1] == 'P') {
      status = readPng(file, image);
    } else if (magic[0] == 'B' && magic[1] == 'M') {
      status = readBmp(file, image);
    }
  }
  std::fclose(file);
  return status;
}

}  // namespace quillane
