// PinholeCommand and the dust diagnosis built on it against a plain
// statement of the dust removal on thousands of random small pages (undo
// included); then the progress callback, failures and a missing engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "quillane/editing/DustDiagnosis.h"
#include "quillane/editing/PinholeCommand.h"
#include "quillane/editing/UndoHistory.h"
#include "quillane/model/EngineBinding.h"

namespace quillane {
namespace {

struct Job {
  Rect rect;
  bool white, wholeRect, dustOn, grayOn;
  int threshold, dustSize, diameter;
};

bool insideDisc(const Job& job, int x, int y) {
  const long long c = job.diameter, cx = job.rect.left + c / 2, cy = job.rect.top + c / 2;
  const long long r = c % 2 == 0 ? c / 2 : (c + 1) / 2;
  long long dx = x - cx, dy = y - cy;
  if (c % 2 == 0) {  // the centre lies between pixels
    if (dx >= 0) dx -= 1;
    if (dy >= 0) dy -= 1;
  }
  return dx * dx + dy * dy < r * r;
}

// The removal stated plainly on a w x h page: a scratch of the rectangle
// grown by dust + 1 in the spot colour, the band one pixel around the
// rectangle (short of the outermost page row and column) binarised into it,
// 4-connected spot areas of at most dust pixels painted paper by a flood
// fill, paper written back inside the rectangle. False when it misses the page.
bool referenceRun(std::vector<uint8_t>& page, int w, int h, const Job& job) {
  const int dust = job.dustOn ? job.dustSize : 0;
  int tb = job.white ? (256 - job.threshold) % 256 : job.threshold;
  if (!job.grayOn) tb = job.white ? 255 : 1;
  const uint8_t paper = job.white ? 255 : 0, spot = job.white ? 0 : 255;
  const int rl = std::max(job.rect.left, 0), rt = std::max(job.rect.top, 0);
  const int rr = std::min(job.rect.right, w), rb = std::min(job.rect.bottom, h);
  if (rr <= rl || rb <= rt) return false;
  const int l2 = std::max(rl - dust - 1, 0), t2 = std::max(rt - dust - 1, 0);
  const int sw = std::min(rr + dust + 1, w) - l2, sh = std::min(rb + dust + 1, h) - t2;
  std::vector<uint8_t> scratch(static_cast<size_t>(sw) * sh, spot);
  for (int y = rt > 1 ? rt - 1 : rt; y <= (rb < h - 1 ? rb : rb - 1); ++y)
    for (int x = rl > 1 ? rl - 1 : rl; x <= (rr < w - 1 ? rr : rr - 1); ++x)
      if (job.wholeRect || insideDisc(job, x, y))
        scratch[(y - t2) * sw + (x - l2)] = page[y * w + x] >= tb ? 255 : 0;
  std::vector<bool> seen(scratch.size());
  for (int start = 0; start < sw * sh; ++start) {
    if (seen[start] || scratch[start] != spot) continue;
    std::vector<int> area{start};
    seen[start] = true;
    for (size_t i = 0; i < area.size(); ++i) {
      const int x = area[i] % sw, y = area[i] / sw;
      const int nx[4] = {x - 1, x + 1, x, x}, ny[4] = {y, y, y - 1, y + 1};
      for (int k = 0; k < 4; ++k) {
        const int n = ny[k] * sw + nx[k];
        if (nx[k] >= 0 && ny[k] >= 0 && nx[k] < sw && ny[k] < sh && !seen[n] && scratch[n] == spot)
          seen[n] = true, area.push_back(n);
      }
    }
    if (static_cast<int>(area.size()) <= dust)
      for (int m : area) scratch[m] = paper;
  }
  for (int y = rt; y < rb; ++y)
    for (int x = rl; x < rr; ++x)
      if (scratch[(y - t2) * sw + (x - l2)] == paper) page[y * w + x] = paper;
  return true;
}

QuillaneImage filledPage(int w, int h, uint8_t value) {
  QuillaneImage page;
  EXPECT_TRUE(page.create(w, h, w, 1));
  std::fill(page.pixels(), page.pixels() + page.size(), value);
  return page;
}

std::vector<uint8_t> bytes(const QuillaneImage& image) {
  return std::vector<uint8_t>(image.pixels(), image.pixels() + image.size());
}

// White mode, t = 100 (threshold byte 156), both criteria on; a brush disc
// when diameter is given.
PinholeCommand whiteCommand(QuillaneImage* page, const Rect* rect, int dust = 36,
                            uint32_t diameter = 0) {
  PinholeCommand command(page, true, 100, rect, dust, diameter == 0, diameter);
  command.dustSizeEnabled = command.grayDustEnabled = true;
  return command;
}

class PinholeCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EngineBinding::unbind();
    ASSERT_TRUE(EngineBinding::bind(QUILLANE_TEST_ENGINE_FOLDER)) << QUILLANE_TEST_ENGINE_FOLDER;
  }
  void TearDown() override { EngineBinding::unbind(); }
};

