// PNG reading and writing through libpng.
//
// libpng reports errors by calling our handler, which jumps back to the
// function that set the jump point (png_jmpbuf); warnings are dropped. As
// with JPEG, buffers that must survive the jump belong to the caller.
#include <png.h>

#include <cmath>
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

[[noreturn]] void onPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void onPngWarning(png_structp, png_const_charp) {}

constexpr double kMetresPerInch = 0.0254;

struct PngReadBuffers {
  std::vector<png_bytep> rows;
  std::unique_ptr<uint8_t[]> scratch;
  uint8_t grayOfIndex[256] = {};
};

// Copies one row of srcChannels interleaved samples into image channels:
// gray + alpha keeps the gray sample, blue-green-red-alpha the first three.
void dropAlpha(const uint8_t* src, int32_t srcChannels, uint8_t* dst, int32_t dstChannels,
               int32_t width) {
  if (dstChannels == 1) {
    for (int32_t x = 0; x < width; ++x) dst[x] = src[x * srcChannels];
  } else {
    for (int32_t x = 0; x < width; ++x, src += srcChannels, dst += 3) {
      dst[0] = src[0];
      dst[1] = src[1];
      dst[2] = src[2];
    }
  }
}

LoadStatus runPngRead(std::FILE* file, png_structp png, png_infop info, PngReadBuffers* buffers,
                      LoadedImage* image) {
  if (setjmp(png_jmpbuf(png))) return LoadStatus::Failed;
  png_init_io(png, file);
  png_read_info(png, info);
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlace = 0;
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
  if (!pagefile::pageSizeAllowed(width, height)) return LoadStatus::TooLarge;

  png_uint_32 xPpm = 0, yPpm = 0;
  int unit = 0;
  if (png_get_pHYs(png, info, &xPpm, &yPpm, &unit) != 0 && unit == PNG_RESOLUTION_METER) {
    image->xDpi = dotsPerInch(xPpm);
    image->yDpi = dotsPerInch(yPpm);
  }

  if (bitDepth == 16) png_set_strip_16(png);
  bool grayPalette = false;
  int32_t channels = 3;
  if (colorType == PNG_COLOR_TYPE_PALETTE) {
    png_colorp palette = nullptr;
    int entries = 0;
    if (png_get_PLTE(png, info, &palette, &entries) == 0) return LoadStatus::Failed;
    grayPalette = true;
    for (int i = 0; i < entries && i < 256; ++i) {
      if (palette[i].red != palette[i].green || palette[i].green != palette[i].blue) {
        grayPalette = false;
      }
      buffers->grayOfIndex[i] = palette[i].red;
    }
    if (grayPalette) {
      png_set_packing(png);  // indices one a byte, mapped below
      channels = 1;
    } else {
      png_set_palette_to_rgb(png);
      png_set_bgr(png);
    }
  } else if ((colorType & PNG_COLOR_MASK_COLOR) == 0) {
    if (bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    channels = 1;
  } else {
    png_set_bgr(png);
  }
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const auto srcChannels = static_cast<int32_t>(png_get_channels(png, info));
  const size_t rowBytes = png_get_rowbytes(png, info);
  const auto w = static_cast<int32_t>(width);
  const auto h = static_cast<int32_t>(height);
  if (srcChannels < channels || rowBytes < static_cast<size_t>(w) * srcChannels) {
    return LoadStatus::Failed;
  }
  if (!image->allocate(w, h, channels)) return LoadStatus::Failed;

  if (srcChannels == channels) {
    // Straight into the image rows.
    buffers->rows.resize(static_cast<size_t>(h));
    for (int32_t y = 0; y < h; ++y) buffers->rows[static_cast<size_t>(y)] = image->row(y);
    png_read_image(png, buffers->rows.data());
  } else if (passes > 1) {
    // Interlaced with alpha: every pass needs the whole image.
    buffers->scratch.reset(new (std::nothrow) uint8_t[rowBytes * static_cast<size_t>(h)]);
    if (!buffers->scratch) return LoadStatus::Failed;
    buffers->rows.resize(static_cast<size_t>(h));
    for (int32_t y = 0; y < h; ++y) {
      buffers->rows[static_cast<size_t>(y)] = buffers->scratch.get() + rowBytes * y;
    }
    png_read_image(png, buffers->rows.data());
    for (int32_t y = 0; y < h; ++y) {
      dropAlpha(buffers->rows[static_cast<size_t>(y)], srcChannels, image->row(y), channels, w);
    }
  } else {
    buffers->scratch.reset(new (std::nothrow) uint8_t[rowBytes]);
    if (!buffers->scratch) return LoadStatus::Failed;
    for (int32_t y = 0; y < h; ++y) {
      png_read_row(png, buffers->scratch.get(), nullptr);
      dropAlpha(buffers->scratch.get(), srcChannels, image->row(y), channels, w);
    }
  }
  if (grayPalette) {
    const uint8_t* map = buffers->grayOfIndex;
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* row = image->row(y);
      for (int32_t x = 0; x < w; ++x) row[x] = map[row[x]];
    }
  }
  return LoadStatus::Ok;
}

