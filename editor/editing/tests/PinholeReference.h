#pragma once
// An independent, deliberately plain statement of the dust removal over a
// pixel array: per-pixel threshold band and disc test, flood fill of the spot
// colour in the scratch, write-back of paper-coloured scratch pixels. Used to
// check PinholeCommand (and its engine) on many random pages.
#include <cstdint>
#include <vector>

namespace quillane::reference {

struct Job {
  int left, top, right, bottom;  // rect
  bool white;                    // White mode
  int threshold;                 // t
  int dustSize;
  bool wholeRect;
  int diameter;
  bool dustSizeEnabled;
  bool grayDustEnabled;
};

inline bool insideDisc(const Job& job, int x, int y) {
  const long long c = job.diameter;
  const long long cx = job.left + c / 2, cy = job.top + c / 2;
  const long long r = c % 2 == 0 ? c / 2 : (c + 1) / 2;
  long long dx = x - cx, dy = y - cy;
  if (c % 2 == 0) {
    if (dx >= 0) dx -= 1;
    if (dy >= 0) dy -= 1;
  }
  return dx * dx + dy * dy < r * r;
}

// Runs the job on page (w x h, stride w). Returns false (page untouched) when
// the rectangle misses the page.
inline bool run(std::vector<uint8_t>& page, int w, int h, const Job& job) {
  const int dust = job.dustSizeEnabled ? job.dustSize : 0;
  int tb = job.white ? (256 - job.threshold) % 256 : job.threshold;
  if (!job.grayDustEnabled) tb = job.white ? 255 : 1;
  const uint8_t paper = job.white ? 255 : 0, spot = job.white ? 0 : 255;

  const int rl = std::max(job.left, 0), rt = std::max(job.top, 0);
  const int rr = std::min(job.right, w), rb = std::min(job.bottom, h);
  if (rr <= rl || rb <= rt) return false;
  const int g = dust + 1;
  const int l2 = std::max(rl - g, 0), t2 = std::max(rt - g, 0);
  const int r2 = std::min(rr + g, w), b2 = std::min(rb + g, h);
  const int sw = r2 - l2, sh = b2 - t2;

  const int bx0 = rl > 1 ? rl - 1 : rl, bx1 = rr < w - 1 ? rr : rr - 1;
  const int by0 = rt > 1 ? rt - 1 : rt, by1 = rb < h - 1 ? rb : rb - 1;
  std::vector<uint8_t> scratch(static_cast<size_t>(sw) * sh, spot);
  for (int y = by0; y <= by1; ++y)
    for (int x = bx0; x <= bx1; ++x)
      if (job.wholeRect || insideDisc(job, x, y))
        scratch[(y - t2) * sw + (x - l2)] = page[y * w + x] >= tb ? 255 : 0;

  // 4-connected areas of the spot colour of at most dust pixels -> paper.
  std::vector<int> label(scratch.size(), -1);
  for (int start = 0; start < sw * sh; ++start) {
    if (label[start] != -1 || scratch[start] != spot) continue;
    std::vector<int> members{start}, todo{start};
    label[start] = start;
    while (!todo.empty()) {
      const int at = todo.back();
      todo.pop_back();
      const int x = at % sw, y = at / sw;
      const int nx[4] = {x - 1, x + 1, x, x}, ny[4] = {y, y, y - 1, y + 1};
      for (int i = 0; i < 4; ++i) {
        if (nx[i] < 0 || ny[i] < 0 || nx[i] >= sw || ny[i] >= sh) continue;
        const int n = ny[i] * sw + nx[i];
        if (label[n] == -1 && scratch[n] == spot) {
          label[n] = start;
          members.push_back(n);
          todo.push_back(n);
        }
      }
    }
    if (static_cast<int>(members.size()) <= dust)
      for (int m : members) scratch[m] = paper;
  }

  for (int y = rt; y < rb; ++y)
    for (int x = rl; x < rr; ++x)
      if (scratch[(y - t2) * sw + (x - l2)] == paper) page[y * w + x] = paper;
  return true;
}

}  // namespace quillane::reference