// Rectangles inside, crossing and outside the page, brush discs of many
// diameters, both modes, both criteria switches.
TEST_F(PinholeCommandTest, MatchesTheReferenceAndUndoes) {
  std::mt19937 random(20261206);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  int removals = 0;
  for (int round = 0; round < 4000; ++round) {
    // Some pages wider than the blocks of 32 pixels the row passes work in;
    // paper, ink and grays in changing proportions.
    const int w = uniform(0, 5) == 0 ? uniform(23, 90) : uniform(1, 22), h = uniform(1, 22);
    const int inkPercent = uniform(2, 60), grayPercent = uniform(0, 30);
    const uint8_t paper = uniform(0, 1) == 1 ? 255 : 0;
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h);
    for (auto& p : pixels) {
      const int roll = uniform(0, 99);
      p = roll < inkPercent                 ? 255 - paper
          : roll < inkPercent + grayPercent ? static_cast<uint8_t>(uniform(0, 255))
                                            : paper;
    }
    Job job{};
    job.white = uniform(0, 1) == 1;
    job.threshold = uniform(0, 3) == 0 ? uniform(1, 3) * 85 - 1 + uniform(0, 1) : uniform(1, 255);
    job.dustSize = uniform(0, 5) == 0 ? uniform(0, 400) : uniform(0, 30);
    job.dustOn = uniform(0, 4) != 0;
    job.grayOn = uniform(0, 4) != 0;
    job.wholeRect = uniform(0, 2) != 0;
    const int shape = job.wholeRect ? uniform(0, 3) : 4;
    Rect& r = job.rect;
    if (shape == 0) {  // the whole page, as the page command gives it (no rectangle)
      r = {0, 0, w, h};
    } else if (shape == 1) {  // inside
      r.left = uniform(0, w - 1), r.top = uniform(0, h - 1);
      r.right = uniform(r.left + 1, w), r.bottom = uniform(r.top + 1, h);
    } else if (shape < 4) {  // anywhere: crossing, outside, or empty
      r.left = uniform(-8, w + 4), r.top = uniform(-8, h + 4);
      r.right = r.left + uniform(0, w + 8), r.bottom = r.top + uniform(0, h + 8);
    } else {  // a brush disc
      job.diameter = uniform(1, 14);
      r.left = uniform(-job.diameter, w), r.top = uniform(-job.diameter, h);
      r.right = r.left + job.diameter, r.bottom = r.top + job.diameter;
    }
    SCOPED_TRACE(testing::Message()
                 << "round " << round << ": " << w << "x" << h << " rect " << r.left << "," << r.top
                 << "," << r.right << "," << r.bottom << " white " << job.white << " whole "
                 << job.wholeRect << " d " << job.diameter << " t " << job.threshold << " dust "
                 << job.dustSize << " on " << job.dustOn << " gray " << job.grayOn);
    QuillaneImage page = filledPage(w, h, 0);
    std::copy(pixels.begin(), pixels.end(), page.pixels());
    if (job.wholeRect) {
      // The diagnosis flags what a removal over the area grown by dustSize + 1
      // would change, and leaves the page as it is.
      Job grown = job;
      grown.rect = r.grown(job.dustSize + 1);
      std::vector<uint8_t> removed = pixels;
      const bool flags = referenceRun(removed, w, h, grown);
      QuillaneImage mask;
      const DustSettings settings{job.white ? DustMode::White : DustMode::Black, job.threshold,
                                  job.dustSize, job.dustOn, job.grayOn};
      const Rect changed = computeDustDiagnosis(page, mask, r, settings);
      ASSERT_EQ(changed, flags ? grown.rect.intersected({0, 0, w, h}) : Rect::none());
      for (int y = changed.top; flags && y < changed.bottom; ++y)
        for (int x = changed.left; x < changed.right; ++x)
          ASSERT_EQ(mask.row(y)[x], removed[y * w + x] != pixels[y * w + x] ? 0xFF : 0)
              << x << "," << y;
      ASSERT_EQ(bytes(page), pixels);
    }
    std::vector<uint8_t> expected = pixels;
    const bool expectOk = referenceRun(expected, w, h, job);
    PinholeCommand command(&page, job.white, job.threshold, shape == 0 ? nullptr : &r, job.dustSize,
                           job.wholeRect, static_cast<uint32_t>(job.diameter));
    command.dustSizeEnabled = job.dustOn;
    command.grayDustEnabled = job.grayOn;
    UndoHistory history;
    history.beginStep();
    Rect out{1, 2, 3, 4};
    ASSERT_EQ(command.execute(&history, out, nullptr, nullptr), expectOk);
    const std::vector<uint8_t> actual = bytes(page);
    const auto at = std::mismatch(actual.begin(), actual.end(), expected.begin()).first;
    ASSERT_TRUE(at == actual.end())
        << "first difference at " << (at - actual.begin()) % w << "," << (at - actual.begin()) / w;
    const Rect clipped = expectOk ? r.intersected({0, 0, w, h}) : Rect{};
    EXPECT_EQ(out, clipped);
    EXPECT_EQ(history.canUndo(), expectOk);
    removals += actual != pixels;
    EXPECT_EQ(history.undo(page), expectOk ? clipped : Rect::none());
    EXPECT_EQ(bytes(page), pixels) << "after undo";
  }
  EXPECT_GT(removals, 1000);  // the cases really change pages
}

