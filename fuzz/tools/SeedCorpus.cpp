// Writes the seed corpora of the fuzz targets: small files of every variant
// each reader handles. Run once from the source folder's fuzz/ directory
// (fuzz_seed_corpus corpus); the files are committed, the program is kept to
// make them again.
#include <png.h>
#include <tiffio.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace {

using imagefile_test::makeBmp;
using imagefile_test::PngSpec;
using imagefile_test::TiffSpec;
using imagefile_test::writeBytes;

constexpr uint32_t kW = 24, kH = 16;

std::vector<uint8_t> ramp(size_t count, uint32_t seed) {
  std::vector<uint8_t> v(count);
  for (size_t i = 0; i < count; ++i) v[i] = static_cast<uint8_t>((i * 37 + seed * 11) ^ (i >> 3));
  return v;
}

// Rows of kW pixels packed bits a sample, most significant first.
std::vector<uint8_t> packed(uint32_t bits, uint32_t samples, uint32_t rowAlign) {
  const uint32_t rowBytes = ((kW * samples * bits + 7) / 8 + rowAlign - 1) / rowAlign * rowAlign;
  std::vector<uint8_t> v = ramp(size_t{rowBytes} * kH, bits);
  return v;
}

// A big-endian ("MM") 16-bit gray page: libtiff swaps its samples on reading.
void bigEndianTiff(const std::string& path) {
  TIFF* tif = TIFFOpen(path.c_str(), "wb");
  if (tif == nullptr) return;
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kW);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kH);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, kH);
  TIFFSetField(tif, TIFFTAG_XRESOLUTION, 400.0f);
  TIFFSetField(tif, TIFFTAG_YRESOLUTION, 400.0f);
  TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  std::vector<uint8_t> data = ramp(kW * kH * 2, 12);
  TIFFWriteEncodedStrip(tif, 0, data.data(), static_cast<tmsize_t>(data.size()));
  TIFFClose(tif);
}

