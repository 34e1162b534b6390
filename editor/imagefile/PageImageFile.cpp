// The page file object: probe, decode and save of TIFF, JPEG, PNG and BMP
// pages.
#include "quillane/imagefile/PageImageFile.h"

#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "TiffIo.h"
#include "common/FilePath.h"
#include "common/Notice.h"
#include "quillane/imagefile/AtomicFile.h"
#include "quillane/imagefile/GrayConversion.h"
#include "quillane/imagefile/ImageLoader.h"
#include "quillane/imagefile/ImageWriter.h"

namespace quillane {

namespace {

using namespace pagefile;

constexpr double kMinResolution = 60.0;
constexpr double kMaxResolution = 30000.0;
constexpr double kDefaultResolution = 72.0;

constexpr const char* kCmykJpegNotice =
    "JPEGのCMYK画像はサポート対象外です。RGBに変換して表示します。";

bool resolutionUsable(double dpi) { return dpi >= kMinResolution && dpi <= kMaxResolution; }

// Reads the first `count` bytes of path into buffer: 1500 when the file cannot
// be opened, 1504 when it is shorter, 1501 when it cannot be closed, else 0.
int readHead(const std::string& path, unsigned char* buffer, size_t count) {
  std::FILE* file = std::fopen(path.c_str(), "rbe");
  if (file == nullptr) return kCannotOpenForReading;
  const size_t got = std::fread(buffer, 1, count, file);
  if (std::fclose(file) != 0) return kCannotCloseAfterReading;
  return got < count ? kFileTooShort : kSuccess;
}

// A file at path exists and may not be replaced: read-only (no write
// permission bit, or not writable by us) or hidden (name starting with '.').
bool protectedTarget(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  const std::string name = common::FilePath::split(path).fileName();
  if (!name.empty() && name[0] == '.') return true;
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0;
}

GrayPageView viewOf(const QuillaneImage& page) {
  GrayPageView view;
  view.pixels = page.pixels();
  view.width = page.width();
  view.height = page.height();
  view.stride = page.stride();
  view.xDpi = page.horizontalResolution;
  view.yDpi = page.verticalResolution;
  return view;
}

// File-type index of the editor's file dialogs to format kind.
int32_t kindOfFileTypeIndex(int32_t index) {
  constexpr int32_t kKinds[] = {kFormatNone, kFormatJpeg, kFormatTiff,
                                kFormatPng,  kFormatBmp,  kFormatUnknown};
  return index >= 0 && index <= 5 ? kKinds[index] : kFormatNone;
}

// The save dialog's TIFF compression choice to a TIFF compression code.
uint16_t compressionOfChoice(int32_t choice) {
  switch (choice) {
    case 1:
      return COMPRESSION_LZW;
    case 2:
      return COMPRESSION_DEFLATE;
    case 3:
      return COMPRESSION_JPEG;
    default:
      return COMPRESSION_NONE;
  }
}

}  // namespace

PageImageFile::PageImageFile()
    : extensions_{{".tif", kFormatTiff},  {".tiff", kFormatTiff}, {".jpg", kFormatJpeg},
                  {".jpeg", kFormatJpeg}, {".jpe", kFormatJpeg},  {".png", kFormatPng},
                  {".bmp", kFormatBmp},   {".rle", kFormatBmp}} {}

PageImageFile::~PageImageFile() { closeTiff(); }

void PageImageFile::closeTiff() {
  if (tiff_ != nullptr) {
    TIFFClose(tiff_);
    tiff_ = nullptr;
  }
}

void PageImageFile::reset() {
  if (page_ != nullptr) page_->release();
  closeTiff();
  decoded_.clear();
  decodedBilevel_ = false;
  clearHeader();
  path_.clear();
  formatKind_ = kFormatNone;
  page_ = nullptr;
  loaderColorKind_ = 0;
  xResolution_ = yResolution_ = 0.0;
  resolutionDefaulted_ = false;
}

int PageImageFile::detectFormat(const std::string& path) {
  unsigned char magic[2] = {0, 0};
  if (const int r = readHead(path, magic, 2); r != kSuccess) return r;
  if ((magic[0] == 'M' && magic[1] == 'M') || (magic[0] == 'I' && magic[1] == 'I')) {
    return kFormatTiff;
  }
  if (magic[0] == 0xFF && magic[1] == 0xD8) return kFormatJpeg;
  if (magic[0] == 0x89 && magic[1] == 'P') return kFormatPng;
  if (magic[0] == 'B' && magic[1] == 'M') return kFormatBmp;
  return kFormatUnknown;
}

int PageImageFile::probe(const std::string& path) {
  path_ = path;
  resolutionDefaulted_ = false;
  // Nothing of an earlier file may carry over (the editor resets first, but
  // the batch cleaner may probe again on the same object).
  closeTiff();
  decoded_.clear();
  decodedBilevel_ = false;
  clearHeader();
  loaderColorKind_ = 0;
  xResolution_ = yResolution_ = 0.0;
  const int kind = detectFormat(path);
  switch (kind) {
    case kFormatTiff:
      formatKind_ = kind;
      return probeTiff();
    case kFormatJpeg:
    case kFormatPng:
    case kFormatBmp:
      formatKind_ = kind;
      return probeLoaded(kind);
    case kCannotOpenForReading:
    case kCannotCloseAfterReading:
    case kFileTooShort:
      return kind;
    default:
      return kUnsupported;
  }
}

int PageImageFile::probeTiff() {
  closeTiff();
  clearHeader();
  tiffio::resetErrorCount();
  tiff_ = tiffio::open(path_, "r");
  if (tiff_ != nullptr && tiffio::errorCount() > 0) closeTiff();
  if (tiff_ == nullptr) return kCannotOpenForReading;
  TiffHeader& h = header_;
  TIFFGetField(tiff_, TIFFTAG_IMAGEWIDTH, &h.width);
  TIFFGetField(tiff_, TIFFTAG_IMAGELENGTH, &h.height);
  // Sample layout and fill order: an absent tag means its TIFF default.
  TIFFGetFieldDefaulted(tiff_, TIFFTAG_BITSPERSAMPLE, &h.bitsPerSample);
  TIFFGetFieldDefaulted(tiff_, TIFFTAG_SAMPLESPERPIXEL, &h.samplesPerPixel);
  TIFFGetFieldDefaulted(tiff_, TIFFTAG_PLANARCONFIG, &h.planarConfig);
  TIFFGetFieldDefaulted(tiff_, TIFFTAG_FILLORDER, &h.fillOrder);
  TIFFGetField(tiff_, TIFFTAG_COMPRESSION, &h.compression);
  if (h.compression == COMPRESSION_JPEG) {
    int quality = 0;
    TIFFGetField(tiff_, TIFFTAG_JPEGQUALITY, &quality);
    h.jpegQuality = static_cast<uint16_t>(std::clamp(quality, 0, 65535));
  }
  TIFFGetField(tiff_, TIFFTAG_PHOTOMETRIC, &h.photometric);
  TIFFGetField(tiff_, TIFFTAG_ROWSPERSTRIP, &h.rowsPerStrip);
  TIFFGetField(tiff_, TIFFTAG_XRESOLUTION, &h.xResolution);
  TIFFGetField(tiff_, TIFFTAG_YRESOLUTION, &h.yResolution);
  TIFFGetField(tiff_, TIFFTAG_RESOLUTIONUNIT, &h.resolutionUnit);
  if (h.resolutionUnit == RESUNIT_CENTIMETER) {
    h.xResolution = static_cast<float>(h.xResolution * 25.4 / 10.0);
    h.yResolution = static_cast<float>(h.yResolution * 25.4 / 10.0);
  }
  if (h.photometric == PHOTOMETRIC_PALETTE) {
    uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
    if (TIFFGetField(tiff_, TIFFTAG_COLORMAP, &r, &g, &b) != 1 || r == nullptr || g == nullptr) {
      return kNoColorMap;
    }
    if (h.bitsPerSample >= 1 && h.bitsPerSample <= 8) {
      const size_t entries = size_t{1} << h.bitsPerSample;
      if (!std::equal(r, r + entries, g)) h.samplesPerPixel = 3;
    }
  }
  uint16_t colourSamples = 0;
  switch (h.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_PALETTE:
      colourSamples = 1;
      break;
    case PHOTOMETRIC_RGB:
    case PHOTOMETRIC_YCBCR:
      colourSamples = 3;
      break;
    case PHOTOMETRIC_SEPARATED:
      colourSamples = 4;
      break;
    default:
      return kUnsupported;
  }
  if (!pageSizeAllowed(h.width, h.height)) return kTooLarge;
  // Sample sizes other than these have no gray result; a page with fewer
  // samples than its colour model needs is damaged.
  const uint16_t bits = h.bitsPerSample;
  if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16) return kUnsupported;
  if (h.photometric == PHOTOMETRIC_PALETTE && bits > 8) return kUnsupported;
  if (h.samplesPerPixel < colourSamples) return kUnsupported;
  h.extraSamples = static_cast<uint16_t>(h.samplesPerPixel - colourSamples);
  switch (h.photometric) {
    case PHOTOMETRIC_RGB:
      return kRgb;
    case PHOTOMETRIC_SEPARATED:
      return kCmyk;
    case PHOTOMETRIC_YCBCR:
      // An ordinary YCbCr page has three samples and is offered as RGB.
      return h.samplesPerPixel;
    default:
      return kGray;
  }
}

