#include "tonvale/CAutoAdjustCore.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using tonvale::AdjustSettings;
using tonvale::CAutoAdjustCore;
using tonvale::TonvaleParameter;

std::vector<std::string> realPages() {
  std::vector<std::string> pages;
  const std::filesystem::path root(TONVALE_REAL_PAGES);
  if (!std::filesystem::is_directory(root)) return pages;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    const std::string ext = entry.path().extension().string();
    if (ext == ".png" || ext == ".jpg" || ext == ".tif") pages.push_back(entry.path().string());
  }
  return pages;
}

class DensityRealPage : public testing::TestWithParam<std::string> {};

// Every real scan goes through every preset (as plain luminance). Wherever an
// ink peak is found, ink at or below it becomes pure black, and paper at or
// above the paper level (the paper peak when no level was found) pure white.
TEST_P(DensityRealPage, EveryPresetMakesInkBlackAndPaperWhite) {
  cv::Mat page = cv::imread(GetParam(), cv::IMREAD_GRAYSCALE);
  ASSERT_FALSE(page.empty());
  // The one newspaper page of 69 million pixels is cut to its upper third,
  // which keeps the sanitizer build's run short and still holds every kind
  // of content of the page.
  if (page.total() > 24'000'000) page = page.rowRange(0, page.rows / 3);
  cv::Mat out(page.size(), CV_8UC1);
  for (int preset = 0; preset < TonvaleParameter::kPresetCount; ++preset) {
    SCOPED_TRACE(testing::Message() << "preset " << preset);
    CAutoAdjustCore core(AdjustSettings::fromRecord(TonvaleParameter::builtInPreset(preset)));
    ASSERT_TRUE(
        core.execute(page.data, page.cols, page.rows, static_cast<int>(page.step), out.data));
    if (core.inkPeak() > 84) continue;
    const int white = core.whiteLevel() >= 129 ? core.whiteLevel() : core.paperPeak();
    EXPECT_EQ(cv::countNonZero((page <= core.inkPeak()) & (out != 0)), 0);
    EXPECT_EQ(cv::countNonZero((page >= white) & (out != 255)), 0);
  }
}

std::string pageTestName(const testing::TestParamInfo<std::string>& info) {
  std::string name = std::filesystem::path(info.param).stem().string();
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name + "_" + std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(Scans, DensityRealPage, testing::ValuesIn(realPages()), pageTestName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(DensityRealPage);

}  // namespace