bool runPngWrite(std::FILE* file, png_structp png, png_infop info, const GrayPageView* page,
                 bool bilevel, std::vector<uint8_t>* packed) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(page->width),
               static_cast<png_uint_32>(page->height), bilevel ? 1 : 8, PNG_COLOR_TYPE_GRAY,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  const uint32_t xPpm = pixelsPerMetre(page->xDpi);
  const uint32_t yPpm = pixelsPerMetre(page->yDpi);
  if (xPpm > 0 && yPpm > 0) png_set_pHYs(png, info, xPpm, yPpm, PNG_RESOLUTION_METER);
  // Gray pages: the fastest zlib level and the "up" filter alone. On a
  // 6550 x 9080 scan this writes in about two thirds and reads in about
  // two thirds of the time of libpng's adaptive filtering, for a file about
  // 3 % larger.
  if (!bilevel) {
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
  }
  png_write_info(png, info);
  const size_t packedBytes = (static_cast<size_t>(page->width) + 7) / 8;
  if (bilevel) packed->resize(packedBytes);
  for (int32_t y = 0; y < page->height; ++y) {
    const uint8_t* row = page->row(y);
    if (bilevel) {
      packBilevelRow(row, page->width, false, packed->data());
      png_write_row(png, packed->data());
    } else {
      png_write_row(png, row);
    }
  }
  png_write_end(png, info);
  return true;
}

bool writePng(std::FILE* file, const GrayPageView& page, bool bilevel) {
  if (page.pixels == nullptr || page.width <= 0 || page.height <= 0) return false;
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onPngError, onPngWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  std::vector<uint8_t> packed;
  const bool ok = runPngWrite(file, png, info, &page, bilevel, &packed);
  png_destroy_write_struct(&png, &info);
  return ok && std::fflush(file) == 0 && !std::ferror(file);
}

}  // namespace

uint32_t pixelsPerMetre(double dpi) {
  if (!(dpi > 0.0)) return 0;
  const double ppm = dpi / kMetresPerInch + 0.5;
  return ppm >= 4294967295.0 ? 4294967295u : static_cast<uint32_t>(ppm);
}

double dotsPerInch(int64_t pixelsPerMetre) {
  const double exact = static_cast<double>(pixelsPerMetre) * kMetresPerInch;
  const double whole = std::round(exact);
  return whole > 0.0 && quillane::pixelsPerMetre(whole) == pixelsPerMetre ? whole : exact;
}

LoadStatus readPng(std::FILE* file, LoadedImage& image) {
  image.clear();
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onPngError, onPngWarning);
  if (png == nullptr) return LoadStatus::Failed;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return LoadStatus::Failed;
  }
  PngReadBuffers buffers;
  const LoadStatus status = runPngRead(file, png, info, &buffers, &image);
  png_destroy_read_struct(&png, &info, nullptr);
  if (status != LoadStatus::Ok) image.clear();
  return status;
}

bool writeGrayPng(std::FILE* file, const GrayPageView& page) { return writePng(file, page, false); }

bool writeBilevelPng(std::FILE* file, const GrayPageView& page) {
  return writePng(file, page, true);
}

}  // namespace quillane
