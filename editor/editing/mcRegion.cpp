// Run bookkeeping of a region; see mcRegion.h.
#include "quillane/editing/mcRegion.h"

#include <algorithm>

namespace quillane {

void mcRegion::addRun(const mcRun& run) {
  const int32_t runRight = run.x + run.length;
  if (runs.empty()) {
    left = run.x;
    top = run.y;
    right = runRight;
    bottom = run.y + 1;
  } else {
    left = std::min(left, run.x);
    top = std::min(top, run.y);
    right = std::max(right, runRight);
    bottom = std::max(bottom, run.y + 1);
  }
  area += run.length;
  runs.push_back(run);
}

}  // namespace quillane
