// Out of memory at every allocation of a Set and an LWPinhole: each call
// either succeeds with the right result or fails cleanly. LeakSanitizer
// reports anything a failure path forgets to free.
#include <gtest/gtest.h>

#include "Allocation.h"
#include "TestImages.h"

namespace trellin::test {
namespace {

struct NoFaults {
  ~NoFaults() { fault::failAllocationAt(0); }
};

Gray speckledPage() {
  // Specks of several sizes, a line, and a ring, with enough components to
  // need an intermediate fill pass (more than 1000 seeds) and label renumbering.
  Gray image(130, 70);
  for (int y = 1; y < 70; y += 2)
    for (int x = 1; x < 130; x += 2) image.at(x, y) = 0;
  for (int x = 0; x < 130; ++x) image.at(x, 35) = 0;
  for (int i = 0; i < 10; ++i) {
    image.at(100 + i, 10) = image.at(100 + i, 19) = 0;
    image.at(100, 10 + i) = image.at(109, 10 + i) = 0;
  }
  return image;
}

// Fails each allocation in turn, from CreateLWData to the end of LWPinhole.
// Returns how many runs met a failure.
int walkFailures(const Gray& page, std::int32_t largestArea) {
  NoFaults restore;
  const FloodResult expected = floodFillModel(page, 0, 255, largestArea);
  int failures = 0;
  for (std::uint64_t n = 1;; ++n) {
    fault::failAllocationAt(n);
    CLWData* data = CreateLWData();
    if (!data) {
      ++failures;
      continue;
    }
    Gray out(page.width, page.height, 7);
    bool completed = false;
    if (!LWDataSetImageData(data, page.width, page.height, page.width, 1, page.pixels.data())) {
      EXPECT_EQ(LWDataGetWidth(data), 0) << "failed Set at allocation " << n;
      EXPECT_EQ(LWDataGetHeight(data), 0u);
      ++failures;
    } else if (!LWPinhole(data, imageValue(0), imageValue(255), largestArea)) {
      // Unchanged: the same pixels, and no run marked as painted.
      fault::failAllocationAt(0);
      EXPECT_EQ(
          LWDataReturnImageData(data, page.width, page.height, page.width, 1, out.pixels.data()),
          1);
      EXPECT_EQ(out.pixels, page.pixels) << "failed LWPinhole changed the image, allocation " << n;
      Gray marked(page.width, page.height, 7);
      EXPECT_EQ(LWDataReturnImageData_TargetAtr(data, page.width, page.height, page.width, 1,
                                                LWATTR_CHANGED, marked.pixels.data()),
                1);
      EXPECT_EQ(marked.pixels, Gray(page.width, page.height, 7).pixels)
          << "failed LWPinhole left runs marked, allocation " << n;
      ++failures;
    } else {
      completed = fault::allocationCount() < n;  // the failure was never reached
      EXPECT_EQ(
          LWDataReturnImageData(data, page.width, page.height, page.width, 1, out.pixels.data()),
          1);
      EXPECT_EQ(describeDifference(out, expected.image), "") << "allocation " << n;
    }
    DeleteLWData(data);
    if (completed || ::testing::Test::HasFailure()) return failures;
  }
}

TEST(LWFault, EveryFailedAllocationLeavesAConsistentContainer) {
  // Rows, tables, in-place changes and fill passes all meet a failure.
  EXPECT_GT(walkFailures(speckledPage(), 40), 80);
  // Rows wider than the longest run are rewritten instead of changed in place.
  Gray wide(70001, 4);
  for (int x = 5; x < 70001; x += 9000) wide.at(x, 1) = wide.at(x, 2) = 0;
  wide.at(69999, 3) = 0;
  EXPECT_GT(walkFailures(wide, 2), 10);
}

}  // namespace
}  // namespace trellin::test
