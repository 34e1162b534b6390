// The container: Set / Return round trips, value encodings, refusals, the
// selective Return forms, and the run rows, copies, marks and run lookup
// the operations build on.
#include <gtest/gtest.h>

#include <cstring>

#include "CLWData.h"
#include "TestImages.h"

namespace trellin::test {
namespace {

// LWDataSetImageData with bpp 1 to 4, the gray form and the RGB form.
struct Form {
  int bpp;
  char kind;                 // 'i' image, 'g' gray, 'c' RGB
  std::uint32_t firstValue;  // value of the pixel {0x00, 0xFF, 0x12, 0x34}
  LWBool set(CLWData* d, int w, int h, int s, const std::uint8_t* p) const {
    return kind == 'g'   ? LWDataSetGrayData(d, w, h, s, p)
           : kind == 'c' ? LWDataSetRGBData(d, w, h, s, p)
                         : LWDataSetImageData(d, w, h, s, bpp, p);
  }
  LWBool put(CLWData* d, int w, int h, int s, std::uint8_t* p) const {
    return kind == 'g'   ? LWDataReturnGrayData(d, w, h, s, p)
           : kind == 'c' ? LWDataReturnRGBData(d, w, h, s, p)
                         : LWDataReturnImageData(d, w, h, s, bpp, p);
  }
};

const Form kForms[] = {{1, 'i', 0xFFFFFF00u}, {2, 'i', 0xFFFFFF00u}, {3, 'i', 0xFF12FF00u},
                       {4, 'i', 0x3412FF00u}, {1, 'g', 0x00000000u}, {3, 'c', 0x0012FF00u}};

TEST(LWData, SetThenReturnGivesBackEveryPixelForEveryFormAndStride) {
  // Three colours that differ in their first byte; the first one's value is
  // the form's firstValue.
  const std::uint8_t palette[3][4] = {
      {0x00, 0xFF, 0x12, 0x34}, {0x01, 0xFF, 0x12, 0x34}, {0x02, 0x07, 0x13, 0x99}};
  std::mt19937 random(7);
  for (const Form& form : kForms)
    for (bool bottomUp : {false, true})
      for (int width : {1, 7, 31, 32, 33, 70}) {
        SCOPED_TRACE("bpp " + std::to_string(form.bpp) + " form " + form.kind + " width " +
                     std::to_string(width) + (bottomUp ? " bottom-up" : ""));
        // Five rows with 3 spare bytes each, of runs of the three colours;
        // bottom-up rows are walked from the last one with a negative stride.
        const int row = width * form.bpp + 3, first = bottomUp ? 4 * row : 0;
        const int stride = bottomUp ? -row : row;
        std::vector<std::uint8_t> in(5 * row, 0xAB), out = in, chosen = in, none = in;
        std::vector<std::uint8_t> firstColour = in;
        for (int i = 0, colour = 0; i < 5 * width; ++i) {
          if (random() % 4 == 0) colour = static_cast<int>(random() % 3);
          const int at = i / width * row + i % width * form.bpp;
          std::memcpy(&in[at], palette[colour], form.bpp);
          if (colour == 0) std::memcpy(&firstColour[at], palette[0], form.bpp);
        }
        Data data = makeData();
        ASSERT_EQ(form.set(data.get(), width, 5, stride, in.data() + first), 1);
        EXPECT_EQ(LWDataGetWidth(data.get()), width);
        EXPECT_EQ(LWDataGetHeight(data.get()), 5u);
        ASSERT_EQ(form.put(data.get(), width, 5, stride, out.data() + first), 1);
        EXPECT_EQ(out, in);  // padding untouched too
        // TargetColor writes exactly the pixels of the first colour; a value
        // with a different high byte matches nothing.
        const auto value = static_cast<std::int32_t>(form.firstValue);
        ASSERT_EQ(LWDataReturnImageData_TargetColor(data.get(), width, 5, stride, form.bpp, value,
                                                    chosen.data() + first),
                  1);
        EXPECT_EQ(chosen, firstColour);
        ASSERT_EQ(LWDataReturnImageData_TargetColor(data.get(), width, 5, stride, form.bpp,
                                                    value ^ 1 << 30, none.data() + first),
                  1);
        EXPECT_EQ(none, std::vector<std::uint8_t>(5 * row, 0xAB));
      }
}

TEST(LWData, RefusedCallsChangeNothingAndNullIsHarmless) {
  const Gray image = parseGray({"#..#", ".##.", "...."});
  Data data = setGray(image);
  const std::uint8_t* p = image.pixels.data();
  // Set refuses an empty size, a zero stride, pixel sizes other than 1 to 4
  // and, before anything is freed or read, sizes too large to hold.
  const std::int32_t refusedSets[][4] = {{0, 3, 4, 1},        {4, 0, 4, 1}, {4, 3, 0, 1},
                                         {4, 3, 4, 0},        {4, 3, 4, 5}, {-1, 3, 4, 1},
                                         {4, INT32_MIN, 4, 1}};
  for (const auto& [w, h, stride, bpp] : refusedSets)
    EXPECT_EQ(LWDataSetImageData(data.get(), w, h, stride, bpp, p), 0)
        << w << " " << h << " " << stride << " " << bpp;
  EXPECT_EQ(LWDataSetGrayData(data.get(), 4, 3, 4, nullptr), 0);
  EXPECT_EQ(describeDifference(returnGray(data.get()), image), "");
  EXPECT_EQ(attributeMask(data.get(), LWATTR_NONE), std::vector<std::uint8_t>(12, 1));

  // Return refuses any other geometry and writes nothing.
  std::vector<std::uint8_t> out(64, 7);
  const std::int32_t refusedReturns[][4] = {{3, 3, 4, 1}, {5, 3, 5, 1}, {4, 2, 4, 1},
                                            {4, 4, 4, 1}, {4, 3, 4, 5}, {4, 3, 4, 0}};
  for (const auto& [w, h, stride, bpp] : refusedReturns) {
    EXPECT_EQ(LWDataReturnImageData(data.get(), w, h, stride, bpp, out.data()), 0) << w << " " << h;
    EXPECT_EQ(LWDataReturnImageData_TargetColor(data.get(), w, h, stride, bpp, kBlack, out.data()),
              0);
    EXPECT_EQ(LWDataReturnImageData_TargetAtr(data.get(), w, h, stride, bpp, 0, out.data()), 0);
  }
  EXPECT_EQ(out, std::vector<std::uint8_t>(64, 7));

  // Null and empty containers are harmless.
  DeleteLWData(nullptr);
  EXPECT_EQ(LWDataGetWidth(nullptr), 0);
  EXPECT_EQ(LWDataGetHeight(nullptr), 0u);
  EXPECT_EQ(LWDataSetGrayData(nullptr, 1, 1, 1, p), 0);
  EXPECT_EQ(LWDataReturnImageData(nullptr, 1, 1, 1, 1, out.data()), 0);
  EXPECT_EQ(LWPinhole(nullptr, -256, -1, 10), 0);
  data = makeData();
  EXPECT_EQ(LWDataGetWidth(data.get()), 0);
  EXPECT_EQ(LWDataReturnImageData(data.get(), 0, 0, 1, 1, nullptr), 1);
  EXPECT_EQ(LWDataReturnImageData(data.get(), 1, 1, 1, 1, out.data()), 0);
  EXPECT_EQ(LWPinhole(data.get(), -256, -1, 10), 1);
}

TEST(CLWData, RunsCopiesMarksAndLookup) {
  // One run per stretch of equal pixels, stretches ending inside and across
  // the 32-pixel chunks of the encoder.
  Data source =
      setGray(parseGray({std::string(70, '.'), std::string(33, '#') + std::string(37, '.')}));
  const LWRunRow* rows = source->rows();
  ASSERT_EQ(rows[0].count, 1u);
  EXPECT_EQ(rows[0].runs[0].length, 70u);
  ASSERT_EQ(rows[1].count, 2u);
  EXPECT_EQ(rows[1].runs[0].length, 33u);
  EXPECT_EQ(rows[1].runs[0].value, 0xFFFFFF00u);
  EXPECT_EQ(rows[1].runs[1].value, 0xFFFFFFFFu);

  // A copy is deep; marks change only the runs of the given colour.
  Data copy = makeData();
  ASSERT_TRUE(copy->copyFrom(*source));
  copy->markAll(LWATTR_TARGET2);
  copy->mark(0xFFFFFF00u, LWATTR_TARGET);
  LWRun run{};
  ASSERT_TRUE(copy->runAt(32, 1, run));
  EXPECT_EQ(run.attribute, static_cast<std::uint32_t>(LWATTR_TARGET));
  EXPECT_EQ(run.length, 33u);
  ASSERT_TRUE(copy->runAt(33, 1, run));
  EXPECT_EQ(run.attribute, static_cast<std::uint32_t>(LWATTR_TARGET2));
  EXPECT_EQ(run.value, 0xFFFFFFFFu);
  ASSERT_TRUE(source->runAt(0, 1, run));
  EXPECT_EQ(run.attribute, 0u) << "the copy shares runs with its source";
  EXPECT_FALSE(copy->runAt(70, 0, run));
  EXPECT_FALSE(copy->runAt(-1, 0, run));
  EXPECT_FALSE(copy->runAt(0, 2, run));
  ASSERT_TRUE(copy->copyFrom(*makeData()));
  EXPECT_EQ(copy->width(), 0);
  EXPECT_EQ(copy->height(), 0u);
  EXPECT_FALSE(copy->runAt(0, 0, run));
}

}  // namespace
}  // namespace trellin::test
