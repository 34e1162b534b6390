// Decoding a TIFF page into the 8-bit gray page.
//
// 8-bit pages of one gray sample are decoded strip by strip straight into
// the page, bilevel pages expanded row by row into it. The rows of other pages are delivered in
// order by TiffRowSource as interleaved 8-bit samples, whatever the file's layout: strip by strip
// for compressed data, scanline by scanline for uncompressed and PackBits
// data (no whole-page buffer), one buffer per plane for separate planes.
// Samples of 1, 2 and 4 bits are scaled to 0..255 through byte tables
// (palette indices are kept), 16-bit samples keep their high byte. Each row
// is then turned into gray at once, so no colour copy of the page ever
// exists.
//
// Pages that libtiff delivers only as RGBA (tiled pages, YCbCr with chroma
// subsampling) go through its RGBA reader in bands of rows.
#include <tiffio.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "TiffIo.h"
#include "quillane/imagefile/GrayConversion.h"
#include "quillane/imagefile/PageFileResult.h"

namespace quillane::tiffio {

namespace {

using pagefile::kTiffReadFailed;

bool oneOf(uint16_t value, std::initializer_list<uint16_t> set) {
  return std::find(set.begin(), set.end(), value) != set.end();
}

// Expansion tables of 1, 2 and 4-bit samples: entry b holds the 8, 4 or 2
// samples of the byte b, most significant first, scaled to 0..255 or kept
// as they are (palette indices).
struct UnpackTable {
  uint8_t samples[256][8];
  UnpackTable(unsigned bits, bool scale, bool invert = false) {
    const unsigned perByte = 8u / bits;
    const unsigned mask = (1u << bits) - 1u;
    const unsigned factor = scale ? 255u / mask : 1u;
    for (unsigned b = 0; b < 256; ++b) {
      for (unsigned i = 0; i < 8; ++i) {
        const unsigned shift = 8u - bits * (1u + i % perByte);
        const unsigned v = ((b >> shift) & mask) * factor;
        samples[b][i] = i < perByte ? static_cast<uint8_t>(invert ? 255u - v : v) : 0;
      }
    }
  }
};

const UnpackTable& unpackTable(uint16_t bits, bool scale) {
  static const UnpackTable tables[3][2] = {
      {{1, false}, {1, true}}, {{2, false}, {2, true}}, {{4, false}, {4, true}}};
  return tables[bits == 1 ? 0 : (bits == 2 ? 1 : 2)][scale ? 1 : 0];
}

// Expands the count samples of src, PerByte to a byte, through the table.
template <unsigned PerByte>
void expandPacked(const uint8_t* src, size_t count, const UnpackTable& table, uint8_t* dst) {
  const size_t whole = count / PerByte;
  for (size_t i = 0; i < whole; ++i, dst += PerByte) {
    std::memcpy(dst, table.samples[src[i]], PerByte);
  }
  if (count % PerByte != 0) std::memcpy(dst, table.samples[src[whole]], count % PerByte);
}

// Unpacks count samples of bits each (1, 2, 4, 8 or 16) into bytes.
void unpackSamples(const uint8_t* src, uint16_t bits, size_t count, bool scale, uint8_t* dst) {
  switch (bits) {
    case 8:
      std::memcpy(dst, src, count);
      break;
    case 16:
      for (size_t i = 0; i < count; ++i) {
        uint16_t v;
        std::memcpy(&v, src + 2 * i, 2);  // libtiff delivers native byte order
        dst[i] = static_cast<uint8_t>(v >> 8);
      }
      break;
    case 1:
      expandPacked<8>(src, count, unpackTable(1, scale), dst);
      break;
    case 2:
      expandPacked<4>(src, count, unpackTable(2, scale), dst);
      break;
    default:
      expandPacked<2>(src, count, unpackTable(4, scale), dst);
      break;
  }
}

class TiffRowSource {
 public:
  // False when the layout cannot be read (the caller reports -1).
  bool init(TIFF* tif, uint32_t width, uint32_t height, uint16_t samples, uint16_t bits,
            bool separatePlanes, bool scaleSamples) {
    tif_ = tif;
    width_ = width;
    height_ = height;
    samples_ = samples;
    bits_ = bits;
    planes_ = separatePlanes ? std::min<uint16_t>(samples, 4) : 1;
    samplesPerRead_ = separatePlanes ? 1 : samples;
    scale_ = scaleSamples;
    const uint16_t compression = compressionOf(tif);
    scanlines_ =
        compression == COMPRESSION_NONE || (compression == COMPRESSION_PACKBITS && !separatePlanes);
    uint32_t rps = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rps);
    rowsPerStrip_ = rps == 0 || rps > height ? height : rps;
    const uint64_t scanline = TIFFScanlineSize64(tif);
    const uint64_t needed = (uint64_t{width} * samplesPerRead_ * bits + 7) / 8;
    if (scanline == 0 || scanline < needed) return false;
    scanlineBytes_ = static_cast<size_t>(scanline);
    const size_t planeBuffer = scanlineBytes_ * (scanlines_ ? 1 : rowsPerStrip_);
    if (planeBuffer > kMaxSingleAllocation || size_t{width} * samples > kMaxSingleAllocation) {
      return false;
    }
    for (uint16_t p = 0; p < planes_; ++p) {
      raw_[p].reset(new (std::nothrow) uint8_t[planeBuffer]);
      if (!raw_[p]) return false;
    }
    const bool direct = bits == 8 && planes_ == 1;
    if (!direct) {
      row_.reset(new (std::nothrow) uint8_t[size_t{width} * samples]());
      if (!row_) return false;
      if (planes_ > 1) {
        plane_.reset(new (std::nothrow) uint8_t[width]);
        if (!plane_) return false;
      }
    }
    return true;
  }

