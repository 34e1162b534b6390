#include "tonvale/CAutoAdjustCore.h"
#include "tonvale/TonvalePlugin.h"

#include "NoticeRecorder.h"
#include "StraightforwardAdjust.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <vector>

namespace {

using tonvale::AdjustSettings;
using tonvale::CAutoAdjustCore;
using tonvale::TonvaleParameter;
using Record = TonvaleParameter::Record;

// A page buffer with rows of stride bytes.
struct Page {
  int width = 0;
  int height = 0;
  int stride = 0;
  std::vector<uint8_t> bytes;

  Page(int w, int h, int padding = 0, uint8_t fill = 0)
      : width(w),
        height(h),
        stride(w + padding),
        bytes(static_cast<size_t>(h) * (w + padding), fill) {}
  uint8_t& at(int x, int y) { return bytes[static_cast<size_t>(y) * stride + x]; }
  cv::Mat mat() {
    return cv::Mat(height, width, CV_8UC1, bytes.data(), static_cast<size_t>(stride));
  }
};

straightforward::Settings plainSettings(const Record& r) {
  return {r.TONE_SIZE,
          r.MASK_CREATE_TH_CONPENSATION,
          r.MARGIN_RATE,
          r.ALLOW_DUST_RATE,
          r.SHADOW_LEVEL_COMPENSATION,
          r.HIGHLIGHT_LEVEL_COMPENSATION,
          r.GAMMA};
}

// Writes a page as a binary PGM so a mismatch can be looked at.
std::string savePgm(Page& page, const std::string& name) {
  const auto path = std::filesystem::temp_directory_path() / name;
  std::ofstream out(path, std::ios::binary);
  out << "P5\n" << page.width << ' ' << page.height << "\n255\n";
  for (int y = 0; y < page.height; ++y)
    out.write(reinterpret_cast<const char*>(&page.at(0, y)), page.width);
  return path.string();
}

// Paper of 230 with ink of 40 (a filled block and a stroke) and three small
// patches of 60, 128 and 180 whose mapping is checked.
Page paperAndInkPage() {
  Page page(240, 200, 0, 230);
  cv::Mat m = page.mat();
  m(cv::Rect(90, 70, 60, 60)).setTo(40);
  m(cv::Rect(20, 30, 200, 5)).setTo(40);
  m(cv::Rect(200, 45, 3, 3)).setTo(60);
  m(cv::Rect(40, 150, 3, 3)).setTo(128);
  m(cv::Rect(190, 150, 3, 3)).setTo(180);
  return page;
}

// Scanned-looking line art: shaded paper with noise, strokes and filled
// areas of ink with soft edges, screentone dots, specks and pinholes.
Page realisticPage(int width, int height, int padding, std::mt19937& rng) {
  Page page(width, height, padding, 0);
  std::uniform_int_distribution<int> paperLevel(185, 250), inkLevel(5, 80);
  const int paper = paperLevel(rng);
  const int ink = inkLevel(rng);
  cv::Mat m = page.mat();
  m.setTo(paper);
  std::uniform_int_distribution<int> px(0, std::max(0, width - 1)), py(0, std::max(0, height - 1));
  std::uniform_int_distribution<int> thick(1, 6);
  const int strokes = 5 + width * height / 4000;
  for (int i = 0; i < strokes; ++i)
    cv::line(m, {px(rng), py(rng)}, {px(rng), py(rng)}, ink, thick(rng), cv::LINE_AA);
  for (int i = 0; i < 3; ++i)
    cv::ellipse(m, {px(rng), py(rng)}, {width / 8 + 1, height / 10 + 1}, 30.0 * i, 0, 360, ink, -1);
  for (int y = 0; y < height / 4; y += 4)
    for (int x = 0; x < width / 4; x += 4) page.at(x, y) = static_cast<uint8_t>(ink + 30);
  cv::GaussianBlur(m, m, cv::Size(3, 3), 0.8);
  std::normal_distribution<double> noise(0, 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double shade = 6.0 * x / std::max(1, width);
      const double v = page.at(x, y) - shade + noise(rng);
      page.at(x, y) = cv::saturate_cast<uint8_t>(v);
    }
  }
  for (int i = 0; i < width * height / 2000; ++i)
    page.at(px(rng), py(rng)) = static_cast<uint8_t>(ink);
  return page;
}

