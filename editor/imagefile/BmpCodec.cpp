// BMP reading and writing.
//
// Reading: a file header of 14 bytes, then an information header of 12
// (OS/2), 40, 52, 56, 108 or 124 bytes, an optional colour table and the
// pixel rows, each padded to 4 bytes, bottom row first unless the height is
// negative. RLE8 and RLE4 code pairs (count, value) with the escapes 0 end of
// line, 1 end of bitmap, 2 move and 3..255 a literal run padded to 2 bytes;
// pixels the codes never reach take palette index 0.
//
// Every size the header declares is checked before the matching memory is
// allocated or the matching bytes are read.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "BilevelRows.h"
#include "quillane/imagefile/ImageLoader.h"
#include "quillane/imagefile/ImageWriter.h"
#include "quillane/imagefile/PageFileResult.h"

namespace quillane {

namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
void put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
  put16(p, v);
  put16(p + 2, v >> 16);
}

bool readExactly(std::FILE* file, void* buffer, size_t bytes) {
  return std::fread(buffer, 1, bytes, file) == bytes;
}

// A colour mask of 32-bit bit fields as shift and width; the channel value is
// scaled to 8 bits.
struct MaskChannel {
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;
  uint8_t extract(uint32_t pixel) const {
    if (bits == 0) return 0;
    const uint32_t v = (pixel & mask) >> shift;
    if (bits >= 8) return static_cast<uint8_t>(v >> (bits - 8));
    return static_cast<uint8_t>(v * 255u / ((1u << bits) - 1u));
  }
};

MaskChannel maskChannel(uint32_t mask) {
  MaskChannel channel;
  channel.mask = mask;
  if (mask == 0) return channel;
  while (((mask >> channel.shift) & 1u) == 0) ++channel.shift;
  while (channel.shift + channel.bits < 32 && ((mask >> (channel.shift + channel.bits)) & 1u)) {
    ++channel.bits;
  }
  return channel;
}

struct BmpHeader {
  int32_t width = 0;
  int32_t height = 0;  // always positive here
  bool topDown = false;
  uint32_t bitCount = 0;
  uint32_t compression = kBiRgb;
  uint32_t dataOffset = 0;
  uint32_t xPpm = 0;
  uint32_t yPpm = 0;
  uint32_t paletteOffset = 0;
  uint32_t paletteEntries = 0;
  uint32_t paletteEntryBytes = 4;
  MaskChannel red, green, blue;
};

// Parses the headers; false for anything this reader does not handle.
bool parseHeader(const uint8_t* bytes, size_t available, BmpHeader& header) {
  if (available < 26 || bytes[0] != 'B' || bytes[1] != 'M') return false;
  header.dataOffset = le32(bytes + 10);
  const uint32_t infoSize = le32(bytes + 14);
  int64_t height = 0;
  if (infoSize == 12) {
    header.width = le16(bytes + 18);
    height = le16(bytes + 20);
    header.bitCount = le16(bytes + 24);
    header.paletteEntryBytes = 3;
  } else if (infoSize >= 40 && infoSize <= 124) {
    if (available < 14 + 40) return false;
    header.width = static_cast<int32_t>(le32(bytes + 18));
    height = static_cast<int32_t>(le32(bytes + 22));
    header.bitCount = le16(bytes + 28);
    header.compression = le32(bytes + 30);
    header.xPpm = le32(bytes + 38);
    header.yPpm = le32(bytes + 42);
    header.paletteEntries = le32(bytes + 46);
  } else {
    return false;
  }
  header.paletteOffset = 14 + infoSize;
  if (header.compression == kBiBitfields) {
    if (header.bitCount != 32) return false;
    // The masks follow a 40-byte header, or are part of a longer one.
    const size_t at = 14 + 40;
    if (available < at + 12) return false;
    header.red = maskChannel(le32(bytes + at));
    header.green = maskChannel(le32(bytes + at + 4));
    header.blue = maskChannel(le32(bytes + at + 8));
    if (infoSize == 40) header.paletteOffset += 12;
  }
  if (height < 0) {
    header.topDown = true;
    height = -height;
  }
  header.height = static_cast<int32_t>(std::min<int64_t>(height, INT32_MAX));
  switch (header.bitCount) {
    case 1:
    case 4:
    case 8:
      if (header.compression == kBiRle8 && header.bitCount != 8) return false;
      if (header.compression == kBiRle4 && header.bitCount != 4) return false;
      if (header.compression != kBiRgb && header.compression != kBiRle8 &&
          header.compression != kBiRle4) {
        return false;
      }
      if (header.paletteEntries == 0 || header.paletteEntries > (1u << header.bitCount)) {
        header.paletteEntries = 1u << header.bitCount;
      }
      break;
    case 24:
      if (header.compression != kBiRgb) return false;
      header.paletteEntries = 0;
      break;
    case 32:
      if (header.compression != kBiRgb && header.compression != kBiBitfields) return false;
      header.paletteEntries = 0;
      break;
    default:
      return false;
  }
  // RLE pictures are always stored bottom-up.
  if (header.topDown && header.compression != kBiRgb && header.compression != kBiBitfields) {
    return false;
  }
  return true;
}

