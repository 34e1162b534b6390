#pragma once
// Rim smoothing: after a region was painted into the page, re-filters a thin
// band along its border with the shared smoothing kernel (SmoothingKernel.h)
// so that the painted area blends into its surroundings.
//
//  1. The band: the region's pixels that have one of their 8 neighbours
//     outside the region, widened by their 4 neighbours on both sides of the
//     border; all within W, the region's bounding box grown by 1 pixel and
//     clipped to the page.
//  2. One byte a pixel: the band pixels take the smoothed value (the kernel
//     reads the page as it is, also outside W).
//  3. Two bytes a pixel (gray, alpha): band pixels with alpha >= 128 count as
//     opaque (255); those below take paintValue as gray and count as
//     transparent (0). That alpha plane is smoothed over the band. When
//     alphaValue is not 0, band pixels whose alpha byte is 0 take paintValue
//     as gray and leave the band. Both channels of the band are smoothed,
//     then W's alpha bytes take the smoothed plane.
// Pixels outside W are never written. Work and memory are in proportion to W,
// not to the page.
#include <cstdint>

#include "quillane/editing/mcRegion.h"

namespace quillane {

/// Smooths the rim of region (page coordinates; runs outside the page are
/// ignored) on the page (height rows of stride bytes, width pixels of
/// bytesPerPixel bytes; 0 takes stride / width). paintValue and alphaValue:
/// the values the region was painted with.
/// False, with the page unchanged, unless the page has 1 or 2 bytes a pixel,
/// pixels is not null, width and height are positive, stride holds a row and
/// the region's bounding box holds a pixel inside the page; false also when
/// memory runs out.
bool smoothRegionRim(const mcRegion& region, uint8_t* pixels, int32_t width, int32_t height,
                     int32_t stride, uint8_t paintValue, uint8_t alphaValue,
                     int32_t bytesPerPixel = 0);

}  // namespace quillane
