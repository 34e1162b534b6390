// The parallel run over the pages; see BatchRun.h.
#include "BatchRun.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <opencv2/core/utility.hpp>
#include <optional>
#include <thread>
#include <vector>

#include "BatchSettings.h"
#include "Console.h"
#include "InputListing.h"
#include "OutputPlan.h"
#include "PageJob.h"
#include "quillane/model/EngineBinding.h"

namespace batch {

int runBatch(const BatchOptions& options) {
  const auto start = std::chrono::steady_clock::now();
  Console console(options.quiet, options.json, ::isatty(STDERR_FILENO) == 1);

  std::string usageError;
  const std::optional<BatchSettings> settings = loadBatchSettings(options, usageError);
  if (!settings) {
    console.error(usageError);
    return 2;
  }
  if (options.dust && !quillane::EngineBinding::bind()) {
    console.error(
        "the line-work engine libtrellin.so cannot be loaded from the program's folder; no dust "
        "can be removed");
    return 1;
  }

  const std::vector<InputPage> pages = listInputs(options.inputs, options.recursive);
  if (pages.empty()) {
    // Only empty folders were given: nothing was cleaned, which a script must
    // not take for success.
    console.error("no page files in the given folders");
    return 1;
  }
  const OutputPlan plan(options, pages);
  const PageJob job(options, *settings, plan);

  // Pages are what runs in parallel. The density adjustment would also split
  // a page over OpenCV's threads; it gets only the cores the jobs leave idle
  // (all of them for a single page), so a run never uses more cores than
  // --jobs says.
  const size_t cores = std::max(1u, std::thread::hardware_concurrency());
  const size_t jobs = options.jobs > 0 ? static_cast<size_t>(options.jobs) : cores;
  const size_t workers = std::max<size_t>(1, std::min(jobs, pages.size()));
  cv::setNumThreads(static_cast<int>(std::max<size_t>(1, jobs / workers)));

  std::vector<std::optional<PageReport>> reports(pages.size());
  std::atomic<size_t> next{0};
  std::mutex mutex;
  std::condition_variable finished;
  size_t doneCount = 0;
  auto work = [&]() {
    for (size_t i = next++; i < pages.size(); i = next++) {
      Console::setCurrentPage(pages[i].path);
      PageReport report;
      try {
        report = job.run(pages[i], i);
      } catch (const std::exception& error) {  // out of memory in a page's bookkeeping
        report.input = pages[i].path;
        report.status = PageStatus::Failed;
        report.message = error.what();
      }
      Console::setCurrentPage({});
      {
        std::lock_guard lock(mutex);
        reports[i] = std::move(report);
        ++doneCount;
      }
      finished.notify_one();
    }
  };
  std::vector<std::thread> threads;
  for (size_t t = 0; t < workers; ++t) threads.emplace_back(work);

  // Lines go out in input order; the bar counts every finished page.
  std::vector<PageReport> reported;
  reported.reserve(pages.size());
  console.progress(0, pages.size());
  size_t shown = 0;
  std::unique_lock lock(mutex);
  while (reported.size() < pages.size()) {
    finished.wait(lock, [&] { return doneCount != shown; });
    shown = doneCount;
    std::vector<PageReport> ready;
    while (reported.size() + ready.size() < pages.size() && reports[reported.size() + ready.size()])
      ready.push_back(std::move(*reports[reported.size() + ready.size()]));
    lock.unlock();
    for (PageReport& report : ready) {
      console.page(report, shown, pages.size());
      reported.push_back(std::move(report));
    }
    if (ready.empty()) console.progress(shown, pages.size());
    lock.lock();
  }
  lock.unlock();
  for (std::thread& t : threads) t.join();

  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  console.summary(summaryLine(reported, seconds));
  if (options.dust) quillane::EngineBinding::unbind();
  const bool allCleaned = std::all_of(reported.begin(), reported.end(), [](const PageReport& r) {
    return r.status == PageStatus::Cleaned;
  });
  return allCleaned ? 0 : 1;
}

}  // namespace batch
