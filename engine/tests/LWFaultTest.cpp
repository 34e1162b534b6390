// Out of memory at every allocation of Set and of each operation: a call
// either succeeds with the result of an undisturbed call or fails and
// leaves its containers exactly as they were, marks included (a failed Set
// leaves its container empty). LeakSanitizer reports anything a failure
// path forgets to free.
#include <gtest/gtest.h>

#include <functional>

#include "Allocation.h"
#include "CLWData.h"
#include "TestImages.h"

namespace trellin::test {
namespace {

// Every pixel of every container as attribute << 32 | value.
using Snapshot = std::vector<std::vector<std::uint64_t>>;
using Containers = std::vector<Data>;

Snapshot snapshot(const Containers& containers) {
  Snapshot s;
  for (const Data& data : containers) {
    s.emplace_back(std::vector<std::uint64_t>{std::uint64_t{data->height()} << 32 |
                                              static_cast<std::uint32_t>(data->width())});
    for (std::uint32_t y = 0; y < data->height(); ++y)
      for (int x = 0; x < data->width(); ++x) {
        LWRun run{};
        EXPECT_TRUE(data->runAt(x, y, run));
        s.back().push_back(std::uint64_t{run.attribute} << 32 | run.value);
      }
  }
  return s;
}

// Operations get the first container and the second one, if any.
using Operation = std::function<LWBool(CLWData*, CLWData*)>;

// Runs operation on new containers holding images (an empty image: an
// empty container), failing its n-th allocation for n = 1, 2, ... until a
// call no longer reaches the failure. At least leastFailures calls fail.
void walkFailures(const char* name, const std::vector<Gray>& images, int leastFailures,
                  const Operation& operation) {
  SCOPED_TRACE(name);
  const auto fresh = [&] {
    Containers containers;
    for (const Gray& image : images)
      containers.push_back(image.width ? setGray(image) : makeData());
    return containers;
  };
  const Containers reference = fresh();
  EXPECT_EQ(operation(reference[0].get(), reference.back().get()), 1);
  const Snapshot expected = snapshot(reference);
  int failures = 0;
  for (std::uint64_t n = 1; !::testing::Test::HasFailure(); ++n) {
    const Containers data = fresh();
    const Snapshot before = snapshot(data);
    fault::failAllocationAt(n);
    const LWBool ok = operation(data[0].get(), data.back().get());
    const std::uint64_t used = fault::allocationCount();
    fault::failAllocationAt(0);
    failures += ok ? 0 : 1;
    EXPECT_TRUE(snapshot(data) == (ok ? expected : before))
        << (ok ? "wrong result" : "failed call changed its containers") << ", allocation " << n;
    if (ok && used < n) break;
  }
  EXPECT_TRUE(::testing::Test::HasFailure() || failures >= leastFailures) << failures;
}

// Specks, a line and a ring: enough components to need an intermediate fill
// pass (more than 1000 seeds) and label renumbering.
Gray speckledPage() {
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

Gray blobs() {
  Gray image(40, 24);
  std::mt19937 random(1);
  for (int i = 0; i < 30; ++i) {
    const int x0 = static_cast<int>(random() % 36), y0 = static_cast<int>(random() % 20);
    const int w = 1 + static_cast<int>(random() % 6), h = 1 + static_cast<int>(random() % 5);
    const std::uint8_t v = random() % 4 ? 0 : 120;
    for (int y = y0; y < std::min(24, y0 + h); ++y)
      for (int x = x0; x < std::min(40, x0 + w); ++x) image.at(x, y) = v;
  }
  return image;
}

TEST(LWFault, SetAndPinhole) {
  fault::failAllocationAt(1);
  EXPECT_EQ(CreateLWData(), nullptr);
  fault::failAllocationAt(0);
  const Gray page = speckledPage();
  walkFailures("set", {Gray(0, 0)}, 70, [&](CLWData* d, CLWData*) {
    return LWDataSetImageData(d, page.width, page.height, page.width, 1, page.pixels.data());
  });
  walkFailures("pinhole", {page}, 10,
               [](CLWData* d, CLWData*) { return LWPinhole(d, kBlack, imageValue(255), 40); });
  // Rows wider than the longest run are rewritten instead of changed in place.
  Gray wide(70001, 4);
  for (int x = 5; x < 70001; x += 9000) wide.at(x, 1) = wide.at(x, 2) = 0;
  wide.at(69999, 3) = 0;
  walkFailures("pinhole, wide rows", {wide}, 10,
               [](CLWData* d, CLWData*) { return LWPinhole(d, kBlack, imageValue(255), 2); });
}

TEST(LWFault, LineArtOperations) {
  walkFailures("choke", {blobs()}, 10,
               [](CLWData* d, CLWData*) { return LWChoke(d, 3, 2, kBlack, 0, imageValue(9)); });
  walkFailures("spread", {blobs()}, 10, [](CLWData* d, CLWData*) {
    return LWSpread(d, 3, 0, kBlack, imageValue(60), 1, imageValue(120));
  });
  walkFailures("data skipping", {blobs()}, 10,
               [](CLWData* d, CLWData*) { return LWEmphasizeDataSkipping(d, kBlack, 0.3); });
  walkFailures("colour emphasis", {blobs()}, 20,
               [](CLWData* d, CLWData*) { return LWColorEmphasize(d, kBlack, 0.3); });
  walkFailures("coating", {blobs()}, 4,
               [](CLWData* d, CLWData*) { return LWDividesCoating(d, kBlack, 50, 0.1, 0.1); });
  walkFailures("filamentation", {blobs()}, 10,
               [](CLWData* d, CLWData*) { return LWFilamentation(d, kBlack, 3, 1, 0); });
}

TEST(LWFault, FrameInsideSmooth) {
  // Both the picture and the frame come through a failure unchanged.
  Gray panels(40, 24);
  for (int y = 0; y < 24; ++y) panels.at(20, y) = 0;
  walkFailures("frame inside smooth", {blobs(), panels}, 100, [](CLWData* picture, CLWData* frame) {
    CLWData* result = nullptr;
    const LWBool ok = LWFrameInsideSmooth(picture, frame, kBlack, 3, 3, 2, &result);
    EXPECT_EQ(ok != 0, result != nullptr);
    DeleteLWData(result);
    return ok;
  });
  // A refused call allocates nothing.
  Data picture = setGray(blobs());
  CLWData* result = nullptr;
  fault::failAllocationAt(0);
  EXPECT_EQ(LWFrameInsideSmooth(picture.get(), picture.get(), kBlack, 40, 3, 2, &result), 0);
  EXPECT_EQ(fault::allocationCount(), 0u);
}

}  // namespace
}  // namespace trellin::test
