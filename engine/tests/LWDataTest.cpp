// The container's C interface: Set / Return round trips, value encodings,
// refusals and the selective Return forms.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "TestImages.h"

namespace trellin::test {
namespace {

// A buffer of height rows of width pixels of bpp bytes with `pad` spare bytes
// a row, filled with runs of a few random colours. With bottomUp the rows
// are walked from the last one with a negative stride.
struct Buffer {
  int width, height, bpp, pad;
  bool bottomUp;
  std::vector<std::uint8_t> bytes;
  Buffer(int w, int h, int b, int p, bool up)
      : width(w),
        height(h),
        bpp(b),
        pad(p),
        bottomUp(up),
        bytes(static_cast<std::size_t>(w * b + p) * h, 0xAB) {}
  int rowBytes() const { return width * bpp + pad; }
  int stride() const { return bottomUp ? -rowBytes() : rowBytes(); }
  std::uint8_t* first() { return bytes.data() + (bottomUp ? rowBytes() * (height - 1) : 0); }
};

void fillRandomRuns(Buffer& buffer, std::mt19937& random) {
  std::vector<std::uint8_t> palette(3 * 4);
  for (auto& b : palette) b = static_cast<std::uint8_t>(random());
  for (int y = 0; y < buffer.height; ++y) {
    int colour = 0;
    for (int x = 0; x < buffer.width; ++x) {
      if (random() % 4 == 0) colour = static_cast<int>(random() % 3);
      std::memcpy(&buffer.bytes[y * buffer.rowBytes() + x * buffer.bpp], &palette[colour * 4],
                  buffer.bpp);
    }
  }
}

// A Set function and its Return counterpart, for bpp bytes a pixel.
struct Form {
  int bpp;
  LWBool (*set)(CLWData*, int, int, int, int, const std::uint8_t*);
  LWBool (*put)(CLWData*, int, int, int, int, std::uint8_t*);
  std::uint32_t firstValue;  // value of the pixel {0x00, 0xFF, 0x12, 0x34}
};

const Form kForms[] = {
    {1, LWDataSetImageData, LWDataReturnImageData, 0xFFFFFF00u},
    {2, LWDataSetImageData, LWDataReturnImageData, 0xFFFFFF00u},
    {3, LWDataSetImageData, LWDataReturnImageData, 0xFF12FF00u},
    {4, LWDataSetImageData, LWDataReturnImageData, 0x3412FF00u},
    {1,
     [](CLWData* d, int w, int h, int s, int, const std::uint8_t* p) {
       return LWDataSetGrayData(d, w, h, s, p);
     },
     [](CLWData* d, int w, int h, int s, int, std::uint8_t* p) {
       return LWDataReturnGrayData(d, w, h, s, p);
     },
     0x00000000u},
    {3,
     [](CLWData* d, int w, int h, int s, int, const std::uint8_t* p) {
       return LWDataSetRGBData(d, w, h, s, p);
     },
     [](CLWData* d, int w, int h, int s, int, std::uint8_t* p) {
       return LWDataReturnRGBData(d, w, h, s, p);
     },
     0x0012FF00u},
};

TEST(LWData, SetThenReturnGivesBackEveryPixelForEveryFormAndStride) {
  std::mt19937 random(7);
  for (const Form& form : kForms)
    for (bool bottomUp : {false, true})
      for (int width : {1, 7, 31, 32, 33, 70}) {
        Buffer in(width, 5, form.bpp, 3, bottomUp);
        fillRandomRuns(in, random);
        Data data = makeData();
        ASSERT_EQ(form.set(data.get(), width, 5, in.stride(), form.bpp, in.first()), 1);
        EXPECT_EQ(LWDataGetWidth(data.get()), width);
        EXPECT_EQ(LWDataGetHeight(data.get()), 5u);
        Buffer out(width, 5, form.bpp, 3, bottomUp);
        ASSERT_EQ(form.put(data.get(), width, 5, out.stride(), form.bpp, out.first()), 1);
        EXPECT_EQ(out.bytes, in.bytes) << "bpp " << form.bpp << " width " << width
                                       << (bottomUp ? " bottom-up" : "");  // padding untouched too
      }
}

TEST(LWData, EachSetFunctionEncodesPixelValuesItsOwnWay) {
  const std::uint8_t pixels[4] = {0x00, 0xFF, 0x12, 0x34};
  for (const Form& form : kForms) {
    Data data = makeData();
    ASSERT_EQ(form.set(data.get(), 1, 1, 4, form.bpp, pixels), 1);
    std::uint8_t out[4] = {9, 9, 9, 9};
    const auto colour = static_cast<std::int32_t>(form.firstValue);
    ASSERT_EQ(
        LWDataReturnImageData_TargetColor(data.get(), 1, 1, 4, form.bpp, colour ^ 1 << 30, out), 1);
    EXPECT_EQ(out[0], 9) << "bpp " << form.bpp << ": a different high byte matched";
    ASSERT_EQ(LWDataReturnImageData_TargetColor(data.get(), 1, 1, 4, form.bpp, colour, out), 1);
    EXPECT_EQ(std::memcmp(out, pixels, form.bpp), 0) << "bpp " << form.bpp;
  }
}

TEST(LWData, RefusedSetLeavesTheEarlierContentIntact) {
  Gray image = parseGray({"#..#", ".##.", "...."});
  Data data = makeData();
  ASSERT_EQ(LWDataSetImageData(data.get(), 4, 3, 4, 1, image.pixels.data()), 1);
  const std::uint8_t* p = image.pixels.data();
  EXPECT_EQ(LWDataSetImageData(data.get(), 0, 3, 4, 1, p), 0);
  EXPECT_EQ(LWDataSetImageData(data.get(), 4, 0, 4, 1, p), 0);
  EXPECT_EQ(LWDataSetImageData(data.get(), 4, 3, 0, 1, p), 0);
  EXPECT_EQ(LWDataSetImageData(data.get(), 4, 3, 4, 1, nullptr), 0);
  EXPECT_EQ(LWDataSetImageData(data.get(), 4, 3, 4, 0, p), 0);
  EXPECT_EQ(LWDataSetImageData(data.get(), 4, 3, 4, 5, p), 0);
  EXPECT_EQ(LWDataSetGrayData(data.get(), 4, 3, 4, nullptr), 0);
  EXPECT_EQ(LWDataSetRGBData(data.get(), 4, 0, 12, p), 0);
  // Too large to hold: refused before anything is freed or read.
  EXPECT_EQ(LWDataSetImageData(data.get(), -1, 3, 4, 1, p), 0);
  EXPECT_EQ(LWDataSetGrayData(data.get(), 4, INT32_MIN, 4, p), 0);

  EXPECT_EQ(LWDataGetWidth(data.get()), 4);
  Gray out(4, 3, 7);
  ASSERT_EQ(LWDataReturnImageData(data.get(), 4, 3, 4, 1, out.pixels.data()), 1);
  EXPECT_EQ(out.pixels, image.pixels);
}

TEST(LWData, ReturnRefusesAnyOtherGeometryAndWritesNothing) {
  Gray image = parseGray({"#.#", "..."});
  Data data = makeData();
  ASSERT_EQ(LWDataSetImageData(data.get(), 3, 2, 3, 1, image.pixels.data()), 1);
  std::vector<std::uint8_t> out(64, 7);
  const std::vector<std::uint8_t> untouched = out;
  EXPECT_EQ(LWDataReturnImageData(data.get(), 2, 2, 4, 1, out.data()), 0);
  EXPECT_EQ(LWDataReturnImageData(data.get(), 4, 2, 4, 1, out.data()), 0);
  EXPECT_EQ(LWDataReturnImageData(data.get(), 3, 1, 4, 1, out.data()), 0);
  EXPECT_EQ(LWDataReturnImageData(data.get(), 3, 3, 4, 1, out.data()), 0);
  EXPECT_EQ(LWDataReturnImageData(data.get(), 3, 2, 4, 5, out.data()), 0);
  EXPECT_EQ(LWDataReturnImageData(data.get(), 3, 2, 4, 0, out.data()), 0);
  EXPECT_EQ(LWDataReturnGrayData(data.get(), 3, 3, 4, out.data()), 0);
  EXPECT_EQ(LWDataReturnRGBData(data.get(), 2, 2, 9, out.data()), 0);
  EXPECT_EQ(LWDataReturnImageData_TargetColor(data.get(), 3, 1, 3, 1, -1, out.data()), 0);
  EXPECT_EQ(LWDataReturnImageData_TargetAtr(data.get(), 4, 2, 4, 1, 0, out.data()), 0);
  EXPECT_EQ(out, untouched);
}

TEST(LWData, TargetColorWritesOnlyPixelsOfThatColour) {
  Gray image = parseGray({"#..##.", "5#5..#"});
  Data data = makeData();
  ASSERT_EQ(LWDataSetImageData(data.get(), 6, 2, 6, 1, image.pixels.data()), 1);
  Gray out(6, 2, 77);  // marker
  ASSERT_EQ(
      LWDataReturnImageData_TargetColor(data.get(), 6, 2, 6, 1, imageValue(0), out.pixels.data()),
      1);
  for (std::size_t i = 0; i < out.pixels.size(); ++i)
    EXPECT_EQ(out.pixels[i], image.pixels[i] == 0 ? 0 : 77) << "pixel " << i;
  // Nothing in the image has the bare gray value 0 (without the high bits).
  Gray none(6, 2, 77);
  ASSERT_EQ(LWDataReturnImageData_TargetColor(data.get(), 6, 2, 6, 1, 0, none.pixels.data()), 1);
  EXPECT_EQ(none.pixels, Gray(6, 2, 77).pixels);
  // After a Set every run has attribute 0: all pixels are written.
  Gray all(6, 2, 77);
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

}  // namespace
}  // namespace trellin::test
