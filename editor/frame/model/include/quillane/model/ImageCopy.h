#pragma once
// Moving pixels between images: the clipped rectangle copy and the crop that
// undo patches, the dust mask and the commands use.
#include <memory>

#include "quillane/model/FilterImageData.h"
#include "quillane/model/QuillaneImage.h"
#include "quillane/model/Rect.h"

namespace quillane {

/// Copies the pixels of srcRect in source to dstRect in destination.
///
/// The two rectangles must have the same width and height, else the copy
/// fails (false) and nothing is written. Both are then clipped together so
/// that what is left lies inside both images: from the left
/// max(-src.left, -dst.left, 0) columns are cut, from the top
/// max(-src.top, -dst.top, 0) rows, from the right
/// max(src.right - source width, dst.right - destination width, 0) columns and
/// from the bottom max(src.bottom - source height, dst.bottom - destination
/// height, 0) rows. When no column or no row is left the copy succeeds
/// without writing anything; otherwise the rest is copied row by row
/// (bytesPerPixel * columns bytes a row) and the copy succeeds.
///
/// Both images must have the same bytes a pixel (false otherwise). Source and
/// destination may be the same image, even with overlapping rectangles.
bool copyClippedRect(const FilterImageData& source, FilterImageData& destination,
                     const Rect& srcRect, const Rect& dstRect);

/// A new image of rect's size (width right - left, height bottom - top, the
/// source's bytes a pixel, stride = width * bytes a pixel) holding the pixels
/// of rect in image, copied with copyClippedRect to (0, 0). Parts of rect
/// outside the image stay 0. The resolutions are not copied.
/// Null when the image cannot be created (empty or inverted rect, source
/// empty, or out of memory).
std::unique_ptr<QuillaneImage> crop(const FilterImageData& image, const Rect& rect);

}  // namespace quillane
