// Density adjustment with mode 2 ("普通にクッキリ") on the full benchmark page,
// against (a) the OpenCV primitives it cannot avoid (one Gaussian blur, one
// 7 x 7 elliptical erode and one dilate) and (b) the straightforward sequence
// with every step its own full-page OpenCV call. The outputs of ours and of
// (b) are compared byte for byte before anything is timed.
#include "tonvale/TonvalePlugin.h"

#include "BenchSupport.h"
#include "StraightforwardAdjust.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

bench::GrayPage page;
std::vector<uint8_t> output;
tonvale::TonvalePlugin plugin;

void runOurs() {
  if (!plugin.executeTonvale(page.pixels.data(), page.width, page.height, page.width,
                             output.data())) {
    std::fprintf(stderr, "adjustment failed\n");
    std::exit(1);
  }
}

void runStraightforward() {
  const auto outcome =
      straightforward::adjust(page.pixels.data(), page.width, page.height, page.width,
                              output.data(), plugin.parameters().getRecord());
  benchmark::DoNotOptimize(outcome);
}

void runPrimitives() {
  const cv::Mat src(page.height, page.width, CV_8UC1, page.pixels.data());
  const cv::Mat ellipse = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(7, 7));
  cv::Mat smooth, eroded, dilated;
  cv::GaussianBlur(src, smooth, cv::Size(3, 3), 0, 0, cv::BORDER_REPLICATE);
  cv::erode(smooth, eroded, ellipse, cv::Point(3, 3), 1, cv::BORDER_REPLICATE);
  cv::dilate(smooth, dilated, ellipse, cv::Point(3, 3), 1, cv::BORDER_REPLICATE);
  benchmark::DoNotOptimize(dilated.data);
}

double peakOf(void (*run)()) {
  bench::resetPeakMemory();
  run();
  return bench::peakMemoryMb();
}

}  // namespace

int main(int argc, char** argv) {
  page = bench::loadBenchPage("full");
  output.assign(page.pixels.size(), 0);
  plugin.SetMode(2);

  // Identical bytes first.
  {
    runOurs();
    const std::vector<uint8_t> ours = output;
    runStraightforward();
    if (ours != output) {
      std::fprintf(stderr, "ours differs from the straightforward sequence\n");
      return 1;
    }
    std::printf("outputs identical (%zu bytes)\n", ours.size());
  }

  const double pageMb = 2.0 * static_cast<double>(page.pixels.size()) / (1024.0 * 1024.0);
  const double oursPeak = peakOf(runOurs);
  const double plainPeak = peakOf(runStraightforward);
  const double primitivesPeak = peakOf(runPrimitives);
  std::printf(
      "peak resident MB (page and output %.0f MB included): ours %.0f, primitives %.0f, "
      "straightforward %.0f\n",
      pageMb, oursPeak, primitivesPeak, plainPeak);

  benchmark::RegisterBenchmark("density_ours",
                               [](benchmark::State& state) {
                                 for (auto _ : state) runOurs();
                               })
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->Iterations(2);
  benchmark::RegisterBenchmark("density_primitives",
                               [](benchmark::State& state) {
                                 for (auto _ : state) runPrimitives();
                               })
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->Iterations(2);
  benchmark::RegisterBenchmark("density_straightforward",
                               [](benchmark::State& state) {
                                 for (auto _ : state) runStraightforward();
                               })
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->Iterations(2);

  auto medians = bench::runBenchmarks(argc, argv, 7);
  const double oursMs = medians["density_ours"];
  bench::printResult("density_vs_primitives", oursMs, medians["density_primitives"], oursPeak);
  bench::printResult("density_vs_straightforward", oursMs, medians["density_straightforward"],
                     oursPeak);
  return 0;
}
