// The built tavelmor-batch run on generated pages: command line, inputs,
// outputs and their safety, parallel runs, and results equal to the
// editor's and the density library's own functions called directly.
#include <gtest/gtest.h>
#include <png.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "BatchTestSupport.h"
#include "TestSupport.h"
#include "quillane/editing/DustDiagnosis.h"
#include "quillane/editing/PinholeCommand.h"
#include "quillane/imagefile/PageFileResult.h"
#include "quillane/model/DustSizePresets.h"
#include "quillane/model/EngineBinding.h"
#include "quillane/model/QuillaneIniFileIo.h"
#include "tonvale/TonvalePlugin.h"

namespace batch_test {
namespace {

namespace fs = std::filesystem;
using quillane::QuillaneImage;

std::vector<std::string> withSettings(std::vector<std::string> args) {
  args.insert(args.begin(), {"--settings", shippedSettingsFolder()});
  return args;
}

size_t count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

bool samePixels(const QuillaneImage& a, const QuillaneImage& b) {
  if (a.width() != b.width() || a.height() != b.height() || a.isEmpty()) return false;
  for (int32_t y = 0; y < a.height(); ++y)
    if (std::memcmp(a.row(y), b.row(y), static_cast<size_t>(a.width())) != 0) return false;
  return true;
}

class BatchTool : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(quillane::EngineBinding::bind(TAVELMOR_BIN_DIR)); }
  void TearDown() override { quillane::EngineBinding::unbind(); }
  TempDir dir;
};