int PageImageFile::probeLoaded(int32_t kind) {
  closeTiff();
  const LoadStatus status = loadImage(path_, decoded_);
  clearHeader();
  if (status == LoadStatus::TooLarge) return kTooLarge;
  if (status != LoadStatus::Ok) return kUnsupported;
  xResolution_ = decoded_.xDpi;
  yResolution_ = decoded_.yDpi;
  loaderColorKind_ = decoded_.cmykConverted ? 4 : 0;
  if (!resolutionUsable(xResolution_)) {
    xResolution_ = yResolution_ = kDefaultResolution;
    resolutionDefaulted_ = true;
  } else if (!resolutionUsable(yResolution_)) {
    yResolution_ = xResolution_;
  }
  if (!pageSizeAllowed(decoded_.width, decoded_.height)) return kTooLarge;
  if (kind == kFormatJpeg && loaderColorKind_ == 4) {
    common::notice(kCmykJpegNotice, common::NoticeIcon::None);
  }
  if (kind == kFormatPng && decoded_.channels == 3) {
    bool allGray = true;
    for (int32_t y = 0; y < decoded_.height && allGray; ++y) {
      const uint8_t* p = decoded_.row(y);
      for (int32_t x = 0; x < decoded_.width; ++x, p += 3) {
        if (p[0] != p[1] || p[1] != p[2]) {
          allGray = false;
          break;
        }
      }
    }
    if (allGray) return kGray;
  }
  return decoded_.channels == 1 ? kGray : kRgb;
}