  // The samples of row y (rows asked in increasing order); null on failure.
  const uint8_t* row(uint32_t y) {
    const uint8_t* raw[4] = {};
    for (uint16_t p = 0; p < planes_; ++p) {
      raw[p] = fetch(y, p);
      if (raw[p] == nullptr) return nullptr;
    }
    if (!row_) return raw[0];
    if (planes_ == 1) {
      unpackSamples(raw[0], bits_, size_t{width_} * samples_, scale_, row_.get());
    } else {
      for (uint16_t p = 0; p < planes_; ++p) {
        unpackSamples(raw[p], bits_, width_, scale_, plane_.get());
        uint8_t* out = row_.get() + p;
        for (uint32_t x = 0; x < width_; ++x, out += samples_) *out = plane_[x];
      }
    }
    return row_.get();
  }

 private:
  static uint16_t compressionOf(TIFF* tif) {
    uint16_t c = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &c);
    return c;
  }

  const uint8_t* fetch(uint32_t y, uint16_t plane) {
    uint8_t* buffer = raw_[plane].get();
    if (scanlines_) {
      return TIFFReadScanline(tif_, buffer, y, plane) == 1 ? buffer : nullptr;
    }
    const uint32_t strip = y / rowsPerStrip_;
    const uint32_t first = strip * rowsPerStrip_;
    if (loadedStrip_[plane] != static_cast<int64_t>(strip)) {
      const uint32_t rows = std::min(rowsPerStrip_, height_ - first);
      const auto bytes = static_cast<tmsize_t>(scanlineBytes_ * rows);
      const tmsize_t got =
          TIFFReadEncodedStrip(tif_, TIFFComputeStrip(tif_, y, plane), buffer, bytes);
      if (got < bytes) return nullptr;
      loadedStrip_[plane] = strip;
    }
    return buffer + scanlineBytes_ * (y - first);
  }

  TIFF* tif_ = nullptr;
  uint32_t width_ = 0, height_ = 0, rowsPerStrip_ = 1;
  uint16_t samples_ = 1, bits_ = 8, planes_ = 1, samplesPerRead_ = 1;
  bool scale_ = true, scanlines_ = false;
  size_t scanlineBytes_ = 0;
  std::unique_ptr<uint8_t[]> raw_[4];
  std::unique_ptr<uint8_t[]> row_;
  std::unique_ptr<uint8_t[]> plane_;
  int64_t loadedStrip_[4] = {-1, -1, -1, -1};
};

// Palette pages: the colour map scaled to 8 bits (16-bit maps are scaled
// by 255 / 65535 when any entry is 256 or more).
struct ColourMap {
  uint8_t r[256] = {}, g[256] = {}, b[256] = {};
  bool colour = false;
};

