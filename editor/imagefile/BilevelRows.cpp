// Eight pixels at a time; see BilevelRows.h.
#include "BilevelRows.h"

#include <bit>
#include <cstring>

namespace quillane {

static_assert(std::endian::native == std::endian::little, "pixel 0 is the lowest byte of a word");

void packBilevelRow(const uint8_t* gray, int32_t width, bool blackIsOne, uint8_t* packed) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  const uint8_t flip = blackIsOne ? 0xFF : 0x00;
  int32_t x = 0;
  for (; x + 8 <= width; x += 8) {
    uint64_t v;
    std::memcpy(&v, gray + x, 8);
    // The high bit of each byte is set when the pixel is not 0 (white) ...
    const uint64_t white = (((v & kLow7) + kLow7) | v) >> 7 & 0x0101010101010101ull;
    // ... and the multiplication gathers the eight flags into the top byte,
    // the first pixel (the lowest byte) in its most significant bit.
    const auto bits = static_cast<uint8_t>((white * 0x8040201008040201ull) >> 56);
    packed[x >> 3] = static_cast<uint8_t>(bits ^ flip);
  }
  if (x < width) {
    uint8_t bits = 0;
    for (int32_t i = 0; x + i < width; ++i) {
      if ((gray[x + i] == 0) == blackIsOne) bits |= static_cast<uint8_t>(0x80u >> i);
    }
    packed[x >> 3] = bits;
  }
}

}  // namespace quillane
