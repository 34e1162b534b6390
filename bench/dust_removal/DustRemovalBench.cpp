// Dust removal on the full benchmark page (6550 x 9080 gray):
//  - dust_removal_page: the whole-page PinholeCommand, White mode, both
//    criteria on, threshold 100 (the medium preset), dust size 36;
//  - dust_removal_page_baseline: the same job with OpenCV (band threshold,
//    connectedComponentsWithStats with 4-connectivity on the spot pixels,
//    spots of at most 36 pixels painted, written back), checked to give the
//    very same page before anything is timed;
//  - dust_removal_page_with_undo: the editor's whole-page command, which also
//    saves the page into the undo history (for information);
//  - dust_removal_brush: one brush dab of diameter 60 with its undo patch;
//  - dust_removal_diagnosis: the diagnosis of a 1920 x 1080 visible area.
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "BenchSupport.h"
#include "quillane/editing/DustDiagnosis.h"
#include "quillane/editing/PinholeCommand.h"
#include "quillane/editing/UndoHistory.h"
#include "quillane/model/EngineBinding.h"

namespace {

using quillane::DustSettings;
using quillane::EngineBinding;
using quillane::PinholeCommand;
using quillane::QuillaneImage;
using quillane::Rect;
using quillane::UndoHistory;

constexpr int kThreshold = 100;  // threshold byte 156 in White mode
constexpr int kDustSize = 36;

bench::GrayPage source;

[[noreturn]] void die(const char* message) {
  std::fprintf(stderr, "dust_removal: %s\n", message);
  std::exit(1);
}

void loadInto(QuillaneImage& image) {
  if (image.width() != source.width || image.height() != source.height)
    if (!image.create(source.width, source.height, source.width, 1)) die("out of memory");
  std::memcpy(image.pixels(), source.pixels.data(), source.pixels.size());
}

bool removeOnWholePage(QuillaneImage& page, UndoHistory* history) {
  PinholeCommand command(&page, true, kThreshold, nullptr, kDustSize, true, 0);
  command.dustSizeEnabled = true;
  command.grayDustEnabled = true;
  Rect out;
  return command.execute(history, out, nullptr, nullptr);
}

// The same job with OpenCV: pixels >= 156 are paper, 4-connected spots of
// the others with at most 36 pixels are painted, and every paper or painted
// pixel becomes 255.
struct Baseline {
  cv::Mat spots, labels, stats, centroids;
  std::vector<uint8_t> small;