bool readColourMap(TIFF* tif, uint16_t bits, ColourMap& map) {
  uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
  if (TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b) != 1 || r == nullptr || g == nullptr ||
      b == nullptr) {
    return false;
  }
  const size_t entries = size_t{1} << bits;
  bool sixteen = false;
  for (size_t i = 0; i < entries; ++i) sixteen |= r[i] >= 256 || g[i] >= 256 || b[i] >= 256;
  const auto to8 = [sixteen](uint16_t v) {
    return static_cast<uint8_t>(sixteen ? v * 255u / 65535u : v);
  };
  for (size_t i = 0; i < entries; ++i) {
    map.r[i] = to8(r[i]);
    map.g[i] = to8(g[i]);
    map.b[i] = to8(b[i]);
    map.colour |= r[i] != g[i];
  }
  return true;
}

// 8-bit pages of one gray sample: every strip is decoded straight into its
// rows of the page (whose stride is its width), so the samples are copied
// once, by libtiff; WhiteIsZero rows are inverted in place.
int decodeGrayDirect(TIFF* tif, uint32_t width, uint32_t height, bool invert, QuillaneImage& page) {
  if (TIFFScanlineSize64(tif) != width || page.stride() != static_cast<int32_t>(width)) {
    return kTiffReadFailed;
  }
  uint32_t rowsPerStrip = 0;
  TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  if (rowsPerStrip == 0 || rowsPerStrip > height) rowsPerStrip = height;
  for (uint32_t first = 0; first < height; first += rowsPerStrip) {
    const uint32_t rows = std::min(rowsPerStrip, height - first);
    const auto bytes = static_cast<tmsize_t>(size_t{width} * rows);
    uint8_t* out = page.row(static_cast<int32_t>(first));
    if (TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, first, 0), out, bytes) < bytes) {
      return kTiffReadFailed;
    }
    if (invert) {
      for (tmsize_t i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(255 - out[i]);
    }
  }
  return pagefile::kSuccess;
}

// Expands decoded rows of packed bits into the page, as the decoder
// publishes them, on a thread of its own: the expansion writes eight times
// the bytes the decoder does, and alongside it costs almost no time. Where
// no thread can be started, publish() expands the rows itself.
class BilevelExpander {
 public:
  BilevelExpander(const uint8_t* packed, size_t rowBytes, uint32_t width, uint32_t height,
                  const UnpackTable& table, QuillaneImage& page)
      : packed_(packed),
        rowBytes_(rowBytes),
        width_(width),
        height_(height),
        table_(table),
        page_(page) {
    try {
      thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
      // Expanded on the calling thread instead.
    }
  }
  ~BilevelExpander() { stop(); }
  BilevelExpander(const BilevelExpander&) = delete;
  BilevelExpander& operator=(const BilevelExpander&) = delete;

  // Rows [0, end) are decoded.
  void publish(uint32_t end) {
    if (!thread_.joinable()) {
      expand(published_, end);
    } else {
      ready_.store(end, std::memory_order_release);
      ready_.notify_one();
    }
    published_ = end;
  }

  // Waits until every row of the page is expanded; call after publish(height).
  void finish() {
    if (thread_.joinable()) thread_.join();
  }

  // Ends the expansion without waiting for the rest (the page failed).
  void stop() {
    if (!thread_.joinable()) return;
    ready_.store(kStopped, std::memory_order_release);
    ready_.notify_one();
    thread_.join();
  }

 private:
  static constexpr uint32_t kStopped = UINT32_MAX;

  void run() {
    for (uint32_t done = 0; done < height_;) {
      ready_.wait(done, std::memory_order_acquire);
      const uint32_t end = ready_.load(std::memory_order_acquire);
      if (end == kStopped) return;
      expand(done, end);
      done = end;
    }
  }

  void expand(uint32_t first, uint32_t end) {
    for (uint32_t y = first; y < end; ++y) {
      expandPacked<8>(packed_ + rowBytes_ * y, width_, table_, page_.row(static_cast<int32_t>(y)));
    }
  }

  const uint8_t* packed_;
  size_t rowBytes_;
  uint32_t width_, height_;
  const UnpackTable& table_;
  QuillaneImage& page_;
  std::atomic<uint32_t> ready_{0};
  uint32_t published_ = 0;
  std::thread thread_;
};