// Decodes RLE8 or RLE4 codes into palette indices, one byte a pixel, rows
// bottom-up as stored (row 0 is the bottom row). False when the codes end
// before the end-of-bitmap escape or the last row.
bool decodeRle(const uint8_t* codes, size_t size, bool rle4, int32_t width, int32_t height,
               uint8_t* indices) {
  std::memset(indices, 0, static_cast<size_t>(width) * height);
  int64_t x = 0, y = 0;
  size_t p = 0;
  const auto put = [&](uint8_t value) {
    if (x < width && y < height) indices[y * width + x] = value;
    ++x;
  };
  while (y < height) {
    if (p + 2 > size) return false;
    const uint8_t count = codes[p], value = codes[p + 1];
    p += 2;
    if (count > 0) {
      for (int i = 0; i < count && x < width; ++i) {
        put(rle4 ? static_cast<uint8_t>((i & 1) ? (value & 15) : (value >> 4)) : value);
      }
      continue;
    }
    switch (value) {
      case 0:  // end of line
        x = 0;
        ++y;
        break;
      case 1:  // end of bitmap
        return true;
      case 2:  // move right and up
        if (p + 2 > size) return false;
        x += codes[p];
        y += codes[p + 1];
        p += 2;
        break;
      default: {  // literal run
        const size_t bytes = rle4 ? (value + 1u) / 2u : value;
        if (p + bytes > size) return false;
        for (int i = 0; i < value; ++i) {
          const uint8_t byte = codes[p + (rle4 ? i / 2 : i)];
          put(rle4 ? static_cast<uint8_t>((i & 1) ? (byte & 15) : (byte >> 4)) : byte);
        }
        p += (bytes + 1) & ~size_t{1};
        break;
      }
    }
  }
  return true;
}

// Unpacks a row of 1, 4 or 8-bit palette indices.
void unpackIndices(const uint8_t* src, uint32_t bitCount, int32_t width, uint8_t* indices) {
  if (bitCount == 8) {
    std::memcpy(indices, src, static_cast<size_t>(width));
  } else if (bitCount == 4) {
    for (int32_t x = 0; x < width; ++x) {
      indices[x] = static_cast<uint8_t>((x & 1) ? (src[x >> 1] & 15) : (src[x >> 1] >> 4));
    }
  } else {
    for (int32_t x = 0; x < width; ++x) indices[x] = (src[x >> 3] >> (7 - (x & 7))) & 1;
  }
}

struct Palette {
  uint8_t b[256] = {}, g[256] = {}, r[256] = {};
  bool gray = true;
};