TEST_F(BatchTool, UsageErrorsExitTwoNamingTheOption) {
  const std::string page = dir / "p.png";
  ASSERT_TRUE(savePage(speckledPage(40, 30, 300, 1), page, quillane::kFormatPng));
  const std::string out = dir / "out";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--jobs", "0", "--dust", "white", "-o", out, page}, "--jobs"},
      {{"--dust", "grey", "-o", out, page}, "--dust"},
      {{"--dust", "white", "--dust-size", "1001", "-o", out, page}, "--dust-size"},
      {{"--dust", "white", "--threshold", "weakest", "-o", out, page}, "--threshold"},
      {{"--dust", "white", "--quality", "13", "-o", out, page}, "--quality"},
      {{"--dust", "white", "--format", "gif", "-o", out, page}, "--format"},
      {{"--dust", "white", "--compression", "lzma", "-o", out, page}, "--compression"},
      {{"--dust", "white", "--format", "png", "--compression", "lzw", "-o", out, page},
       "--compression"},
      {{"--dust", "white", "--gray", "purple", "-o", out, page}, "--gray"},
      {{"--dust", "white", "--frobnicate", "-o", out, page}, "--frobnicate"},
      {{"--dust", "white", "--jobs"}, "--jobs"},
      {{"--dust", "white", page}, "--out-dir"},
      {{"--dust", "white", "--in-place", "-o", out, page}, "--in-place"},
      {{"--dust-size", "9", "-o", out, page}, "--dust"},
      {{"--dust", "white", "--preview-only", page}, "--preview"},
      {{"-o", out, page}, "--density"},
      {{"--density", "9", "-o", out, page}, "--density"},
      {{"--density", "no such mode", "-o", out, page}, "--density"},
  };
  for (const auto& [args, option] : cases) {
    const RunResult r = runTool(withSettings(args));
    EXPECT_EQ(r.exitCode, 2) << option << "\n" << r.err;
    EXPECT_NE(r.err.find(option), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(out));

  const RunResult help = runTool({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  for (const char* option :
       {"--recursive",   "--gray",     "--density",  "--dust ",        "--dust-size", "--threshold",
        "--dust-first",  "--settings", "--out-dir",  "--in-place",     "--overwrite", "--format",
        "--compression", "--quality",  "--preview ", "--preview-only", "--dry-run",   "--quiet",
        "--json",        "--jobs",     "--help"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
}

TEST_F(BatchTool, FolderInputSortedColourPagesSkippedUnlessGray) {
  const std::string in = dir / "in";
  fs::create_directories(in + "/sub");
  ASSERT_TRUE(savePage(speckledPage(60, 40, 300, 2), in + "/b.png", quillane::kFormatPng));
  ASSERT_TRUE(savePage(speckledPage(60, 40, 300, 3), in + "/a.tif", quillane::kFormatTiff));
  ASSERT_TRUE(savePage(speckledPage(60, 40, 300, 4), in + "/sub/d.png", quillane::kFormatPng));
  // Cyan (0, 255, 255) in a block too large to be dust makes it a colour page.
  std::vector<uint8_t> rgb(30 * 20 * 3, 255);
  for (int y = 5; y < 15; ++y)
    for (int x = 10; x < 20; ++x) rgb[(y * 30 + x) * 3] = 0;
  imagefile_test::PngSpec colour;
  colour.width = 30;
  colour.height = 20;
  colour.colorType = PNG_COLOR_TYPE_RGB;
  colour.data = rgb;
  ASSERT_TRUE(imagefile_test::writePng(in + "/c.png", colour));
  std::ofstream(in + "/notes.txt") << "not a page";

  const RunResult flat = runTool(withSettings({"--dust", "white", "-o", dir / "out", in}));
  EXPECT_EQ(flat.exitCode, 1) << flat.err;
  const size_t a = flat.out.find("/a.tif  60x40  300 dpi  spots ");
  const size_t b = flat.out.find("/b.png  60x40  300 dpi  spots ");
  const size_t c = flat.out.find("/c.png  skipped: RGB colour page");
  EXPECT_TRUE(a < b && b < c && c != std::string::npos) << flat.out;
  EXPECT_NE(flat.out.find("3 pages: 2 cleaned, 0 failed, 1 skipped"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir / "out/a.tif"));
  EXPECT_TRUE(fs::exists(dir / "out/b.png"));
  EXPECT_FALSE(fs::exists(dir / "out/c.png"));
  EXPECT_FALSE(fs::exists(dir / "out/sub"));

  const RunResult deep =
      runTool(withSettings({"--dust", "white", "--gray", "red", "-r", "-o", dir / "deep", in}));
  EXPECT_EQ(deep.exitCode, 0) << deep.out << deep.err;
  EXPECT_TRUE(fs::exists(dir / "deep/c.png"));
  EXPECT_TRUE(fs::exists(dir / "deep/sub/d.png"));
  EXPECT_EQ(loadPage(dir / "deep/c.png").row(10)[15], 0);  // the red channel of cyan

  fs::create_directories(dir / "empty");
  const RunResult none =
      runTool(withSettings({"--dust", "white", "-o", dir / "out", dir / "empty"}));
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_NE(none.err.find("no page files"), std::string::npos) << none.err;
}

TEST_F(BatchTool, ProgressBarOnlyOnATerminal) {
  const std::string page = dir / "p.png";
  ASSERT_TRUE(savePage(speckledPage(60, 40, 300, 13), page, quillane::kFormatPng));
  const std::vector<std::string> args =
      withSettings({"--dust", "white", "--dry-run", page, page, page});
  const RunResult terminal = runToolOnTerminal(args);
  EXPECT_EQ(terminal.exitCode, 0);
  EXPECT_NE(terminal.out.find("] 3/3 pages"), std::string::npos) << terminal.out;
  EXPECT_NE(terminal.out.find("3 pages: 3 cleaned"), std::string::npos) << terminal.out;
  const RunResult files = runTool(args);
  EXPECT_EQ(files.exitCode, 0);
  EXPECT_EQ(files.err.find("pages"), std::string::npos) << files.err;
  EXPECT_EQ(files.out.find("/3 pages"), std::string::npos) << files.out;
}

TEST_F(BatchTool, ResultsDoNotDependOnTheNumberOfJobs) {
  const std::string in = dir / "in";
  fs::create_directories(in);
  for (uint32_t i = 0; i < 5; ++i) {
    const auto kind = i % 2 ? quillane::kFormatTiff : quillane::kFormatPng;
    ASSERT_TRUE(savePage(speckledPage(300 + 17 * i, 200, 300, 10 + i),
                         in + "/p" + std::to_string(i) + (i % 2 ? ".tif" : ".png"), kind));
  }
  for (const char* jobs : {"1", "3"}) {
    const std::string out = dir / (std::string("out") + jobs);
    const RunResult r = runTool(
        withSettings({"--jobs", jobs, "--density", "2", "--dust", "white", "--dust-size", "medium",
                      "--threshold", "100", "-o", out, "--preview", out + "/preview", in}));
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  }
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir / "out1")) {
    if (!entry.is_regular_file()) continue;
    const std::string other =
        (dir / "out3") + "/" + fs::relative(entry.path(), dir / "out1").string();
    EXPECT_TRUE(sameBytes(entry.path().string(), other)) << other;
    ++files;
  }
  EXPECT_EQ(files, 10u);
}

TEST_F(BatchTool, InputsAndExistingOutputsAreNeverReplacedUnasked) {
  const std::string page = dir / "p.png";
  ASSERT_TRUE(savePage(speckledPage(80, 60, 300, 5), page, quillane::kFormatPng));
  const auto original = readBytes(page);

  // Output folder = input folder: the output would be the input.
  RunResult r = runTool(withSettings({"--dust", "white", "--overwrite", "-o", dir.path(), page}));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("is an input of this run"), std::string::npos) << r.out;
  // Preview beside the input under the input's own name, even with --in-place.
  r = runTool(withSettings({"--dust", "white", "--in-place", "--preview", dir.path(), page}));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(readBytes(page), original);

  fs::create_directories(dir / "out");
  std::ofstream(dir / "out/p.png") << "older output";
  r = runTool(withSettings({"--dust", "white", "-o", dir / "out", page}));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("exists (--overwrite replaces it)"), std::string::npos) << r.out;
  EXPECT_EQ(readBytes(dir / "out/p.png").size(), 12u);
  r = runTool(withSettings({"--dust", "white", "--overwrite", "-o", dir / "out", page}));
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_FALSE(loadPage(dir / "out/p.png").isEmpty());

  // One file under two names is cleaned once, not by two jobs at a time.
  r = runTool(withSettings({"--dust", "white", "--in-place", page, dir / "./p.png"}));
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_NE(r.out.find("is also written for " + page), std::string::npos) << r.out;
  EXPECT_TRUE(sameBytes(page, dir / "out/p.png"));
}

