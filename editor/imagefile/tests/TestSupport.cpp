#include "TestSupport.h"

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <tuple>

#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
// Declared here: g++ ships the sanitizer runtime without this header.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*,
                                                                            size_t),
                                                         void (*freeHook)(const volatile void*));
#define IMAGEFILE_TEST_HOOKS 1
#endif

namespace imagefile_test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "imagefile-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) std::abort();
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

std::vector<uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

bool writeTiff(const std::string& path, const TiffSpec& s) {
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  if (tif == nullptr) return false;
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, s.width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, s.height);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, s.samples);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, s.bits);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, s.photometric);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, s.planar);
  if (TIFFSetField(tif, TIFFTAG_COMPRESSION, s.compression) != 1) {
    TIFFClose(tif);
    return false;
  }
  if (s.extraSamples > 0) {
    std::vector<uint16_t> kinds(s.extraSamples, EXTRASAMPLE_UNASSALPHA);
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, s.extraSamples, kinds.data());
  }
  if (s.xResolution > 0) TIFFSetField(tif, TIFFTAG_XRESOLUTION, s.xResolution);
  if (s.yResolution > 0) TIFFSetField(tif, TIFFTAG_YRESOLUTION, s.yResolution);
  if (s.resolutionUnit != 0) TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, s.resolutionUnit);
  if (s.fillOrder != 0) TIFFSetField(tif, TIFFTAG_FILLORDER, s.fillOrder);
  if (!s.red.empty())
    TIFFSetField(tif, TIFFTAG_COLORMAP, s.red.data(), s.green.data(), s.blue.data());
  if (s.subsamplingH != 0)
    TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, s.subsamplingH, s.subsamplingV);
  if (s.compression == COMPRESSION_JPEG) {
    TIFFSetField(tif, TIFFTAG_JPEGQUALITY, 95);
    if (s.jpegRgbInput) TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  }
  // Written from a copy: libtiff may change the buffers it is given.
  std::vector<uint8_t> data = s.data;
  bool ok = true;
  if (s.tileWidth != 0) {
    TIFFSetField(tif, TIFFTAG_TILEWIDTH, s.tileWidth);
    TIFFSetField(tif, TIFFTAG_TILELENGTH, s.tileLength);
    const size_t pixel = s.samples, tileRow = s.tileWidth * pixel;
    std::vector<uint8_t> tile(tileRow * s.tileLength);
    for (uint32_t ty = 0; ty < s.height; ty += s.tileLength) {
      for (uint32_t tx = 0; tx < s.width; tx += s.tileWidth) {
        std::fill(tile.begin(), tile.end(), 0);
        for (uint32_t y = ty; y < std::min(ty + s.tileLength, s.height); ++y) {
          std::copy_n(&data[(y * s.width + tx) * pixel],
                      std::min(s.tileWidth, s.width - tx) * pixel, &tile[(y - ty) * tileRow]);
        }
        ok = ok && TIFFWriteEncodedTile(tif, TIFFComputeTile(tif, tx, ty, 0, 0), tile.data(),
                                        static_cast<tmsize_t>(tile.size())) >= 0;
      }
    }
  } else {
    const uint32_t rps = s.rowsPerStrip != 0 ? s.rowsPerStrip : TIFFDefaultStripSize(tif, 0);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rps);
    const size_t scanline = TIFFScanlineSize64(tif);
    const uint16_t planes = s.planar == PLANARCONFIG_SEPARATE ? s.samples : 1;
    for (uint16_t p = 0; p < planes; ++p) {
      for (uint32_t first = 0; first < s.height; first += rps) {
        const size_t offset = (size_t{p} * s.height + first) * scanline;
        const auto bytes = static_cast<tmsize_t>(std::min(rps, s.height - first) * scanline);
        ok = ok &&
             TIFFWriteEncodedStrip(tif, TIFFComputeStrip(tif, first, p), &data[offset], bytes) >= 0;
      }
    }
  }
  TIFFClose(tif);
  return ok;
}

bool writePng(const std::string& path, const PngSpec& s) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, s.width, s.height, s.bitDepth, s.colorType,
               s.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> palette;
  for (size_t i = 0; i + 2 < s.palette.size(); i += 3) {
    palette.push_back({s.palette[i], s.palette[i + 1], s.palette[i + 2]});
  }
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  if (!s.trns.empty()) {
    png_set_tRNS(png, info, s.trns.data(), static_cast<int>(s.trns.size()), nullptr);
  }
  if (s.xPpm != 0) png_set_pHYs(png, info, s.xPpm, s.yPpm, PNG_RESOLUTION_METER);
  png_write_info(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  const int passes = png_set_interlace_handling(png);
  for (int pass = 0; pass < passes; ++pass) {
    for (uint32_t y = 0; y < s.height; ++y) {
      png_write_row(png, s.data.data() + y * rowBytes);
    }
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
  return true;
}

bool writeJpeg(const std::string& path, uint32_t width, uint32_t height, int components,
               const std::vector<uint8_t>& data, int quality, int dpi) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, f);
  std::tie(c.image_width, c.image_height, c.input_components) =
      std::tuple(width, height, components);
  c.in_color_space = components == 1 ? JCS_GRAYSCALE : (components == 3 ? JCS_RGB : JCS_CMYK);
  jpeg_set_defaults(&c);
  if (components == 4) jpeg_set_colorspace(&c, JCS_CMYK);
  jpeg_set_quality(&c, quality, TRUE);
  if (dpi > 0) std::tie(c.density_unit, c.X_density, c.Y_density) = std::tuple(1, dpi, dpi);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < height) {
    auto* row = const_cast<JSAMPROW>(data.data() + size_t{c.next_scanline} * width * components);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::fclose(f);
  return true;
}