void tiffs(const std::string& dir) {
  const auto put = [&](const std::string& name, TiffSpec spec) {
    if (!imagefile_test::writeTiff(dir + "/" + name, spec)) {
      std::fprintf(stderr, "failed: %s\n", name.c_str());
    }
  };
  const TiffSpec gray{.width = kW,
                      .height = kH,
                      .rowsPerStrip = 5,
                      .xResolution = 300,
                      .yResolution = 300,
                      .resolutionUnit = RESUNIT_INCH,
                      .data = ramp(kW * kH, 1)};
  put("gray8-none.tif", gray);
  TiffSpec s = gray;
  s.compression = COMPRESSION_LZW;
  put("gray8-lzw.tif", s);
  s.compression = COMPRESSION_ADOBE_DEFLATE;
  put("gray8-deflate.tif", s);
  s.compression = COMPRESSION_PACKBITS;
  put("gray8-packbits.tif", s);
  s = gray;
  s.photometric = PHOTOMETRIC_MINISWHITE;
  s.resolutionUnit = RESUNIT_CENTIMETER;
  s.xResolution = s.yResolution = 118.11f;
  put("gray8-miniswhite-cm.tif", s);
  s = gray;
  s.bits = 16;
  s.data = ramp(kW * kH * 2, 2);
  put("gray16.tif", s);
  s = gray;
  s.bits = 4;
  s.data = packed(4, 1, 1);
  put("gray4.tif", s);
  s.bits = 2;
  s.data = packed(2, 1, 1);
  put("gray2.tif", s);

  TiffSpec bilevel = gray;
  bilevel.bits = 1;
  bilevel.photometric = PHOTOMETRIC_MINISWHITE;
  bilevel.data = packed(1, 1, 1);
  put("bilevel-none.tif", bilevel);
  s = bilevel;
  s.compression = COMPRESSION_CCITTFAX4;
  put("bilevel-g4.tif", s);
  s.compression = COMPRESSION_CCITTFAX3;
  put("bilevel-g3.tif", s);
  s = bilevel;
  s.photometric = PHOTOMETRIC_MINISBLACK;
  s.compression = COMPRESSION_PACKBITS;
  s.fillOrder = FILLORDER_LSB2MSB;
  put("bilevel-packbits-fill2.tif", s);

  TiffSpec palette = gray;
  palette.photometric = PHOTOMETRIC_PALETTE;
  for (int i = 0; i < 256; ++i) {
    palette.red.push_back(static_cast<uint16_t>(i * 257));
    palette.green.push_back(static_cast<uint16_t>((255 - i) * 257));
    palette.blue.push_back(static_cast<uint16_t>((i * 7 % 256) * 257));
  }
  palette.compression = COMPRESSION_LZW;
  put("palette8-lzw.tif", palette);
  s = palette;
  s.bits = 4;
  s.compression = COMPRESSION_NONE;
  s.red.assign(16, 0);
  s.green.assign(16, 0);
  s.blue.assign(16, 0);
  for (int i = 0; i < 16; ++i) s.red[i] = s.green[i] = s.blue[i] = static_cast<uint16_t>(i * 17);
  s.data = packed(4, 1, 1);
  put("palette4-gray.tif", s);

  TiffSpec rgb = gray;
  rgb.samples = 3;
  rgb.photometric = PHOTOMETRIC_RGB;
  rgb.data = ramp(kW * kH * 3, 3);
  put("rgb-contig.tif", rgb);
  s = rgb;
  s.planar = PLANARCONFIG_SEPARATE;
  s.compression = COMPRESSION_LZW;
  put("rgb-planar-lzw.tif", s);
  s = rgb;
  s.samples = 4;
  s.extraSamples = 1;
  s.compression = COMPRESSION_ADOBE_DEFLATE;
  s.data = ramp(kW * kH * 4, 4);
  put("rgba-deflate.tif", s);
  s = rgb;
  s.bits = 16;
  s.data = ramp(kW * kH * 6, 5);
  put("rgb16.tif", s);
  s = rgb;
  s.tileWidth = s.tileLength = 16;
  put("rgb-tiled.tif", s);

  TiffSpec cmyk = gray;
  cmyk.samples = 4;
  cmyk.photometric = PHOTOMETRIC_SEPARATED;
  cmyk.data = ramp(kW * kH * 4, 6);
  put("cmyk.tif", cmyk);
  s = cmyk;
  s.planar = PLANARCONFIG_SEPARATE;
  s.compression = COMPRESSION_PACKBITS;
  put("cmyk-planar-packbits.tif", s);

  TiffSpec ycc = rgb;
  ycc.photometric = PHOTOMETRIC_YCBCR;
  ycc.compression = COMPRESSION_JPEG;
  ycc.subsamplingH = ycc.subsamplingV = 2;
  ycc.jpegRgbInput = true;
  ycc.rowsPerStrip = 16;
  put("ycbcr-jpeg.tif", ycc);
  s = gray;
  s.compression = COMPRESSION_JPEG;
  s.rowsPerStrip = 16;
  put("gray8-jpeg.tif", s);
  bigEndianTiff(dir + "/gray16-bigendian-lzw.tif");
}

void jpegs(const std::string& dir) {
  imagefile_test::writeJpeg(dir + "/gray-300dpi.jpg", kW, kH, 1, ramp(kW * kH, 7), 90, 300);
  imagefile_test::writeJpeg(dir + "/rgb.jpg", kW, kH, 3, ramp(kW * kH * 3, 8), 75, 0);
  imagefile_test::writeJpeg(dir + "/rgb-72dpi.jpg", 40, 8, 3, ramp(40 * 8 * 3, 9), 50, 72);
  imagefile_test::writeJpeg(dir + "/cmyk.jpg", kW, kH, 4, ramp(kW * kH * 4, 10), 85, 600);
}

