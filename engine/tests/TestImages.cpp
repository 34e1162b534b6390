#include "TestImages.h"

#include <gtest/gtest.h>

#include <sstream>

namespace trellin::test {

Gray parseGray(const std::vector<std::string>& rows) {
  Gray image(static_cast<int>(rows.at(0).size()), static_cast<int>(rows.size()));
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const char c = rows[y][x];
      image.at(x, y) = c == '#' ? 0 : c == '.' ? 255 : static_cast<std::uint8_t>((c - '0') * 25);
    }
  return image;
}

FloodResult floodFillModel(const Gray& image, std::uint8_t target, std::uint8_t fill,
                           long largestArea) {
  FloodResult out{image, std::vector<std::uint8_t>(image.pixels.size(), 0)};
  std::vector<std::uint8_t> seen(image.pixels.size(), 0);
  std::vector<int> area;
  const int w = image.width;
  for (std::size_t start = 0; start < image.pixels.size(); ++start) {
    if (seen[start] || image.pixels[start] != target) continue;
    area.assign(1, static_cast<int>(start));
    seen[start] = 1;
    for (std::size_t i = 0; i < area.size(); ++i) {
      const int p = area[i];
      const int x = p % w;
      const int y = p / w;
      const int neighbours[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
      for (const auto& n : neighbours) {
        if (n[0] < 0 || n[0] >= w || n[1] < 0 || n[1] >= image.height) continue;
        const int q = n[1] * w + n[0];
        if (!seen[q] && image.pixels[q] == target) {
          seen[q] = 1;
          area.push_back(q);
        }
      }
    }
    if (static_cast<long>(area.size()) > largestArea) continue;
    for (int p : area) {
      out.image.pixels[p] = fill;
      out.changed[p] = 1;
    }
  }
  return out;
}

FloodResult runPinhole(const Gray& image, const std::vector<PinholePass>& passes) {
  FloodResult out{image, std::vector<std::uint8_t>(image.pixels.size(), 0)};
  Data data = makeData();
  EXPECT_EQ(LWDataSetImageData(data.get(), image.width, image.height, image.width, 1,
                               image.pixels.data()),
            1);
  for (const PinholePass& pass : passes)
    EXPECT_EQ(
        LWPinhole(data.get(), imageValue(pass.target), imageValue(pass.fill), pass.largestArea), 1);
  EXPECT_EQ(LWDataReturnImageData(data.get(), image.width, image.height, image.width, 1,
                                  out.image.pixels.data()),
            1);
  // Over two different markers a written pixel reads the same both times,
  // an unwritten one does not.
  std::vector<std::uint8_t> first(image.pixels.size(), 1), second(image.pixels.size(), 2);
  for (std::vector<std::uint8_t>* atr : {&first, &second})
    EXPECT_EQ(LWDataReturnImageData_TargetAtr(data.get(), image.width, image.height, image.width, 1,
                                              LWATTR_CHANGED, atr->data()),
              1);
  for (std::size_t i = 0; i < first.size(); ++i) out.changed[i] = first[i] == second[i];
  return out;
}

Data setGray(const Gray& image) {
  Data data = makeData();
  EXPECT_EQ(LWDataSetImageData(data.get(), image.width, image.height, image.width, 1,
                               image.pixels.data()),
            1);
  return data;
}

Gray returnGray(CLWData* data) {
  Gray out(LWDataGetWidth(data), static_cast<int>(LWDataGetHeight(data)), 7);
  EXPECT_EQ(LWDataReturnImageData(data, out.width, out.height, out.width, 1, out.pixels.data()), 1);
  return out;
}

std::vector<std::uint8_t> attributeMask(CLWData* data, std::int32_t attribute) {
  const int w = LWDataGetWidth(data);
  const int h = static_cast<int>(LWDataGetHeight(data));
  // Over two different markers a written pixel reads the same both times.
  std::vector<std::uint8_t> first(static_cast<std::size_t>(w) * h, 1), second(first.size(), 2);
  for (std::vector<std::uint8_t>* atr : {&first, &second})
    EXPECT_EQ(LWDataReturnImageData_TargetAtr(data, w, h, w, 1, attribute, atr->data()), 1);
  std::vector<std::uint8_t> mask(first.size());
  for (std::size_t i = 0; i < mask.size(); ++i) mask[i] = first[i] == second[i];
  return mask;
}

std::string describeDifference(const Gray& actual, const Gray& expected) {
  if (actual.pixels == expected.pixels) return "";
  std::ostringstream text;
  text << actual.width << " x " << actual.height << ", actual / expected:\n";
  for (int y = 0; y < actual.height; ++y) {
    for (int x = 0; x < actual.width; ++x) text << static_cast<int>(actual.at(x, y) / 26);
    text << "   ";
    for (int x = 0; x < expected.width; ++x) text << static_cast<int>(expected.at(x, y) / 26);
    text << "\n";
  }
  return text.str();
}

}  // namespace trellin::test