AdjustSettings presetSettings(int preset) {
  return AdjustSettings::fromRecord(TonvaleParameter::builtInPreset(preset));
}

TEST(DensityAdjust, PagesOfOneGray) {
  struct Case {
    int gray, paperPeak, inkPeak, blackPoint, whitePoint, output;
  };
  // Only grays in the upper third are paper, only grays in the lower third ink;
  // without paper the white point falls to 129, without ink the black point
  // stays at 128.
  const Case cases[] = {{255, 255, 255, 128, 240, 255},
                        {200, 200, 255, 128, 185, 255},
                        {150, 255, 255, 128, 129, 255},
                        {100, 255, 255, 128, 129, 0},
                        {30, 255, 30, 30, 129, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.gray);
    Page src(64, 48, 0, static_cast<uint8_t>(c.gray));
    Page dst(64, 48, 0, 77);
    CAutoAdjustCore core(presetSettings(0));
    ASSERT_TRUE(core.execute(src.bytes.data(), 64, 48, 64, dst.bytes.data()));
    EXPECT_EQ(core.paperPeak(), c.paperPeak);
    EXPECT_EQ(core.inkPeak(), c.inkPeak);
    EXPECT_EQ(core.blackPoint(), c.blackPoint);
    EXPECT_EQ(core.whitePoint(), c.whitePoint);
    EXPECT_EQ(cv::countNonZero(dst.mat() != c.output), 0);
  }
}

TEST(DensityAdjust, PaperAndInkPageGivesTheHandComputedCurve) {
  // Paper peak 230 and ink peak 40; the paper core is all 230 and the ink
  // core all 40, so the levels are the peaks. Q = 40 + (shadow - 50),
  // R = 230 - (highlight - 50), v = trunc(255 * ((i - Q) / (R - Q))^GAMMA).
  struct Case {
    int preset, blackPoint, whitePoint;
    int out60, out128, out180;
  };
  const Case cases[] = {
      {0, 40, 215, 29, 128, 204},   // 255*20/175, 255*88/175, 255*140/175
      {1, 40, 180, 36, 160, 255},   // 255*20/140, 255*88/140
      {2, 90, 215, 0, 77, 183},     // 255*38/125, 255*90/125
      {3, 40, 215, 0, 8, 83},       // 255*(88/175)^5, 255*0.8^5
      {4, 40, 215, 205, 238, 249},  // 255*(20/175)^0.1, (88/175)^0.1, 0.8^0.1
      {5, 90, 180, 0, 233, 255},    // 255*(38/90)^0.1
  };
  Page src = paperAndInkPage();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.preset);
    Page dst(src.width, src.height);
    CAutoAdjustCore core(presetSettings(c.preset));
    ASSERT_TRUE(
        core.execute(src.bytes.data(), src.width, src.height, src.stride, dst.bytes.data()));
    EXPECT_EQ(core.paperPeak(), 230);
    EXPECT_EQ(core.inkPeak(), 40);
    EXPECT_EQ(core.whiteLevel(), 230);
    EXPECT_EQ(core.blackLevel(), 40);
    EXPECT_EQ(core.blackPoint(), c.blackPoint);
    EXPECT_EQ(core.whitePoint(), c.whitePoint);
    EXPECT_EQ(dst.at(0, 0), 255);   // paper
    EXPECT_EQ(dst.at(100, 80), 0);  // ink
    EXPECT_EQ(dst.at(201, 46), c.out60);
    EXPECT_EQ(dst.at(41, 151), c.out128);
    EXPECT_EQ(dst.at(191, 151), c.out180);
  }
}

