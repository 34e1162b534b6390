#include "PageFileFuzz.h"

#include <cstdio>
#include <cstdlib>

#include "FuzzTempFile.h"
#include "common/Notice.h"
#include "quillane/imagefile/GrayConversion.h"
#include "quillane/imagefile/PageFileResult.h"
#include "quillane/imagefile/PageImageFile.h"
#include "quillane/model/QuillaneImage.h"

namespace fuzz {

namespace {

using namespace quillane;

bool hasMagic(const uint8_t* data, size_t size, int32_t formatKind) {
  if (size < 2) return false;
  switch (formatKind) {
    case kFormatTiff:
      return (data[0] == 'I' && data[1] == 'I') || (data[0] == 'M' && data[1] == 'M');
    case kFormatJpeg:
      return data[0] == 0xFF && data[1] == 0xD8;
    case kFormatPng:
      return data[0] == 0x89 && data[1] == 'P';
    case kFormatBmp:
      return data[0] == 'B' && data[1] == 'M';
    default:
      return false;
  }
}

// Inputs whose header declares more pixels than this (and no more than the
// page limit) are skipped. A few hundred bytes of RLE, JPEG or PNG data can
// declare a full 59-million-pixel page that then takes a tenth of a second
// to fill; fuzzing would spend nearly all its time there. Full-size pages
// are the unit tests' business; declared sizes over the page limit still go
// through, as their refusal before any allocation is worth fuzzing.
constexpr int64_t kFuzzMaxPixels = int64_t{1} << 22;

uint32_t be32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
uint32_t le32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

// The width and height a JPEG, PNG or BMP header declares, as far as the
// first bytes tell (0 x 0 when they do not).
void declaredSize(const uint8_t* data, size_t size, int32_t formatKind, int64_t& w, int64_t& h) {
  w = h = 0;
  if (formatKind == kFormatPng && size >= 24) {
    w = be32(data + 16);
    h = be32(data + 20);
  } else if (formatKind == kFormatBmp && size >= 26) {
    if (le32(data + 14) == 12) {
      w = data[18] | (data[19] << 8);
      h = data[20] | (data[21] << 8);
    } else {
      w = static_cast<int32_t>(le32(data + 18));
      h = static_cast<int32_t>(le32(data + 22));
      if (w < 0) w = -w;
      if (h < 0) h = -h;
    }
  } else if (formatKind == kFormatJpeg) {
    // Marker segments up to the first start-of-frame (C0..CF but C4, C8, CC).
    size_t at = 2;
    while (at + 9 < size && data[at] == 0xFF) {
      const uint8_t marker = data[at + 1];
      const size_t length = (size_t{data[at + 2]} << 8) | data[at + 3];
      if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
        h = (data[at + 5] << 8) | data[at + 6];
        w = (data[at + 7] << 8) | data[at + 8];
        return;
      }
      at += 2 + length;
    }
  }
}

bool skippedForSize(int64_t w, int64_t h) {
  // The limit check first: it keeps the product within 64 bits.
  return pagefile::pageSizeAllowed(w, h) && w * h > kFuzzMaxPixels;
}

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "page file fuzz: %s\n", what);
  std::abort();
}

// What a successful decode promises about the page it filled.
void checkPage(const QuillaneImage& page) {
  if (page.isEmpty() || page.bytesPerPixel() != 1) fail("success without a gray page");
  if (!pagefile::pageSizeAllowed(page.width(), page.height())) fail("page over the limit");
  if (page.stride() < page.width()) fail("stride shorter than a row");
  const float x = page.horizontalResolution, y = page.verticalResolution;
  if (!(x >= 60.0f && x <= 30000.0f && y >= 60.0f && y <= 30000.0f)) {
    fail("resolution outside 60..30000 dpi");
  }
  // Reads every pixel, so that a page buffer shorter than its rows shows.
  unsigned sum = 0;
  for (int32_t row = 0; row < page.height(); ++row) {
    const uint8_t* p = page.row(row);
    for (int32_t col = 0; col < page.width(); ++col) sum += p[col];
  }
  volatile unsigned sink = sum;
  (void)sink;
}

}  // namespace

int fuzzPageFile(const uint8_t* data, size_t size, int32_t formatKind) {
  if (!hasMagic(data, size, formatKind)) return -1;
  int64_t declaredWidth = 0, declaredHeight = 0;
  declaredSize(data, size, formatKind, declaredWidth, declaredHeight);
  if (skippedForSize(declaredWidth, declaredHeight)) return -1;
  // The CMYK JPEG notice would be printed for every such input.
  static const bool quiet = [] {
    common::setNoticeHandler([](const std::string&, common::NoticeIcon, common::NoticeButtons) {
      return common::NoticeAnswer::Ok;
    });
    return true;
  }();
  (void)quiet;
  // FUZZ_TRACE=1 shows what became of each input (for looking at a corpus).
  static const bool trace = std::getenv("FUZZ_TRACE") != nullptr;
  static const FuzzTempFile file("page");
  file.write(data, size);

  QuillaneImage page;
  PageImageFile pageFile;
  pageFile.reset();
  const int probed = pageFile.probe(file.path());
  if (probed != pagefile::kGray && probed != pagefile::kRgb && probed != pagefile::kCmyk) {
    if (trace) std::fprintf(stderr, "probe %d\n", probed);
    return 0;
  }
  pageFile.setPage(&page);
  const int32_t mode = probed == pagefile::kGray ? kGrayAsIs : kGrayWeighted;
  int decoded = pagefile::kUnsupported;
  if (pageFile.hasTiffHandle()) {
    if (skippedForSize(pageFile.tiffHeader().width, pageFile.tiffHeader().height)) {
      pageFile.reset();
      return -1;
    }
    decoded = pageFile.decodeTiff(mode);
    if (decoded == pagefile::kSuccess &&
        (static_cast<uint32_t>(page.width()) != pageFile.tiffHeader().width ||
         static_cast<uint32_t>(page.height()) != pageFile.tiffHeader().height)) {
      fail("TIFF page size differs from its header");
    }
  } else if (pageFile.hasDecodedImage()) {
    decoded = pageFile.decodeOther(mode);
  } else {
    fail("probe succeeded without an open file");
  }
  if (decoded == pagefile::kSuccess) checkPage(page);
  if (trace) {
    std::fprintf(stderr, "probe %d decode %d page %dx%d\n", probed, decoded, page.width(),
                 page.height());
  }
  // Closes the TIFF handle (and its mapping of the file) before the next
  // input rewrites the file.
  pageFile.reset();
  return 0;
}

}  // namespace fuzz
