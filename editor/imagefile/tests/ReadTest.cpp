// Reading pages. A catalogue of small files, one for every kind of TIFF,
// JPEG, PNG and BMP page the editor opens and every gray conversion mode,
// each with the gray page that a straightforward model of its samples and of
// the conversion formulas gives; the same files cut and changed; and the page
// size limit.
#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <set>
#include <sstream>

#include "TestSupport.h"
#include "common/Notice.h"
#include "quillane/imagefile/GrayConversion.h"
#include "quillane/imagefile/PageImageFile.h"

namespace quillane {
namespace {

using namespace imagefile_test;
using namespace pagefile;
using enum SampleModel;
using Bytes = std::vector<uint8_t>;

constexpr char kCmykNotice[] = "JPEGのCMYK画像はサポート対象外です。RGBに変換して表示します。";

template <class... Parts>
std::string str(const Parts&... parts) {
  std::ostringstream out;
  (out << ... << parts);
  return out.str();
}

// The gray value of a pixel of TIFF samples by the documented formulas; -1
// when the converter does not offer the mode.
int modelGray(SampleModel model, std::vector<int> s, int32_t mode) {
  if (mode < kGrayAsIs || mode > kGrayDarkest) return -1;
  if (model == BlackIsZero) return s[0];
  if (model == WhiteIsZero) return 255 - s[0];
  if (mode == kGrayAsIs && (s.size() == 3 || s.size() == 4)) mode = kGrayWeighted;
  if (model == YCbCr) {
    const auto clamp = [](double v) { return std::clamp(static_cast<int>(v), 0, 255); };
    const double y = s[0], cb = s[1] - 128, cr = s[2] - 128;
    s = {clamp(y + 1.402 * cr), clamp(y - 0.34414 * cb - 0.71414 * cr), clamp(y + 1.772 * cb)};
  }
  const bool cmyk = model == Cmyk;
  const auto ink = [&s](int c) { return 255 - std::max(s[c], s[3]); };
  if (mode == kGrayWeighted && cmyk) return (30 * ink(0) + 59 * ink(1) + 11 * ink(2)) / 100;
  if (mode == kGrayWeighted) return (299 * s[0] + 587 * s[1] + 114 * s[2]) / 1000;
  if (mode == kGrayDarkest && cmyk) return 255 - std::max({s[0], s[1], s[2], s[3]});
  if (mode == kGrayDarkest) return std::min({s[0], s[1], s[2]});
  const size_t channel = mode == kGrayAsIs ? 0 : (mode == kGrayBlack ? 3 : (mode - 1) % 3);
  if (channel >= s.size()) return -1;
  return cmyk ? 255 - s[channel] : s[channel];
}

// The same for a pixel of a JPEG, PNG or BMP reader image (blue, green, red).
int modelReaderGray(int b, int g, int r, int32_t mode) {
  if (mode == kGrayRed || mode == kGrayGreen) return mode == kGrayRed ? r : g;
  if (mode == kGrayAsIs || mode == kGrayBlue) return b;
  if (mode == kGrayWeighted) return (4899 * r + 9617 * g + 1868 * b + 8192) >> 14;  // OpenCV's
  return mode == kGrayDarkest ? std::min({b, g, r}) : -1;
}

// Packs samples of 1, 2, 4, 8 or 16 bits into rows of width samples, most
// significant bits first (16 bits in native byte order, as libtiff takes them).
Bytes pack(const std::vector<int>& samples, uint32_t width, int bits) {
  const size_t rowBytes = (width * bits + 7) / 8;
  Bytes out(rowBytes * (samples.size() / width));
  for (size_t i = 0; i < samples.size(); ++i) {
    uint8_t* at = out.data() + i / width * rowBytes + i % width * bits / 8;
    const auto v = static_cast<uint16_t>(samples[i]);
    if (bits == 16) std::memcpy(at, &v, 2);
    if (bits < 16) *at |= static_cast<uint8_t>(v << (8 - bits - i % width * bits % 8));
  }
  return out;
}

// A file of the catalogue and what opening it must give.
struct Case {
  std::string name;
  int32_t kind = kFormatTiff;
  Bytes bytes;
  Bytes expected;  ///< the gray page, row after row
  int32_t mode = kGrayAsIs;
  int probe = kGray;
  int result = 0;   ///< of probe and decode (openPage)
  int allowed = 0;  ///< largest pixel difference (lossy files)
  bool bilevel = false;
  struct {
    float x = 72, y = 72;
    bool defaulted = true;
  } dpi;
  bool notice = false;  ///< the CMYK JPEG notice is shown
};

constexpr uint32_t kW = 259, kH = 11;  // wider than a block of the YCbCr conversion

TiffSpec tiff(uint32_t w, uint32_t h, uint16_t samples, uint16_t bits, uint16_t photometric,
              uint16_t compression = COMPRESSION_NONE) {
  TiffSpec s{.width = w, .height = h, .samples = samples, .bits = bits};
  std::tie(s.photometric, s.compression) = std::pair(photometric, compression);
  return s;
}

// Sample c of pixel i of the colour pages, and the samples of pixel i.
int sample(size_t i, size_t c) { return (i % kW * 37 + i / kW * 11 + c * 71) % 256; }
std::vector<int> samplesOf(size_t i, int count) {
  std::vector<int> s;
  for (int c = 0; c < count; ++c) s.push_back(sample(i, c));
  return s;
}

void addTiffCases(std::vector<Case>& cases) {
  const auto add = [&cases](Case c, const TiffSpec& spec) {
    c.bytes = tiffBytes(spec);
    if (spec.samples == 3 && c.probe == kGray) c.probe = kRgb;  // three samples: RGB to the probe
    cases.push_back(c);
  };
  const Bytes pattern = patternPage(kW, kH, 3);
  // Bilevel: every compression the page kind takes (CCITT refused), both
  // polarities, both fill orders.
  Bytes bilevel;
  for (uint8_t v : pattern) bilevel.push_back(v < 128 ? 0 : 255);
  const uint16_t compressions[] = {
      COMPRESSION_NONE,    COMPRESSION_LZW,       COMPRESSION_ADOBE_DEFLATE, COMPRESSION_PACKBITS,
      COMPRESSION_DEFLATE, COMPRESSION_CCITTFAX4, COMPRESSION_CCITTRLE};
  for (int i = 0; i < 7; ++i) {
    TiffSpec s = tiff(kW, kH, 1, 1, static_cast<uint16_t>(i % 2), compressions[i]);
    std::tie(s.rowsPerStrip, s.fillOrder) = std::pair(4, i / 2 % 2 ? FILLORDER_LSB2MSB : 0);
    std::vector<int> bits;
    for (uint8_t v : bilevel) bits.push_back((v == 0) == (s.photometric == PHOTOMETRIC_MINISWHITE));
    s.data = pack(bits, kW, 1);
    add({.name = str("bilevel, compression ", s.compression, ", photometric ", s.photometric,
                     ", fill order ", s.fillOrder),
         .expected = bilevel,
         .mode = 3 + i,  // a gray page takes any mode
         .result = i < 5 ? 0 : kUnsupportedCompression,
         .bilevel = true},
        s);
  }
  // Gray of every sample size, each with a resolution case.
  struct Gray {
    uint16_t bits, photometric, compression, unit;
    float x, y, expectX, expectY;
    bool defaulted;
  };
  for (const Gray& g : {Gray{8, 1, COMPRESSION_NONE, RESUNIT_INCH, 300, 600, 300, 600, false},
                        Gray{8, 1, COMPRESSION_LZW, RESUNIT_CENTIMETER, 118.11f, 118.11f, 300, 300},
                        Gray{8, 1, COMPRESSION_PACKBITS, RESUNIT_NONE, 300, 300, 72, 72, true},
                        Gray{8, 1, COMPRESSION_DEFLATE, RESUNIT_INCH, 50, 50, 72, 72, true},
                        Gray{8, 0, COMPRESSION_NONE, RESUNIT_INCH, 40000, 40000, 72, 72, true},
                        Gray{16, 1, COMPRESSION_LZW, RESUNIT_INCH, 60, 60, 60, 60, false},
                        Gray{4, 1, COMPRESSION_NONE, RESUNIT_INCH, 30000, 30000, 30000, 30000},
                        Gray{2, 1, COMPRESSION_ADOBE_DEFLATE, 0, 0, 0, 72, 72, true}}) {
    TiffSpec s = tiff(kW, kH, 1, g.bits, g.photometric, g.compression);
    std::tie(s.rowsPerStrip, s.xResolution, s.yResolution, s.resolutionUnit) =
        std::tuple(3, g.x, g.y, g.unit);
    const int max = (1 << g.bits) - 1;
    std::vector<int> samples;
    Bytes expected;
    for (uint8_t v : pattern) {
      samples.push_back(g.bits == 16 ? v * 256 + 255 - v : v * max / 255);  // 16: high byte counts
      const int gray = g.bits == 16 ? samples.back() >> 8 : samples.back() * 255 / max;
      expected.push_back(static_cast<uint8_t>(g.photometric == 0 ? 255 - gray : gray));
    }
    s.data = pack(samples, kW, g.bits);
    add({.name = str("gray, ", g.bits, " bits, photometric ", g.photometric, ", compression ",
                     g.compression),
         .expected = expected,
         .dpi = {g.expectX, g.expectY, g.defaulted}},
        s);
  }
  // Palettes: gray entries of 16 bits (scaled to 8), and colour entries of
  // 8 bits (made gray by the weighted formula).
  for (bool colour : {false, true}) {
    TiffSpec s = tiff(kW, kH, 1, 4, PHOTOMETRIC_PALETTE, COMPRESSION_LZW);
    for (int i = 0; i < 16; ++i) {
      s.red.push_back(static_cast<uint16_t>(colour ? sample(i, 0) : 65535 - i * 4369));
      s.green.push_back(static_cast<uint16_t>(colour ? sample(i, 1) : s.red.back()));
      s.blue.push_back(static_cast<uint16_t>(colour ? sample(i, 2) : s.red.back()));
    }
    std::vector<int> indices;
    Bytes expected;
    for (size_t i = 0; i < kW * kH; ++i) {
      const int index = static_cast<int>((i % kW + i / kW * 3) % 16);
      indices.push_back(index);
      expected.push_back(static_cast<uint8_t>(
          colour ? modelGray(Rgb, samplesOf(index, 3), kGrayAsIs) : 255 - 17 * index));
    }
    s.data = pack(indices, kW, 4);
    add({.name = colour ? "colour palette" : "gray palette", .expected = expected}, s);
  }
  // RGB and CMYK in every layout, and full-resolution YCbCr, in every mode
  // offered or not.
  struct Colour {
    uint16_t photometric;
    SampleModel model;
    uint16_t samples, extra, planar, compression;
  };
  for (const Colour& c : {Colour{PHOTOMETRIC_RGB, Rgb, 3, 0, 1, COMPRESSION_NONE},
                          Colour{PHOTOMETRIC_RGB, Rgb, 3, 0, 2, COMPRESSION_LZW},
                          Colour{PHOTOMETRIC_RGB, Rgb, 3, 0, 2, COMPRESSION_NONE},
                          Colour{PHOTOMETRIC_RGB, Rgb, 4, 1, 1, COMPRESSION_PACKBITS},
                          Colour{PHOTOMETRIC_SEPARATED, Cmyk, 4, 0, 1, COMPRESSION_DEFLATE},
                          Colour{PHOTOMETRIC_SEPARATED, Cmyk, 4, 0, 2, COMPRESSION_PACKBITS},
                          Colour{PHOTOMETRIC_SEPARATED, Cmyk, 5, 1, 1, COMPRESSION_LZW},
                          Colour{PHOTOMETRIC_YCBCR, YCbCr, 3, 0, 1, COMPRESSION_NONE}}) {
    TiffSpec s = tiff(kW, kH, c.samples, 8, c.photometric, c.compression);
    std::tie(s.planar, s.extraSamples, s.rowsPerStrip) = std::tuple(c.planar, c.extra, 4);
    if (c.model == YCbCr) std::tie(s.subsamplingH, s.subsamplingV) = std::pair(1, 1);
    const size_t pixels = kW * kH;
    for (size_t i = 0; i < pixels * c.samples; ++i) {
      s.data.push_back(static_cast<uint8_t>(c.planar == PLANARCONFIG_SEPARATE
                                                ? sample(i % pixels, i / pixels)
                                                : sample(i / c.samples, i % c.samples)));
    }
    const Bytes bytes = tiffBytes(s);
    for (int32_t mode = -1; mode <= 10; ++mode) {
      Case k{.name = str("photometric ", c.photometric, ", ", c.samples, " samples, planar ",
                         c.planar, ", compression ", c.compression, ", mode ", mode),
             .bytes = bytes,
             .mode = mode,
             .probe = c.model == Cmyk ? kCmyk : kRgb};
      for (size_t i = 0; i < pixels; ++i) {
        const int v = modelGray(c.model, samplesOf(i, c.samples), mode);
        k.result = v < 0 ? kGrayModeUnavailable : 0;
        k.expected.push_back(static_cast<uint8_t>(v));
      }
      cases.push_back(k);
    }
  }
  // Through libtiff's own conversion: YCbCr with 2 x 2 chroma subsampling
  // (one colour), JPEG-compressed YCbCr, and tiles.
  TiffSpec sub = tiff(8, 4, 3, 8, PHOTOMETRIC_YCBCR);
  std::tie(sub.rowsPerStrip, sub.subsamplingH, sub.subsamplingV) = std::tuple(4, 2, 2);
  for (int block = 0; block < 8; ++block)
    sub.data.insert(sub.data.end(), {100, 100, 100, 100, 128, 200});
  // Red: 100 + 1.402 * 72; weighted: (299 * 200 + 587 * 40 + 114 * 90) / 1000.
  add({.name = "YCbCr subsampled", .expected = Bytes(32, 200), .mode = kGrayRed, .allowed = 2},
      sub);
  TiffSpec jpeg = tiff(32, 16, 3, 8, PHOTOMETRIC_YCBCR, COMPRESSION_JPEG);
  std::tie(jpeg.rowsPerStrip, jpeg.jpegRgbInput) = std::pair(16, true);
  for (int i = 0; i < 32 * 16; ++i) jpeg.data.insert(jpeg.data.end(), {200, 40, 90});
  add({.name = "YCbCr JPEG", .expected = Bytes(512, 93), .mode = kGrayWeighted, .allowed = 4},
      jpeg);
  TiffSpec tiled = tiff(40, 20, 1, 8, PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW);
  TiffSpec tiledRgb = tiff(40, 20, 3, 8, PHOTOMETRIC_RGB);
  std::tie(tiled.tileWidth, tiled.tileLength, tiledRgb.tileWidth, tiledRgb.tileLength) =
      std::tuple(16, 16, 16, 16);
  tiled.data = patternPage(40, 20, 7);
  Bytes darkest;
  for (uint8_t v : tiled.data) {
    tiledRgb.data.insert(tiledRgb.data.end(), {v, static_cast<uint8_t>(255 - v), 3});
    darkest.push_back(std::min<uint8_t>({v, static_cast<uint8_t>(255 - v), 3}));
  }
  add({.name = "tiled gray", .expected = tiled.data}, tiled);
  add({.name = "tiled RGB", .expected = darkest, .mode = kGrayDarkest}, tiledRgb);
  // A colour model and a sample size the probe refuses.
  TiffSpec lab = tiff(kW, kH, 3, 8, PHOTOMETRIC_CIELAB), twelve = tiff(kW, kH, 1, 12, 1);
  lab.data.assign(size_t{kW} * kH * 3, 50);
  twelve.data.assign((kW * 12 + 7) / 8 * kH, 0);
  add({.name = "CIE Lab", .probe = kUnsupported, .result = kUnsupported}, lab);
  add({.name = "12 bits", .probe = kUnsupported, .result = kUnsupported}, twelve);
}

void addJpegCases(std::vector<Case>& cases) {
  const TempDir dir;
  const auto jpegBytes = [&dir](int components, const Bytes& data, int dpi) {
    EXPECT_TRUE(writeJpeg(dir.file("f.jpg"), 32, 16, components, data, 100, dpi));
    return readBytes(dir.file("f.jpg"));
  };
  // A smooth ramp (JPEG keeps it closely): as gray, and as the red of an RGB
  // page. CMYK with magenta and yellow ink only (red) shows the notice.
  Bytes ramp, rgb, cmyk;
  for (int i = 0; i < 32 * 16; ++i) {
    ramp.push_back(static_cast<uint8_t>(i % 32 * 255 / 31));
    rgb.insert(rgb.end(), {ramp.back(), 0, 255});
    cmyk.insert(cmyk.end(), {255, 0, 0, 255});  // as Adobe stores it: 255 is no ink
  }
  const auto add = [&cases](Case c, const Bytes& bytes) {
    std::tie(c.name, c.kind, c.bytes) = std::tuple("JPEG " + c.name, kFormatJpeg, bytes);
    cases.push_back(c);
  };
  add({.name = "gray", .expected = ramp, .allowed = 3, .dpi = {300, 300, false}},
      jpegBytes(1, ramp, 300));
  add({.name = "RGB", .expected = ramp, .mode = kGrayRed, .probe = kRgb, .allowed = 8},
      jpegBytes(3, rgb, 0));
  for (int32_t mode : {kGrayRed, kGrayGreen}) {
    add({.name = str("CMYK, mode ", mode),
         .expected = Bytes(512, mode == kGrayRed ? 255 : 0),
         .mode = mode,
         .probe = kRgb,
         .allowed = 5,
         .notice = true},
        jpegBytes(4, cmyk, 0));
  }
}

void addPngCases(std::vector<Case>& cases) {
  const uint32_t w = 11, h = 5;
  const Bytes page = patternPage(w, h, 4);
  const auto add = [&](Case c, PngSpec spec) {
    std::tie(spec.width, spec.height, c.name, c.kind) =
        std::tuple(w, h, "PNG " + c.name, kFormatPng);
    c.bytes = pngBytes(spec);
    if (c.expected.empty()) c.expected = page;
    cases.push_back(c);
  };
  std::vector<int> bits, indices;
  Bytes bilevel, grayPalette, darkest;
  PngSpec sixteen{.bitDepth = 16, .xPpm = 1968, .yPpm = 1968};  // the high byte counts
  PngSpec rgb{.colorType = PNG_COLOR_TYPE_RGB, .xPpm = 1181103, .yPpm = 1181103};
  for (size_t i = 0; i < w * h * 3; ++i) rgb.data.push_back(sample(i / 3, i % 3));
  PngSpec rgba{.colorType = PNG_COLOR_TYPE_RGB_ALPHA, .interlace = true};  // alpha dropped
  PngSpec allGray{.colorType = PNG_COLOR_TYPE_RGB};
  for (uint8_t v : page) {
    bits.push_back(v >= 128);
    bilevel.push_back(v < 128 ? 0 : 255);
    indices.push_back(v % 4);
    grayPalette.push_back(static_cast<uint8_t>(v % 4 == 3 ? 250 : v % 4 * 90));
    darkest.push_back(std::array<uint8_t, 4>{0, 10, 40, 255}[v % 4]);
    sixteen.data.insert(sixteen.data.end(), {v, static_cast<uint8_t>(255 - v)});
    rgba.data.insert(rgba.data.end(), {v, 9, 9, 17});
    allGray.data.insert(allGray.data.end(), {v, v, v});
  }
  // Pixels a metre: 11811 is 299.9994 dpi, 2363 just over 60; 1968 (about
  // 50) and 1181103 (just over 30000) give 72.
  add({.name = "gray, interlaced", .dpi = {300, 300, false}},
      {.xPpm = 11811, .yPpm = 11811, .interlace = true, .data = page});
  add({.name = "gray, 16 bits", .mode = kGrayDarkest}, sixteen);  // a gray page takes any mode
  add({.name = "gray, 1 bit",
       .expected = bilevel,
       .bilevel = true,
       .dpi = {60.0202f, 60.0202f, false}},
      {.bitDepth = 1, .xPpm = 2363, .yPpm = 2363, .data = pack(bits, w, 1)});
  for (int32_t mode = -1; mode <= 10; ++mode) {  // the reader images' formulas
    Case c{.name = str("RGB, mode ", mode), .mode = mode, .probe = kRgb};
    for (size_t i = 0; i < w * h; ++i) {
      const int v = modelReaderGray(sample(i, 2), sample(i, 1), sample(i, 0), mode);
      c.result = v < 0 ? kGrayModeUnavailable : 0;
      c.expected.push_back(static_cast<uint8_t>(v));
    }
    add(c, rgb);
  }
  add({.name = "RGB with alpha", .mode = kGrayRed, .probe = kRgb}, rgba);
  add({.name = "RGB whose every pixel is gray"}, allGray);
  add({.name = "gray palette, 2 bits", .expected = grayPalette},
      {.bitDepth = 2,
       .colorType = PNG_COLOR_TYPE_PALETTE,
       .palette = {0, 0, 0, 90, 90, 90, 180, 180, 180, 250, 250, 250},
       .data = pack(indices, w, 2)});
  add({.name = "colour palette with transparency",
       .expected = darkest,
       .mode = kGrayDarkest,
       .probe = kRgb},
      {.colorType = PNG_COLOR_TYPE_PALETTE,
       .palette = {255, 0, 0, 10, 200, 30, 40, 50, 60, 255, 255, 255},
       .trns = {0, 128},
       .data = pack(indices, w, 8)});
}

void addBmpCases(std::vector<Case>& cases) {
  Case text{.name = "text", .kind = kFormatNone, .bytes = {'h', 'e', 'l', 'l', 'o'}};
  text.probe = text.result = kUnsupported;
  cases.push_back(text);
  // 5 x 3 pages; rows stored bottom-up unless the height is negative, each
  // padded to 4 bytes.
  const Bytes page = {0, 255, 0, 255, 255, 255, 0, 0, 0, 255, 255, 255, 255, 0, 0};
  const auto grays = [](int n) {
    Bytes quads;
    for (int i = 0; i < n; ++i) {
      const auto v = static_cast<uint8_t>(i * 255 / (n - 1));
      quads.insert(quads.end(), {v, v, v, 0});
    }
    return quads;
  };
  Bytes rows8, rows24, rows32;  // blue is the page, green 100, red 7
  for (int i = 0; i < 15; ++i) {
    const uint8_t v = page[(2 - i / 5) * 5 + i % 5];
    rows8.push_back(v);
    rows24.insert(rows24.end(), {v, 100, 7});
    rows32.insert(rows32.end(), {v, 100, 7, 0});
    if (i % 5 == 4) rows8.insert(rows8.end(), 3, 0);
    if (i % 5 == 4) rows24.push_back(0);
  }
  const auto add = [&](Case c, const Bytes& bytes) {
    std::tie(c.name, c.kind, c.bytes, c.expected) =
        std::tuple("BMP " + c.name, kFormatBmp, bytes, page);
    cases.push_back(c);
  };
  add({.name = "1 bit", .bilevel = true},
      makeBmp(5, 3, 1, 0, grays(2), {0xE0, 0, 0, 0, 0x88, 0, 0, 0, 0x58, 0, 0, 0}));
  add({.name = "1 bit, top-down", .bilevel = true},
      makeBmp(5, -3, 1, 0, grays(2), {0x58, 0, 0, 0, 0x88, 0, 0, 0, 0xE0, 0, 0, 0}));
  add({.name = "4 bits"},
      makeBmp(5, 3, 4, 0, grays(16), {0xFF, 0xF0, 0, 0, 0xF0, 0, 0xF0, 0, 0x0F, 0x0F, 0xF0, 0}));
  add({.name = "8 bits"}, makeBmp(5, 3, 8, 0, grays(256), rows8));
  add({.name = "RLE8"},
      makeBmp(5, 3, 8, 1, grays(256),
              {3, 255, 2, 0,   0, 0,   1,   255, 3, 0, 1, 255, 0, 0,  // bottom, middle
               0, 5,   0, 255, 0, 255, 255, 0,   0, 0, 0, 1}));       // top: literal
  add({.name = "RLE4"}, makeBmp(5, 3, 4, 2, grays(16),
                                {3, 0xFF, 2,    0x00, 0,    0, 1, 0xF0, 3, 0x00, 1, 0xF0, 0, 0,  //
                                 0, 5,    0x0F, 0x0F, 0xF0, 0, 0, 0,    0, 1}));
  add({.name = "24 bits", .mode = kGrayBlue, .probe = kRgb, .dpi = {300, 600, false}},
      makeBmp(5, 3, 24, 0, {}, rows24, 11811, 23622));
  add({.name = "32 bits", .mode = kGrayBlue, .probe = kRgb}, makeBmp(5, 3, 32, 0, {}, rows32));
}

const std::vector<Case>& catalogue() {
  static const std::vector<Case> cases = [] {
    std::vector<Case> all;
    addTiffCases(all);
    addJpegCases(all);
    addPngCases(all);
    addBmpCases(all);
    return all;
  }();
  return cases;
}

TEST(Read, EveryKindOfPageGivesThePageOfItsModel) {
  std::vector<std::string> notices;
  common::ScopedNoticeHandler recorder(
      [&notices](const std::string& text, common::NoticeIcon icon, common::NoticeButtons) {
        EXPECT_EQ(icon, common::NoticeIcon::None);
        notices.push_back(text);
        return common::NoticeAnswer::Ok;
      });
  const TempDir dir;
  for (const Case& c : catalogue()) {
    SCOPED_TRACE(c.name);
    notices.clear();
    writeBytes(dir.file("page"), c.bytes);  // no extension: the bytes decide the format
    PageImageFile file;
    QuillaneImage page;
    int probe = 0;
    ASSERT_EQ(openPage(file, page, dir.file("page"), c.mode, &probe), c.result);
    EXPECT_EQ(probe, c.probe);
    EXPECT_EQ(file.formatKind(), c.kind);
    EXPECT_EQ(notices, std::vector<std::string>(c.notice ? 1 : 0, kCmykNotice));
    EXPECT_EQ(file.loaderColorKind(), c.notice ? 4 : 0);
    if (c.result != 0) {
      EXPECT_TRUE(page.isEmpty());
      continue;
    }
    EXPECT_EQ(page.stride(), page.width());
    EXPECT_EQ(compareGray(page, c.expected, c.allowed), "");
    EXPECT_EQ(file.isBilevel(), c.bilevel);
    EXPECT_NEAR(page.horizontalResolution, c.dpi.x, 2e-3);  // 11811 pixels a metre: 299.9994
    EXPECT_NEAR(page.verticalResolution, c.dpi.y, 2e-3);
    EXPECT_EQ(file.resolutionDefaulted(), c.dpi.defaulted);
  }
  EXPECT_EQ(PageImageFile().probe(dir.file("missing")), kCannotOpenForReading);
}

// Opens the bytes as a page: the result code and, on success, the pixels.
std::pair<int, Bytes> openBytes(const std::string& path, const Bytes& bytes, int32_t mode) {
  writeBytes(path, bytes);
  PageImageFile file;
  QuillaneImage page;
  const int result = openPage(file, page, path, mode);
  if (result != 0) return {result, {}};
  EXPECT_EQ(page.stride(), page.width());
  EXPECT_LE(int64_t{page.width()} * page.height(), kMaxPagePixels);
  return {result, pixelsOf(page)};
}

// Every file of the catalogue that opens, cut at many lengths and with
// random bytes changed, must end with a result code: never a crash, a
// sanitizer report or another message; a cut file that still loads must
// give exactly the page of the whole file.
TEST(DamagedInput, CutAndChangedFilesEndWithAResultCode) {
  const std::set<int> knownCodes = {0, 5, 1001, 1003, 1202, 1500, 1501, 1504, 2001, -1};
  std::vector<std::string> notices;
  common::ScopedNoticeHandler quiet(
      [&notices](const std::string& text, common::NoticeIcon, common::NoticeButtons) {
        notices.push_back(text);
        return common::NoticeAnswer::Ok;
      });
  const TempDir dir;
  const std::string path = dir.file("damaged");
  std::mt19937 random(20240601);
  std::set<Bytes> seen;
  for (const Case& c : catalogue()) {
    if (c.result != 0 || !seen.insert(c.bytes).second) continue;
    SCOPED_TRACE(c.name);
    const Bytes& bytes = c.bytes;
    const auto whole = openBytes(path, bytes, c.mode);
    ASSERT_EQ(whole.first, 0);
    // Every length of the first and the last 24 bytes, and 24 between.
    std::set<size_t> lengths;
    for (size_t n = 0; n < std::min<size_t>(24, bytes.size()); ++n) {
      lengths.insert({n, bytes.size() - 1 - n, n * bytes.size() / 24});
    }
    for (size_t n : lengths) {
      const auto cut =
          openBytes(path, Bytes(bytes.begin(), bytes.begin() + static_cast<long>(n)), c.mode);
      ASSERT_TRUE(knownCodes.count(cut.first)) << "cut at " << n << ": " << cut.first;
      ASSERT_TRUE(cut.first != 0 || cut.second == whole.second) << "cut at " << n;
      EXPECT_TRUE(n >= 2 || cut.first == kFileTooShort) << "cut at " << n;
    }
    for (int round = 0; round < 24; ++round) {  // 1 to 4 bytes changed
      Bytes changed = bytes;
      for (int i = 0, count = 1 + static_cast<int>(random() % 4); i < count; ++i) {
        changed[random() % changed.size()] ^= static_cast<uint8_t>(1 + random() % 255);
      }
      const int code = openBytes(path, changed, c.mode).first;
      ASSERT_TRUE(knownCodes.count(code)) << "round " << round << ": " << code;
    }
  }
  for (const std::string& text : notices) EXPECT_EQ(text, kCmykNotice);
}

// Found by fuzzing: a page of 4096 samples a pixel in strips of 128 rows
// asked for a 2 GB strip buffer. The decoder refuses buffers that libtiff
// itself would refuse to allocate.
TEST(DamagedInput, HeaderAskingForGigabytesIsRefusedWithoutAllocating) {
  const TempDir dir;
  const std::string path = dir.file("many-samples.tif");
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(tif, nullptr);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 4096);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 128);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4096);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 128);
  uint8_t strip[16] = {0x80};
  ASSERT_EQ(TIFFWriteRawStrip(tif, 0, strip, sizeof strip), static_cast<tmsize_t>(sizeof strip));
  TIFFClose(tif);
  PageImageFile file;
  QuillaneImage page;
  AllocationWatch watch;
  int probe = 0;
  EXPECT_EQ(openPage(file, page, path, 0, &probe), kTiffReadFailed);
  EXPECT_EQ(probe, kGray);
  EXPECT_LT(AllocationWatch::available() ? watch.largest() : 0, size_t{1} << 30);
}

