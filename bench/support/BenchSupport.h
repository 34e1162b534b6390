#pragma once
// Shared pieces of the benchmark programs: the benchmark page, medians of
// Google Benchmark repetitions, peak memory and the RESULT line.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace bench {

struct GrayPage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // rows top first, stride == width
};

/// Path of the generated benchmark page ("full" 6550 x 9080 or "quarter"),
/// made on first use by tools/make-bench-page.sh into build/bench-pages/.
std::string benchPagePath(const std::string& which = "full");

/// Reads an 8-bit gray (or palette/RGB, taking the first channel) PNG.
/// Exits the program with a message when the file cannot be read.
GrayPage loadGrayPng(const std::string& path);

/// The benchmark page, loaded.
GrayPage loadBenchPage(const std::string& which = "full");

/// Runs every registered benchmark (honouring --benchmark_* flags) with the
/// given number of repetitions, prints Google Benchmark's usual console
/// report, and returns the median real time of each benchmark in ms, keyed by
/// benchmark name (as registered, without the "/repeats" suffix).
std::map<std::string, double> runBenchmarks(int argc, char** argv, int repetitions);

/// The median of one benchmark from runBenchmarks(), or -1 when it did not run.
double medianOf(const std::map<std::string, double>& medians, const std::string& name);

/// Resets the process's peak resident memory, so that a later peakMemoryMb()
/// gives the peak of what ran in between.
void resetPeakMemory();

/// Peak resident memory of the process since start or the last
/// resetPeakMemory(), in MB.
double peakMemoryMb();

/// Prints "RESULT <name> ours_ms=.. baseline_ms=.. ratio=.." and, when
/// peakMb >= 0, " peak_mb=..".
void printResult(const std::string& name, double oursMs, double baselineMs, double peakMb = -1);

}  // namespace bench
