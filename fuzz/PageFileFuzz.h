#pragma once
// The body shared by the page file fuzz targets: the input becomes a page
// file that is opened the way the editor opens one.
#include <cstddef>
#include <cstdint>

namespace fuzz {

/// Writes the input to a temp file and runs reset, probe and the decode of
/// PageImageFile on it (gray mode 0 for gray pages, the weighted mode 8 for
/// colour pages). Inputs whose first two bytes are not those of formatKind
/// (1 TIFF, 2 JPEG, 3 PNG, 4 BMP) are left alone and give -1, so that each
/// target stays on its own reader. Inputs declaring more than 4 Mi pixels
/// (but no more than the page limit) are skipped with -1 as well, to keep
/// the fuzzer fast; else 0.
///
/// A decode that reports success must have filled a page of the size the
/// header declared, within the page limit, with its resolution in
/// 60..30000 dpi; anything else aborts, which the fuzzer reports.
int fuzzPageFile(const uint8_t* data, size_t size, int32_t formatKind);

}  // namespace fuzz
