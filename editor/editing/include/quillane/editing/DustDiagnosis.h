#pragma once
// The dust diagnosis: which page pixels a dust removal with the current
// settings would change, computed on a copy so that the page stays as it is.
// The editor window calls it for the visible area (or a just-edited
// rectangle) and paints the flagged pixels in the dust colour.
#include <cstdint>

#include "quillane/model/DustMode.h"
#include "quillane/model/QuillaneImage.h"
#include "quillane/model/Rect.h"

namespace quillane {

/// The removal settings as the editor window's controls hold them.
struct DustSettings {
  DustMode mode = DustMode::White;
  int threshold = 1;            ///< gray threshold t, 1 ... 255
  int32_t dustSize = 36;        ///< largest spot area, 1 ... 1000
  bool dustSizeEnabled = true;  ///< "dust size" criterion switched on
  bool grayDustEnabled = true;  ///< "gray dust" criterion switched on
};

/// Fills mask with the diagnosis flags for area (page pixels):
///  - mask is created at the page's size (one byte a pixel, stride = width)
///    when it is empty or of another size;
///  - a PinholeCommand with the settings runs, without undo, on a copy of the
///    page in mask over the area grown by dustSize + 1 (every pixel of it
///    takes part);
///  - every pixel of the command's rectangle becomes 0xFF where the removal
///    changed it and 0 where it did not.
/// Returns that rectangle (the area grown and clipped to the page), whose
/// flags are now meaningful; elsewhere the mask holds no meaningful flags.
/// Returns Rect::none() when the mask cannot be created or the removal fails
/// (area outside the page, engine missing); the flags are then not updated.
Rect computeDustDiagnosis(const QuillaneImage& page, QuillaneImage& mask, const Rect& area,
                          const DustSettings& settings);

}  // namespace quillane
