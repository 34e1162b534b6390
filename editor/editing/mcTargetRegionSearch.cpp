// Region search in two passes: the mask's non-background pixels are first cut
// into runs, row by row; then runs are grouped breadth first, a run joining
// every run of the rows above and below that overlaps its columns widened by
// one on each side (so corner contact connects).
//
// The runs sit in one row-major array with the start of every row, so the
// runs of a neighbouring row that may touch a run are found by a binary
// search instead of a walk along a list of all remaining runs. Each run has a
// state (waiting, queued, done); queued and done runs are skipped. Runs of a
// row never overlap and are sorted by x, so the touching runs of a row form
// one contiguous stretch of that row's array, and both walks take them in the
// same order as walks along a remaining-run list would.
#include "quillane/editing/mcTargetRegionSearch.h"

#include <algorithm>
#include <cstring>

namespace quillane {
namespace {

// Background rule for each number of bytes a pixel.
template <int B>
inline bool isBackground(const uint8_t* p) {
  if constexpr (B == 2 || B == 4) {
    if (p[B - 1] == 0) return true;
  }
  if constexpr (B >= 3) return p[0] == 255 && p[1] == 255 && p[2] == 255;
  return p[0] == 255;
}

// Index of the first pixel at or after x in row whose background state equals
// wanted; width when there is none.
template <int B>
int32_t findPixel(const uint8_t* row, int32_t x, int32_t width, bool wanted) {
  if constexpr (B == 1) {
    // Eight pixels at a time: all 255 (looking for foreground) or none 255
    // (looking for background) skips the word.
    constexpr uint64_t kAllSet = ~uint64_t{0};
    while (x + 8 <= width) {
      uint64_t word;
      std::memcpy(&word, row + x, 8);
      if (!wanted && word == kAllSet) {
        x += 8;
        continue;
      }
      if (wanted) {
        // Bytes equal to 255 become 0 after the inversion; a word holding no
        // zero byte has no background pixel.
        const uint64_t inv = ~word;
        const uint64_t zeroBytes = (inv - 0x0101010101010101ULL) & ~inv & 0x8080808080808080ULL;
        if (zeroBytes == 0) {
          x += 8;
          continue;
        }
      }
      break;
    }
  }
  while (x < width && isBackground<B>(row + static_cast<int64_t>(x) * B) != wanted) ++x;
  return x;
}

// Cuts every row into runs; false when there are more than kMaxRuns.
template <int B>
bool extractRuns(int32_t width, const uint8_t* pixels, int32_t height, int32_t stride,
                 std::vector<mcRun>& runs, std::vector<int32_t>& rowStart) {
  rowStart.resize(static_cast<size_t>(height) + 1);
  for (int32_t y = 0; y < height; ++y) {
    rowStart[y] = static_cast<int32_t>(runs.size());
    const uint8_t* row = pixels + static_cast<int64_t>(y) * stride;
    int32_t x = 0;
    while (true) {
      x = findPixel<B>(row, x, width, false);
      if (x >= width) break;
      const int32_t end = findPixel<B>(row, x + 1, width, true);
      runs.push_back({x, y, end - x});
      x = end;
    }
    if (static_cast<int64_t>(runs.size()) > mcTargetRegionSearch::kMaxRuns) return false;
  }
  rowStart[height] = static_cast<int32_t>(runs.size());
  return true;
}

inline double luminance(uint8_t c0, uint8_t c1, uint8_t c2) {
  return 0.299 * c0 + 0.587 * c1 + 0.114 * c2;
}

// The darkest colour of the run's pixels, met left to right.
void scanDarkest(const uint8_t* start, int32_t length, int32_t bytesPerPixel,
                 std::array<uint8_t, 3>& darkest) {
  if (bytesPerPixel < 3) {
    // One gray a pixel: the luminance order is the order of the grays, so the
    // darkest met is the smallest gray.
    uint8_t least = darkest[0];
    for (int32_t i = 0; i < length; ++i) least = std::min(least, start[i * bytesPerPixel]);
    if (least != darkest[0] || darkest[1] != least || darkest[2] != least) {
      const double current = luminance(darkest[0], darkest[1], darkest[2]);
      if (current > luminance(least, least, least)) darkest = {least, least, least};
    }
    return;
  }
  for (int32_t i = 0; i < length; ++i) {
    const uint8_t* p = start + static_cast<int64_t>(i) * bytesPerPixel;
    if (p[0] == darkest[0] && p[1] == darkest[1] && p[2] == darkest[2]) continue;
    if (luminance(darkest[0], darkest[1], darkest[2]) > luminance(p[0], p[1], p[2]))
      darkest = {p[0], p[1], p[2]};
  }
}

enum : uint8_t { kWaiting = 0, kQueued = 1, kDone = 2 };

}  // namespace

int32_t mcTargetRegionSearch::search(int32_t width, const uint8_t* pixels, int32_t height,
                                     int32_t stride, std::vector<mcRegion>& regions, int32_t dx,
                                     int32_t dy, int32_t bytesPerPixel) const {
  regions.clear();
  if (pixels == nullptr || width <= 0 || height <= 0 || stride < width) return 0;
  const int32_t bpp = bytesPerPixel > 0 ? bytesPerPixel : stride / width;
  if (bpp < 1 || bpp > 4 || static_cast<int64_t>(width) * bpp > stride) return 0;

  std::vector<mcRun> runs;
  std::vector<int32_t> rowStart;
  bool extracted = false;
  switch (bpp) {
    case 1:
      extracted = extractRuns<1>(width, pixels, height, stride, runs, rowStart);
      break;
    case 2:
      extracted = extractRuns<2>(width, pixels, height, stride, runs, rowStart);
      break;
    case 3:
      extracted = extractRuns<3>(width, pixels, height, stride, runs, rowStart);
      break;
    default:
      extracted = extractRuns<4>(width, pixels, height, stride, runs, rowStart);
      break;
  }
  if (!extracted) return 0;

  std::vector<uint8_t> state(runs.size(), kWaiting);
  std::vector<int32_t> queue;
  queue.reserve(64);
  const auto byX = [](const mcRun& run, int32_t x) { return run.x < x; };

  for (size_t seed = 0; seed < runs.size(); ++seed) {
    if (state[seed] == kDone) continue;
    mcRegion& region = regions.emplace_back();
    queue.clear();
    queue.push_back(static_cast<int32_t>(seed));
    for (size_t head = 0; head < queue.size(); ++head) {
      const int32_t index = queue[head];
      const mcRun run = runs[index];
      region.addRun(run);
      scanDarkest(pixels + static_cast<int64_t>(run.y) * stride + static_cast<int64_t>(run.x) * bpp,
                  run.length, bpp, region.darkest);
      const int32_t a = run.x, b = run.x + run.length - 1;

      if (run.y > 0) {
        // Row above, right to left: from the last run starting at or before
        // b + 1 down to the first one ending at or after a - 1.
        const mcRun* first = runs.data() + rowStart[run.y - 1];
        const mcRun* last = runs.data() + rowStart[run.y];
        const mcRun* it = std::lower_bound(first, last, b + 2, byX);
        while (it != first) {
          --it;
          if (it->x + it->length <= a - 1) break;
          const size_t k = static_cast<size_t>(it - runs.data());
          if (state[k] == kWaiting) {
            state[k] = kQueued;
            queue.push_back(static_cast<int32_t>(k));
          }
        }
      }
      if (run.y + 1 < height) {
        // Row below, left to right: from the first run ending at or after
        // a - 1 up to the last one starting at or before b + 1.
        const mcRun* first = runs.data() + rowStart[run.y + 1];
        const mcRun* last = runs.data() + rowStart[run.y + 2];
        const mcRun* it = std::partition_point(
            first, last, [a](const mcRun& r) { return r.x + r.length <= a - 1; });
        for (; it != last && it->x <= b + 1; ++it) {
          const size_t k = static_cast<size_t>(it - runs.data());
          if (state[k] == kWaiting) {
            state[k] = kQueued;
            queue.push_back(static_cast<int32_t>(k));
          }
        }
      }
      state[index] = kDone;
    }
  }

  if (dx != 0 || dy != 0) {
    for (mcRegion& region : regions) {
      for (mcRun& run : region.runs) {
        run.x += dx;
        run.y += dy;
      }
      region.left += dx;
      region.right += dx;
      region.top += dy;
      region.bottom += dy;
    }
  }
  return static_cast<int32_t>(regions.size());
}

}  // namespace quillane