TEST_F(BatchTool, UnwritableOutputFolderIsReportedAndTheRunGoesOn) {
  const std::string in = dir / "in";
  fs::create_directories(in);
  ASSERT_TRUE(savePage(speckledPage(50, 40, 300, 6), in + "/a.png", quillane::kFormatPng));
  ASSERT_TRUE(savePage(speckledPage(50, 40, 300, 7), in + "/b.tif", quillane::kFormatTiff));
  std::ofstream(in + "/c.png") << "not a png";
  const auto a = readBytes(in + "/a.png"), b = readBytes(in + "/b.tif");
  // A folder below a regular file cannot be made, not even by root.
  std::ofstream(dir / "file") << "x";
  const RunResult r = runTool(withSettings({"--dust", "white", "-o", dir / "file/out", in}));
  EXPECT_EQ(r.exitCode, 1);
  const std::string writeText = quillane::pagefile::message(
      quillane::pagefile::kCannotOpenForWriting, quillane::pagefile::MessageVariant::Writing);
  EXPECT_EQ(count(r.out, "FAILED: " + writeText + " (1502)"), 2u) << r.out;
  const std::string readText = quillane::pagefile::message(
      quillane::pagefile::kUnsupported, quillane::pagefile::MessageVariant::Reading);
  EXPECT_NE(r.out.find("c.png  FAILED: " + readText + " (5)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("3 pages: 0 cleaned, 3 failed"), std::string::npos);
  EXPECT_EQ(readBytes(in + "/a.png"), a);
  EXPECT_EQ(readBytes(in + "/b.tif"), b);

  const RunResult json = runTool(
      withSettings({"--dust", "white", "--json", "--dry-run", in + "/missing.png", in + "/a.png"}));
  EXPECT_EQ(json.exitCode, 1);
  EXPECT_NE(json.out.find("\"status\":\"failed\",\"ms\":"), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"code\":1500"), std::string::npos);
  EXPECT_NE(json.out.find("a.png\",\"status\":\"cleaned\""), std::string::npos);
}

TEST_F(BatchTool, PreviewPixelsAreTheDiagnosisOverlay) {
  for (const auto mode : {quillane::DustMode::White, quillane::DustMode::Black}) {
    const bool white = mode == quillane::DustMode::White;
    const QuillaneImage page = speckledPage(240, 180, 600, white ? 8 : 9);
    const std::string path = dir / (white ? "w.png" : "b.png");
    ASSERT_TRUE(savePage(page, path, quillane::kFormatPng));
    const RunResult r = runTool(
        withSettings({"--dust", white ? "white" : "black", "--dust-size", "20", "--threshold",
                      "strong", "--preview-only", "--preview", dir / "preview", path}));
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;

    quillane::QuillaneParameter settings;
    settings.setSettingsFolder(shippedSettingsFolder());
    ASSERT_EQ(quillane::QuillaneIniFileIo::load(settings), 0);
    QuillaneImage mask;
    const quillane::DustSettings dust{mode, settings.grayThresholdPresets(mode)[2], 20, true, true};
    const quillane::Rect all{0, 0, page.width(), page.height()};
    ASSERT_EQ(quillane::computeDustDiagnosis(page, mask, all, dust), all);

    int32_t w = 0, h = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(
        readRgbPng(dir / (std::string("preview/") + (white ? "w" : "b") + ".png"), w, h, rgb));
    ASSERT_EQ(w, page.width());
    ASSERT_EQ(h, page.height());
    size_t flagged = 0, mismatches = 0;
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        const uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
        const uint8_t g = page.row(y)[x];
        const bool flag = mask.row(y)[x] != 0;
        flagged += flag;
        const uint8_t expected[3] = {flag ? static_cast<uint8_t>(settings.dustColourRed) : g,
                                     flag ? static_cast<uint8_t>(settings.dustColourGreen) : g,
                                     flag ? static_cast<uint8_t>(settings.dustColourBlue) : g};
        mismatches += std::memcmp(p, expected, 3) != 0;
      }
    }
    EXPECT_GT(flagged, 100u);
    EXPECT_EQ(mismatches, 0u);
    EXPECT_FALSE(fs::exists(dir / (white ? "w.png.out" : "b.png.out")));
  }
}