// Bilevel pages of one sample: the strips are decoded into one buffer of
// packed rows (an eighth of the page) and expanded into the page through a
// table that applies the polarity as well (WhiteIsZero: a 1 bit is black),
// so the page is written once.
int decodeBilevelDirect(TIFF* tif, uint32_t width, uint32_t height, bool whiteIsZero,
                        QuillaneImage& page) {
  static const UnpackTable blackIsZeroTable(1, true), whiteIsZeroTable(1, true, true);
  const UnpackTable& table = whiteIsZero ? whiteIsZeroTable : blackIsZeroTable;
  const uint64_t rowBytes = TIFFScanlineSize64(tif);
  if (rowBytes < (uint64_t{width} + 7) / 8) return kTiffReadFailed;
  uint32_t rowsPerStrip = 0;
  TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  if (rowsPerStrip == 0 || rowsPerStrip > height) rowsPerStrip = height;
  if (rowBytes * height > kMaxSingleAllocation) return kTiffReadFailed;
  std::unique_ptr<uint8_t[]> packed(new (std::nothrow) uint8_t[rowBytes * height]);
  if (!packed) return kTiffReadFailed;
  BilevelExpander expander(packed.get(), rowBytes, width, height, table, page);
  for (uint32_t first = 0; first < height; first += rowsPerStrip) {
    const uint32_t rows = std::min(rowsPerStrip, height - first);
    const auto bytes = static_cast<tmsize_t>(rowBytes * rows);
    if (TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, first, 0), packed.get() + rowBytes * first,
                             bytes) < bytes) {
      return kTiffReadFailed;  // the expander stops on the way out
    }
    expander.publish(first + rows);
  }
  expander.finish();
  return pagefile::kSuccess;
}

// Tiled pages and subsampled YCbCr: libtiff's RGBA reader, a band of rows at
// a time, each row turned into RGB and then into gray.
int decodeThroughRgba(TIFF* tif, uint32_t width, uint32_t height,
                      const TiffGrayConverter& converter, QuillaneImage& page) {
  char message[1024];
  TIFFRGBAImage image;
  if (TIFFRGBAImageOK(tif, message) != 1 || TIFFRGBAImageBegin(&image, tif, 0, message) != 1) {
    return kTiffReadFailed;
  }
  image.req_orientation = ORIENTATION_TOPLEFT;
  const uint32_t band = std::min<uint32_t>(height, 64);
  std::unique_ptr<uint32_t[]> raster(new (std::nothrow) uint32_t[size_t{width} * band]);
  std::unique_ptr<uint8_t[]> rgb(new (std::nothrow) uint8_t[size_t{width} * 3]);
  int result = raster && rgb ? pagefile::kSuccess : kTiffReadFailed;
  for (uint32_t first = 0; result == pagefile::kSuccess && first < height; first += band) {
    const uint32_t rows = std::min(band, height - first);
    image.row_offset = static_cast<int>(first);
    image.col_offset = 0;
    if (TIFFRGBAImageGet(&image, raster.get(), width, rows) != 1) {
      result = kTiffReadFailed;
      break;
    }
    for (uint32_t r = 0; r < rows; ++r) {
      const uint32_t* src = raster.get() + size_t{r} * width;
      uint8_t* out = rgb.get();
      for (uint32_t x = 0; x < width; ++x, out += 3) {
        out[0] = static_cast<uint8_t>(TIFFGetR(src[x]));
        out[1] = static_cast<uint8_t>(TIFFGetG(src[x]));
        out[2] = static_cast<uint8_t>(TIFFGetB(src[x]));
      }
      converter.convertRow(rgb.get(), page.row(static_cast<int32_t>(first + r)),
                           static_cast<int32_t>(width));
    }
  }
  TIFFRGBAImageEnd(&image);
  return result;
}

}  // namespace

