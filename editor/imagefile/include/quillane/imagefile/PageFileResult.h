#pragma once
// Result codes of reading and writing page files, the page size limit, and
// the message the user is shown for each code.
//
// Every operation of PageImageFile returns one of these codes; nothing is
// thrown to the caller. The editor window shows the text of a failure with
// pageFileMessage(); the batch cleaner prints the same text with its code.
#include <cstdint>
#include <string>

namespace quillane {

namespace pagefile {

inline constexpr int kSuccess = 0;
inline constexpr int kGray = 1;  ///< probe: the page is gray
inline constexpr int kRgb = 3;   ///< probe: the page is RGB (or YCbCr)
inline constexpr int kCmyk = 4;  ///< probe: the page is CMYK
/// Unknown format, unsupported colour model or sample size, or a JPEG, PNG or
/// BMP file that cannot be decoded.
inline constexpr int kUnsupported = 5;
inline constexpr int kBadFormatKind = 1000;        ///< no page, or format kind not 1..4
inline constexpr int kGrayModeUnavailable = 1001;  ///< gray conversion not offered for the page
inline constexpr int kTooLarge = 1003;             ///< more than kMaxPagePixels pixels
inline constexpr int kUnsupportedCompression = 1202;
inline constexpr int kCannotOpenForReading = 1500;
inline constexpr int kCannotCloseAfterReading = 1501;
inline constexpr int kCannotOpenForWriting = 1502;  ///< also: target read-only or hidden
inline constexpr int kWriteFailed = 1503;
inline constexpr int kFileTooShort = 1504;
inline constexpr int kNoPath = 1505;
inline constexpr int kNoColorMap = 2001;    ///< palette TIFF without its colour map
inline constexpr int kTiffReadFailed = -1;  ///< a strip or scanline could not be delivered

/// The largest page: 6550 x 9080 pixels (B4 at 600 dpi). The limit is on the
/// product, whatever the aspect ratio.
inline constexpr int32_t kMaxPageWidth = 6550;
inline constexpr int32_t kMaxPageHeight = 9080;
inline constexpr int64_t kMaxPagePixels = int64_t{kMaxPageWidth} * kMaxPageHeight;

/// True when a page of width x height pixels (as declared by a file header)
/// may be loaded: both positive and the product at most kMaxPagePixels.
inline bool pageSizeAllowed(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= kMaxPagePixels && height <= kMaxPagePixels &&
         width * height <= kMaxPagePixels;
}

/// The operation a failure comes from; it selects the text for codes without
/// a message of their own.
enum class MessageVariant { Reading, Writing, Other };

/// The text shown for a result code (UTF-8), "" for the codes that are no
/// failure (0 and the probe results 1, 3, 4). Codes without a text of their
/// own get the reading, writing or general failure text of the variant.
std::string message(int code, MessageVariant variant);

}  // namespace pagefile

/// Format kinds of page files.
enum PageFormatKind : int32_t {
  kFormatNone = 0,  ///< no format (no path, or no extension)
  kFormatTiff = 1,
  kFormatJpeg = 2,
  kFormatPng = 3,
  kFormatBmp = 4,
  kFormatUnknown = 5,  ///< an extension or contents of no supported format
};

}  // namespace quillane
