// Opening and saving the full benchmark page (6550 x 9080, 8-bit gray) as
// uncompressed, LZW and Deflate TIFF, PNG, JPEG (quality level 8, 82 %) and
// as a 1-bit LZW TIFF, each against the bare library doing the same work:
//
//   open  ours: reset, probe and decode of PageImageFile into the page.
//         floor: libtiff TIFFReadEncodedStrip over every strip, libpng
//         png_read_image, libjpeg jpeg_read_scanlines, each into one fresh
//         buffer of the file's own sample layout (packed bits for the
//         1-bit page; a second line measures the 1-bit page against the
//         floor carried on to one byte a pixel).
//   save  ours: PageImageFile::saveAs (temporary file, flush to disk,
//         rename). floor: the library writing the same file with the same
//         settings straight from the page rows (from ready packed rows for
//         the 1-bit page), flushed to disk as well.
//
// Before timing, every file that ours wrote is opened by ours and by the
// floor and the pixels compared with the page (JPEG within its loss).
// The files live in $PAGE_FILES_DIR, else /dev/shm, else the temp folder.
#include <png.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include "BenchSupport.h"
#include "quillane/imagefile/PageImageFile.h"
#include "quillane/model/QuillaneImage.h"

namespace {

using quillane::PageImageFile;
using quillane::QuillaneImage;

[[noreturn]] void die(const std::string& what) {
  std::fprintf(stderr, "page_files: %s\n", what.c_str());
  std::exit(1);
}

struct Format {
  const char* name;  // open_<name> / save_<name>
  const char* file;
  int32_t kind;         // 1 TIFF, 2 JPEG, 3 PNG
  int32_t compression;  // TIFF: dialog choice 0 none, 1 LZW, 2 Deflate
  bool bilevel;
};

const Format kFormats[] = {
    {"tiff_none", "page-none.tif", quillane::kFormatTiff, 0, false},
    {"tiff_lzw", "page-lzw.tif", quillane::kFormatTiff, 1, false},
    {"tiff_deflate", "page-deflate.tif", quillane::kFormatTiff, 2, false},
    {"png", "page.png", quillane::kFormatPng, 0, false},
    {"jpeg_q8", "page.jpg", quillane::kFormatJpeg, 0, false},
    {"tiff_1bit_lzw", "page-1bit.tif", quillane::kFormatTiff, 1, true},
};
constexpr int32_t kJpegLevel = 8;

bench::GrayPage gPage;
std::string gFolder;
// Pages with the benchmark page loaded, for the saves: gray, and bilevel
// (opened from a 1-bit file so that it saves 1 bit a pixel).
QuillaneImage gGrayPage, gBilevelPage;
PageImageFile gGrayFile, gBilevelFile;
std::vector<uint8_t> gPackedWhiteIsZero;  // the 1-bit page as the file stores it

std::string pathOf(const Format& f) { return gFolder + "/" + f.file; }
std::string floorPathOf(const Format& f) { return gFolder + "/floor-" + f.file; }

// ---- ours ---------------------------------------------------------------

int openOurs(const std::string& path, QuillaneImage& page, PageImageFile& file) {
  file.reset();
  const int probed = file.probe(path);
  if (probed != 1) return probed;
  file.setPage(&page);
  return file.hasTiffHandle() ? file.decodeTiff(0) : file.decodeOther(0);
}

void saveOurs(const Format& f, const std::string& path) {
  PageImageFile& file = f.bilevel ? gBilevelFile : gGrayFile;
  const int r = file.saveAs(path, f.kind, f.compression, kJpegLevel, true);
  if (r != 0) die(std::string("save failed: ") + f.name + " " + std::to_string(r));
}

// ---- floors: reading ------------------------------------------------------

std::unique_ptr<uint8_t[]> floorTiff(const std::string& path) {
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (tif == nullptr) die("floor: cannot open " + path);
  const tstrip_t strips = TIFFNumberOfStrips(tif);
  const tmsize_t stripSize = TIFFStripSize(tif);
  uint32_t height = 0, rowsPerStrip = 0;
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  const tmsize_t total = TIFFScanlineSize(tif) * static_cast<tmsize_t>(height);
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[static_cast<size_t>(total)]);
  tmsize_t at = 0;
  for (tstrip_t s = 0; s < strips; ++s) {
    const tmsize_t got =
        TIFFReadEncodedStrip(tif, s, buffer.get() + at, std::min(stripSize, total - at));
    if (got < 0) die("floor: strip failed in " + path);
    at += got;
  }
  TIFFClose(tif);
  return buffer;
}