int decodePage(TIFF* tif, const TiffHeader& header, int32_t mode, QuillaneImage& page) {
  if (tif == nullptr) return pagefile::kUnsupported;
  const uint32_t width = header.width, height = header.height;
  if (!pagefile::pageSizeAllowed(width, height)) return pagefile::kTooLarge;
  const uint16_t photometric = header.photometric;
  const uint16_t bits = header.bitsPerSample;
  uint16_t fileSamples = 1;
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &fileSamples);
  if (fileSamples == 0) return pagefile::kUnsupported;
  const bool palette = photometric == PHOTOMETRIC_PALETTE;
  const bool bilevel = bits == 1 && !palette;
  const bool restricted = palette || bilevel;
  const uint16_t compression = header.compression;
  if (!oneOf(compression, {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE,
                           COMPRESSION_PACKBITS, COMPRESSION_DEFLATE}) &&
      (restricted || compression != COMPRESSION_JPEG)) {
    return pagefile::kUnsupportedCompression;
  }
  if (!oneOf(bits, {1, 2, 4, 8, 16}) || (palette && bits > 8)) return pagefile::kUnsupported;

  ColourMap map;
  if (palette && !readColourMap(tif, bits, map)) return pagefile::kNoColorMap;

  // The colour model of the rows that reach the converter.
  SampleModel model = SampleModel::BlackIsZero;
  int32_t samples = fileSamples;
  bool throughRgba = TIFFIsTiled(tif) != 0;
  switch (photometric) {
    case PHOTOMETRIC_MINISWHITE:
      model = SampleModel::WhiteIsZero;
      break;
    case PHOTOMETRIC_MINISBLACK:
      break;
    case PHOTOMETRIC_PALETTE:
      model = map.colour ? SampleModel::Rgb : SampleModel::BlackIsZero;
      samples = map.colour ? 3 : 1;
      break;
    case PHOTOMETRIC_RGB:
      model = SampleModel::Rgb;
      break;
    case PHOTOMETRIC_SEPARATED:
      model = SampleModel::Cmyk;
      break;
    case PHOTOMETRIC_YCBCR: {
      model = SampleModel::YCbCr;
      if (compression == COMPRESSION_JPEG) {
        // The JPEG codec turns the samples into RGB itself.
        if (TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB) != 1) {
          return kTiffReadFailed;
        }
        model = SampleModel::Rgb;
      } else {
        uint16_t h = 1, v = 1;
        TIFFGetFieldDefaulted(tif, TIFFTAG_YCBCRSUBSAMPLING, &h, &v);
        if (h != 1 || v != 1) throughRgba = true;
      }
      break;
    }
    default:
      return pagefile::kUnsupported;
  }

  TiffGrayConverter converter;
  if (throughRgba) {
    // The RGBA reader delivers RGB; gray pages come out with three equal
    // samples, which the weighted formula keeps exactly. CMYK single inks
    // are not available from it.
    const bool colour =
        model == SampleModel::Rgb || model == SampleModel::YCbCr || model == SampleModel::Cmyk;
    int32_t rgbMode = colour ? mode : kGrayWeighted;
    if (model == SampleModel::Cmyk && rgbMode != kGrayWeighted && rgbMode != kGrayDarkest) {
      return pagefile::kGrayModeUnavailable;
    }
    if (const int r = converter.init(SampleModel::Rgb, 3, rgbMode); r != 0) return r;
    if (!page.createUninitialized(static_cast<int32_t>(width), static_cast<int32_t>(height),
                                  static_cast<int32_t>(width), 1)) {
      return kTiffReadFailed;
    }
    return decodeThroughRgba(tif, width, height, converter, page);
  }

  if (const int r = converter.init(model, samples, mode); r != 0) return r;
  if (!page.createUninitialized(static_cast<int32_t>(width), static_cast<int32_t>(height),
                                static_cast<int32_t>(width), 1)) {
    return kTiffReadFailed;
  }

  if (!palette && bits == 8 && fileSamples == 1) {
    return decodeGrayDirect(tif, width, height, model == SampleModel::WhiteIsZero, page);
  }
  if (bilevel && fileSamples == 1) {
    return decodeBilevelDirect(tif, width, height, model == SampleModel::WhiteIsZero, page);
  }

  uint16_t planar = PLANARCONFIG_CONTIG;
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
  const bool separate = planar == PLANARCONFIG_SEPARATE && fileSamples > 1;
  TiffRowSource source;
  if (!source.init(tif, width, height, fileSamples, bits, separate, !palette)) {
    return kTiffReadFailed;
  }
  std::unique_ptr<uint8_t[]> mapped;
  if (palette) {
    mapped.reset(new (std::nothrow) uint8_t[size_t{width} * samples]);
    if (!mapped) return kTiffReadFailed;
  }
  const auto w = static_cast<int32_t>(width);
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* samplesRow = source.row(y);
    if (samplesRow == nullptr) return kTiffReadFailed;
    if (palette) {
      // Index (the first sample of each pixel) through the colour map.
      uint8_t* out = mapped.get();
      for (uint32_t x = 0; x < width; ++x, samplesRow += fileSamples) {
        const uint8_t i = *samplesRow;
        if (map.colour) {
          *out++ = map.r[i];
          *out++ = map.g[i];
          *out++ = map.b[i];
        } else {
          *out++ = map.r[i];
        }
      }
      samplesRow = mapped.get();
    }
    converter.convertRow(samplesRow, page.row(static_cast<int32_t>(y)), w);
  }
  return pagefile::kSuccess;
}

}  // namespace quillane::tiffio