// The page through the density library and the editor's whole-page removal,
// called here directly, in the order the tool is asked for.
QuillaneImage cleanedDirectly(const QuillaneImage& original, bool dustFirst) {
  QuillaneImage page;
  page.create(original.width(), original.height(), original.width(), 1);
  std::memcpy(page.pixels(), original.pixels(), static_cast<size_t>(original.size()));
  tonvale::TonvalePlugin density;
  EXPECT_TRUE(density.SetIniFilePath(shippedSettingsFolder()));
  density.SetMode(2);
  auto adjust = [&] {
    EXPECT_TRUE(density.executeTonvale(page.pixels(), page.width(), page.height(), page.stride(),
                                       page.pixels()));
  };
  auto dust = [&] {
    quillane::PinholeCommand command(&page, true, 1, nullptr, 36, true, 0);
    command.dustSizeEnabled = true;
    command.grayDustEnabled = false;
    quillane::Rect out;
    EXPECT_TRUE(command.execute(nullptr, out, nullptr, nullptr));
  };
  if (!dustFirst) adjust();
  dust();
  if (dustFirst) adjust();
  return page;
}

TEST_F(BatchTool, DensityAndDustEqualTheLibraryFunctions) {
  QuillaneImage page = speckledPage(320, 240, 600, 11);
  // Mid-gray paper and ink give the density adjustment something to do.
  for (int32_t y = 0; y < page.height(); ++y)
    for (int32_t x = 0; x < page.width(); ++x)
      page.row(y)[x] = static_cast<uint8_t>(40 + page.row(y)[x] * 170 / 255);
  const std::string path = dir / "p.tif";
  ASSERT_TRUE(savePage(page, path, quillane::kFormatTiff));
  for (const bool dustFirst : {false, true}) {
    const std::string out = dir / (dustFirst ? "dust-first" : "density-first");
    std::vector<std::string> args{
        "--density", "普通にクッキリ", "--dust", "white", "--dust-size", "36", "-o", out, path};
    if (dustFirst) args.push_back("--dust-first");
    const RunResult r = runTool(withSettings(args));
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const QuillaneImage written = loadPage(out + "/p.tif");
    const QuillaneImage expected = cleanedDirectly(page, dustFirst);
    EXPECT_TRUE(samePixels(written, expected)) << (dustFirst ? "dust first" : "density first");
    EXPECT_FALSE(samePixels(written, page));
  }
  EXPECT_FALSE(
      samePixels(loadPage(dir / "dust-first/p.tif"), loadPage(dir / "density-first/p.tif")));
}

