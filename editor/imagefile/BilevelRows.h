#pragma once
// Packing the rows of a bilevel page (0 black, anything else white) into the
// bits the 1-bit TIFF, PNG and BMP writers store.
#include <cstdint>

namespace quillane {

/// Packs width pixels into (width + 7) / 8 bytes, the first pixel in the most
/// significant bit, the bits after the last pixel 0. blackIsOne: a black pixel
/// is a 1 bit (WhiteIsZero TIFF); otherwise a white pixel is (PNG gray, and
/// BMP with black as colour 0).
void packBilevelRow(const uint8_t* gray, int32_t width, bool blackIsOne, uint8_t* packed);

}  // namespace quillane
