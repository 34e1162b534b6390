// Out of memory at every allocation of each line-art operation: a call
// either succeeds with the result of an undisturbed call or fails and
// leaves the container exactly as it was, marks included. LeakSanitizer
// reports anything a failure path forgets to free.
#include <gtest/gtest.h>

#include <functional>

#include "Allocation.h"
#include "CLWData.h"
#include "TestImages.h"

namespace trellin::test {
namespace {

struct Snapshot {
  int width;
  int height;
  std::vector<std::uint64_t> pixels;  // attribute << 32 | value
  bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const CLWData* data) {
  Snapshot s{data->width(), static_cast<int>(data->height()), {}};
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) {
      LWRun run{};
      EXPECT_TRUE(data->runAt(x, static_cast<std::uint32_t>(y), run));
      s.pixels.push_back(std::uint64_t{run.attribute} << 32 | run.value);
    }
  return s;
}

using Operation = std::function<LWBool(CLWData*)>;

// Returns how many calls met a failure.
int walkFailures(const Gray& image, const Operation& operation) {
  Data reference = setGray(image);
  EXPECT_EQ(operation(reference.get()), 1);
  const Snapshot expected = snapshot(reference.get());
  int failures = 0;
  for (std::uint64_t n = 1;; ++n) {
    Data data = setGray(image);
    const Snapshot before = snapshot(data.get());
    fault::failAllocationAt(n);
    const LWBool result = operation(data.get());
    const std::uint64_t used = fault::allocationCount();
    fault::failAllocationAt(0);
    if (!result) {
      ++failures;
      EXPECT_TRUE(snapshot(data.get()) == before)
          << "failed call changed the image, allocation " << n;
    } else {
      EXPECT_TRUE(snapshot(data.get()) == expected) << "allocation " << n;
      if (used < n) return failures;
    }
    if (::testing::Test::HasFailure()) return failures;
  }
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

constexpr std::int32_t kBlack = imageValue(0);

TEST(LWOperationsFault, ChokeAndSpread) {
  EXPECT_GT(
      walkFailures(blobs(), [](CLWData* d) { return LWChoke(d, 3, 2, kBlack, 0, imageValue(9)); }),
      0);
  EXPECT_GT(walkFailures(blobs(),
                         [](CLWData* d) {
                           return LWSpread(d, 3, 0, kBlack, imageValue(60), 1, imageValue(120));
                         }),
            0);
}

TEST(LWOperationsFault, EmphasisAndCoating) {
  EXPECT_GT(
      walkFailures(blobs(), [](CLWData* d) { return LWEmphasizeDataSkipping(d, kBlack, 0.3); }), 5);
  EXPECT_GT(walkFailures(blobs(), [](CLWData* d) { return LWColorEmphasize(d, kBlack, 0.3); }), 5);
  EXPECT_GT(
      walkFailures(blobs(), [](CLWData* d) { return LWDividesCoating(d, kBlack, 50, 0.1, 0.1); }),
      3);
}

TEST(LWOperationsFault, Filamentation) {
  EXPECT_GT(walkFailures(blobs(), [](CLWData* d) { return LWFilamentation(d, kBlack, 3, 1, 0); }),
            0);
}

TEST(LWOperationsFault, FrameInsideSmooth) {
  Gray frameImage(40, 24, 255);
  for (int y = 0; y < 24; ++y) frameImage.at(20, y) = 0;
  // Both the picture and the frame must come through a failure unchanged.
  Data frame;
  CLWData* result = nullptr;
  int failures = 0;
  for (std::uint64_t n = 1;; ++n) {
    Data picture = setGray(blobs());
    frame = setGray(frameImage);
    const Snapshot before = snapshot(picture.get()), frameBefore = snapshot(frame.get());
    fault::failAllocationAt(n);
    const LWBool ok = LWFrameInsideSmooth(picture.get(), frame.get(), kBlack, 3, 3, 2, &result);
    const std::uint64_t used = fault::allocationCount();
    fault::failAllocationAt(0);
    if (!ok) {
      ++failures;
      EXPECT_TRUE(snapshot(picture.get()) == before) << "allocation " << n;
      EXPECT_TRUE(snapshot(frame.get()) == frameBefore) << "allocation " << n;
      EXPECT_EQ(result, nullptr);
    } else {
      DeleteLWData(result);
      result = nullptr;
      if (used < n) break;
    }
    if (HasFailure()) break;
  }
  EXPECT_GT(failures, 5);
}

TEST(LWOperationsFault, RefusedFrameInsideSmoothAllocatesNothing) {
  Data picture = setGray(blobs());
  Data frame = setGray(blobs());
  CLWData* result = nullptr;
  fault::failAllocationAt(0);
  EXPECT_EQ(LWFrameInsideSmooth(picture.get(), frame.get(), kBlack, 40, 3, 2, &result), 0);
  EXPECT_EQ(fault::allocationCount(), 0u);
  EXPECT_EQ(result, nullptr);
}

}  // namespace
}  // namespace trellin::test
