// Stroke masks and polygon regions; see BrushMask.h.
//
// QPainter's raster engine samples pixel centres when it fills without
// antialiasing; the painter is shifted by half a pixel so that a point at
// integer page position (x, y) stands for the centre of pixel (x, y), the
// pen then lying symmetrically around it.
#include "quillane/editing/BrushMask.h"

#include <QPainter>
#include <QPen>
#include <QPolygon>
#include <algorithm>
#include <cmath>
#include <limits>

#include "quillane/model/Rect.h"

namespace quillane {
namespace {

// The points rounded to pixels, consecutive equal ones merged.
std::vector<QPoint> pixelPoints(const std::vector<QPointF>& points) {
  std::vector<QPoint> out;
  out.reserve(points.size());
  for (const QPointF& p : points) {
    const QPoint q(roundAway(p.x()), roundAway(p.y()));
    if (out.empty() || out.back() != q) out.push_back(q);
  }
  return out;
}

}  // namespace

int32_t roundAway(double v) {
  const double r = v >= 0 ? std::trunc(v + 0.5 + 1e-10) : std::trunc(v - 0.5 - 1e-10);
  if (!(r >= std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  if (r > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(r);
}

BrushMask renderStroke(const std::vector<QPointF>& points, int32_t penWidth, QSize pageSize,
                       bool wholePage) {
  BrushMask mask;
  const std::vector<QPoint> stroke = pixelPoints(points);
  if (stroke.empty() || pageSize.isEmpty()) return mask;
  const int32_t pen = std::max(penWidth, 1);
  const Rect page{0, 0, pageSize.width(), pageSize.height()};

  Rect box = page;
  if (!wholePage) {
    int32_t left = stroke[0].x(), right = left, top = stroke[0].y(), bottom = top;
    for (const QPoint& p : stroke) {
      left = std::min(left, p.x());
      right = std::max(right, p.x());
      top = std::min(top, p.y());
      bottom = std::max(bottom, p.y());
    }
    // Half the pen on each side, plus a margin for the rasteriser's rounding.
    box = Rect{left, top, right, bottom}.grown(1).grown(pen / 2 + 2).intersected(page);
    if (box.isEmpty()) return mask;
  }

  QImage image(static_cast<int>(box.width()), static_cast<int>(box.height()),
               QImage::Format_Grayscale8);
  if (image.isNull()) return mask;
  image.fill(255);
  mask.origin = QPoint(box.left, box.top);

  if (stroke.size() == 1 && pen == 1) {
    // A one-pixel dot: the pixel itself.
    const QPoint p = stroke[0] - mask.origin;
    if (image.rect().contains(p)) image.scanLine(p.y())[p.x()] = 0;
    mask.image = std::move(image);
    return mask;
  }
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.translate(0.5 - box.left, 0.5 - box.top);
    painter.setPen(QPen(Qt::black, pen, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (stroke.size() == 1)
      painter.drawPoint(stroke[0]);
    else
      painter.drawPolyline(stroke.data(), static_cast<int>(stroke.size()));
  }
  mask.image = std::move(image);
  return mask;
}

std::optional<QRegion> polygonRegion(const std::vector<QPointF>& points) {
  if (points.size() < 3) return std::nullopt;
  QPolygon polygon;
  polygon.reserve(static_cast<qsizetype>(points.size()));
  for (const QPointF& p : points) polygon.append(QPoint(roundAway(p.x()), roundAway(p.y())));
  return QRegion(polygon, Qt::WindingFill);
}

}  // namespace quillane