TEST(DensityAdjust, DustRateDecidesHowManyDarkCorePixelsAreTolerated) {
  // One paper pixel of 200 inside the paper core: a dust rate of 0 puts the
  // paper level at 200, the default 0.01 % tolerates it.
  Page src = paperAndInkPage();
  src.at(60, 170) = 200;
  AdjustSettings strict = presetSettings(0);
  strict.allowDustRate = 0;
  CAutoAdjustCore strictCore(strict), defaultCore(presetSettings(0));
  Page dst(src.width, src.height);
  ASSERT_TRUE(
      strictCore.execute(src.bytes.data(), src.width, src.height, src.stride, dst.bytes.data()));
  ASSERT_TRUE(
      defaultCore.execute(src.bytes.data(), src.width, src.height, src.stride, dst.bytes.data()));
  EXPECT_EQ(strictCore.whiteLevel(), 200);
  EXPECT_EQ(defaultCore.whiteLevel(), 230);
}

TEST(DensityAdjust, RefusedRunsShowTheMessageAndLeaveDstUntouched) {
  struct Case {
    const char* what;
    void (*change)(Record&);
  };
  const Case settings[] = {
      {"even aperture", [](Record& r) { r.TONE_SIZE = 4; }},
      {"zero aperture", [](Record& r) { r.TONE_SIZE = 0; }},
      {"shadow -1", [](Record& r) { r.SHADOW_LEVEL_COMPENSATION = -1; }},
      {"shadow 101", [](Record& r) { r.SHADOW_LEVEL_COMPENSATION = 101; }},
      {"highlight -1", [](Record& r) { r.HIGHLIGHT_LEVEL_COMPENSATION = -1; }},
      {"highlight 101", [](Record& r) { r.HIGHLIGHT_LEVEL_COMPENSATION = 101; }},
      {"mask distance -1", [](Record& r) { r.MASK_CREATE_TH_CONPENSATION = -1; }},
      {"dust rate -0.5", [](Record& r) { r.ALLOW_DUST_RATE = -0.5; }},
      {"margin leaves no column", [](Record& r) { r.MARGIN_RATE = 50; }},
      {"negative margin", [](Record& r) { r.MARGIN_RATE = -1; }},
      {"infinite gamma", [](Record& r) { r.GAMMA = std::numeric_limits<double>::infinity(); }},
  };
  Page src = paperAndInkPage();
  for (const Case& c : settings) {
    SCOPED_TRACE(c.what);
    tonvale::TonvalePlugin plugin;
    Record record;
    c.change(record);
    plugin.parameters().setRecord(record);
    Page dst(src.width, src.height, 0, 0x5A);
    NoticeRecorder recorder;
    EXPECT_FALSE(plugin.executeTonvale(src.bytes.data(), src.width, src.height, src.stride,
                                       dst.bytes.data()));
    ASSERT_EQ(recorder.notices.size(), 1u);
    EXPECT_EQ(recorder.notices[0].text, "TODO:エラー処理");
    EXPECT_EQ(recorder.notices[0].icon, common::NoticeIcon::None);
    EXPECT_EQ(recorder.notices[0].buttons, common::NoticeButtons::Ok);
    EXPECT_EQ(cv::countNonZero(dst.mat() != 0x5A), 0);
  }

  struct Geometry {
    const char* what;
    int width, height, stride;
    bool nullSrc, nullDst;
  };
  const Geometry geometries[] = {{"zero width", 0, 200, 240, false, false},
                                 {"negative height", 240, -1, 240, false, false},
                                 {"stride below width", 240, 200, 239, false, false},
                                 {"no source", 240, 200, 240, true, false},
                                 {"no destination", 240, 200, 240, false, true}};
  for (const Geometry& g : geometries) {
    SCOPED_TRACE(g.what);
    tonvale::TonvalePlugin plugin;
    Page dst(src.width, src.height, 0, 0x5A);
    NoticeRecorder recorder;
    EXPECT_FALSE(plugin.executeTonvale(g.nullSrc ? nullptr : src.bytes.data(), g.width, g.height,
                                       g.stride, g.nullDst ? nullptr : dst.bytes.data()));
    EXPECT_EQ(recorder.notices.size(), 1u);
    EXPECT_EQ(cv::countNonZero(dst.mat() != 0x5A), 0);
  }

  // The limits themselves are accepted.
  const Case accepted[] = {
      {"shadow 0", [](Record& r) { r.SHADOW_LEVEL_COMPENSATION = 0; }},
      {"shadow 100", [](Record& r) { r.SHADOW_LEVEL_COMPENSATION = 100; }},
      {"highlight 0", [](Record& r) { r.HIGHLIGHT_LEVEL_COMPENSATION = 0; }},
      {"highlight 100", [](Record& r) { r.HIGHLIGHT_LEVEL_COMPENSATION = 100; }},
      {"margin 49", [](Record& r) { r.MARGIN_RATE = 49; }},
      {"aperture 1", [](Record& r) { r.TONE_SIZE = 1; }},
  };
  for (const Case& c : accepted) {
    SCOPED_TRACE(c.what);
    tonvale::TonvalePlugin plugin;
    Record record;
    c.change(record);
    plugin.parameters().setRecord(record);
    Page dst(src.width, src.height);
    NoticeRecorder recorder;
    EXPECT_TRUE(plugin.executeTonvale(src.bytes.data(), src.width, src.height, src.stride,
                                      dst.bytes.data()));
    EXPECT_TRUE(recorder.notices.empty());
  }
}

