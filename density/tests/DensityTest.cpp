// The density adjustment: refused runs, and the same core histograms, levels
// and bytes as the straightforward sequence of image steps, on generated
// pages with random settings and on real scans; its mode numbers, mode names
// and settings file.
#include "tonvale/CAutoAdjustCore.h"
#include "tonvale/TonvaleIniFileIo.h"
#include "tonvale/TonvalePlugin.h"

#include "CoreMaskHistograms.h"
#include "StraightforwardAdjust.h"

#include <common/IniFile.h>
#include <common/Notice.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;
using tonvale::AdjustSettings;
using tonvale::CAutoAdjustCore;
using tonvale::TonvaleParameter;
using tonvale::TonvalePlugin;
using Record = TonvaleParameter::Record;

// Records every notice shown while it lives, answering with the default button.
using Notices = std::vector<std::tuple<std::string, common::NoticeIcon, common::NoticeButtons>>;
struct NoticeRecorder {
  Notices notices;
  common::ScopedNoticeHandler scope{
      [this](const std::string& text, common::NoticeIcon icon, common::NoticeButtons buttons) {
        notices.emplace_back(text, icon, buttons);
        return common::defaultAnswer(buttons);
      }};
};
constexpr auto kStop = common::NoticeIcon::Stop;
constexpr auto kOk = common::NoticeButtons::Ok;
const std::string kReinstall = "アプリケーションを再インストールすると直る可能性があります。";

// Pages are the first width columns of a buffer; the rest of a row is padding.
bool run(CAutoAdjustCore& core, const cv::Mat& src, cv::Mat& dst, int width) {
  return core.execute(src.data, width, src.rows, static_cast<int>(src.step), dst.data);
}

bool same(const cv::Mat& a, const cv::Mat& b) { return cv::norm(a, b, cv::NORM_INF) == 0; }

using Levels = std::array<int, 6>;  // paper and ink peak, white and black level, Q, R
Levels levels(const CAutoAdjustCore& c) {
  return {c.paperPeak(),  c.inkPeak(),    c.whiteLevel(),
          c.blackLevel(), c.blackPoint(), c.whitePoint()};
}
Levels levels(const straightforward::Outcome& o) {
  return {o.paperPeak, o.inkPeak, o.whiteLevel, o.blackLevel, o.blackPoint, o.whitePoint};
}

// Scanned-looking line art: shaded noisy paper, soft-edged strokes and filled
// areas of ink, a dot screen and specks.
void drawScanLike(cv::Mat m, std::mt19937& rng) {
  const int width = m.cols, height = m.rows;
  const int paper = 185 + int(rng() % 66), ink = 5 + int(rng() % 76);
  m.setTo(paper);
  const auto at = [&] { return cv::Point(int(rng() % width), int(rng() % height)); };
  for (int i = 0; i < 5 + width * height / 4000; ++i)
    cv::line(m, at(), at(), ink, 1 + int(rng() % 6), cv::LINE_AA);
  for (int i = 0; i < 3; ++i)
    cv::ellipse(m, at(), {width / 8 + 1, height / 10 + 1}, 30.0 * i, 0, 360, ink, -1);
  for (int y = 0; y < height / 4; y += 4)
    for (int x = 0; x < width / 4; x += 4) m.at<uint8_t>(y, x) = uint8_t(ink + 30);
  cv::GaussianBlur(m, m, cv::Size(3, 3), 0.8);
  cv::Mat grain(height, width, CV_8SC1);
  cv::randn(grain, 0, 4);
  cv::add(m, grain, m, cv::noArray(), CV_8U);
  for (int i = 0; i < width * height / 2000; ++i) m.at<uint8_t>(at()) = uint8_t(ink);
}

Record randomRecord(std::mt19937& rng) {
  const int apertures[] = {1, 3, 3, 5, 7, 11, 21};
  const double dustRates[] = {0, 0.01, 0.5, 3, 20}, gammas[] = {0.1, 0.5, 1, 2.2, 5};
  // Aperture, name, shadow, highlight, dust rate, gamma, compensation, margin.
  return {apertures[rng() % 7], "",
          int(rng() % 101),     int(rng() % 101),
          dustRates[rng() % 5], gammas[rng() % 5],
          int(rng() % 40),      int(rng() % 30)};
}