std::unique_ptr<uint8_t[]> floorPng(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) die("floor: cannot open " + path);
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  std::unique_ptr<uint8_t[]> buffer;
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) die("floor: png failed");
  png_init_io(png, file);
  png_read_info(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  buffer.reset(new uint8_t[rowBytes * height]);
  rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) rows[y] = buffer.get() + rowBytes * y;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(file);
  return buffer;
}

std::unique_ptr<uint8_t[]> floorJpeg(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) die("floor: cannot open " + path);
  jpeg_decompress_struct codec{};
  jpeg_error_mgr err{};
  codec.err = jpeg_std_error(&err);
  jpeg_create_decompress(&codec);
  jpeg_stdio_src(&codec, file);
  jpeg_read_header(&codec, TRUE);
  jpeg_start_decompress(&codec);
  const size_t rowBytes = size_t{codec.output_width} * codec.output_components;
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[rowBytes * codec.output_height]);
  while (codec.output_scanline < codec.output_height) {
    JSAMPROW row = buffer.get() + rowBytes * codec.output_scanline;
    jpeg_read_scanlines(&codec, &row, 1);
  }
  jpeg_finish_decompress(&codec);
  jpeg_destroy_decompress(&codec);
  std::fclose(file);
  return buffer;
}

std::unique_ptr<uint8_t[]> openFloor(const Format& f, const std::string& path) {
  switch (f.kind) {
    case quillane::kFormatPng:
      return floorPng(path);
    case quillane::kFormatJpeg:
      return floorJpeg(path);
    default:
      return floorTiff(path);
  }
}

// The 1-bit floor carried on to what every reader of a byte page must do
// as well: the packed rows expanded into a fresh buffer of one byte a pixel
// (through a byte table, WhiteIsZero polarity).
std::unique_ptr<uint8_t[]> floorTiffToBytes(const std::string& path) {
  static const auto table = [] {
    std::vector<uint64_t> t(256);
    for (unsigned b = 0; b < 256; ++b) {
      uint8_t bytes[8];
      for (unsigned i = 0; i < 8; ++i) bytes[i] = (b & (0x80u >> i)) ? 0 : 255;
      std::memcpy(&t[b], bytes, 8);
    }
    return t;
  }();
  const std::unique_ptr<uint8_t[]> packed = floorTiff(path);
  const size_t width = static_cast<size_t>(gPage.width);
  const size_t rowBytes = (width + 7) / 8;
  std::unique_ptr<uint8_t[]> out(new uint8_t[width * gPage.height + 8]);
  for (int y = 0; y < gPage.height; ++y) {
    const uint8_t* src = packed.get() + rowBytes * y;
    uint8_t* dst = out.get() + width * y;
    for (size_t i = 0; i < rowBytes; ++i) std::memcpy(dst + 8 * i, &table[src[i]], 8);
  }
  return out;
}

// ---- floors: writing ------------------------------------------------------

void syncAndClose(std::FILE* file) {
  if (std::fflush(file) != 0 || ::fsync(fileno(file)) != 0 || std::fclose(file) != 0) {
    die("floor: write failed");
  }
}

void floorSaveTiff(const Format& f, const std::string& path) {
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  if (tif == nullptr) die("floor: cannot create " + path);
  const auto width = static_cast<uint32_t>(gPage.width);
  const auto height = static_cast<uint32_t>(gPage.height);
  const uint16_t compression = f.compression == 1   ? COMPRESSION_LZW
                               : f.compression == 2 ? COMPRESSION_ADOBE_DEFLATE
                                                    : COMPRESSION_NONE;
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
  TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
               f.bilevel ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, f.bilevel ? 1 : 8);
  TIFFSetField(tif, TIFFTAG_XRESOLUTION, 600.0f);
  TIFFSetField(tif, TIFFTAG_YRESOLUTION, 600.0f);
  const uint32_t rowsPerStrip = std::min(TIFFDefaultStripSize(tif, 0), height);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
  const size_t rowBytes = f.bilevel ? (width + 7) / 8 : width;
  const uint8_t* data = f.bilevel ? gPackedWhiteIsZero.data() : gPage.pixels.data();
  for (uint32_t first = 0, s = 0; first < height; first += rowsPerStrip, ++s) {
    const uint32_t rows = std::min(rowsPerStrip, height - first);
    // libtiff does not change 8-bit or 1-bit data it is given to write.
    auto* strip = const_cast<uint8_t*>(data + rowBytes * first);
    if (TIFFWriteEncodedStrip(tif, s, strip, static_cast<tmsize_t>(rowBytes * rows)) < 0) {
      die("floor: strip write failed");
    }
  }
  TIFFClose(tif);
  std::FILE* file = std::fopen(path.c_str(), "rb+");
  if (file == nullptr) die("floor: cannot reopen " + path);
  syncAndClose(file);
}

