#pragma once
// Helpers of the tavelmor-batch tests: a temporary folder, running the built
// program, and making and reading page files.
#include <cstdint>
#include <string>
#include <vector>

#include "quillane/model/QuillaneImage.h"

namespace batch_test {

/// A fresh folder under the temporary folder, removed at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

struct RunResult {
  int exitCode = -1;
  std::string out;  ///< what the program wrote on stdout
  std::string err;  ///< ... and on stderr
};

/// Runs the built tavelmor-batch with the arguments (stdin, stdout and
/// stderr redirected; stderr is no terminal, so no progress bar).
RunResult runTool(const std::vector<std::string>& args);

/// Runs the built tavelmor-batch with stdout and stderr on one pseudo
/// terminal and returns all it wrote there (exitCode and out filled).
RunResult runToolOnTerminal(const std::vector<std::string>& args);

/// The folder holding the shipped settings files of the source tree.
std::string shippedSettingsFolder();

/// A gray page of white paper with ink strokes, solid black blocks with
/// white pinholes, dark specks of 1 to 30 pixels (gray 0..200) and light
/// gray noise (230..254), made from the seed.
quillane::QuillaneImage speckledPage(int32_t width, int32_t height, float dpi, uint32_t seed);

/// Writes page to path as formatKind (1 TIFF, 3 PNG, ...) with the editor's
/// page-file writer; false on failure.
bool savePage(const quillane::QuillaneImage& page, const std::string& path, int32_t formatKind);

/// Reads a gray page (or a colour page with the weighted conversion) with
/// the editor's reader; an empty image on failure.
quillane::QuillaneImage loadPage(const std::string& path);

/// Reads an 8-bit RGB PNG into rgb; false when it is not one.
bool readRgbPng(const std::string& path, int32_t& width, int32_t& height,
                std::vector<uint8_t>& rgb);

std::vector<uint8_t> readBytes(const std::string& path);
bool sameBytes(const std::string& a, const std::string& b);

}  // namespace batch_test