TEST(DensityAdjust, PeakCountsAreComparedAsSinglePrecisionReals) {
  // 2^24 + 1 only ties with 2^24, and the bin met first keeps the peak. Pages
  // that large are too slow for a test.
  CAutoAdjustCore::Histogram hist{};
  hist[250] = 2;
  hist[240] = 16777216;
  hist[239] = 16777217;
  EXPECT_EQ(CAutoAdjustCore::CalcBlackColor(hist, CAutoAdjustCore::PeakRange::Paper), 240);
}

TEST(DensityAdjust, RefusedRunsShowTheMessageAndLeaveDstUntouched) {
  cv::Mat src(200, 240, CV_8UC1, cv::Scalar(230)), dst;
  src(cv::Rect(90, 70, 60, 60)).setTo(40);
  struct Run {
    Record r;
    const uint8_t* src;
    int width = 240, height = 200, stride = 240;
    uint8_t* dst;
  };
  const std::tuple<const char*, void (*)(Run&), bool> cases[] = {
      {"even aperture", [](Run& x) { x.r.TONE_SIZE = 4; }, false},
      {"zero aperture", [](Run& x) { x.r.TONE_SIZE = 0; }, false},
      {"shadow -1", [](Run& x) { x.r.SHADOW_LEVEL_COMPENSATION = -1; }, false},
      {"highlight 101", [](Run& x) { x.r.HIGHLIGHT_LEVEL_COMPENSATION = 101; }, false},
      {"mask -1", [](Run& x) { x.r.MASK_CREATE_TH_CONPENSATION = -1; }, false},
      {"dust -0.5", [](Run& x) { x.r.ALLOW_DUST_RATE = -0.5; }, false},
      {"margin 50", [](Run& x) { x.r.MARGIN_RATE = 50; }, false},
      {"gamma inf", [](Run& x) { x.r.GAMMA = std::numeric_limits<double>::infinity(); }, false},
      {"zero width", [](Run& x) { x.width = 0; }, false},
      {"negative height", [](Run& x) { x.height = -1; }, false},
      {"stride < width", [](Run& x) { x.stride = 239; }, false},
      {"no source", [](Run& x) { x.src = nullptr; }, false},
      {"no destination", [](Run& x) { x.dst = nullptr; }, false},
      {"shadow 0", [](Run& x) { x.r.SHADOW_LEVEL_COMPENSATION = 0; }, true},
      {"highlight 100", [](Run& x) { x.r.HIGHLIGHT_LEVEL_COMPENSATION = 100; }, true},
      {"margin 49", [](Run& x) { x.r.MARGIN_RATE = 49; }, true},
  };
  for (const auto& [what, change, accepted] : cases) {
    SCOPED_TRACE(what);
    dst = cv::Mat(src.size(), CV_8UC1, cv::Scalar(0x5A));
    Run run{Record{}, src.data, 240, 200, 240, dst.data};
    change(run);
    TonvalePlugin plugin;
    plugin.parameters().setRecord(run.r);
    NoticeRecorder recorder;
    EXPECT_EQ(plugin.executeTonvale(run.src, run.width, run.height, run.stride, run.dst), accepted);
    if (accepted) continue;
    EXPECT_EQ(recorder.notices,
              (Notices{{"TODO:エラー処理", common::NoticeIcon::None, common::NoticeButtons::Ok}}));
    EXPECT_EQ(cv::countNonZero(dst != 0x5A), 0);
  }
}