void floorSavePng(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) die("floor: cannot create " + path);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) die("floor: png write failed");
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(gPage.width),
               static_cast<png_uint_32>(gPage.height), 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_pHYs(png, info, 23622, 23622, PNG_RESOLUTION_METER);
  // The settings our writer uses for gray pages.
  png_set_compression_level(png, 1);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
  png_write_info(png, info);
  for (int y = 0; y < gPage.height; ++y) {
    png_write_row(png, gPage.pixels.data() + static_cast<size_t>(y) * gPage.width);
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  syncAndClose(file);
}

void floorSaveJpeg(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) die("floor: cannot create " + path);
  jpeg_compress_struct codec{};
  jpeg_error_mgr err{};
  codec.err = jpeg_std_error(&err);
  jpeg_create_compress(&codec);
  jpeg_stdio_dest(&codec, file);
  codec.image_width = static_cast<JDIMENSION>(gPage.width);
  codec.image_height = static_cast<JDIMENSION>(gPage.height);
  codec.input_components = 1;
  codec.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&codec);
  jpeg_set_quality(&codec, PageImageFile::qualityPercent(kJpegLevel), TRUE);
  codec.density_unit = 1;
  codec.X_density = codec.Y_density = 600;
  jpeg_start_compress(&codec, TRUE);
  while (codec.next_scanline < codec.image_height) {
    JSAMPROW row = gPage.pixels.data() + size_t{codec.next_scanline} * gPage.width;
    jpeg_write_scanlines(&codec, &row, 1);
  }
  jpeg_finish_compress(&codec);
  jpeg_destroy_compress(&codec);
  syncAndClose(file);
}

void saveFloor(const Format& f) {
  switch (f.kind) {
    case quillane::kFormatPng:
      floorSavePng(floorPathOf(f));
      break;
    case quillane::kFormatJpeg:
      floorSaveJpeg(floorPathOf(f));
      break;
    default:
      floorSaveTiff(f, floorPathOf(f));
      break;
  }
}

// ---- set-up and checks -----------------------------------------------------

// The gray page, or its bilevel version (pixels below 128 black, else white).
std::vector<uint8_t> expectedPixels(const Format& f) {
  std::vector<uint8_t> v = gPage.pixels;
  if (f.bilevel) {
    for (uint8_t& p : v) p = p < 128 ? 0 : 255;
  }
  return v;
}

int largestDifference(const QuillaneImage& page, const std::vector<uint8_t>& expected) {
  if (page.width() != gPage.width || page.height() != gPage.height) return 256;
  int worst = 0;
  for (int32_t y = 0; y < page.height(); ++y) {
    const uint8_t* row = page.row(y);
    const uint8_t* want = expected.data() + static_cast<size_t>(y) * gPage.width;
    for (int32_t x = 0; x < page.width(); ++x) worst = std::max(worst, std::abs(row[x] - want[x]));
  }
  return worst;
}

