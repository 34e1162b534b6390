#include "CoreMaskHistograms.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <mutex>
#include <vector>

namespace tonvale {

namespace {

// Half size of the 7 x 7 ellipse.
constexpr int kReach = 3;
// Mask bits of a code byte.
constexpr uint8_t kPaperBit = 1;
constexpr uint8_t kInkBit = 2;
// Output rows a band makes; the smoothing and the code rows add their reach
// on both sides of it.
constexpr int kMinBandRows = 64;

// Counts of a gray, packed: paper-core pixels in the low 32 bits, ink-core
// pixels in the high 32 bits, so one add per pixel counts both. Flushed into
// the 64-bit histograms before a half can overflow.
using PackedCounts = std::array<uint64_t, 256>;
constexpr uint64_t kLowMask = 0xFFFFFFFFull;
constexpr uint64_t kFlushLimit = 0xFFFFFFFFull;
constexpr uint64_t kCodeIncrement[4] = {0, 1, uint64_t{1} << 32, (uint64_t{1} << 32) | 1};

struct Job {
  const uint8_t* page;
  int width;
  int height;
  size_t stride;
  int toneSize;
  int bandRows;
  // A smoothed gray s gets paperBit when s >= paperFrom and inkBit when
  // s <= inkTo; a bit that no gray can get is 0 (the compares stay on bytes
  // so that the loop vectorises).
  uint8_t paperFrom;
  uint8_t paperBit;
  uint8_t inkTo;
  uint8_t inkBit;
};

class BandWorker {
 public:
  // What the worker counted, complete after flush().
  CoreMaskHistograms totals;

  explicit BandWorker(const Job& job) : job_(job) {
    const size_t w = static_cast<size_t>(job.width);
    const size_t codeRows = static_cast<size_t>(job.bandRows) + 2 * kReach;
    padded_.resize(w + 2 * kReach);
    pairs_.resize(w + 2 * kReach);
    quads_.resize(w + 2 * kReach);
    codes_.resize(codeRows * w);
    and5_.resize(codeRows * w);
    and7_.resize(codeRows * w);
    core_.resize(w);
    for (auto& table : packed_) table.fill(0);
  }

  void band(int y0, int y1) {
    const int w = job_.width;
    const int h = job_.height;
    const int c0 = std::max(0, y0 - kReach);
    const int c1 = std::min(h, y1 + kReach);
    const int reach = job_.toneSize / 2;
    const int g0 = std::max(0, c0 - reach);
    const int g1 = std::min(h, c1 + reach);

    // An image header of its own over the rows, not a region of the page:
    // OpenCV then smooths it with the same fixed-point arithmetic it uses for
    // a whole page, replicating only at this header's edges.
    const cv::Mat rows(g1 - g0, w, CV_8UC1, const_cast<uint8_t*>(job_.page + g0 * job_.stride),
                       job_.stride);
    cv::GaussianBlur(rows, smooth_, cv::Size(job_.toneSize, job_.toneSize), 0, 0,
                     cv::BORDER_REPLICATE);

    for (int c = c0; c < c1; ++c) codeRow(smooth_.ptr<uint8_t>(c - g0), c - c0);

    for (int y = y0; y < y1; ++y) {
      const auto row = [&](int dy) {
        const int r = std::clamp(y + dy, 0, h - 1) - c0;
        return static_cast<size_t>(r) * static_cast<size_t>(w);
      };
      const uint8_t* __restrict a = codes_.data() + row(-3);
      const uint8_t* __restrict b = and5_.data() + row(-2);
      const uint8_t* __restrict c = and7_.data() + row(-1);
      const uint8_t* __restrict d = and7_.data() + row(0);
      const uint8_t* __restrict e = and7_.data() + row(1);
      const uint8_t* __restrict f = and5_.data() + row(2);
      const uint8_t* __restrict g = codes_.data() + row(3);
      uint8_t* __restrict core = core_.data();
      for (int x = 0; x < w; ++x) core[x] = a[x] & b[x] & c[x] & d[x] & e[x] & f[x] & g[x];
      count(job_.page + static_cast<size_t>(y) * job_.stride);
    }
  }

  // Moves the packed counts into the worker's totals.
  void flush() {
    for (auto& table : packed_) {
      for (int v = 0; v < 256; ++v) {
        const uint64_t packed = table[v];
        const int64_t paper = static_cast<int64_t>(packed & kLowMask);
        const int64_t ink = static_cast<int64_t>(packed >> 32);
        totals.paper[v] += paper;
        totals.paperCount += paper;
        totals.ink[255 - v] += ink;
        totals.inkCount += ink;
      }
      table.fill(0);
    }
    sinceFlush_ = 0;
  }

