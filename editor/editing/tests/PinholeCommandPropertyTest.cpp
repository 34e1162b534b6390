// PinholeCommand against the plain reference on thousands of random small
// pages: rectangles inside, crossing and outside the page, brush discs of
// many diameters, both modes, both criteria switches. Afterwards undo must
// give the page back byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <vector>

#include "EngineFixture.h"
#include "PinholeReference.h"
#include "quillane/editing/PinholeCommand.h"
#include "quillane/editing/UndoHistory.h"

namespace quillane {
namespace {

std::string dump(const std::vector<uint8_t>& pixels, int w, int h) {
  std::ostringstream text;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) text << ' ' << static_cast<int>(pixels[y * w + x]);
    text << '\n';
  }
  return text.str();
}

std::string describe(const reference::Job& j) {
  std::ostringstream text;
  text << "rect (" << j.left << ", " << j.top << ", " << j.right << ", " << j.bottom << ") white "
       << j.white << " t=" << j.threshold << " dust=" << j.dustSize << " whole " << j.wholeRect
       << " d=" << j.diameter << " dustOn " << j.dustSizeEnabled << " grayOn " << j.grayDustEnabled;
  return text.str();
}

class PinholeCommandProperty : public EngineFixture {};

TEST_F(PinholeCommandProperty, MatchesTheReferenceAndUndoes) {
  std::mt19937 random(20261206);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  int mismatches = 0, removals = 0;
  for (int round = 0; round < 4000; ++round) {
    const int w = uniform(1, 22), h = uniform(1, 22);
    // Paper, ink and grays in changing proportions; ink in small blobs so
    // that areas of many sizes occur.
    const int inkPercent = uniform(2, 60), grayPercent = uniform(0, 30);
    const bool whitePaper = uniform(0, 1) == 1;
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h, whitePaper ? 255 : 0);
    for (auto& p : pixels) {
      const int roll = uniform(0, 99);
      if (roll < inkPercent)
        p = whitePaper ? 0 : 255;
      else if (roll < inkPercent + grayPercent)
        p = static_cast<uint8_t>(uniform(0, 255));
    }

    reference::Job job{};
    job.white = uniform(0, 1) == 1;
    job.threshold = uniform(0, 3) == 0 ? uniform(1, 3) * 85 - 1 + uniform(0, 1) : uniform(1, 255);
    job.dustSize = uniform(0, 5) == 0 ? uniform(0, 400) : uniform(0, 30);
    job.dustSizeEnabled = uniform(0, 4) != 0;
    job.grayDustEnabled = uniform(0, 4) != 0;
    job.wholeRect = uniform(0, 2) != 0;
    bool wholePage = false;
    if (job.wholeRect) {
      switch (uniform(0, 3)) {
        case 0:  // the whole page, as the page command gives it
          wholePage = true;
          job.left = job.top = 0;
          job.right = w;
          job.bottom = h;
          break;
        case 1:  // inside
          job.left = uniform(0, w - 1);
          job.top = uniform(0, h - 1);
          job.right = uniform(job.left + 1, w);
          job.bottom = uniform(job.top + 1, h);
          break;
        default:  // anywhere: crossing, outside, or empty
          job.left = uniform(-8, w + 4);
          job.top = uniform(-8, h + 4);
          job.right = job.left + uniform(0, w + 8);
          job.bottom = job.top + uniform(0, h + 8);
      }
    } else {
      job.diameter = uniform(1, 14);
      job.left = uniform(-job.diameter, w);
      job.top = uniform(-job.diameter, h);
      job.right = job.left + job.diameter;
      job.bottom = job.top + job.diameter;
    }

    std::vector<uint8_t> expected = pixels;
    const bool expectOk = reference::run(expected, w, h, job);

    QuillaneImage page;
    ASSERT_TRUE(page.create(w, h, w, 1));
    std::copy(pixels.begin(), pixels.end(), page.pixels());
    const Rect rect{job.left, job.top, job.right, job.bottom};
    PinholeCommand command(&page, job.white, job.threshold, wholePage ? nullptr : &rect,
                           job.dustSize, job.wholeRect,
                           job.wholeRect ? 0 : static_cast<uint32_t>(job.diameter));
    command.dustSizeEnabled = job.dustSizeEnabled;
    command.grayDustEnabled = job.grayDustEnabled;
    UndoHistory history;
    history.beginStep();
    Rect out{1, 2, 3, 4};
    const bool ok = command.execute(&history, out, nullptr, nullptr);
    const std::vector<uint8_t> actual(page.pixels(), page.pixels() + page.size());

    if (ok != expectOk || actual != expected) {
      if (++mismatches <= 3) {
        ADD_FAILURE() << "round " << round << ": " << w << "x" << h << " " << describe(job)
                      << "\nresult " << ok << " expected " << expectOk << "\npage:\n"
                      << dump(pixels, w, h) << "actual:\n"
                      << dump(actual, w, h) << "expected:\n"
                      << dump(expected, w, h);
      }
      continue;
    }
    if (ok) {
      const Rect r = rect.intersected({0, 0, w, h});
      EXPECT_EQ(out, r);
      EXPECT_TRUE(history.canUndo());
      removals += actual != pixels;
      EXPECT_EQ(history.undo(page), r);
      EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), page.pixels()))
          << "undo, round " << round;
    } else {
      EXPECT_EQ(out, Rect{});
      EXPECT_FALSE(history.canUndo());
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(removals, 1000);  // the cases really change pages
}

}  // namespace
}  // namespace quillane
