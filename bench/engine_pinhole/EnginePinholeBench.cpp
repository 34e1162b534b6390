// Removing dark 4-connected spots of at most 36 pixels from the benchmark
// page thresholded at gray < 128: the engine's Set + LWPinhole + Return
// against OpenCV's connected components with statistics, whose small
// components are then painted white. Both results must agree pixel for
// pixel before anything is timed.
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "BenchSupport.h"
#include "trellin/lwdata.h"

namespace {

constexpr int kLargestArea = 36;

struct Page {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // 0 ink, 255 paper
};

bool removeWithEngine(const Page& page, std::vector<std::uint8_t>& out) {
  CLWData* data = CreateLWData();
  const bool done =
      data &&
      LWDataSetImageData(data, page.width, page.height, page.width, 1, page.pixels.data()) &&
      LWPinhole(data, -256, -1, kLargestArea) &&
      LWDataReturnImageData(data, page.width, page.height, page.width, 1, out.data());
  DeleteLWData(data);
  return done;
}

void removeWithOpenCv(const Page& page, cv::Mat& out) {
  const cv::Mat in(page.height, page.width, CV_8U, const_cast<std::uint8_t*>(page.pixels.data()));
  cv::Mat ink = in == 0;
  cv::Mat labels, stats, centroids;
  const int count = cv::connectedComponentsWithStats(ink, labels, stats, centroids, 4, CV_32S);
  in.copyTo(out);
  for (int label = 1; label < count; ++label) {
    if (stats.at<int>(label, cv::CC_STAT_AREA) > kLargestArea) continue;
    const int left = stats.at<int>(label, cv::CC_STAT_LEFT);
    const int top = stats.at<int>(label, cv::CC_STAT_TOP);
    const int right = left + stats.at<int>(label, cv::CC_STAT_WIDTH);
    const int bottom = top + stats.at<int>(label, cv::CC_STAT_HEIGHT);
    for (int y = top; y < bottom; ++y) {
      const int* row = labels.ptr<int>(y);
      std::uint8_t* target = out.ptr<std::uint8_t>(y);
      for (int x = left; x < right; ++x)
        if (row[x] == label) target[x] = 255;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  Page page;
  {
    bench::GrayPage gray = bench::loadBenchPage("full");
    page.width = gray.width;
    page.height = gray.height;
    page.pixels.resize(gray.pixels.size());
    for (std::size_t i = 0; i < gray.pixels.size(); ++i)
      page.pixels[i] = gray.pixels[i] < 128 ? 0 : 255;
  }
  std::vector<std::uint8_t> ours(page.pixels.size());

  // Peak memory of one engine run, with the page and the output buffer.
  bench::resetPeakMemory();
  if (!removeWithEngine(page, ours)) {
    std::fprintf(stderr, "engine_pinhole: the engine failed\n");
    return 1;
  }
  const double peakMb = bench::peakMemoryMb();

  cv::Mat theirs;
  removeWithOpenCv(page, theirs);
  std::size_t differences = 0;
  for (int y = 0; y < page.height; ++y)
    for (int x = 0; x < page.width; ++x)
      differences += ours[static_cast<std::size_t>(y) * page.width + x] != theirs.at<uint8_t>(y, x);
  std::size_t removed = 0;
  for (std::size_t i = 0; i < ours.size(); ++i) removed += ours[i] != page.pixels[i];
  std::fprintf(stderr, "engine_pinhole: %zu ink pixels removed, %zu pixels differ\n", removed,
               differences);
  if (differences != 0) return 1;

  benchmark::RegisterBenchmark("ours",
                               [&](benchmark::State& state) {
                                 for (auto _ : state)
                                   if (!removeWithEngine(page, ours))
                                     state.SkipWithError("engine failed");
                               })
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("baseline",
                               [&](benchmark::State& state) {
                                 for (auto _ : state) removeWithOpenCv(page, theirs);
                               })
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();

  const auto medians = bench::runBenchmarks(argc, argv, 5);
  const auto ourTime = medians.find("ours");
  const auto baseTime = medians.find("baseline");
  if (ourTime == medians.end() || baseTime == medians.end()) {
    std::fprintf(stderr, "engine_pinhole: a benchmark did not run\n");
    return 1;
  }
  bench::printResult("engine_pinhole", ourTime->second, baseTime->second, peakMb);
  return 0;
}