void setUp() {
  gPage = bench::loadBenchPage("full");
  const char* env = std::getenv("PAGE_FILES_DIR");
  std::string base = env != nullptr ? env : "";
  if (base.empty()) {
    base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm"
                                           : std::filesystem::temp_directory_path().string();
  }
  std::string pattern = base + "/page-files-bench-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) die("cannot make the work folder");
  gFolder = pattern;

  // The gray page through an uncompressed TIFF written by the bare library;
  // the bilevel page through a 1-bit TIFF, likewise.
  std::vector<uint8_t> bilevel = expectedPixels(kFormats[5]);
  const size_t rowBytes = (static_cast<size_t>(gPage.width) + 7) / 8;
  gPackedWhiteIsZero.assign(rowBytes * gPage.height, 0);
  for (int y = 0; y < gPage.height; ++y) {
    for (int x = 0; x < gPage.width; ++x) {
      if (bilevel[static_cast<size_t>(y) * gPage.width + x] == 0) {
        gPackedWhiteIsZero[rowBytes * y + (x >> 3)] |= static_cast<uint8_t>(0x80u >> (x & 7));
      }
    }
  }
  floorSaveTiff(kFormats[0], gFolder + "/source-gray.tif");
  floorSaveTiff(kFormats[5], gFolder + "/source-1bit.tif");
  if (openOurs(gFolder + "/source-gray.tif", gGrayPage, gGrayFile) != 0 ||
      openOurs(gFolder + "/source-1bit.tif", gBilevelPage, gBilevelFile) != 0 ||
      !gBilevelFile.isBilevel()) {
    die("cannot open the source pages");
  }

  for (const Format& f : kFormats) {
    saveOurs(f, pathOf(f));
    saveFloor(f);
    QuillaneImage page;
    PageImageFile file;
    if (const int r = openOurs(pathOf(f), page, file); r != 0) {
      die(std::string("open failed: ") + f.name + " " + std::to_string(r));
    }
    const int allowed = f.kind == quillane::kFormatJpeg ? 64 : 0;
    const int worst = largestDifference(page, expectedPixels(f));
    if (worst > allowed) die(std::string("pixels differ: ") + f.name);
    openFloor(f, pathOf(f));
    std::printf("%-14s %9.1f MB  ours  %9.1f MB  floor writer\n", f.file,
                std::filesystem::file_size(pathOf(f)) / 1048576.0,
                std::filesystem::file_size(floorPathOf(f)) / 1048576.0);
  }
}

}  // namespace

int main(int argc, char** argv) {
  setUp();
  for (const Format& f : kFormats) {
    const std::string name = f.name;
    benchmark::RegisterBenchmark(("open_" + name + "_ours").c_str(),
                                 [&f](benchmark::State& state) {
                                   for (auto _ : state) {
                                     QuillaneImage page;
                                     PageImageFile file;
                                     if (openOurs(pathOf(f), page, file) != 0) die("open failed");
                                     benchmark::DoNotOptimize(page.pixels());
                                   }
                                 })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(3);
    benchmark::RegisterBenchmark(("open_" + name + "_floor").c_str(),
                                 [&f](benchmark::State& state) {
                                   for (auto _ : state) {
                                     auto pixels = openFloor(f, pathOf(f));
                                     benchmark::DoNotOptimize(pixels.get());
                                   }
                                 })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(3);
    benchmark::RegisterBenchmark(("save_" + name + "_ours").c_str(),
                                 [&f](benchmark::State& state) {
                                   for (auto _ : state) saveOurs(f, pathOf(f));
                                 })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(2);
    benchmark::RegisterBenchmark(("save_" + name + "_floor").c_str(),
                                 [&f](benchmark::State& state) {
                                   for (auto _ : state) saveFloor(f);
                                 })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(2);
  }
  benchmark::RegisterBenchmark("open_tiff_1bit_lzw_floor_to_bytes",
                               [](benchmark::State& state) {
                                 for (auto _ : state) {
                                   auto pixels = floorTiffToBytes(pathOf(kFormats[5]));
                                   benchmark::DoNotOptimize(pixels.get());
                                 }
                               })
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->Iterations(3);
  auto medians = bench::runBenchmarks(argc, argv, 5);
  for (const Format& f : kFormats) {
    const std::string name = f.name;
    bench::printResult("open_" + name, medians["open_" + name + "_ours"],
                       medians["open_" + name + "_floor"]);
  }
  // A 1-bit file holds an eighth of the bytes of the page it gives: against
  // the floor that also expands them.
  bench::printResult("open_tiff_1bit_lzw_vs_floor_to_bytes", medians["open_tiff_1bit_lzw_ours"],
                     medians["open_tiff_1bit_lzw_floor_to_bytes"]);
  for (const Format& f : kFormats) {
    const std::string name = f.name;
    bench::printResult("save_" + name, medians["save_" + name + "_ours"],
                       medians["save_" + name + "_floor"]);
  }
  std::filesystem::remove_all(gFolder);
  return 0;
}