TEST(DensityAdjust, MatchesTheStraightforwardSequence) {
  // Random settings on scan-like pages, random bytes and pages of one gray
  // (each end of the peak ranges, the middle): the banded core-mask pass
  // against thresholded, eroded and dilated images, and the levels and every
  // byte (padding too) against the sequence of one OpenCV call a step.
  // Shapes: narrow, short, one band, several bands, padded rows.
  const int shapes[][3] = {{1, 1, 0},     {5, 3, 2},     {3, 200, 0},  {64, 150, 5},
                           {333, 517, 0}, {700, 133, 9}, {257, 64, 0}, {900, 1300, 3}};
  const int grays[] = {0, 84, 85, 128, 129, 170, 171, 230, 255};
  std::mt19937 rng(20240611);
  int compared = 0, uniform = 0;
  for (int round = 0; round < 5; ++round) {
    for (const auto& [w, h, pad] : shapes) {
      cv::Mat src(h, w + pad, CV_8UC1, cv::Scalar(0xCD));
      cv::Mat page(h, w, CV_8UC1, src.data, src.step);  // no region: borders end at the page
      if (round < 2) drawScanLike(page, rng);
      if (round == 2) cv::randu(page, 0, 256);
      Record r = randomRecord(rng);
      if (round > 2) {  // a compensation that puts every gray above 128 in the paper core
        page.setTo(grays[uniform++ % 9]);
        r.MASK_CREATE_TH_CONPENSATION = 130;
      }
      SCOPED_TRACE(testing::Message() << w << "x" << h << " aperture " << r.TONE_SIZE << " margin "
                                      << r.MARGIN_RATE << " round " << round);

      const int t = 150 + int(rng() % 100), o = int(rng() % 120);
      tonvale::CoreMaskHistograms cores;
      cores.compute(src.data, w, h, src.step, r.TONE_SIZE, t, o);
      cv::Mat smooth, paperCore, inkCore;
      cv::GaussianBlur(page, smooth, cv::Size(r.TONE_SIZE, r.TONE_SIZE), 0, 0,
                       cv::BORDER_REPLICATE);
      straightforward::cores(smooth, t, o, 0, paperCore, inkCore);
      auto paper = straightforward::grays(page & paperCore);
      auto ink = straightforward::grays(~page & inkCore);
      const int64_t paperCount = cv::countNonZero(paperCore), inkCount = cv::countNonZero(inkCore);
      // Bin 0 also holds the pixels outside the mask; ours counts mask pixels only.
      paper[0] -= int64_t(page.total()) - paperCount;
      ink[0] -= int64_t(page.total()) - inkCount;
      EXPECT_EQ(std::tie(cores.paperCount, cores.inkCount, cores.paper, cores.ink),
                std::tie(paperCount, inkCount, paper, ink));

      cv::Mat ours(src.size(), CV_8UC1, cv::Scalar(0x11)), expected = ours.clone();
      CAutoAdjustCore core(AdjustSettings::fromRecord(r));
      const bool ok = run(core, src, ours, w);
      const auto plain = straightforward::adjust(src.data, w, h, int(src.step), expected.data, r);
      ASSERT_EQ(ok, plain.ok);
      if (!ok) continue;
      ++compared;
      EXPECT_EQ(levels(core), levels(plain));
      EXPECT_TRUE(same(ours, expected));
      // In place: the same pixels, the page's own padding kept.
      cv::Mat inPlace = src.clone(), want = src.clone();
      ours.colRange(0, w).copyTo(want.colRange(0, w));
      ASSERT_TRUE(run(core, inPlace, inPlace, w));
      EXPECT_TRUE(same(inPlace, want));
    }
  }
  EXPECT_GE(compared, 25);
}

std::vector<std::string> realPages() {
  std::vector<std::string> pages;
  std::error_code missing;  // no folder, no pages
  for (const auto& entry : fs::recursive_directory_iterator(TONVALE_REAL_PAGES, missing)) {
    const std::string ext = entry.path().extension().string();
    if (ext == ".png" || ext == ".jpg" || ext == ".tif") pages.push_back(entry.path().string());
  }
  return pages;
}

class DensityRealPage : public testing::TestWithParam<std::string> {};

