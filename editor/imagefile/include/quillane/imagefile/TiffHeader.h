#pragma once
// TiffHeader: the tags of a TIFF page that reading and saving use, as the
// probe read them (0 for a tag the file does not have).
#include <cstdint>

namespace quillane {

struct TiffHeader {
  uint32_t width = 0;
  uint32_t height = 0;
  uint16_t compression = 0;
  /// The JPEG quality pseudo-tag (the codec's setting, not a stored tag).
  uint16_t jpegQuality = 0;
  uint16_t photometric = 0;
  /// Samples a pixel; a palette page whose colour map is not gray counts 3.
  uint16_t samplesPerPixel = 0;
  uint16_t planarConfig = 0;
  uint16_t bitsPerSample = 0;
  uint32_t rowsPerStrip = 0;
  uint16_t fillOrder = 0;
  /// Resolution in dots per inch (centimetre values already converted).
  float xResolution = 0.0f;
  float yResolution = 0.0f;
  uint16_t resolutionUnit = 0;
  /// Samples beyond the colour samples (alpha and the like).
  uint16_t extraSamples = 0;
};

}  // namespace quillane
