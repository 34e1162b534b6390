#include "TestImages.h"

#include <gtest/gtest.h>

#include <algorithm>
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

Gray randomGray(std::mt19937& random, int width, int height, double ink,
                const std::vector<std::uint8_t>& others) {
  Gray image(width, height);
  for (std::uint8_t& p : image.pixels)
    p = std::bernoulli_distribution(ink)(random) ? 0 : others[random() % others.size()];
  return image;
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

std::vector<std::uint32_t> labelAreas(const Gray& image, std::uint8_t value, bool eight) {
  std::vector<std::uint32_t> labels(image.pixels.size(), 0);
  std::uint32_t next = 0;
  std::vector<int> todo;
  for (int start = 0; start < static_cast<int>(labels.size()); ++start) {
    if (labels[start] || image.pixels[start] != value) continue;
    labels[start] = ++next;
    todo.assign(1, start);
    while (!todo.empty()) {
      const int px = todo.back() % image.width, py = todo.back() / image.width;
      todo.pop_back();
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const int x = px + dx, y = py + dy;
          if ((dx && dy && !eight) || x < 0 || y < 0 || x >= image.width || y >= image.height)
            continue;
          const int q = y * image.width + x;
          if (!labels[q] && image.pixels[q] == value) labels[q] = next, todo.push_back(q);
        }
    }
  }
  return labels;
}

std::string describeDifference(const Gray& actual, const Gray& expected) {
  if (actual.width == expected.width && actual.pixels == expected.pixels) return "";
  std::ostringstream text;
  text << actual.width << " x " << actual.height << ", actual / expected:\n";
  for (int y = 0; y < std::max(actual.height, expected.height); ++y) {
    for (int x = 0; x < actual.width && y < actual.height; ++x)
      text << static_cast<int>(actual.at(x, y) / 26);
    text << "   ";
    for (int x = 0; x < expected.width && y < expected.height; ++x)
      text << static_cast<int>(expected.at(x, y) / 26);
    text << "\n";
  }
  return text.str();
}

}  // namespace trellin::test