// Every real scan (as plain luminance) through every preset: wherever an ink
// peak is found, ink at or below it becomes black, and paper at or above the
// white level (the paper peak when no level was found) white. One preset a
// page, picked by its file name, also gives the levels and bytes of the
// straightforward sequence (the presets share their masks and levels).
TEST_P(DensityRealPage, EveryPresetMakesInkBlackAndPaperWhite) {
  cv::Mat page = cv::imread(GetParam(), cv::IMREAD_GRAYSCALE);
  ASSERT_FALSE(page.empty());
  // The newspaper page of 69 million pixels is cut to its upper third (every
  // kind of its content) to keep the sanitizer build's run short.
  if (page.total() > 24'000'000) page = page.rowRange(0, page.rows / 3);
  const size_t compared = std::hash<std::string>()(fs::path(GetParam()).filename());
  cv::Mat out(page.size(), CV_8UC1), expected(page.size(), CV_8UC1);
  for (int preset = 0; preset < TonvaleParameter::kPresetCount; ++preset) {
    SCOPED_TRACE(testing::Message() << "preset " << preset);
    const Record r = TonvaleParameter::builtInPreset(preset);
    CAutoAdjustCore core(AdjustSettings::fromRecord(r));
    ASSERT_TRUE(run(core, page, out, page.cols));
    if (compared % TonvaleParameter::kPresetCount == size_t(preset)) {
      const auto plain = straightforward::adjust(page.data, page.cols, page.rows,
                                                 static_cast<int>(page.step), expected.data, r);
      EXPECT_EQ(levels(core), levels(plain));
      EXPECT_TRUE(same(out, expected));
    }
    if (core.inkPeak() > 84) continue;
    const int white = core.whiteLevel() >= 129 ? core.whiteLevel() : core.paperPeak();
    EXPECT_EQ(cv::countNonZero((page <= core.inkPeak()) & (out != 0)), 0);
    EXPECT_EQ(cv::countNonZero((page >= white) & (out != 255)), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Scans, DensityRealPage, testing::ValuesIn(realPages()));
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(DensityRealPage);

TEST(DensityParameter, ModeNameRulesAndButtonDecoration) {
  const char* tooLong = "モード名が長すぎます。（9文字以内）";
  const std::pair<const char*, const char*> names[] = {
      {"普通にクッキリです", nullptr},  // 9 double-byte characters
      {"普通にクッキリです２", tooLong},    {"abcdefghi", nullptr},
      {"", "モード名を入力してください。"}, {"線*", "モード名に*が含まれています。"},
  };
  for (const auto& [name, message] : names) {
    SCOPED_TRACE(name);
    NoticeRecorder recorder;
    EXPECT_EQ(TonvaleParameter::isSafeModeName(name), message == nullptr);
    EXPECT_EQ(recorder.notices, (message ? Notices{{message, kStop, kOk}} : Notices{}));
  }
  const std::pair<const char*, const char*> buttons[] = {
      {"[普通にクッキリ]ボタン", "普通にクッキリ"},
      {"[]ボタン", ""},
      {"[ab", "[ab"},
      {"abc]ボタン", "abc]ボタン"},
      {"[abc]", "[abc]"},
  };
  for (const auto& [name, stripped] : buttons)
    EXPECT_EQ(TonvaleParameter::modeNameHyphenation(name), stripped) << name;
}

// Records by mode number: buttons 0-1, presets 2-7, user modes 8-15.
std::vector<Record> allRecords(const TonvaleParameter& p) {
  std::vector<Record> records;
  for (int mode = 0; mode < TonvaleParameter::kModeCount; ++mode)
    records.push_back(p.getAutoAdjustParameter(mode));
  return records;
}

// Each test starts from a copy of the shipped settings file, which holds the
// built-in values: every key of a section a value of its own, every section a
// name of its own.
class DensitySettingsFile : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(folder_);
    fs::copy_file(TONVALE_SHIPPED_INI, path_, fs::copy_options::overwrite_existing);
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::string read() const {
    std::ifstream in(path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  const fs::path folder_ = fs::temp_directory_path() / ("tonvale-" + std::to_string(::getpid()));
  const std::string path_ = (folder_ / "TonvalePlugin.ini").string();
  const common::IniFile file_{path_};
  NoticeRecorder recorder_;
};

TEST_F(DensitySettingsFile, OneRejectedKeyOrNoFileAppliesNothing) {
  const std::pair<std::string, const char*> cases[] = {
      // Keys of user mode 1 (the origin of button 1), or no file at all.
      {"HIGHLIGHT_LEVEL_COMPENSATION", ""},
      {"MODE_NAME", ""},
      {"GAMMA", "-1"},
      {"ALLOW_DUST_RATE", ""},
      {"MARGIN_RATE", "1e300"},
      {"TONE_SIZE", "-999"},
      {"ORIGINAL_RECODE", ""},
      {"no file", nullptr}};
  for (const auto& [key, value] : cases) {
    SCOPED_TRACE(key);
    const char* section = key == "ORIGINAL_RECODE" ? "TonvaleUserButtonMode_1" : "TonvaleMode_9";
    SetUp();
    file_.writeString("TonvaleMode_0", "MODE_NAME", "read before the rejected key");
    if (value) file_.writeString(section, key, value);
    if (!value) fs::remove(path_);
    TonvalePlugin plugin;
    recorder_.notices.clear();
    EXPECT_FALSE(plugin.SetIniFilePath(folder_.string()));
    const std::string code = value ? "(1052)" : "(1050)";
    EXPECT_EQ(
        recorder_.notices,
        (Notices{{"ユーザー設定の読み込みに失敗しました。\n" + kReinstall + code, kStop, kOk}}));
    EXPECT_EQ(allRecords(plugin.parameters()), allRecords(TonvaleParameter()));
  }
}

TEST_F(DensitySettingsFile, ShippedFileLoadsByTheKeyRulesAndSavesUserModesAndButtonsOnly) {
  TonvalePlugin plugin;
  ASSERT_TRUE(plugin.SetIniFilePath(folder_.string()));
  EXPECT_EQ(allRecords(plugin.parameters()), allRecords(TonvaleParameter()));
  EXPECT_EQ(plugin.parameters().getUserButtonParameterOriginalNumber(1), 9);
  EXPECT_EQ(tonvale::TonvaleIniFileIo::GetIniLastSelectedModeNumber(path_), 0);
  plugin.SetMode(7);
  plugin.SetMode(16);  // out of range: nothing changes
  EXPECT_EQ(plugin.parameters().getSelectedMode(), 7);
  EXPECT_EQ(plugin.parameters().getRecord(), TonvaleParameter::builtInPreset(5));
  // A real margin is truncated, a gamma that truncates to 0 is accepted, and
  // a rate that is no number reads 0.
  file_.writeString("TonvaleMode_7", "MARGIN_RATE", "7.9");
  file_.writeString("TonvaleMode_8", "GAMMA", "-0.5");
  file_.writeString("TonvaleMode_9", "ALLOW_DUST_RATE", "abc");
  ASSERT_TRUE(plugin.SetIniFilePath(folder_.string()));
  EXPECT_EQ(plugin.parameters().getUserParameter(1).MARGIN_RATE, 7);
  EXPECT_EQ(plugin.parameters().getUserParameter(2).GAMMA, -0.5);
  EXPECT_EQ(plugin.parameters().getUserParameter(3).ALLOW_DUST_RATE, 0);

  // Saving writes the user modes and buttons back, all digits kept.
  TonvaleParameter& p = plugin.parameters();
  const Record changed{7, "線を太く", 0, 100, 0.0625, 2.2345, 99, 12};  // all digits needed
  p.setUserParameter(changed, 2);
  p.setUserButtonParameter(changed, 0);
  p.setUserButtonParameterOriginalNumber(10, 0);
  const std::vector<Record> expected = allRecords(p);
  Record presets[6];  // presets changed in memory never reach the file
  p.setPresetParameter(presets);
  const std::string original = read();
  ASSERT_TRUE(plugin.saveLastParameterFromIniFile());
  const size_t userStart = original.find("[TonvaleMode_6]");
  EXPECT_EQ(read().substr(0, userStart), original.substr(0, userStart));
  EXPECT_EQ(file_.readString("TonvaleMode_8", "GAMMA", ""), "2.2345");
  TonvalePlugin reloaded;
  ASSERT_TRUE(reloaded.SetIniFilePath(folder_.string()));
  EXPECT_EQ(allRecords(reloaded.parameters()), expected);
  EXPECT_EQ(reloaded.parameters().getUserButtonParameterOriginalNumber(0), 10);
  EXPECT_EQ(reloaded.parameters().getUserButtonParameterOriginalNumber(1), 9);
  reloaded.SetMode(10);  // user mode 2
  EXPECT_EQ(reloaded.parameters().getRecord(), changed);

  // A settings folder that is a plain file: the save fails and says so.
  TonvalePlugin unreachable;
  EXPECT_FALSE(unreachable.SetIniFilePath(path_));
  EXPECT_FALSE(unreachable.saveLastParameterFromIniFile());
  ASSERT_EQ(recorder_.notices.size(), 2u);
  EXPECT_EQ(
      recorder_.notices[1],
      std::tuple("ユーザー設定の書き込みに失敗しました。\n" + kReinstall + "(1050)", kStop, kOk));
}

}  // namespace
