#include "BenchSupport.h"

#include <png.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace bench {
namespace {

[[noreturn]] void die(const std::string& message) {
  std::fprintf(stderr, "benchmark: %s\n", message.c_str());
  std::exit(1);
}

// Keeps the console output and collects the real times of every repetition.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      double seconds = run.real_accumulated_time / static_cast<double>(run.iterations);
      times[run.run_name.function_name + run.run_name.args].push_back(seconds * 1e3);
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, std::vector<double>> times;
};

}  // namespace

std::string benchPagePath(const std::string& which) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(TAVELMOR_SOURCE_DIR) / "build" / "bench-pages";
  const fs::path page = dir / ("page_" + which + ".png");
  if (!fs::exists(page)) {
    std::fprintf(stderr, "benchmark: making the benchmark pages in %s\n", dir.c_str());
    const std::string command =
        std::string(TAVELMOR_SOURCE_DIR) + "/tools/make-bench-page.sh '" + dir.string() + "' >&2";
    if (std::system(command.c_str()) != 0 || !fs::exists(page))
      die("could not make " + page.string());
  }
  return page.string();
}

GrayPage loadGrayPng(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str()))
    die("cannot read " + path + ": " + image.message);
  image.format = PNG_FORMAT_GRAY;
  GrayPage page;
  page.width = static_cast<int>(image.width);
  page.height = static_cast<int>(image.height);
  page.pixels.resize(static_cast<size_t>(page.width) * page.height);
  if (!png_image_finish_read(&image, nullptr, page.pixels.data(), page.width, nullptr))
    die("cannot decode " + path + ": " + image.message);
  return page;
}

GrayPage loadBenchPage(const std::string& which) { return loadGrayPng(benchPagePath(which)); }

std::map<std::string, double> runBenchmarks(int argc, char** argv, int repetitions) {
  std::vector<char*> args(argv, argv + argc);
  std::string reps = "--benchmark_repetitions=" + std::to_string(repetitions);
  args.insert(args.begin() + 1, reps.data());
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::map<std::string, double> medians;
  for (auto& [name, values] : reporter.times) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    medians[name] = n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
  }
  return medians;
}

double medianOf(const std::map<std::string, double>& medians, const std::string& name) {
  const auto it = medians.find(name);
  return it == medians.end() ? -1.0 : it->second;
}

void resetPeakMemory() {
  // Writing 5 to clear_refs resets the kernel's peak resident set (VmHWM).
  if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
    std::fputs("5", f);
    std::fclose(f);
  }
}

double peakMemoryMb() {
  if (FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, f))
      if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1) break;
    std::fclose(f);
    if (kib >= 0) return static_cast<double>(kib) / 1024.0;
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB on Linux
}

void printResult(const std::string& name, double oursMs, double baselineMs, double peakMb) {
  std::printf("RESULT %s ours_ms=%.2f baseline_ms=%.2f ratio=%.3f", name.c_str(), oursMs,
              baselineMs, baselineMs > 0 ? oursMs / baselineMs : NAN);
  if (peakMb >= 0) std::printf(" peak_mb=%.0f", peakMb);
  std::printf("\n");
  std::fflush(stdout);
}

}  // namespace bench