std::vector<uint8_t> makeBmp(int32_t width, int32_t height, uint16_t bitCount, uint32_t compression,
                             const std::vector<uint8_t>& palette,
                             const std::vector<uint8_t>& pixelData, uint32_t xPpm, uint32_t yPpm) {
  const size_t offset = 14 + 40 + palette.size();
  std::vector<uint8_t> bmp(offset, 0);
  bmp[0] = 'B';
  bmp[1] = 'M';
  // Little-endian fields: file size, pixel offset, header size, width,
  // height, planes and bit count, compression, pixel bytes, resolution,
  // palette entries.
  for (auto [at, value] : {std::pair<size_t, size_t>{2, offset + pixelData.size()},
                           {10, offset},
                           {14, 40},
                           {18, static_cast<uint32_t>(width)},
                           {22, static_cast<uint32_t>(height)},
                           {26, 1 | bitCount << 16},
                           {30, compression},
                           {34, pixelData.size()},
                           {38, xPpm},
                           {42, yPpm},
                           {46, palette.size() / 4}}) {
    for (size_t i = 0; i < 4; ++i) bmp[at + i] = static_cast<uint8_t>(value >> (8 * i));
  }
  std::copy(palette.begin(), palette.end(), bmp.begin() + 54);
  bmp.insert(bmp.end(), pixelData.begin(), pixelData.end());
  return bmp;
}

std::vector<uint8_t> tiffBytes(const TiffSpec& spec) {
  const TempDir dir;
  return writeTiff(dir.file("f.tif"), spec) ? readBytes(dir.file("f.tif")) : std::vector<uint8_t>{};
}

std::vector<uint8_t> pngBytes(const PngSpec& spec) {
  const TempDir dir;
  return writePng(dir.file("f.png"), spec) ? readBytes(dir.file("f.png")) : std::vector<uint8_t>{};
}

int openPage(quillane::PageImageFile& file, quillane::QuillaneImage& page, const std::string& path,
             int32_t mode, int* probeResult) {
  file.reset();
  const int probed = file.probe(path);
  if (probeResult != nullptr) *probeResult = probed;
  if (probed != 1 && probed != 3 && probed != 4) return probed;
  file.setPage(&page);
  return file.hasTiffHandle() ? file.decodeTiff(mode) : file.decodeOther(mode);
}

std::vector<uint8_t> patternPage(int32_t width, int32_t height, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> page(static_cast<size_t>(width) * height);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      // Smooth ramps with some noise: compresses like a scan, shows any
      // misplaced row or column.
      page[static_cast<size_t>(y) * width + x] =
          static_cast<uint8_t>((x * 7 + y * 3) % 256 ^ (random() & 7));
    }
  }
  return page;
}

std::vector<uint8_t> pixelsOf(const quillane::QuillaneImage& page) {
  std::vector<uint8_t> pixels;
  for (int32_t y = 0; y < page.height(); ++y) {
    pixels.insert(pixels.end(), page.row(y), page.row(y) + page.width());
  }
  return pixels;
}

std::string compareGray(const quillane::QuillaneImage& page, const std::vector<uint8_t>& expected,
                        int allowed) {
  if (page.isEmpty()) return "page is empty";
  if (static_cast<size_t>(page.width()) * page.height() != expected.size()) return "size differs";
  int worst = 0, worstX = 0, worstY = 0;
  for (int32_t y = 0; y < page.height(); ++y) {
    for (int32_t x = 0; x < page.width(); ++x) {
      const int d = std::abs(page.row(y)[x] - expected[static_cast<size_t>(y) * page.width() + x]);
      if (d > worst) std::tie(worst, worstX, worstY) = std::tuple(d, x, y);
    }
  }
  if (worst <= allowed) return {};
  return "largest difference " + std::to_string(worst) + " > " + std::to_string(allowed) + " at " +
         std::to_string(worstX) + "," + std::to_string(worstY);
}

namespace {
std::atomic<size_t> gLargest{0};
std::atomic<bool> gArmed{false};
#ifdef IMAGEFILE_TEST_HOOKS
void onMalloc(const volatile void*, size_t size) {
  if (!gArmed.load(std::memory_order_relaxed)) return;
  size_t seen = gLargest.load(std::memory_order_relaxed);
  while (size > seen && !gLargest.compare_exchange_weak(seen, size)) {
  }
}
void onFree(const volatile void*) {}
#endif
}  // namespace

bool AllocationWatch::available() {
#ifdef IMAGEFILE_TEST_HOOKS
  static const bool installed = __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree) != 0;
  return installed;
#else
  return false;
#endif
}

AllocationWatch::AllocationWatch() {
  available();
  gLargest = 0;
  gArmed = true;
}
AllocationWatch::~AllocationWatch() { gArmed = false; }
size_t AllocationWatch::largest() const { return gLargest.load(); }

}  // namespace imagefile_test
