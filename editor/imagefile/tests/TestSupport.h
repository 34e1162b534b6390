#pragma once
// Fixture makers and helpers of the page file tests (also used by the batch
// tests and the fuzz seed corpus writer).
#include <cstdint>
#include <string>
#include <vector>

#include "quillane/imagefile/PageImageFile.h"

namespace imagefile_test {

/// A fresh folder under the temporary folder, removed with its files at the
/// end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::vector<uint8_t> readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);

/// A TIFF page to write. data holds the samples as libtiff takes them:
/// contiguous rows of ceil(width * samples * bits / 8) bytes, or for
/// separate planes each plane's rows of ceil(width * bits / 8) bytes one
/// plane after the other.
struct TiffSpec {
  uint32_t width = 0, height = 0;
  uint16_t samples = 1, bits = 8, photometric = 1, compression = 1, planar = 1;
  uint16_t extraSamples = 0;  ///< how many of the samples are alpha
  uint32_t rowsPerStrip = 0;  ///< 0: libtiff's default
  float xResolution = 0, yResolution = 0;
  uint16_t resolutionUnit = 0;             ///< 0: tag not written
  uint16_t fillOrder = 0;                  ///< 0: tag not written
  std::vector<uint16_t> red, green, blue;  ///< colour map
  uint16_t subsamplingH = 0, subsamplingV = 0;
  bool jpegRgbInput = false;  ///< YCbCr JPEG: data are RGB, libtiff converts
  uint32_t tileWidth = 0,
           tileLength = 0;  ///< tiles (contiguous 8-bit data only)
  std::vector<uint8_t> data;
};
bool writeTiff(const std::string& path, const TiffSpec& spec);

/// A PNG to write: rows packed as PNG stores them.
struct PngSpec {
  uint32_t width = 0, height = 0;
  int bitDepth = 8, colorType = 0;
  std::vector<uint8_t> palette;  ///< r, g, b triplets
  std::vector<uint8_t> trns;     ///< palette alpha
  uint32_t xPpm = 0, yPpm = 0;   ///< pHYs in pixels a metre; 0: none
  bool interlace = false;
  std::vector<uint8_t> data;
};
bool writePng(const std::string& path, const PngSpec& spec);

/// A JPEG of 1, 3 (RGB) or 4 (CMYK, with Adobe marker) components;
/// density in dpi (0: unit 0).
bool writeJpeg(const std::string& path, uint32_t width, uint32_t height, int components,
               const std::vector<uint8_t>& data, int quality = 95, int dpi = 0);

/// A BMP from its parts: rows as stored (bottom-up unless height < 0).
std::vector<uint8_t> makeBmp(int32_t width, int32_t height, uint16_t bitCount, uint32_t compression,
                             const std::vector<uint8_t>& palette /* b,g,r,0 quads */,
                             const std::vector<uint8_t>& pixelData, uint32_t xPpm = 0,
                             uint32_t yPpm = 0);

/// The bytes of a file made by writeTiff or writePng.
std::vector<uint8_t> tiffBytes(const TiffSpec& spec);
std::vector<uint8_t> pngBytes(const PngSpec& spec);

/// Probe + decode with a mode; returns the first non-success code (probe
/// results 1, 3, 4 count as success), 0 when the page was filled.
int openPage(quillane::PageImageFile& file, quillane::QuillaneImage& page, const std::string& path,
             int32_t mode = 0, int* probeResult = nullptr);

/// A deterministic gray test page with some structure.
std::vector<uint8_t> patternPage(int32_t width, int32_t height, uint32_t seed);

/// The pixels of a page, row after row without padding.
std::vector<uint8_t> pixelsOf(const quillane::QuillaneImage& page);

/// "" when the page has the expected pixels (width x height, stride = width)
/// within allowed, else the largest difference and where it is.
std::string compareGray(const quillane::QuillaneImage& page, const std::vector<uint8_t>& expected,
                        int allowed);

/// Watches the largest single heap allocation (only in sanitizer builds,
/// which offer allocation hooks; elsewhere available() is false).
class AllocationWatch {
 public:
  static bool available();
  AllocationWatch();
  ~AllocationWatch();
  size_t largest() const;
};

}  // namespace imagefile_test
