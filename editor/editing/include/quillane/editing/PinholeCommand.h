#pragma once
// PinholeCommand: removes dust specks (White mode) or pinholes (Black mode)
// from a rectangle or a brush disc of the page.
//
// There is no separate detector: a spot is what the engine's pinhole
// operation paints over on a two-level scratch copy of the area. The command
//  1. applies the criteria switches: without the dust-size criterion the
//     largest spot is 0 (nothing is removed); without the gray criterion only
//     pure paper (255 White, 0 Black) counts as paper;
//  2. R = rect clipped to the page (false when empty); R2 = R grown by
//     dustSize + 1 and clipped;
//  3. saves R into the history (when given);
//  4. fills a scratch image of R2 with the spot colour and binarises into it
//     a band one pixel wider than R that never reaches into the outermost
//     page row or column (only the disc, for a brush dab): 255 where the page
//     pixel >= thresholdByte, else 0. A speck that reaches the edge of the
//     written band joins the spot-coloured frame around it and survives;
//  5. runs the engine's pinhole operation on the scratch (spots of at most
//     dustSize pixels take the paper colour);
//  6. sets every page pixel of R whose scratch pixel is paper colour to the
//     paper colour; nothing else of the page is written.
// So within R every pixel at or beyond the threshold on the paper side becomes
// pure paper colour, and every removed spot becomes paper colour.
//
// Failure (false) is silent: the page is unchanged and the saved patch is
// dropped again.
#include <cstdint>
#include <memory>

#include "quillane/editing/PaintCommand.h"
#include "quillane/model/Rect.h"

namespace quillane {

class PinholeCommand : public PaintCommand {
 public:
  /// image: the page (not owned). whiteBackground: White mode (paper 255).
  /// threshold: the gray threshold t of the threshold control, 1 ... 255;
  /// thresholdByte becomes (256 - t) mod 256 in White mode, t in Black mode.
  /// rect: the area in page pixels, or null for the whole page. dustSize:
  /// largest spot area in pixels. wholeRect: every pixel of rect takes part;
  /// false: only the disc of the given diameter whose bounding square starts
  /// at rect's top left corner: centre (left + c/2, top + c/2), radius c/2
  /// for an even diameter c (the centre then lies between pixels, so offsets
  /// >= 0 are first lowered by 1) and (c + 1)/2 for an odd one; a pixel is
  /// inside when dx^2 + dy^2 < r^2.
  /// The two criteria switches are left unset (false); the caller sets both
  /// before executing.
  PinholeCommand(QuillaneImage* image, bool whiteBackground, int threshold, const Rect* rect,
                 int32_t dustSize, bool wholeRect, uint32_t diameter);

  std::unique_ptr<Command> clone() const override;
  bool execute(UndoHistory* history, Rect& out, ProgressCallback progress, void* user) override;

  Rect rect;                     ///< area to clean, page pixels
  bool whiteBackground;          ///< White mode: paper 255, spots 0
  bool wholeRect;                ///< false: only the brush disc takes part
  uint8_t thresholdByte;         ///< page pixel >= this counts as paper-side (255)
  int32_t dustSize;              ///< largest spot area, pixels
  uint32_t diameter;             ///< disc diameter when wholeRect is false
  bool dustSizeEnabled = false;  ///< "dust size" criterion switched on
  bool grayDustEnabled = false;  ///< "gray dust" criterion switched on
  bool whiteBackgroundDefault;   ///< chooses the threshold without the gray criterion
};

}  // namespace quillane
