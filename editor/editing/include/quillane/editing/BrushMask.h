#pragma once
// The brush mask of a freehand eraser stroke and the polygon region of the
// polygon and lasso erasers, made from the points a tool tracked.
#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QRegion>
#include <QSize>
#include <cstdint>
#include <optional>
#include <vector>

namespace quillane {

/// An 8-bit mask (Format_Grayscale8, rows of ((width * 8 + 31) / 32) * 4
/// bytes) laid over part of a page: mask pixel (0, 0) is page pixel origin.
/// 255 is untouched; the stroke leaves 0.
struct BrushMask {
  QImage image;   ///< null when the stroke misses the page
  QPoint origin;  ///< page position of the mask's top-left pixel
};

/// Renders a stroke into a new brush mask: every byte 255, then the points
/// (page coordinates, each rounded half away from zero to a pixel; repeated
/// points merged) drawn as a solid black polyline penWidth page pixels wide
/// (at least 1) with round caps and joins and no antialiasing, centred on
/// the pixel centres. A single point is a dot as wide as the pen (one pixel
/// for a 1-pixel pen).
///
/// The mask covers the stroke's bounding box grown by half the pen width and
/// a margin, clipped to the page (pageSize), so its cost follows the stroke,
/// not the page; with wholePage it covers the whole page at origin (0, 0).
/// Either way its pixels equal those of a page-sized mask at the same place.
/// An empty point list, an empty page or a stroke wholly outside the page
/// gives a null image.
BrushMask renderStroke(const std::vector<QPointF>& points, int32_t penWidth, QSize pageSize,
                       bool wholePage = false);

/// The region inside the polygon through the points (page coordinates, each
/// rounded half away from zero to a pixel), filled with the winding rule;
/// the right and bottom edges are exclusive (the polygon (1, 1), (6, 1),
/// (6, 4), (1, 4) holds the pixels 1 ... 5 of rows 1 ... 3). Fewer than three
/// points give no region.
std::optional<QRegion> polygonRegion(const std::vector<QPointF>& points);

/// Rounds a page coordinate half away from zero: v >= 0 gives
/// trunc(v + 0.5 + 1e-10), v < 0 gives trunc(v - 0.5 - 1e-10), limited to the
/// int32 range.
int32_t roundAway(double v);

}  // namespace quillane