void mapIndices(const uint8_t* indices, const Palette& palette, int32_t width, int32_t channels,
                uint8_t* out) {
  if (channels == 1) {
    for (int32_t x = 0; x < width; ++x) out[x] = palette.r[indices[x]];
  } else {
    for (int32_t x = 0; x < width; ++x, out += 3) {
      const uint8_t i = indices[x];
      out[0] = palette.b[i];
      out[1] = palette.g[i];
      out[2] = palette.r[i];
    }
  }
}

}  // namespace

LoadStatus readBmp(std::FILE* file, LoadedImage& image) {
  image.clear();
  // Headers (at most 14 + 124 bytes) and the colour table (at most 256 x 4).
  uint8_t head[14 + 124];
  const size_t available = std::fread(head, 1, sizeof head, file);
  BmpHeader header;
  if (!parseHeader(head, available, header)) return LoadStatus::Failed;
  if (!pagefile::pageSizeAllowed(header.width, header.height)) return LoadStatus::TooLarge;

  Palette palette;
  if (header.paletteEntries > 0) {
    std::vector<uint8_t> table(header.paletteEntries * header.paletteEntryBytes);
    if (std::fseek(file, header.paletteOffset, SEEK_SET) != 0 ||
        !readExactly(file, table.data(), table.size())) {
      return LoadStatus::Failed;
    }
    for (uint32_t i = 0; i < header.paletteEntries; ++i) {
      const uint8_t* e = table.data() + i * header.paletteEntryBytes;
      palette.b[i] = e[0];
      palette.g[i] = e[1];
      palette.r[i] = e[2];
      if (e[0] != e[1] || e[1] != e[2]) palette.gray = false;
    }
  }
  const int32_t channels = (header.paletteEntries > 0 && palette.gray) ? 1 : 3;
  const int32_t w = header.width, h = header.height;
  if (std::fseek(file, header.dataOffset, SEEK_SET) != 0) return LoadStatus::Failed;

  if (header.compression == kBiRle8 || header.compression == kBiRle4) {
    // The code stream is at most the file's rest; a stream longer than any
    // sensible coding of the picture is refused before it is read.
    const long start = std::ftell(file);
    if (start < 0 || std::fseek(file, 0, SEEK_END) != 0) return LoadStatus::Failed;
    const long end = std::ftell(file);
    if (end < start || std::fseek(file, start, SEEK_SET) != 0) return LoadStatus::Failed;
    const auto codeBytes = static_cast<size_t>(end - start);
    const size_t limit = 2 * static_cast<size_t>(w) * h + 4 * static_cast<size_t>(h) + 1024;
    std::unique_ptr<uint8_t[]> codes(new (std::nothrow) uint8_t[std::min(codeBytes, limit) + 1]);
    std::unique_ptr<uint8_t[]> indices(new (std::nothrow) uint8_t[static_cast<size_t>(w) * h]);
    if (!codes || !indices) return LoadStatus::Failed;
    const size_t got = std::fread(codes.get(), 1, std::min(codeBytes, limit), file);
    if (!decodeRle(codes.get(), got, header.compression == kBiRle4, w, h, indices.get())) {
      return LoadStatus::Failed;
    }
    if (!image.allocate(w, h, channels)) return LoadStatus::Failed;
    for (int32_t y = 0; y < h; ++y) {
      mapIndices(indices.get() + static_cast<size_t>(h - 1 - y) * w, palette, w, channels,
                 image.row(y));
    }
  } else {
    const size_t stride = ((static_cast<size_t>(w) * header.bitCount + 31) / 32) * 4;
    std::unique_ptr<uint8_t[]> row(new (std::nothrow) uint8_t[stride]);
    std::unique_ptr<uint8_t[]> indices(new (std::nothrow) uint8_t[static_cast<size_t>(w)]);
    if (!row || !indices || !image.allocate(w, h, channels)) {
      image.clear();
      return LoadStatus::Failed;
    }
    for (int32_t i = 0; i < h; ++i) {
      if (!readExactly(file, row.get(), stride)) {
        image.clear();
        return LoadStatus::Failed;
      }
      uint8_t* out = image.row(header.topDown ? i : h - 1 - i);
      const uint8_t* src = row.get();
      if (header.bitCount <= 8) {
        unpackIndices(src, header.bitCount, w, indices.get());
        mapIndices(indices.get(), palette, w, channels, out);
      } else if (header.bitCount == 24) {
        std::memcpy(out, src, static_cast<size_t>(w) * 3);
      } else if (header.compression == kBiBitfields) {
        for (int32_t x = 0; x < w; ++x, src += 4, out += 3) {
          const uint32_t pixel = le32(src);
          out[0] = header.blue.extract(pixel);
          out[1] = header.green.extract(pixel);
          out[2] = header.red.extract(pixel);
        }
      } else {
        for (int32_t x = 0; x < w; ++x, src += 4, out += 3) {
          out[0] = src[0];
          out[1] = src[1];
          out[2] = src[2];
        }
      }
    }
  }
  image.xDpi = dotsPerInch(header.xPpm);
  image.yDpi = dotsPerInch(header.yPpm);
  return LoadStatus::Ok;
}

