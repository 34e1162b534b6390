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
  for (int y = 1; y < 70; y += 3)
    for (int x = 1; x < 130; x += 3) image.at(x, y) = 0;
  for (int x = 0; x < 130; ++x) image.at(x, 35) = 0;
  for (int i = 0; i < 10; ++i) {
    image.at(100 + i, 10) = image.at(100 + i, 19) = 0;
    image.at(100, 10 + i) = image.at(109, 10 + i) = 0;
  }
  return image;
}

TEST(LWFault, EveryFailedAllocationLeavesAConsistentContainer) {
  NoFaults restore;
  const Gray page = speckledPage();
  const FloodResult expected = floodFillModel(page, 0, 255, 40);
  bool completed = false;
  int failures = 0;
  for (std::uint64_t n = 1; !completed; ++n) {
    fault::failAllocationAt(n);
    CLWData* data = CreateLWData();
    if (!data) {
      ++failures;
      continue;
    }
    Gray out(page.width, page.height, 7);
    if (!LWDataSetImageData(data, page.width, page.height, page.width, 1, page.pixels.data())) {
      EXPECT_EQ(LWDataGetWidth(data), 0) << "failed Set at allocation " << n;
      EXPECT_EQ(LWDataGetHeight(data), 0u);
      EXPECT_EQ(LWDataReturnImageData(data, 0, 0, 1, 1, out.pixels.data()), 1);
      ++failures;
    } else if (!LWPinhole(data, imageValue(0), imageValue(255), 40)) {
      ASSERT_EQ(
          LWDataReturnImageData(data, page.width, page.height, page.width, 1, out.pixels.data()),
          1);
      EXPECT_EQ(out.pixels, page.pixels) << "failed LWPinhole changed the image, allocation " << n;
      ++failures;
    } else {
      ASSERT_EQ(
          LWDataReturnImageData(data, page.width, page.height, page.width, 1, out.pixels.data()),
          1);
      EXPECT_EQ(describeDifference(out, expected.image), "") << "allocation " << n;
      completed = fault::allocationCount() < n;  // the fault was never reached
    }
    DeleteLWData(data);
    if (HasFailure()) return;
  }
  EXPECT_GT(failures, 80);  // rows, tables and fill passes all met a failure
}

}  // namespace
}  // namespace trellin::test