void pngs(const std::string& dir) {
  const auto put = [&](const std::string& name, PngSpec spec) {
    if (!imagefile_test::writePng(dir + "/" + name, spec)) {
      std::fprintf(stderr, "failed: %s\n", name.c_str());
    }
  };
  const auto rows = [](int bits, int channels) {
    return ramp(size_t{(kW * channels * bits + 7) / 8} * kH, static_cast<uint32_t>(bits));
  };
  PngSpec s{.width = kW,
            .height = kH,
            .bitDepth = 1,
            .colorType = PNG_COLOR_TYPE_GRAY,
            .xPpm = 11811,
            .yPpm = 11811,
            .data = rows(1, 1)};
  put("gray1-300dpi.png", s);
  s.bitDepth = 2;
  s.data = rows(2, 1);
  put("gray2.png", s);
  s.bitDepth = 4;
  s.data = rows(4, 1);
  s.xPpm = s.yPpm = 0;
  put("gray4.png", s);
  s.bitDepth = 8;
  s.data = rows(8, 1);
  put("gray8.png", s);
  s.interlace = true;
  put("gray8-interlaced.png", s);
  s.interlace = false;
  s.bitDepth = 16;
  s.data = rows(16, 1);
  put("gray16.png", s);
  s.bitDepth = 8;
  s.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
  s.data = rows(8, 2);
  put("gray-alpha.png", s);
  s.colorType = PNG_COLOR_TYPE_RGB;
  s.data = rows(8, 3);
  put("rgb8.png", s);
  std::vector<uint8_t> grayRgb(kW * kH * 3);
  for (size_t i = 0; i < grayRgb.size(); ++i) grayRgb[i] = static_cast<uint8_t>((i / 3) * 5);
  s.data = grayRgb;
  put("rgb8-all-gray.png", s);
  s.bitDepth = 16;
  s.data = rows(16, 3);
  put("rgb16.png", s);
  s.bitDepth = 8;
  s.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
  s.data = rows(8, 4);
  put("rgba8.png", s);
  s.interlace = true;
  put("rgba8-interlaced.png", s);
  s.interlace = false;
  s.colorType = PNG_COLOR_TYPE_PALETTE;
  s.palette.clear();
  for (int i = 0; i < 256; ++i) {
    s.palette.insert(s.palette.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                       static_cast<uint8_t>(i * 3)});
  }
  s.data = rows(8, 1);
  put("palette8.png", s);
  s.trns.assign(16, 128);
  put("palette8-trns.png", s);
  s.trns.clear();
  s.bitDepth = 4;
  s.palette.clear();
  for (int i = 0; i < 16; ++i) s.palette.insert(s.palette.end(), 3, static_cast<uint8_t>(i * 17));
  s.data = rows(4, 1);
  put("palette4-gray.png", s);
}

// RLE8: each row as runs of equal pixels, with one literal run on the
// first row and a move on the third.
std::vector<uint8_t> rle8() {
  std::vector<uint8_t> out;
  for (uint32_t y = 0; y < kH; ++y) {
    if (y == 0) {
      out.insert(out.end(), {0, 5, 1, 2, 3, 4, 5, 0});  // literal of 5, padded
      out.insert(out.end(), {19, 9});
    } else if (y == 2) {
      out.insert(out.end(), {4, 7, 0, 2, 3, 0, 17, 8});  // move right 3
    } else {
      out.insert(out.end(), {12, static_cast<uint8_t>(y), 12, static_cast<uint8_t>(y * 9)});
    }
    out.insert(out.end(), {0, 0});
  }
  out.insert(out.end(), {0, 1});
  return out;
}

std::vector<uint8_t> rle4() {
  std::vector<uint8_t> out;
  for (uint32_t y = 0; y < kH; ++y) {
    if (y == 1) out.insert(out.end(), {0, 6, 0x12, 0x34, 0x56, 0});  // literal of 6
    out.insert(out.end(), {static_cast<uint8_t>(y == 1 ? 18 : 24), static_cast<uint8_t>(y * 17)});
    out.insert(out.end(), {0, 0});
  }
  out.insert(out.end(), {0, 1});
  return out;
}

std::vector<uint8_t> grayPalette(int entries) {
  std::vector<uint8_t> p;
  for (int i = 0; i < entries; ++i) {
    const auto v = static_cast<uint8_t>(i * 255 / (entries - 1));
    p.insert(p.end(), {v, v, v, 0});
  }
  return p;
}