  void run(const cv::Mat& page, cv::Mat& out) {
    const uint8_t thresholdByte = static_cast<uint8_t>(256 - kThreshold);
    cv::threshold(page, spots, thresholdByte - 1, 255, cv::THRESH_BINARY_INV);
    const int count = cv::connectedComponentsWithStats(spots, labels, stats, centroids, 4, CV_32S);
    small.assign(count, 0);
    small[0] = 1;  // label 0: the paper pixels
    for (int i = 1; i < count; ++i) small[i] = stats.at<int>(i, cv::CC_STAT_AREA) <= kDustSize;
    for (int y = 0; y < page.rows; ++y) {
      const uint8_t* in = page.ptr<uint8_t>(y);
      const int32_t* label = labels.ptr<int32_t>(y);
      uint8_t* o = out.ptr<uint8_t>(y);
      for (int x = 0; x < page.cols; ++x) o[x] = small[label[x]] ? 255 : in[x];
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  source = bench::loadBenchPage("full");
  if (!EngineBinding::bind()) die("libtrellin.so not found beside the program");

  // The whole-page job once, for the peak memory and the reference result.
  double peakMb = 0;
  QuillaneImage ours;
  {
    bench::resetPeakMemory();
    loadInto(ours);
    if (!removeOnWholePage(ours, nullptr)) die("the removal failed");
    peakMb = bench::peakMemoryMb();
  }
  {
    Baseline baseline;
    const cv::Mat page(source.height, source.width, CV_8UC1, source.pixels.data());
    cv::Mat expected(source.height, source.width, CV_8UC1);
    baseline.run(page, expected);
    size_t differ = 0, changed = 0;
    for (size_t i = 0; i < source.pixels.size(); ++i) {
      differ += ours.pixels()[i] != expected.data[i];
      changed += ours.pixels()[i] != source.pixels[i];
    }
    std::printf("whole page: %zu pixels changed, %zu differ from the baseline\n", changed, differ);
    if (differ != 0) die("the removal and the baseline disagree");
  }

  benchmark::RegisterBenchmark("dust_removal_page",
                               [&](benchmark::State& state) {
                                 QuillaneImage page;
                                 for (auto _ : state) {
                                   state.PauseTiming();
                                   loadInto(page);
                                   state.ResumeTiming();
                                   if (!removeOnWholePage(page, nullptr)) die("the removal failed");
                                 }
                               })
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();

  benchmark::RegisterBenchmark("dust_removal_page_baseline",
                               [&](benchmark::State& state) {
                                 Baseline baseline;
                                 const cv::Mat page(source.height, source.width, CV_8UC1,
                                                    source.pixels.data());
                                 cv::Mat out(source.height, source.width, CV_8UC1);
                                 for (auto _ : state) baseline.run(page, out);
                               })
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();

  benchmark::RegisterBenchmark("dust_removal_page_with_undo",
                               [&](benchmark::State& state) {
                                 QuillaneImage page;
                                 UndoHistory history;
                                 for (auto _ : state) {
                                   state.PauseTiming();
                                   loadInto(page);
                                   history.clear();
                                   state.ResumeTiming();
                                   history.beginStep();
                                   if (!removeOnWholePage(page, &history))
                                     die("the removal failed");
                                 }
                               })
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();

  benchmark::RegisterBenchmark("dust_removal_brush",
                               [&](benchmark::State& state) {
                                 QuillaneImage page;
                                 loadInto(page);
                                 UndoHistory history;
                                 const int cx = source.width / 2, cy = source.height / 2;
                                 const Rect dab{cx - 30, cy - 30, cx + 30, cy + 30};
                                 for (auto _ : state) {
                                   history.beginStep();
                                   PinholeCommand command(&page, true, kThreshold, &dab, kDustSize,
                                                          false, 60);
                                   command.dustSizeEnabled = true;
                                   command.grayDustEnabled = true;
                                   Rect out;
                                   if (!command.execute(&history, out, nullptr, nullptr))
                                     die("the dab failed");
                                 }
                               })
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();

  benchmark::RegisterBenchmark("dust_removal_diagnosis",
                               [&](benchmark::State& state) {
                                 QuillaneImage page, mask;
                                 loadInto(page);
                                 DustSettings settings;
                                 settings.threshold = kThreshold;
                                 settings.dustSize = kDustSize;
                                 const int left = (source.width - 1920) / 2,
                                           top = (source.height - 1080) / 2;
                                 const Rect area{left, top, left + 1920, top + 1080};
                                 for (auto _ : state) {
                                   if (computeDustDiagnosis(page, mask, area, settings).isNone())
                                     die("the diagnosis failed");
                                 }
                               })
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();

  const auto medians = bench::runBenchmarks(argc, argv, 5);
  auto median = [&](const char* name) { return bench::medianOf(medians, name); };
  std::printf(
      "MEDIAN dust_removal_page_with_undo_ms=%.2f dust_removal_brush_ms=%.3f "
      "dust_removal_diagnosis_ms=%.2f\n",
      median("dust_removal_page_with_undo"), median("dust_removal_brush"),
      median("dust_removal_diagnosis"));
  bench::printResult("dust_removal_page", median("dust_removal_page"),
                     median("dust_removal_page_baseline"), peakMb);
  EngineBinding::unbind();
  return 0;
}