TEST(DensityAdjust, KeepsPaddingBytesAndWorksInPlace) {
  std::mt19937 rng(7);
  Page src = realisticPage(301, 260, 13, rng);
  for (int y = 0; y < src.height; ++y)
    for (int x = src.width; x < src.stride; ++x) src.at(x, y) = 0xCD;
  const std::vector<uint8_t> original = src.bytes;
  Page dst(301, 260, 13, 0xAB);

  tonvale::TonvalePlugin plugin;
  plugin.SetMode(2);
  ASSERT_TRUE(
      plugin.executeTonvale(src.bytes.data(), src.width, src.height, src.stride, dst.bytes.data()));
  EXPECT_EQ(src.bytes, original);
  for (int y = 0; y < dst.height; ++y)
    for (int x = dst.width; x < dst.stride; ++x) ASSERT_EQ(dst.at(x, y), 0xAB) << x << "," << y;

  Page inPlace = src;
  ASSERT_TRUE(plugin.executeTonvale(inPlace.bytes.data(), src.width, src.height, src.stride,
                                    inPlace.bytes.data()));
  for (int y = 0; y < src.height; ++y) {
    for (int x = 0; x < src.width; ++x) ASSERT_EQ(inPlace.at(x, y), dst.at(x, y));
    for (int x = src.width; x < src.stride; ++x) ASSERT_EQ(inPlace.at(x, y), 0xCD);
  }
}