int PageImageFile::decodeTiff(int32_t mode) {
  if (tiff_ == nullptr || page_ == nullptr) return kUnsupported;
  QuillaneImage& page = *page_;
  tiffio::resetErrorCount();
  int result = tiffio::decodePage(tiff_, header_, mode, page);
  if (result == kSuccess && tiffio::errorCount() > 0) result = kTiffReadFailed;
  if (result != kSuccess) {
    page.release();
    return result;
  }
  double x = header_.xResolution, y = header_.yResolution;
  if (!resolutionUsable(x) || header_.resolutionUnit == RESUNIT_NONE) {
    x = y = kDefaultResolution;
    resolutionDefaulted_ = true;
  } else if (!resolutionUsable(y)) {
    y = x;
  }
  page.horizontalResolution = static_cast<float>(x);
  page.verticalResolution = static_cast<float>(y);
  return kSuccess;
}

int PageImageFile::decodeOther(int32_t mode) {
  if (decoded_.empty() || page_ == nullptr) return kUnsupported;
  // A 1-bit file is written back as 1 bit a pixel: the PNG header's bit
  // depth is byte 24; a BMP's bit count is at 28 (40-byte and longer
  // headers) or 24 (12-byte header).
  bool bilevel = false;
  if (formatKind_ == kFormatPng) {
    unsigned char head[25];
    if (const int r = readHead(path_, head, sizeof head); r != kSuccess) return r;
    bilevel = head[24] == 1;
  } else if (formatKind_ == kFormatBmp) {
    unsigned char head[30];
    if (const int r = readHead(path_, head, sizeof head); r != kSuccess) return r;
    const unsigned infoSize = head[14] | (head[15] << 8) | (head[16] << 16) | (head[17] << 24);
    const unsigned at = infoSize == 12 ? 24 : 28;
    bilevel = (head[at] | (head[at + 1] << 8)) == 1;
  }
  QuillaneImage& page = *page_;
  if (!page.createUninitialized(decoded_.width, decoded_.height, decoded_.width, 1))
    return kUnsupported;
  if (const int r = convertLoadedImage(decoded_, mode, page.pixels(), page.stride());
      r != kSuccess) {
    page.release();
    return r;
  }
  page.horizontalResolution = static_cast<float>(xResolution_);
  page.verticalResolution = static_cast<float>(yResolution_);
  decodedBilevel_ = bilevel;
  // The page holds everything now; the decoded image would only double the
  // memory of a colour page for as long as it is edited.
  decoded_.clear();
  return kSuccess;
}