 private:
  // Mask bits of one smoothed row, and the ANDs over 5 and 7 neighbours in
  // the row (border replicated), stored as code row k of the band.
  void codeRow(const uint8_t* smooth, int k) {
    const int w = job_.width;
    uint8_t* __restrict p = padded_.data();
    const uint8_t paperFrom = job_.paperFrom, paperBit = job_.paperBit;
    const uint8_t inkTo = job_.inkTo, inkBit = job_.inkBit;
    for (int x = 0; x < w; ++x) {
      const uint8_t v = smooth[x];
      p[x + kReach] =
          static_cast<uint8_t>((v >= paperFrom ? paperBit : 0) | (v <= inkTo ? inkBit : 0));
    }
    for (int i = 0; i < kReach; ++i) {
      p[i] = p[kReach];
      p[w + kReach + i] = p[w + kReach - 1];
    }
    // p[i] is the code of column i - 3; pairs[i] = AND of p[i..i+1],
    // quads[i] = AND of p[i..i+3].
    uint8_t* __restrict pairs = pairs_.data();
    uint8_t* __restrict quads = quads_.data();
    for (int i = 0; i < w + 5; ++i) pairs[i] = p[i] & p[i + 1];
    for (int i = 0; i < w + 3; ++i) quads[i] = pairs[i] & pairs[i + 2];
    const size_t offset = static_cast<size_t>(k) * static_cast<size_t>(w);
    uint8_t* __restrict codes = codes_.data() + offset;
    uint8_t* __restrict and5 = and5_.data() + offset;
    uint8_t* __restrict and7 = and7_.data() + offset;
    for (int x = 0; x < w; ++x) {
      codes[x] = p[x + 3];
      and5[x] = quads[x + 1] & p[x + 5];  // columns x-2 .. x+2
      and7[x] = quads[x] & quads[x + 3];  // columns x-3 .. x+3
    }
  }

  // One row of page grays against its core codes. Four tables in turn keep
  // runs of equal grays from waiting on each other's increments.
  void count(const uint8_t* gray) {
    const int w = job_.width;
    if (sinceFlush_ + static_cast<uint64_t>(w) > kFlushLimit) flush();
    const uint8_t* core = core_.data();
    uint64_t* t0 = packed_[0].data();
    uint64_t* t1 = packed_[1].data();
    uint64_t* t2 = packed_[2].data();
    uint64_t* t3 = packed_[3].data();
    int x = 0;
    for (; x + 4 <= w; x += 4) {
      t0[gray[x]] += kCodeIncrement[core[x]];
      t1[gray[x + 1]] += kCodeIncrement[core[x + 1]];
      t2[gray[x + 2]] += kCodeIncrement[core[x + 2]];
      t3[gray[x + 3]] += kCodeIncrement[core[x + 3]];
    }
    for (; x < w; ++x) t0[gray[x]] += kCodeIncrement[core[x]];
    sinceFlush_ += static_cast<uint64_t>(w);
  }

  const Job& job_;
  cv::Mat smooth_;
  std::vector<uint8_t> padded_, pairs_, quads_;
  std::vector<uint8_t> codes_, and5_, and7_;
  std::vector<uint8_t> core_;
  std::array<PackedCounts, 4> packed_;
  uint64_t sinceFlush_ = 0;
};

class BandLoop : public cv::ParallelLoopBody {
 public:
  BandLoop(const Job& job, CoreMaskHistograms& result) : job_(job), result_(result) {}

  void operator()(const cv::Range& bands) const override {
    BandWorker worker(job_);
    for (int b = bands.start; b < bands.end; ++b) {
      const int y0 = b * job_.bandRows;
      worker.band(y0, std::min(job_.height, y0 + job_.bandRows));
    }
    worker.flush();
    const CoreMaskHistograms& local = worker.totals;
    const std::lock_guard<std::mutex> lock(mutex_);
    for (int v = 0; v < 256; ++v) {
      result_.paper[v] += local.paper[v];
      result_.ink[v] += local.ink[v];
    }
    result_.paperCount += local.paperCount;
    result_.inkCount += local.inkCount;
  }

 private:
  const Job& job_;
  CoreMaskHistograms& result_;
  mutable std::mutex mutex_;
};

}  // namespace

void CoreMaskHistograms::compute(const uint8_t* page, int width, int height, size_t stride,
                                 int toneSize, int64_t paperCut, int64_t inkCut) {
  paper.fill(0);
  ink.fill(0);
  paperCount = 0;
  inkCount = 0;

  Job job{page, width, height, stride, toneSize, 0, 0, 0, 0, 0};
  // s > paperCut is s >= paperCut + 1; past 255 no gray qualifies, below 0 all do.
  const int64_t paperFrom = std::clamp<int64_t>(paperCut + 1, 0, 256);
  job.paperFrom = static_cast<uint8_t>(std::min<int64_t>(paperFrom, 255));
  job.paperBit = paperFrom <= 255 ? kPaperBit : 0;
  const int64_t inkTo = std::clamp<int64_t>(inkCut, -1, 255);
  job.inkTo = static_cast<uint8_t>(std::max<int64_t>(inkTo, 0));
  job.inkBit = inkTo >= 0 ? kInkBit : 0;
  // Wide apertures need taller bands, or the rows smoothed for the band's
  // surroundings would outweigh the band itself.
  job.bandRows = std::max(kMinBandRows, 4 * (toneSize / 2 + kReach));
  job.bandRows = std::min(job.bandRows, height);

  const int bands = (height + job.bandRows - 1) / job.bandRows;
  const int stripes = std::max(1, std::min(bands, 4 * cv::getNumThreads()));
  BandLoop loop(job, *this);
  cv::parallel_for_(cv::Range(0, bands), loop, stripes);
}

}  // namespace tonvale