TEST_F(BatchTool, PresetsFollowThePageResolution) {
  quillane::QuillaneParameter settings;
  settings.setSettingsFolder(shippedSettingsFolder());
  ASSERT_EQ(quillane::QuillaneIniFileIo::load(settings), 0);
  const char* const sizeWords[] = {"small", "medium", "large"};
  const char* const thresholdWords[] = {"weak", "medium", "strong"};
  for (const float dpi : {150.0f, 400.0f, 600.0f, 1200.0f, 2400.0f}) {
    const std::string path = dir / ("p" + std::to_string(static_cast<int>(dpi)) + ".png");
    ASSERT_TRUE(savePage(speckledPage(40, 30, dpi, 12), path, quillane::kFormatPng));
    // The presets follow the resolution the page file gives, as the editor's
    // buttons do (a PNG keeps pixels a metre, so 600 dpi reads 599.9994).
    const double pageDpi = loadPage(path).horizontalResolution;
    for (int i = 0; i < 3; ++i) {
      for (const auto mode : {quillane::DustMode::White, quillane::DustMode::Black}) {
        const RunResult r = runTool(withSettings(
            {"--dry-run", "--json", "--dust", mode == quillane::DustMode::White ? "white" : "black",
             "--dust-size", sizeWords[i], "--threshold", thresholdWords[i], path}));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        quillane::QuillaneParameter atDpi = settings;
        atDpi.resolution = pageDpi;
        const int size = std::clamp(quillane::dustSizePreset(atDpi, mode, i), 1, 1000);
        const int threshold = std::clamp(settings.grayThresholdPresets(mode)[i], 1, 255);
        EXPECT_NE(r.out.find("\"dust_size\":" + std::to_string(size) +
                             ",\"threshold\":" + std::to_string(threshold) + ","),
                  std::string::npos)
            << dpi << " " << i << " " << r.out;
      }
    }
  }
}

TEST_F(BatchTool, BrokenSettingsAreReportedOnceAndDefaultsUsed) {
  const std::string in = dir / "in";
  fs::create_directories(in);
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(savePage(speckledPage(40, 30, 600, 20 + i), in + "/p" + std::to_string(i) + ".png",
                         quillane::kFormatPng));
  fs::create_directories(dir / "settings");
  std::ofstream(dir / "settings/QuillanePlugin.ini") << "[DustSize]\nLASTDUSTSIZE_BLACK=5\n";
  const RunResult r = runTool({"--settings", dir / "settings", "--jobs", "2", "--json", "--dry-run",
                               "--dust", "white", in});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(count(r.err,
                  "ユーザー設定ファイルの読み込みに失敗しました。\n"
                  "アプリケーションを再インストールすると直る可能性があります。(1052)"),
            1u)
      << r.err;
  // The built-in last dust size, not the 5 of the broken file.
  EXPECT_EQ(count(r.out, "\"dust_size\":36,\"threshold\":0,"), 3u) << r.out;
}

}  // namespace
}  // namespace batch_test
