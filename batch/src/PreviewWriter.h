#pragma once
// PreviewWriter: the dust preview of a page, written as an RGB PNG.
//
// The preview is the page as it was before the dust removal, in gray, with
// every pixel that the removal changed painted in the dust colour: the
// editor's diagnosis overlay laid on the paper. The file is written
// atomically (a temporary file beside the target, renamed over it when
// complete) and carries the page's resolution.
#include <cstdint>
#include <string>

#include "quillane/model/QuillaneImage.h"

namespace batch {

struct DustColour {
  uint8_t red = 255;
  uint8_t green = 0;
  uint8_t blue = 0;
};

/// Writes the preview of before (the page before the removal) and after (the
/// same page after it; same geometry) to path. Returns a page-file result
/// code: 0, 1502 when no file can be created beside path, 1503 when writing
/// fails (the target is then unchanged).
[[nodiscard]] int writeDustPreview(const std::string& path, const quillane::QuillaneImage& before,
                                   const quillane::QuillaneImage& after, DustColour colour);

}  // namespace batch