bool PageImageFile::isBilevel() const { return header_.bitsPerSample == 1 || decodedBilevel_; }

int32_t PageImageFile::extensionKind(const std::string& path) const {
  const std::string extension = common::lowerExtension(path);
  if (extension.empty()) return kFormatNone;
  for (const ExtensionEntry& entry : extensions_) {
    if (entry.first == extension) return entry.second;
  }
  return kFormatUnknown;
}

std::string PageImageFile::fileName(const std::string& path) {
  return common::FilePath::split(path).fileName();
}

int32_t PageImageFile::qualityPercent(int32_t level) {
  constexpr int32_t kPercent[] = {0, 30, 40, 50, 60, 68, 73, 78, 82, 86, 92, 96, 100};
  return level >= 0 && level <= 12 ? kPercent[level] : 0;
}

int PageImageFile::save(const int32_t* jpegQualityLevel, int32_t fileTypeIndex) {
  if (path_.empty()) return kNoPath;
  const int32_t kind = kindOfFileTypeIndex(fileTypeIndex);
  int32_t compression = 0;
  int32_t percent = 0;
  if (kind == kFormatTiff) {
    compression = header_.compression;
    if (compression == COMPRESSION_JPEG) {
      percent = header_.jpegQuality >= 1 && header_.jpegQuality <= 100 ? header_.jpegQuality : 92;
    }
    closeTiff();
  } else if (kind == kFormatJpeg) {
    percent = qualityPercent(jpegQualityLevel != nullptr ? *jpegQualityLevel : 0);
  }
  const int result = saveWithPercent(path_, kind, compression, percent, false);
  if (kind == kFormatTiff) tiff_ = tiffio::open(path_, "r");
  return result;
}

int PageImageFile::saveAs(const std::string& path, int32_t formatKind, int32_t compression,
                          int32_t qualityLevel, bool useDialogChoices) {
  return saveWithPercent(path, formatKind, compression, qualityPercent(qualityLevel),
                         useDialogChoices);
}

int PageImageFile::saveWithPercent(const std::string& path, int32_t formatKind, int32_t compression,
                                   int32_t percent, bool useDialogChoices) {
  std::string target = path;
  if (useDialogChoices && extensionKind(target) != formatKind) {
    for (const ExtensionEntry& entry : extensions_) {
      if (entry.second == formatKind) {
        target += entry.first;
        break;
      }
    }
  }
  if (protectedTarget(target)) return kCannotOpenForWriting;
  if (formatKind < kFormatTiff || formatKind > kFormatBmp || page_ == nullptr || page_->isEmpty() ||
      page_->bytesPerPixel() != 1) {
    return kBadFormatKind;
  }
  const GrayPageView view = viewOf(*page_);
  const bool bilevel = isBilevel();

  AtomicFile file(target);
  if (!file.open()) {
    return formatKind == kFormatPng && bilevel ? kWriteFailed : kCannotOpenForWriting;
  }
  int result = kSuccess;
  if (formatKind == kFormatTiff) {
    uint16_t code =
        useDialogChoices ? compressionOfChoice(compression) : static_cast<uint16_t>(compression);
    if (code == 0) code = COMPRESSION_NONE;
    result = tiffio::writePage(file.tempPath(), view, bilevel, code, percent);
  } else {
    std::FILE* stream = file.openStream();
    if (stream == nullptr) return kCannotOpenForWriting;
    bool written = false;
    if (formatKind == kFormatJpeg) {
      written = writeGrayJpeg(stream, view, percent > 0 ? percent : 82);
    } else if (formatKind == kFormatPng) {
      written = bilevel ? writeBilevelPng(stream, view) : writeGrayPng(stream, view);
    } else {
      written = bilevel ? writeBilevelBmp(stream, view) : writeGrayBmp(stream, view);
    }
    written = std::fclose(stream) == 0 && written;
    result = written ? kSuccess : kWriteFailed;
  }
  if (result == kSuccess && !file.commit()) result = kWriteFailed;
  if (result != kSuccess) return result;
  formatKind_ = formatKind;
  path_ = target;
  return kSuccess;
}

}  // namespace quillane