void bmps(const std::string& dir) {
  const auto rows = [](uint32_t bits) {
    const uint32_t rowBytes = (kW * bits + 31) / 32 * 4;
    return ramp(size_t{rowBytes} * kH, bits);
  };
  const auto put = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
    writeBytes(dir + "/" + name, bytes);
  };
  put("bilevel1-300dpi.bmp", makeBmp(kW, kH, 1, 0, grayPalette(2), rows(1), 11811, 11811));
  put("gray4.bmp", makeBmp(kW, kH, 4, 0, grayPalette(16), rows(4)));
  put("gray8.bmp", makeBmp(kW, kH, 8, 0, grayPalette(256), rows(8), 3780, 3780));
  std::vector<uint8_t> colours;
  for (int i = 0; i < 256; ++i) {
    colours.insert(colours.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(i * 5),
                                   static_cast<uint8_t>(255 - i), 0});
  }
  put("colour8.bmp", makeBmp(kW, kH, 8, 0, colours, rows(8)));
  put("rgb24.bmp", makeBmp(kW, kH, 24, 0, {}, rows(24)));
  put("rgb24-topdown.bmp", makeBmp(kW, -static_cast<int32_t>(kH), 24, 0, {}, rows(24)));
  put("rgb32.bmp", makeBmp(kW, kH, 32, 0, {}, rows(32)));
  // 32-bit bit fields: the three masks follow the 40-byte header.
  const std::vector<uint8_t> masks = {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0};
  std::vector<uint8_t> fields = makeBmp(kW, kH, 32, 3, masks, rows(32));
  put("rgb32-bitfields.bmp", fields);
  put("rle8.rle", makeBmp(kW, kH, 8, 1, grayPalette(256), rle8()));
  put("rle4.bmp", makeBmp(kW, kH, 4, 2, grayPalette(16), rle4()));
  // OS/2 header of 12 bytes with a 3-byte palette.
  constexpr uint32_t kOs2Offset = 14 + 12 + 3 * 256;
  std::vector<uint8_t> os2 = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, kOs2Offset & 0xFF, kOs2Offset >> 8,
                              0,   0};
  os2.insert(os2.end(), {12, 0, 0, 0, kW, 0, kH, 0, 1, 0, 8, 0});
  for (int i = 0; i < 256; ++i) os2.insert(os2.end(), 3, static_cast<uint8_t>(i));
  const std::vector<uint8_t> pixels = rows(8);
  os2.insert(os2.end(), pixels.begin(), pixels.end());
  put("os2-gray8.bmp", os2);
}

// A string literal with every byte, embedded NULs included.
template <size_t N>
std::string bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

void inis(const std::string& dir) {
  const auto put = [&](const std::string& name, const std::string& text) {
    writeBytes(dir + "/" + name, std::vector<uint8_t>(text.begin(), text.end()));
  };
  put("plain.ini", "[Setting]\nName=Page 1\nSize=12\n\n[Other]\nKey = value \n");
  put("crlf-names.ini", bytes("; comment\r\n[setting]\r\nSIZE=  -42abc\r\nname=\"quoted\"\r\n"
                              "\0Setting\nSize\n77"));
  put("bom-utf8.ini", "\xEF\xBB\xBF[表示]\n名前=ページ\nDust=3\n");
  // cp932: "[設定]" and a value of Japanese text.
  put("cp932.ini", bytes("[\x90\xDD\x92\xE8]\nName=\x83\x79\x81\x5B\x83\x57\nSize=7\n"
                         "\0\x90\xDD\x92\xE8\nName\nNew_1"));
  put("odd-lines.ini", bytes("Loose=1\n[Setting\n[Setting]\n=empty\nName\nName=first\nName=second\n"
                             "[Setting]\nName=third\n[]\n=\n\0Setting\nName\nReplaced"));
}

}  // namespace

int main(int argc, char** argv) {
  const std::string root = argc > 1 ? argv[1] : "corpus";
  for (const char* sub : {"tiff", "jpeg", "png", "bmp", "ini"}) {
    std::filesystem::create_directories(root + "/" + sub);
  }
  tiffs(root + "/tiff");
  jpegs(root + "/jpeg");
  pngs(root + "/png");
  bmps(root + "/bmp");
  inis(root + "/ini");
  return 0;
}