TEST(DensityAdjust, MatchesTheStraightforwardSequence) {
  // Random settings on random and realistic pages of many shapes (narrow,
  // short, several bands tall, padded rows): the same levels and the same
  // bytes as every step done by its own OpenCV call.
  std::mt19937 rng(20240611);
  const int shapes[][3] = {{1, 1, 0},     {5, 3, 2},     {3, 200, 0},  {64, 150, 5},
                           {333, 517, 0}, {700, 133, 9}, {257, 64, 0}, {900, 1300, 3}};
  const int apertures[] = {1, 3, 3, 5, 7, 11, 21};
  const double dustRates[] = {0, 0.01, 0.5, 3, 20};
  const double gammas[] = {0.1, 0.5, 1, 2.2, 5};
  int compared = 0;
  for (int round = 0; round < 3; ++round) {
    for (const auto& shape : shapes) {
      Page src = round == 2 ? Page(shape[0], shape[1], shape[2])
                            : realisticPage(shape[0], shape[1], shape[2], rng);
      if (round == 2) {
        std::uniform_int_distribution<int> any(0, 255);
        for (auto& b : src.bytes) b = static_cast<uint8_t>(any(rng));
      }
      Record r;
      r.TONE_SIZE = apertures[rng() % std::size(apertures)];
      r.MASK_CREATE_TH_CONPENSATION = static_cast<int>(rng() % 40);
      r.MARGIN_RATE = static_cast<int>(rng() % 30);
      r.ALLOW_DUST_RATE = dustRates[rng() % std::size(dustRates)];
      r.SHADOW_LEVEL_COMPENSATION = static_cast<int>(rng() % 101);
      r.HIGHLIGHT_LEVEL_COMPENSATION = static_cast<int>(rng() % 101);
      r.GAMMA = gammas[rng() % std::size(gammas)];
      SCOPED_TRACE(testing::Message() << shape[0] << "x" << shape[1] << " aperture " << r.TONE_SIZE
                                      << " margin " << r.MARGIN_RATE << " round " << round);

      Page ours(src.width, src.height, shape[2], 0x11);
      Page expected(src.width, src.height, shape[2], 0x11);
      CAutoAdjustCore core(AdjustSettings::fromRecord(r));
      const bool ok =
          core.execute(src.bytes.data(), src.width, src.height, src.stride, ours.bytes.data());
      const auto plain =
          straightforward::adjust(src.bytes.data(), src.width, src.height, src.stride,
                                  expected.bytes.data(), plainSettings(r));
      ASSERT_EQ(ok, plain.ok);
      if (!ok) continue;
      ++compared;
      EXPECT_EQ(core.paperPeak(), plain.paperPeak);
      EXPECT_EQ(core.inkPeak(), plain.inkPeak);
      EXPECT_EQ(core.whiteLevel(), plain.whiteLevel);
      EXPECT_EQ(core.blackLevel(), plain.blackLevel);
      EXPECT_EQ(core.blackPoint(), plain.blackPoint);
      EXPECT_EQ(core.whitePoint(), plain.whitePoint);
      if (ours.bytes != expected.bytes) {
        const std::string name =
            "density_" + std::to_string(src.width) + "x" + std::to_string(src.height);
        ADD_FAILURE() << "output differs; see " << savePgm(ours, name + "_actual.pgm") << " and "
                      << savePgm(expected, name + "_expected.pgm");
      }
    }
  }
  EXPECT_GE(compared, 15);
}

TEST(DensityAdjust, PeakSearchCountsTheFirstBinHalf) {
  CAutoAdjustCore::Histogram hist{};
  // Paper range, scanned downward: 240 first (100, the bar becomes 50), then
  // 230 with 60 beats it; 220 with 60 only ties.
  hist[240] = 100;
  hist[230] = 60;
  hist[220] = 60;
  EXPECT_EQ(CAutoAdjustCore::CalcBlackColor(hist, CAutoAdjustCore::PeakRange::Paper), 230);
  // A first bin of 1 leaves the bar at 0, so the next used bin wins.
  hist = {};
  hist[10] = 1;
  hist[20] = 1;
  EXPECT_EQ(CAutoAdjustCore::CalcBlackColor(hist, CAutoAdjustCore::PeakRange::Ink), 20);
  // Outside both ranges nothing is found.
  hist = {};
  hist[85] = 1000;
  hist[170] = 1000;
  EXPECT_EQ(CAutoAdjustCore::CalcBlackColor(hist, CAutoAdjustCore::PeakRange::Ink), 255);
  EXPECT_EQ(CAutoAdjustCore::CalcBlackColor(hist, CAutoAdjustCore::PeakRange::Paper), 255);
  // Counts are compared as single-precision reals: 2^24 + 1 ties with 2^24.
  hist = {};
  hist[250] = 2;
  hist[240] = 16777216;
  hist[239] = 16777217;
  EXPECT_EQ(CAutoAdjustCore::CalcBlackColor(hist, CAutoAdjustCore::PeakRange::Paper), 240);
}

}  // namespace
