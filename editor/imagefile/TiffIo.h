#pragma once
// libtiff access shared by PageImageFile: opening with silenced handlers,
// decoding a page into gray and writing a page.
#include <cstddef>
#include <cstdint>
#include <string>

#include "quillane/imagefile/ImageWriter.h"
#include "quillane/imagefile/TiffHeader.h"
#include "quillane/model/QuillaneImage.h"

struct tiff;

namespace quillane::tiffio {

/// The largest single buffer that libtiff or the page decoder allocates for
/// one page: a strip of the largest page with four 16-bit samples, with room
/// to spare. A header that asks for more (say, thousands of samples a pixel)
/// is damaged, and its page fails with -1 instead of reserving gigabytes.
inline constexpr size_t kMaxSingleAllocation = size_t{1} << 30;

/// TIFFOpen with every warning and error kept silent (nothing printed; the
/// caller sees only the failed call) and a cap on libtiff's single
/// allocations, so a damaged header cannot ask for gigabytes.
tiff* open(const std::string& path, const char* mode);

/// How many errors libtiff reported on this thread since the last reset. A
/// file that libtiff opens or reads "successfully" after reporting an error
/// (a tag it had to drop, a colour map it could not read) is damaged, and
/// its page would not be the page the file meant.
int errorCount();
void resetErrorCount();

/// Fills page (one byte a pixel, stride = width) from the open TIFF whose
/// header is given, with the gray mode. The resolution is not touched.
/// Returns 0, 1202, 1001, 5 or -1 (see PageImageFile::decodeTiff).
[[nodiscard]] int decodePage(tiff* tif, const TiffHeader& header, int32_t mode,
                             QuillaneImage& page);

/// Writes page to path as a one-sample TIFF: 1-bit WhiteIsZero when bilevel
/// (and the compression is not JPEG), else 8-bit BlackIsZero; FillOrder 2,
/// resolution in inches, the given compression code (JPEG with quality, 92
/// when 0). Returns 0, 1502 when the file cannot be opened, 1503 when the
/// compression cannot be set or a strip or the directory cannot be written.
[[nodiscard]] int writePage(const std::string& path, const GrayPageView& page, bool bilevel,
                            uint16_t compression, int32_t jpegQuality);

}  // namespace quillane::tiffio
