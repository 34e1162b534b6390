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
  std::mt19937 random(7);
  std::uint8_t palette[12];
  for (auto& b : palette) b = static_cast<std::uint8_t>(random());
  for (const Form& form : kForms)
    for (bool bottomUp : {false, true})
      for (int width : {1, 7, 31, 32, 33, 70}) {
        // Five rows with 3 spare bytes each, of runs of three colours;
        // bottom-up rows are walked from the last one with a negative stride.
        const int row = width * form.bpp + 3, first = bottomUp ? 4 * row : 0;
        std::vector<std::uint8_t> in(5 * row, 0xAB), out = in;
        for (int i = 0, colour = 0; i < 5 * width; ++i) {
          if (random() % 4 == 0) colour = static_cast<int>(random() % 3);
          std::memcpy(&in[i / width * row + i % width * form.bpp], &palette[colour * 4], form.bpp);
        }
        Data data = makeData();
        ASSERT_EQ(form.set(data.get(), width, 5, bottomUp ? -row : row, in.data() + first), 1);
        EXPECT_EQ(LWDataGetWidth(data.get()), width);
        EXPECT_EQ(LWDataGetHeight(data.get()), 5u);
        ASSERT_EQ(form.put(data.get(), width, 5, bottomUp ? -row : row, out.data() + first), 1);
        EXPECT_EQ(out, in) << "bpp " << form.bpp << " width " << width
                           << (bottomUp ? " bottom-up" : "");  // padding untouched too
      }
}

TEST(LWData, EachSetFunctionEncodesPixelValuesItsOwnWay) {
  const std::uint8_t pixels[4] = {0x00, 0xFF, 0x12, 0x34};
  for (const Form& form : kForms) {
    Data data = makeData();
    ASSERT_EQ(form.set(data.get(), 1, 1, 4, pixels), 1);
    std::uint8_t out[4] = {9, 9, 9, 9};
    const auto colour = static_cast<std::int32_t>(form.firstValue);
    ASSERT_EQ(
        LWDataReturnImageData_TargetColor(data.get(), 1, 1, 4, form.bpp, colour ^ 1 << 30, out), 1);
    EXPECT_EQ(out[0], 9) << "bpp " << form.bpp << ": a different high byte matched";
    ASSERT_EQ(LWDataReturnImageData_TargetColor(data.get(), 1, 1, 4, form.bpp, colour, out), 1);
    EXPECT_EQ(std::memcmp(out, pixels, form.bpp), 0) << "bpp " << form.bpp;
  }
}

TEST(LWData, RefusedCallsChangeNothing) {
  const Gray image = parseGray({"#..#", ".##.", "...."});
  Data data = setGray(image);
  const std::uint8_t* p = image.pixels.data();
  EXPECT_EQ(LWDataSetImageData(data.get(), 0, 3, 4, 1, p), 0);
  EXPECT_EQ(LWDataSetImageData(data.get(), 4, 0, 4, 1, p), 0);
  EXPECT_EQ(LWDataSetImageData(data.get(), 4, 3, 0, 1, p), 0);
  EXPECT_EQ(LWDataSetImageData(data.get(), 4, 3, 4, 1, nullptr), 0);
  EXPECT_EQ(LWDataSetImageData(data.get(), 4, 3, 4, 0, p), 0);
  EXPECT_EQ(LWDataSetImageData(data.get(), 4, 3, 4, 5, p), 0);
  // Too large to hold: refused before anything is freed or read.
  EXPECT_EQ(LWDataSetImageData(data.get(), -1, 3, 4, 1, p), 0);
  EXPECT_EQ(LWDataSetGrayData(data.get(), 4, INT32_MIN, 4, p), 0);
  EXPECT_EQ(describeDifference(returnGray(data.get()), image), "");

  // Return refuses any other geometry and writes nothing.
  std::vector<std::uint8_t> out(64, 7);
  EXPECT_EQ(LWDataReturnImageData(data.get(), 3, 3, 4, 1, out.data()), 0);
  EXPECT_EQ(LWDataReturnImageData(data.get(), 5, 3, 5, 1, out.data()), 0);
  EXPECT_EQ(LWDataReturnImageData(data.get(), 4, 2, 4, 1, out.data()), 0);
  EXPECT_EQ(LWDataReturnImageData(data.get(), 4, 4, 4, 1, out.data()), 0);
  EXPECT_EQ(LWDataReturnImageData(data.get(), 4, 3, 4, 5, out.data()), 0);
  EXPECT_EQ(LWDataReturnImageData(data.get(), 4, 3, 4, 0, out.data()), 0);
  EXPECT_EQ(LWDataReturnImageData_TargetColor(data.get(), 4, 2, 4, 1, -1, out.data()), 0);
  EXPECT_EQ(LWDataReturnImageData_TargetAtr(data.get(), 5, 3, 5, 1, 0, out.data()), 0);
  EXPECT_EQ(out, std::vector<std::uint8_t>(64, 7));
}

TEST(LWData, TargetColorAndTargetAtrWriteOnlyTheChosenPixels) {
  const Gray image = parseGray({"#..##.", "5#5..#"});
  Data data = setGray(image);
  Gray out(6, 2, 77), none(6, 2, 77), all(6, 2, 77);
  ASSERT_EQ(LWDataReturnImageData_TargetColor(data.get(), 6, 2, 6, 1, kBlack, out.pixels.data()),
            1);
  for (std::size_t i = 0; i < out.pixels.size(); ++i)
    EXPECT_EQ(out.pixels[i], image.pixels[i] == 0 ? 0 : 77) << "pixel " << i;
  // Nothing has the bare gray value 0 (without the high bits).
  ASSERT_EQ(LWDataReturnImageData_TargetColor(data.get(), 6, 2, 6, 1, 0, none.pixels.data()), 1);
  EXPECT_EQ(none.pixels, Gray(6, 2, 77).pixels);
  // After a Set every run has attribute 0.
  ASSERT_EQ(LWDataReturnImageData_TargetAtr(data.get(), 6, 2, 6, 1, LWATTR_NONE, all.pixels.data()),
            1);
  EXPECT_EQ(all.pixels, image.pixels);
}

TEST(LWData, NullAndEmptyContainersAreHarmless) {
  std::uint8_t pixel = 0;
  DeleteLWData(nullptr);
  EXPECT_EQ(LWDataGetWidth(nullptr), 0);
  EXPECT_EQ(LWDataGetHeight(nullptr), 0u);
  EXPECT_EQ(LWDataSetGrayData(nullptr, 1, 1, 1, &pixel), 0);
  EXPECT_EQ(LWDataReturnImageData(nullptr, 1, 1, 1, 1, &pixel), 0);
  EXPECT_EQ(LWPinhole(nullptr, -256, -1, 10), 0);
  Data data = makeData();
  EXPECT_EQ(LWDataGetWidth(data.get()), 0);
  EXPECT_EQ(LWDataReturnImageData(data.get(), 0, 0, 1, 1, nullptr), 1);
  EXPECT_EQ(LWDataReturnImageData(data.get(), 1, 1, 1, 1, &pixel), 0);
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
