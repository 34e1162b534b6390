// Opening TIFF files quietly and writing one-sample TIFF pages.
#include "TiffIo.h"

#include <tiffio.h>

#include <cstring>
#include <mutex>
#include <vector>

#include "BilevelRows.h"
#include "quillane/imagefile/PageFileResult.h"

namespace quillane::tiffio {

namespace {

thread_local int tErrors = 0;

// Swallow the messages; returning 1 tells libtiff they were handled. Errors
// are counted.
int quietWarning(TIFF*, void*, const char*, const char* format, va_list) {
  // A tag whose data lie outside the file or do not fit its count is
  // dropped with only a warning; libtiff then reads on with defaults (a
  // palette page without its colour map becomes a gray page of indices).
  if (format != nullptr && (std::strstr(format, "IO error") != nullptr ||
                            std::strstr(format, "Incorrect count") != nullptr)) {
    ++tErrors;
  }
  return 1;
}
int countedError(TIFF*, void*, const char*, const char*, va_list) {
  ++tErrors;
  return 1;
}

}  // namespace

tiff* open(const std::string& path, const char* mode) {
  // Messages about files that could not even be opened carry no handle and
  // go to the process-wide handlers; those stay silent as well.
  static std::once_flag silenced;
  std::call_once(silenced, [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetErrorHandlerExt(nullptr);
    TIFFSetWarningHandler(nullptr);
    TIFFSetWarningHandlerExt(nullptr);
  });
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (options == nullptr) return nullptr;
  TIFFOpenOptionsSetErrorHandlerExtR(options, countedError, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options, quietWarning, nullptr);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(kMaxSingleAllocation));
  TIFF* tif = TIFFOpenExt(path.c_str(), mode, options);
  TIFFOpenOptionsFree(options);
  return tif;
}

int errorCount() { return tErrors; }
void resetErrorCount() { tErrors = 0; }

int writePage(const std::string& path, const GrayPageView& page, bool bilevel, uint16_t compression,
              int32_t jpegQuality) {
  if (page.pixels == nullptr || page.width <= 0 || page.height <= 0) {
    return pagefile::kBadFormatKind;
  }
  TIFF* tif = open(path, "w");
  if (tif == nullptr) return pagefile::kCannotOpenForWriting;
  // JPEG holds 8-bit samples only: a bilevel page goes into it as gray.
  const bool oneBit = bilevel && compression != COMPRESSION_JPEG;
  const auto width = static_cast<uint32_t>(page.width);
  const auto height = static_cast<uint32_t>(page.height);
  bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width) == 1 &&
            TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height) == 1 &&
            TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t{1}) == 1 &&
            TIFFSetField(tif, TIFFTAG_COMPRESSION, compression) == 1 &&
            TIFFSetField(tif, TIFFTAG_PLANARCONFIG, uint16_t{PLANARCONFIG_CONTIG}) == 1 &&
            TIFFSetField(tif, TIFFTAG_FILLORDER, uint16_t{FILLORDER_LSB2MSB}) == 1 &&
            TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, uint16_t{RESUNIT_INCH}) == 1 &&
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                         static_cast<uint16_t>(oneBit ? PHOTOMETRIC_MINISWHITE
                                                      : PHOTOMETRIC_MINISBLACK)) == 1 &&
            TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(oneBit ? 1 : 8)) == 1;
  if (ok && page.xDpi > 0.0 && page.yDpi > 0.0) {
    ok = TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<float>(page.xDpi)) == 1 &&
         TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<float>(page.yDpi)) == 1;
  }
  if (ok && compression == COMPRESSION_JPEG) {
    ok = TIFFSetField(tif, TIFFTAG_JPEGQUALITY, jpegQuality > 0 ? jpegQuality : 92) == 1;
  }
  uint32_t rowsPerStrip = 0;
  if (ok) {
    ok = TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0)) == 1 &&
         TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip) == 1 && rowsPerStrip > 0;
  }
  if (rowsPerStrip > height) rowsPerStrip = height;
  const size_t rowBytes = oneBit ? (width + 7) / 8 : width;
  std::vector<uint8_t> strip;
  if (ok) strip.resize(rowBytes * rowsPerStrip);
  for (uint32_t first = 0, index = 0; ok && first < height; first += rowsPerStrip, ++index) {
    const uint32_t rows = std::min(rowsPerStrip, height - first);
    for (uint32_t r = 0; r < rows; ++r) {
      const uint8_t* src = page.row(static_cast<int32_t>(first + r));
      uint8_t* out = strip.data() + r * rowBytes;
      if (oneBit) {
        // WhiteIsZero: a black pixel (0) is a 1 bit.
        packBilevelRow(src, static_cast<int32_t>(width), true, out);
      } else {
        std::memcpy(out, src, rowBytes);
      }
    }
    const auto bytes = static_cast<tmsize_t>(TIFFVStripSize64(tif, rows));
    ok = bytes > 0 && static_cast<size_t>(bytes) <= strip.size() &&
         TIFFWriteEncodedStrip(tif, index, strip.data(), bytes) >= 0;
  }
  // The directory is written by the flush; its failure is a failed write.
  if (ok) ok = TIFFFlush(tif) == 1;
  TIFFClose(tif);
  return ok ? pagefile::kSuccess : pagefile::kWriteFailed;
}

}  // namespace quillane::tiffio