// A little-endian TIFF of one 8-bit gray strip whose header declares
// width x height; the strip itself is missing from the file.
Bytes tiffHeaderOnly(uint32_t width, uint32_t height) {
  Bytes b = {'I', 'I', 42, 0, 8, 0, 0, 0, 8, 0};  // 8 entries follow
  const auto add = [&b](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  const auto stripBytes = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{width} * height, ~0u));
  for (auto [tag, type, value] : {std::tuple<uint16_t, uint16_t, uint32_t>{256, 4, width},
                                  {257, 4, height},
                                  {258, 3, 8},
                                  {259, 3, 1},
                                  {262, 3, 1},
                                  {273, 4, 200},
                                  {278, 4, height},
                                  {279, 4, stripBytes}}) {
    add(tag, 2);
    add(type, 2);
    add(1, 4);
    add(value, 4);  // a SHORT value sits in the first two bytes
  }
  add(0, 4);
  return b;
}

TEST(Read, PagesOverTheSizeLimitAreRefusedFromTheHeader) {
  const TempDir dir;
  const uint32_t w = kMaxPageWidth, h = kMaxPageHeight;
  const size_t rowBytes = (w + 8) / 8;  // enough for a row of w + 1 bits
  // Exactly the limit loads (1 bit, compressed: small files for a large
  // page), and the watch sees the page memory: it would see it below.
  TiffSpec limitTiff = tiff(w, h, 1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_LZW);
  limitTiff.data.assign((w + 7) / 8 * h, 0);
  const PngSpec limitPng{.width = w, .height = h, .bitDepth = 1, .data = Bytes(rowBytes * h, 0xFF)};
  for (const auto& [bytes, png] :
       {std::pair(tiffBytes(limitTiff), false), {pngBytes(limitPng), true}}) {
    writeBytes(dir.file("limit"), bytes);
    PageImageFile file;
    QuillaneImage page;
    AllocationWatch watch;
    ASSERT_EQ(openPage(file, page, dir.file("limit")), 0);
    EXPECT_EQ(page.width(), static_cast<int32_t>(w));
    EXPECT_EQ(page.row(h - 1)[w - 1], 255);
    // The PNG reader's image is one block.
    EXPECT_GE(AllocationWatch::available() ? watch.largest() : SIZE_MAX, png ? size_t{w} * h : 0);
  }
  // One pixel more in the product, whatever the shape; the JPEG is a small
  // one whose frame header (FF C0, length, precision, height, width) says so.
  ASSERT_TRUE(writeJpeg(dir.file("small.jpg"), 8, 8, 1, Bytes(64, 9)));
  Bytes jpeg = readBytes(dir.file("small.jpg"));
  const Bytes sof0 = {0xFF, 0xC0}, size = {h >> 8, h & 255, (w + 1) >> 8, (w + 1) & 255};
  const auto frame = std::search(jpeg.begin(), jpeg.end(), sof0.begin(), sof0.end());
  ASSERT_NE(frame, jpeg.end());
  std::copy(size.begin(), size.end(), frame + 5);
  const std::pair<std::string, Bytes> refused[] = {
      {"TIFF, one column more", tiffHeaderOnly(w + 1, h)},
      {"TIFF, one row", tiffHeaderOnly(w * h + 1, 1)},
      {"TIFF, one column", tiffHeaderOnly(1, w * h + 1)},
      {"TIFF, 100000 x 100000", tiffHeaderOnly(100000, 100000)},
      {"PNG", pngBytes({.width = w + 1, .height = h, .bitDepth = 1, .data = Bytes(rowBytes * h)})},
      {"JPEG", jpeg},
      {"BMP", makeBmp(w + 1, h, 8, 0, {}, {})},
      {"BMP, one row", makeBmp(w * h + 1, -1, 24, 0, {}, {})}};
  for (const auto& [name, bytes] : refused) {
    SCOPED_TRACE(name);
    writeBytes(dir.file("big"), bytes);
    PageImageFile file;
    QuillaneImage page;
    file.setPage(&page);
    AllocationWatch watch;
    EXPECT_EQ(file.probe(dir.file("big")), kTooLarge);
    EXPECT_LT(AllocationWatch::available() ? watch.largest() : 0, 1u << 20);
    EXPECT_TRUE(page.isEmpty());
    EXPECT_FALSE(file.hasDecodedImage());
  }
}

}  // namespace
}  // namespace quillane