TEST_F(PinholeCommandTest, EmptyPageFailsAndProgressFramesTheWork) {
  QuillaneImage page = filledPage(10, 10, 255), empty;
  page.row(5)[5] = 0;
  Rect out{1, 1, 2, 2};
  EXPECT_FALSE(whiteCommand(&empty, nullptr).execute(nullptr, out, nullptr, nullptr));
  EXPECT_EQ(out, Rect{});

  // The progress callback is asked with 0 before any work (false stops) and
  // told 100 after success; a clone does the same work.
  static std::vector<int> calls;
  auto callback = [](int percent, void* answer) {
    calls.push_back(percent);
    return *static_cast<bool*>(answer);
  };
  const Rect disc{3, 3, 8, 8};
  PinholeCommand command = whiteCommand(&page, &disc, 36, 5);
  auto copy = command.clone();
  bool answer = false;
  EXPECT_FALSE(command.execute(nullptr, out, callback, &answer));
  EXPECT_EQ(page.row(5)[5], 0);
  answer = true;
  EXPECT_TRUE(copy->execute(nullptr, out, callback, &answer));
  EXPECT_EQ(calls, (std::vector<int>{0, 0, 100}));
  EXPECT_EQ(out, disc);
  EXPECT_EQ(page.row(5)[5], 255);
}

TEST(PinholeCommandEngine, MissingEngineOrPinholeFailsAndLeavesNothing) {
  for (const char* folder : {"/nonexistent", QUILLANE_TEST_ENGINE_NO_PINHOLE}) {
    EngineBinding::unbind();
    EXPECT_EQ(EngineBinding::bind(folder), folder != std::string("/nonexistent"));
    QuillaneImage page = filledPage(10, 10, 255);
    page.row(5)[5] = 0;
    page.row(2)[2] = 230;
    const auto before = bytes(page);
    UndoHistory history;
    history.beginStep();
    Rect out;
    EXPECT_FALSE(whiteCommand(&page, nullptr).execute(&history, out, nullptr, nullptr)) << folder;
    EXPECT_EQ(bytes(page), before);
    EXPECT_FALSE(history.canUndo());
    QuillaneImage mask;
    EXPECT_EQ(computeDustDiagnosis(page, mask, {0, 0, 10, 10}, {}), Rect::none());
  }
  EngineBinding::unbind();
}

}  // namespace
}  // namespace quillane
