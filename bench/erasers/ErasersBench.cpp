// Erasers on the benchmark page (6550 x 9080 gray) and on a 1000 x 1000 crop
// of its middle, with the edit at the same place of the picture on both:
//  - eraser_stroke_*: a freehand stroke of 200 points inside a 900 x 900
//    area with a 60-pixel pen: mask render, BrushCommand built and executed
//    with an undo step;
//  - region_fill_*: a 24-corner polygon filling a 700 x 700 box:
//    polygon region, RegionFillCommand built and executed with an undo step;
//  - line_adjust: LineAdjustCommand (density preset 2) over the full page with
//    its undo step.
// The RESULT lines compare the full page (ours) with the small page
// (baseline): an edit must cost in proportion to what it touches.
#include <QPointF>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "BenchSupport.h"
#include "quillane/editing/BrushCommand.h"
#include "quillane/editing/BrushMask.h"
#include "quillane/editing/LineAdjustCommand.h"
#include "quillane/editing/RegionFillCommand.h"
#include "quillane/editing/UndoHistory.h"
#include "tonvale/TonvalePlugin.h"

namespace {

using quillane::BrushCommand;
using quillane::LineAdjustCommand;
using quillane::QuillaneImage;
using quillane::Rect;
using quillane::RegionFillCommand;
using quillane::UndoHistory;

constexpr int kSmall = 1000;
constexpr int kPen = 60;

bench::GrayPage source;
int cropLeft = 0, cropTop = 0;  // where the small page lies in the full one

[[noreturn]] void die(const char* message) {
  std::fprintf(stderr, "erasers: %s\n", message);
  std::exit(1);
}

void loadFull(QuillaneImage& page) {
  if (page.width() != source.width || page.height() != source.height)
    if (!page.create(source.width, source.height, source.width, 1)) die("out of memory");
  std::memcpy(page.pixels(), source.pixels.data(), source.pixels.size());
}

void loadSmall(QuillaneImage& page) {
  if (!page.create(kSmall, kSmall, kSmall, 1)) die("out of memory");
  for (int y = 0; y < kSmall; ++y)
    std::memcpy(page.row(y),
                source.pixels.data() + static_cast<size_t>(cropTop + y) * source.width + cropLeft,
                kSmall);
}

// A freehand path: a random walk with momentum, kept inside the
// 900 x 900 area at (50, 50) of the small page.
std::vector<QPointF> makeStroke() {
  std::mt19937 rng(17);
  std::normal_distribution<double> turn(0.0, 0.35);
  std::vector<QPointF> points;
  double x = 200, y = 200, angle = 0.6;
  for (int i = 0; i < 200; ++i) {
    points.emplace_back(x, y);
    angle += turn(rng);
    x += 40 * std::cos(angle);
    y += 40 * std::sin(angle);
    if (x < 50 || x >= 950) angle = M_PI - angle, x = std::clamp(x, 50.0, 949.0);
    if (y < 50 || y >= 950) angle = -angle, y = std::clamp(y, 50.0, 949.0);
  }
  return points;
}

// A star-like polygon of 24 corners within the 700 x 700 box at (150, 150).
std::vector<QPointF> makePolygon() {
  std::vector<QPointF> points;
  for (int i = 0; i < 24; ++i) {
    const double a = 2 * M_PI * i / 24;
    const double r = i % 2 == 0 ? 349.0 : 240.0;
    points.emplace_back(500 + r * std::cos(a), 500 + r * std::sin(a));
  }
  return points;
}

std::vector<QPointF> shifted(const std::vector<QPointF>& points, int dx, int dy) {
  std::vector<QPointF> out;
  for (const QPointF& p : points) out.emplace_back(p.x() + dx, p.y() + dy);
  return out;
}

void eraseStroke(QuillaneImage& page, UndoHistory& history, const std::vector<QPointF>& stroke) {
  history.beginStep();
  BrushCommand command(&page, 255, 255,
                       quillane::renderStroke(stroke, kPen, QSize(page.width(), page.height())));
  Rect out;
  if (!command.execute(&history, out, nullptr, nullptr)) die("the stroke failed");
}

void fillPolygon(QuillaneImage& page, UndoHistory& history, const std::vector<QPointF>& polygon) {
  history.beginStep();
  const auto region = quillane::polygonRegion(polygon);
  if (!region) die("no polygon region");
  RegionFillCommand command(&page, 255, 255, &*region);
  Rect out;
  if (!command.execute(&history, out, nullptr, nullptr)) die("the region fill failed");
}

void registerEdit(const char* name, bool full,
                  void (*edit)(QuillaneImage&, UndoHistory&, const std::vector<QPointF>&),
                  std::vector<QPointF> points) {
  if (full) points = shifted(points, cropLeft, cropTop);
  benchmark::RegisterBenchmark(name,
                               [full, edit, points](benchmark::State& state) {
                                 QuillaneImage page;
                                 if (full)
                                   loadFull(page);
                                 else
                                   loadSmall(page);
                                 UndoHistory history;
                                 for (auto _ : state) edit(page, history, points);
                               })
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
}

}  // namespace

int main(int argc, char** argv) {
  source = bench::loadBenchPage("full");
  cropLeft = (source.width - kSmall) / 2;
  cropTop = (source.height - kSmall) / 2;

  // Both pages must come out the same inside the small one: the edit does
  // not depend on the page around it.
  {
    QuillaneImage small, full;
    loadSmall(small);
    loadFull(full);
    UndoHistory history;
    eraseStroke(small, history, makeStroke());
    fillPolygon(small, history, makePolygon());
    eraseStroke(full, history, shifted(makeStroke(), cropLeft, cropTop));
    fillPolygon(full, history, shifted(makePolygon(), cropLeft, cropTop));
    size_t differ = 0, changed = 0;
    for (int y = 0; y < kSmall; ++y)
      for (int x = 0; x < kSmall; ++x) {
        const uint8_t a = small.row(y)[x], b = full.row(cropTop + y)[cropLeft + x];
        differ += a != b;
        changed +=
            a != source.pixels[static_cast<size_t>(cropTop + y) * source.width + cropLeft + x];
      }
    std::printf("small page: %zu pixels changed, %zu differ on the full page\n", changed, differ);
    if (differ != 0) die("the small and the full page disagree");
  }

  registerEdit("eraser_stroke_full", true, eraseStroke, makeStroke());
  registerEdit("eraser_stroke_small", false, eraseStroke, makeStroke());
  registerEdit("region_fill_full", true, fillPolygon, makePolygon());
  registerEdit("region_fill_small", false, fillPolygon, makePolygon());

  tonvale::TonvalePlugin density;
  density.SetMode(2);
  benchmark::RegisterBenchmark("line_adjust",
                               [&](benchmark::State& state) {
                                 QuillaneImage page;
                                 UndoHistory history;
                                 for (auto _ : state) {
                                   state.PauseTiming();
                                   loadFull(page);
                                   history.clear();
                                   state.ResumeTiming();
                                   history.beginStep();
                                   LineAdjustCommand command(&page, &density);
                                   Rect out;
                                   if (!command.execute(&history, out, nullptr, nullptr))
                                     die("the line adjustment failed");
                                 }
                               })
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();

  const auto medians = bench::runBenchmarks(argc, argv, 5);
  auto median = [&](const char* name) { return bench::medianOf(medians, name); };
  std::printf("MEDIAN line_adjust_ms=%.1f\n", median("line_adjust"));
  bench::printResult("eraser_stroke", median("eraser_stroke_full"), median("eraser_stroke_small"));
  bench::printResult("region_fill", median("region_fill_full"), median("region_fill_small"));
  return 0;
}
