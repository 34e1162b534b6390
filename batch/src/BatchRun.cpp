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
#include <string>
#include <thread>
#include <vector>

#include "BatchSettings.h"
#include "Console.h"
#include "InputListing.h"
#include "Interruption.h"
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

  // From here on a signal stops the jobs from taking new pages instead of
  // ending the program in the middle of a write.
  const Interruption interruption;
  std::vector<std::optional<PageReport>> reports(pages.size());
  std::atomic<size_t> next{0};
  std::mutex mutex;
  std::condition_variable finished;
  size_t doneCount = 0;
  size_t idleWorkers = 0;
  auto work = [&]() {
    while (!Interruption::requested()) {
      const size_t i = next++;
      if (i >= pages.size()) break;
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
    {
      std::lock_guard lock(mutex);
      ++idleWorkers;
    }
    finished.notify_one();
  };
  std::vector<std::thread> threads;
  for (size_t t = 0; t < workers; ++t) threads.emplace_back(work);

  // Lines go out in input order; the bar counts every finished page. Every
  // page a job took is finished before its job ends, so once all jobs have
  // ended the pages taken are exactly the ones left to report.
  std::vector<PageReport> reported;
  reported.reserve(pages.size());
  console.progress(0, pages.size());
  size_t shown = 0;
  std::unique_lock lock(mutex);
  bool jobsEnded = false;
  while (reported.size() < pages.size() && !jobsEnded) {
    finished.wait(lock, [&] { return doneCount != shown || idleWorkers == workers; });
    shown = doneCount;
    jobsEnded = idleWorkers == workers;
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
  if (const int signal = Interruption::signal(); signal != 0) {
    const size_t left = pages.size() - reported.size();
    console.error("interrupted (signal " + std::to_string(signal) + "); " + std::to_string(left) +
                  (left == 1 ? " page was" : " pages were") + " not started");
    return 128 + signal;
  }
  const bool allCleaned = std::all_of(reported.begin(), reported.end(), [](const PageReport& r) {
    return r.status == PageStatus::Cleaned;
  });
  return allCleaned ? 0 : 1;
}

}  // namespace batch