namespace {

// Writes an uncompressed bottom-up BMP of 8 bits (256 gray entries) or 1 bit
// (black, white) a pixel, rows padded to 4 bytes.
bool writeBmp(std::FILE* file, const GrayPageView& page, int bitCount) {
  if (page.pixels == nullptr || page.width <= 0 || page.height <= 0) return false;
  const uint32_t entries = 1u << bitCount;
  const size_t stride = ((static_cast<size_t>(page.width) * bitCount + 31) / 32) * 4;
  const size_t offset = 14 + 40 + 4 * entries;
  const size_t fileSize = offset + stride * page.height;
  std::vector<uint8_t> head(offset, 0);
  head[0] = 'B';
  head[1] = 'M';
  put32(&head[2], fileSize > UINT32_MAX ? 0 : static_cast<uint32_t>(fileSize));
  put32(&head[10], static_cast<uint32_t>(offset));
  put32(&head[14], 40);
  put32(&head[18], static_cast<uint32_t>(page.width));
  put32(&head[22], static_cast<uint32_t>(page.height));
  put16(&head[26], 1);
  put16(&head[28], static_cast<uint32_t>(bitCount));
  put32(&head[30], kBiRgb);
  put32(&head[34], static_cast<uint32_t>(stride * page.height));
  put32(&head[38], pixelsPerMetre(page.xDpi));
  put32(&head[42], pixelsPerMetre(page.yDpi));
  put32(&head[46], entries);
  for (uint32_t i = 0; i < entries; ++i) {
    const uint8_t v = static_cast<uint8_t>(bitCount == 1 ? i * 255 : i);
    uint8_t* e = &head[54 + 4 * i];
    e[0] = e[1] = e[2] = v;
  }
  if (std::fwrite(head.data(), 1, head.size(), file) != head.size()) return false;
  std::vector<uint8_t> row(stride, 0);
  for (int32_t y = page.height - 1; y >= 0; --y) {
    const uint8_t* src = page.row(y);
    if (bitCount == 8) {
      std::memcpy(row.data(), src, static_cast<size_t>(page.width));
    } else {
      packBilevelRow(src, page.width, false, row.data());
    }
    if (std::fwrite(row.data(), 1, stride, file) != stride) return false;
  }
  return std::fflush(file) == 0 && !std::ferror(file);
}

}  // namespace

bool writeGrayBmp(std::FILE* file, const GrayPageView& page) { return writeBmp(file, page, 8); }

bool writeBilevelBmp(std::FILE* file, const GrayPageView& page) { return writeBmp(file, page, 1); }

}  // namespace quillane
