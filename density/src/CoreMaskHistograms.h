#pragma once
// The paper-core and ink-core histograms of a page, made in one banded pass.
//
// The straightforward way makes a smoothed page, two thresholded masks, their
// eroded and dilated forms, an inverted page, an inverted mask and two ANDed
// images before counting. Here the page is cut into bands of rows; for each
// band the smoothed rows are computed (with enough rows around the band that
// the smoothing and the 7 x 7 ellipse see exactly what they would see on the
// whole page), turned into two mask bits per pixel, eroded with the ellipse as
// a bitwise AND over it, and counted against the page's grays at once. Nothing
// page-sized is allocated.
//
// Why this is exact:
//  - A binary threshold is monotone, so eroding (or dilating) the thresholded
//    image equals thresholding after the min (or max); and "no pixel of the
//    dilated lighter-than-ink mask" is "every pixel under the ellipse at or
//    below the ink cut", an erosion of the complementary bit. Both masks are
//    therefore erosions, done together as one AND of two-bit codes.
//  - The 7 x 7 ellipse has rows of 1, 5, 7, 7, 7, 5 and 1 pixels, so the AND
//    over it is the AND of seven horizontal runs of the code rows above and
//    below. Replicated borders become clamped row and column indexes.
//  - The smoothing of a band is done on the band's rows plus the aperture's
//    half on each side, handed to OpenCV as an image of its own (not a region
//    of the page), so OpenCV takes the same fixed-point path as for the whole
//    page; the extra rows absorb the edge effect except at the page's real
//    top and bottom, where replication is what the whole page gets too.
//  - The AND of the mask with the page (or the inverted page) only matters
//    for grays above 128, so counting the page's gray of each mask pixel
//    gives the same level search.
#include "tonvale/CAutoAdjustCore.h"

#include <cstddef>
#include <cstdint>

namespace tonvale {

class CoreMaskHistograms {
 public:
  using Histogram = CAutoAdjustCore::Histogram;

  /// Page grays of the paper-core pixels, and their number.
  Histogram paper{};
  int64_t paperCount = 0;
  /// Inverted grays (255 - page gray) of the ink-core pixels, and their number.
  Histogram ink{};
  int64_t inkCount = 0;

  /// Fills the histograms for a page of width x height pixels (rows of stride
  /// bytes). A smoothed pixel belongs to the paper mask when it is above
  /// paperCut and to the ink band when it is at or below inkCut; toneSize is
  /// the smoothing aperture (positive, odd). Runs bands in parallel on
  /// OpenCV's threads. Throws cv::Exception or std::bad_alloc on failure.
  void compute(const uint8_t* page, int width, int height, size_t stride, int toneSize,
               int64_t paperCut, int64_t inkCut);
};

}  // namespace tonvale
