// The built tavelmor-batch run on generated pages: command line, inputs,
// outputs and their safety, parallel runs, and results equal to the
// editor's and the density library's own functions called directly; and its
// spot counter against a plain flood fill.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "SpotCounter.h"
#include "TestSupport.h"
#include "quillane/editing/DustDiagnosis.h"
#include "quillane/editing/PinholeCommand.h"
#include "quillane/imagefile/PageFileResult.h"
#include "quillane/imagefile/PageImageFile.h"
#include "quillane/model/DustSizePresets.h"
#include "quillane/model/EngineBinding.h"
#include "quillane/model/QuillaneIniFileIo.h"
#include "tonvale/TonvalePlugin.h"

namespace batch_test {
namespace {

namespace fs = std::filesystem;
using quillane::kFormatPng;
using quillane::kFormatTiff;
using quillane::QuillaneImage;

using imagefile_test::TempDir;

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

size_t count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

struct RunResult {
  int exitCode = -1;
  std::string out, err;
};

// Runs the built tavelmor-batch, by default with the shipped settings
// folder. Its stdin is /dev/null and stdout and stderr go to files (no
// terminal, so no progress bar); or both go to one pseudo terminal, and all
// it wrote there comes back in out.
RunResult runTool(std::vector<std::string> args, bool shippedSettings = true,
                  bool onTerminal = false) {
  if (shippedSettings) args.insert(args.begin(), {"--settings", TAVELMOR_DATA_DIR});
  args.insert(args.begin(), TAVELMOR_BATCH_PROGRAM);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  TempDir capture;
  const std::string outPath = capture.file("out"), errPath = capture.file("err");
  RunResult result;
  int terminal = -1;
  const pid_t child = onTerminal ? ::forkpty(&terminal, nullptr, nullptr, nullptr) : ::fork();
  if (child == 0) {
    if (!onTerminal) {
      ::dup2(::open("/dev/null", O_RDONLY), 0);
      ::dup2(::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
      ::dup2(::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  char buffer[4096];
  if (child > 0 && onTerminal) {
    for (ssize_t n; (n = ::read(terminal, buffer, sizeof buffer)) > 0;)
      result.out.append(buffer, n);
    ::close(terminal);
  }
  int status = 0;
  if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status))
    result.exitCode = WEXITSTATUS(status);
  if (onTerminal) return result;
  result.out = readFile(outPath), result.err = readFile(errPath);
  // No progress bar (drawn from the start of its line) without a terminal.
  EXPECT_EQ((result.out + result.err).find('\r'), std::string::npos) << result.err;
  return result;
}

// A gray page of white paper with light gray noise (230..254), ink strokes, a
// solid black block with white pinholes, and dark specks of 1 to 30 pixels.
QuillaneImage speckledPage(int32_t width, int32_t height, float dpi, uint32_t seed) {
  QuillaneImage page;
  page.create(width, height, width, 1);
  page.horizontalResolution = page.verticalResolution = dpi;
  std::mt19937 rng(seed);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      page.row(y)[x] = uniform(0, 9) == 0 ? uniform(230, 254) : 255;
  auto fill = [&](int32_t x0, int32_t y0, int32_t w, int32_t h, int v) {
    for (int32_t y = std::max(0, y0); y < std::min(height, y0 + h); ++y)
      for (int32_t x = std::max(0, x0); x < std::min(width, x0 + w); ++x)
        page.row(y)[x] = static_cast<uint8_t>(v);
  };
  for (int i = 0; i < 6; ++i) fill(uniform(0, width - 1), 0, 3, height, 0);
  fill(width / 4, height / 4, width / 3, height / 3, 0);
  for (int i = 0; i < 40; ++i)
    fill(width / 4 + uniform(0, width / 3), height / 4 + uniform(0, height / 3), uniform(1, 3),
         uniform(1, 3), uniform(200, 255));
  for (int i = 0; i < width * height / 400; ++i)
    fill(uniform(0, width - 1), uniform(0, height - 1), uniform(1, 6), uniform(1, 5),
         uniform(0, 200));
  return page;
}

// Page files through the editor's own writer and reader (a colour page is
// read as one of its channels, grayMode 1 to 3: red, green, blue).
bool savePage(const QuillaneImage& page, const std::string& path, int32_t formatKind) {
  quillane::PageImageFile file;
  file.setPage(const_cast<QuillaneImage*>(&page));
  const int result = file.saveAs(path, formatKind, formatKind == kFormatTiff ? 5 : 0, 0, false);
  file.setPage(nullptr);  // the page is the caller's, reset() must not free it
  return result == 0;
}

QuillaneImage loadPage(const std::string& path, int32_t grayMode = 0) {
  QuillaneImage page;
  quillane::PageImageFile file;
  if (imagefile_test::openPage(file, page, path, grayMode) != 0) page.release();
  file.setPage(nullptr);
  return page;
}

bool samePixels(const QuillaneImage& a, const QuillaneImage& b) {
  bool same = !a.isEmpty() && a.width() == b.width() && a.height() == b.height();
  for (int32_t y = 0; same && y < a.height(); ++y)
    same = !std::memcmp(a.row(y), b.row(y), a.width());
  return same;
}

quillane::QuillaneParameter shippedSettings() {
  quillane::QuillaneParameter settings;
  settings.setSettingsFolder(TAVELMOR_DATA_DIR);
  EXPECT_EQ(quillane::QuillaneIniFileIo::load(settings), 0);
  return settings;
}

class BatchTool : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(quillane::EngineBinding::bind(TAVELMOR_BIN_DIR)); }
  void TearDown() override { quillane::EngineBinding::unbind(); }
  TempDir dir;
};

TEST_F(BatchTool, UsageErrorsExitTwoNamingTheOption) {
  const std::string page = dir.file("p.png"), out = dir.file("out");
  ASSERT_TRUE(savePage(speckledPage(40, 30, 300, 1), page, kFormatPng));
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
    const RunResult r = runTool(args);
    EXPECT_EQ(r.exitCode, 2) << option << "\n" << r.err;
    EXPECT_NE(r.err.find(option), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(out));

  const RunResult help = runTool({"--help"}, false);
  EXPECT_EQ(help.exitCode, 0);
  for (const char* option :
       {"--recursive",   "--gray",     "--density",  "--dust ",        "--dust-size", "--threshold",
        "--dust-first",  "--settings", "--out-dir",  "--in-place",     "--overwrite", "--format",
        "--compression", "--quality",  "--preview ", "--preview-only", "--dry-run",   "--quiet",
        "--json",        "--jobs",     "--help"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
}

TEST_F(BatchTool, FolderInputColourPagesAndTheProgressBar) {
  const std::string in = dir.file("in");
  fs::create_directories(in + "/sub");
  ASSERT_TRUE(savePage(speckledPage(60, 40, 300, 2), in + "/b.png", kFormatPng));
  ASSERT_TRUE(savePage(speckledPage(60, 40, 300, 3), in + "/a.tif", kFormatTiff));
  ASSERT_TRUE(savePage(speckledPage(60, 40, 300, 4), in + "/sub/d.png", kFormatPng));
  // Cyan (0, 255, 255) in a block too large to be dust makes it a colour page.
  imagefile_test::PngSpec colour{.width = 30, .height = 20, .colorType = PNG_COLOR_TYPE_RGB};
  colour.data.assign(30 * 20 * 3, 255);
  for (int y = 5; y < 15; ++y)
    for (int x = 10; x < 20; ++x) colour.data[(y * 30 + x) * 3] = 0;
  ASSERT_TRUE(imagefile_test::writePng(in + "/c.png", colour));
  std::ofstream(in + "/notes.txt") << "not a page";

  // On a terminal, with the progress bar (runTool checks that no run without
  // one shows the bar).
  const RunResult flat = runTool({"--dust", "white", "-o", dir.file("out"), in}, true, true);
  EXPECT_EQ(flat.exitCode, 1);
  EXPECT_NE(flat.out.find("] 3/3 pages"), std::string::npos) << flat.out;
  const size_t a = flat.out.find("/a.tif  60x40  300 dpi  spots ");
  const size_t b = flat.out.find("/b.png  60x40  300 dpi  spots ");
  const size_t c = flat.out.find("/c.png  skipped: RGB colour page");
  EXPECT_TRUE(a < b && b < c && c != std::string::npos) << flat.out;
  EXPECT_NE(flat.out.find("3 pages: 2 cleaned, 0 failed, 1 skipped"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir.file("out/a.tif")) && fs::exists(dir.file("out/b.png")));
  EXPECT_FALSE(fs::exists(dir.file("out/c.png")) || fs::exists(dir.file("out/sub")));

  const RunResult deep =
      runTool({"--dust", "white", "--gray", "red", "-r", "-o", dir.file("deep"), in});
  EXPECT_EQ(deep.exitCode, 0) << deep.out << deep.err;
  EXPECT_TRUE(fs::exists(dir.file("deep/sub/d.png")));
  ASSERT_TRUE(fs::exists(dir.file("deep/c.png")));
  EXPECT_EQ(loadPage(dir.file("deep/c.png")).row(10)[15], 0);  // the red channel of cyan

  // Only empty folders: nothing cleaned is no success.
  fs::create_directories(dir.file("empty"));
  const RunResult none = runTool({"--dust", "white", "-o", dir.file("out"), dir.file("empty")});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_NE(none.err.find("no page files"), std::string::npos) << none.err;
}

TEST_F(BatchTool, ResultsDoNotDependOnTheNumberOfJobs) {
  const std::string in = dir.file("in");
  fs::create_directories(in);
  for (uint32_t i = 0; i < 5; ++i)
    ASSERT_TRUE(savePage(speckledPage(300 + 17 * i, 200, 300, 10 + i),
                         in + "/p" + std::to_string(i) + (i % 2 ? ".tif" : ".png"),
                         i % 2 ? kFormatTiff : kFormatPng));
  for (const std::string jobs : {"1", "3"}) {
    const std::string out = dir.file("out" + jobs);
    const RunResult r =
        runTool({"--jobs", jobs, "--density", "2", "--dust", "white", "--dust-size", "medium",
                 "--threshold", "100", "-o", out, "--preview", out + "/preview", in});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  }
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir.file("out1"))) {
    if (!entry.is_regular_file()) continue;
    const std::string other =
        dir.file("out3/") + fs::relative(entry.path(), dir.file("out1")).string();
    EXPECT_EQ(readFile(entry.path().string()), readFile(other)) << other;
    ++files;
  }
  EXPECT_EQ(files, 10u);
}

TEST_F(BatchTool, InputsAndExistingOutputsAreNeverReplacedUnasked) {
  const std::string page = dir.file("p.png");
  ASSERT_TRUE(savePage(speckledPage(80, 60, 300, 5), page, kFormatPng));
  const std::string original = readFile(page);

  // Output folder = input folder: the output would be the input.
  RunResult r = runTool({"--dust", "white", "--overwrite", "-o", dir.path(), page});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("is an input of this run"), std::string::npos) << r.out;
  // Preview beside the input under the input's own name, even with --in-place.
  r = runTool({"--dust", "white", "--in-place", "--preview", dir.path(), page});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(readFile(page), original);

  fs::create_directories(dir.file("out"));
  std::ofstream(dir.file("out/p.png")) << "older output";
  r = runTool({"--dust", "white", "-o", dir.file("out"), page});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("exists (--overwrite replaces it)"), std::string::npos) << r.out;
  EXPECT_EQ(readFile(dir.file("out/p.png")), "older output");
  r = runTool({"--dust", "white", "--overwrite", "-o", dir.file("out"), page});
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_FALSE(loadPage(dir.file("out/p.png")).isEmpty());

  // One file under two names is cleaned once, not by two jobs at a time.
  r = runTool({"--dust", "white", "--in-place", page, dir.file("./p.png")});
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_NE(r.out.find("is also written for " + page), std::string::npos) << r.out;
  EXPECT_EQ(readFile(page), readFile(dir.file("out/p.png")));
}

TEST_F(BatchTool, FailuresAreReportedAndTheRunGoesOn) {
  const std::string in = dir.file("in");
  fs::create_directories(in);
  ASSERT_TRUE(savePage(speckledPage(50, 40, 300, 6), in + "/a.png", kFormatPng));
  ASSERT_TRUE(savePage(speckledPage(50, 40, 300, 7), in + "/b.tif", kFormatTiff));
  std::ofstream(in + "/c.png") << "not a png";
  const std::string a = readFile(in + "/a.png"), b = readFile(in + "/b.tif");
  // A folder below a regular file cannot be made, not even by root.
  std::ofstream(dir.file("file")) << "x";
  const RunResult r = runTool({"--dust", "white", "-o", dir.file("file/out"), in});
  EXPECT_EQ(r.exitCode, 1);
  using namespace quillane::pagefile;
  const std::string writeText = message(kCannotOpenForWriting, MessageVariant::Writing);
  EXPECT_EQ(count(r.out, "FAILED: " + writeText + " (1502)"), 2u) << r.out;
  const std::string readText = message(kUnsupported, MessageVariant::Reading);
  EXPECT_NE(r.out.find("c.png  FAILED: " + readText + " (5)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("3 pages: 0 cleaned, 3 failed"), std::string::npos);
  EXPECT_EQ(readFile(in + "/a.png"), a);
  EXPECT_EQ(readFile(in + "/b.tif"), b);

  const RunResult json =
      runTool({"--dust", "white", "--json", "--dry-run", in + "/missing.png", in + "/a.png"});
  EXPECT_EQ(json.exitCode, 1);
  EXPECT_NE(json.out.find("\"status\":\"failed\",\"ms\":"), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"code\":1500"), std::string::npos);
  EXPECT_NE(json.out.find("a.png\",\"status\":\"cleaned\""), std::string::npos);
}

TEST_F(BatchTool, PreviewPixelsAreTheDiagnosisOverlay) {
  const quillane::QuillaneParameter settings = shippedSettings();
  for (const auto mode : {quillane::DustMode::White, quillane::DustMode::Black}) {
    const std::string name = mode == quillane::DustMode::White ? "white" : "black";
    SCOPED_TRACE(name);
    const QuillaneImage page = speckledPage(240, 180, 600, name == "white" ? 8 : 9);
    ASSERT_TRUE(savePage(page, dir.file(name + ".png"), kFormatPng));
    const RunResult r =
        runTool({"--dust", name, "--dust-size", "20", "--threshold", "strong", "--preview-only",
                 "--preview", dir.file("preview"), dir.file(name + ".png")});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_FALSE(fs::exists(dir.file(name + ".png.out")));

    QuillaneImage mask;
    const quillane::DustSettings dust{mode, settings.grayThresholdPresets(mode)[2], 20, true, true};
    const quillane::Rect all{0, 0, page.width(), page.height()};
    ASSERT_EQ(quillane::computeDustDiagnosis(page, mask, all, dust), all);
    // The preview's red, green and blue: the dust colour where flagged, the page elsewhere.
    const int dustColour[3] = {settings.dustColourRed, settings.dustColourGreen,
                               settings.dustColourBlue};
    size_t flagged = 0, mismatches = 0;
    for (int channel = 0; channel < 3; ++channel) {
      const QuillaneImage preview = loadPage(dir.file("preview/" + name + ".png"), channel + 1);
      ASSERT_TRUE(preview.width() == page.width() && preview.height() == page.height());
      for (int32_t y = 0; y < page.height(); ++y)
        for (int32_t x = 0; x < page.width(); ++x) {
          const bool flag = mask.row(y)[x] != 0;
          flagged += flag;
          mismatches += preview.row(y)[x] != (flag ? dustColour[channel] : page.row(y)[x]);
        }
    }
    EXPECT_GT(flagged, 100u);
    EXPECT_EQ(mismatches, 0u);
  }
}

// The page through the density library and the editor's whole-page removal,
// called here directly, in the order the tool is asked for.
QuillaneImage cleanedDirectly(const QuillaneImage& original, bool dustFirst) {
  QuillaneImage page;
  page.create(original.width(), original.height(), original.width(), 1);
  std::memcpy(page.pixels(), original.pixels(), static_cast<size_t>(original.size()));
  tonvale::TonvalePlugin density;
  EXPECT_TRUE(density.SetIniFilePath(TAVELMOR_DATA_DIR));
  density.SetMode(2);
  quillane::PinholeCommand dust(&page, true, 1, nullptr, 36, true, 0);
  dust.dustSizeEnabled = true;
  quillane::Rect out;
  for (bool dustNow : {dustFirst, !dustFirst})
    EXPECT_TRUE(dustNow ? dust.execute(nullptr, out, nullptr, nullptr)
                        : density.executeTonvale(page.pixels(), page.width(), page.height(),
                                                 page.stride(), page.pixels()));
  return page;
}

TEST_F(BatchTool, DensityAndDustEqualTheLibraryFunctions) {
  QuillaneImage page = speckledPage(320, 240, 600, 11);
  // Mid-gray paper and ink give the density adjustment something to do.
  for (int32_t y = 0; y < page.height(); ++y)
    for (int32_t x = 0; x < page.width(); ++x)
      page.row(y)[x] = static_cast<uint8_t>(40 + page.row(y)[x] * 170 / 255);
  ASSERT_TRUE(savePage(page, dir.file("p.tif"), kFormatTiff));
  for (const bool dustFirst : {false, true}) {
    const std::string out = dir.file(dustFirst ? "dust-first" : "density-first");
    std::vector<std::string> args{
        "--density", "普通にクッキリ", "--dust", "white", "--dust-size", "36", "-o",
        out,         dir.file("p.tif")};
    if (dustFirst) args.push_back("--dust-first");
    const RunResult r = runTool(args);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const QuillaneImage written = loadPage(out + "/p.tif");
    EXPECT_TRUE(samePixels(written, cleanedDirectly(page, dustFirst))) << out;
    EXPECT_FALSE(samePixels(written, page));
  }
  EXPECT_FALSE(samePixels(loadPage(dir.file("dust-first/p.tif")),
                          loadPage(dir.file("density-first/p.tif"))));
}

TEST_F(BatchTool, PresetsFollowThePageResolution) {
  const quillane::QuillaneParameter settings = shippedSettings();
  const char* const sizeWords[] = {"small", "medium", "large"};
  const char* const thresholdWords[] = {"weak", "medium", "strong"};
  for (const float dpi : {150.0f, 400.0f, 600.0f, 1200.0f, 2400.0f}) {
    const std::string path = dir.file("p" + std::to_string(static_cast<int>(dpi)) + ".png");
    ASSERT_TRUE(savePage(speckledPage(40, 30, dpi, 12), path, kFormatPng));
    // The presets follow the resolution the page file gives, as the editor's
    // buttons do.
    quillane::QuillaneParameter atDpi = settings;
    atDpi.resolution = loadPage(path).horizontalResolution;
    for (int i = 0; i < 3; ++i)
      for (const auto mode : {quillane::DustMode::White, quillane::DustMode::Black}) {
        const RunResult r = runTool(
            {"--dry-run", "--json", "--dust", mode == quillane::DustMode::White ? "white" : "black",
             "--dust-size", sizeWords[i], "--threshold", thresholdWords[i], path});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const int size = std::clamp(quillane::dustSizePreset(atDpi, mode, i), 1, 1000);
        const int threshold = std::clamp(settings.grayThresholdPresets(mode)[i], 1, 255);
        EXPECT_NE(r.out.find("\"dust_size\":" + std::to_string(size) +
                             ",\"threshold\":" + std::to_string(threshold) + ","),
                  std::string::npos)
            << dpi << " " << i << " " << r.out;
      }
  }
}

TEST_F(BatchTool, BrokenSettingsAreReportedOnceAndDefaultsUsed) {
  const std::string in = dir.file("in");
  fs::create_directories(in);
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(savePage(speckledPage(40, 30, 600, 20 + i), in + "/p" + std::to_string(i) + ".png",
                         kFormatPng));
  fs::create_directories(dir.file("settings"));
  std::ofstream(dir.file("settings/QuillanePlugin.ini")) << "[DustSize]\nLASTDUSTSIZE_BLACK=5\n";
  const RunResult r = runTool({"--settings", dir.file("settings"), "--jobs", "2", "--json",
                               "--dry-run", "--dust", "white", in},
                              false);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(count(r.err,
                  "ユーザー設定ファイルの読み込みに失敗しました。\n"
                  "アプリケーションを再インストールすると直る可能性があります。(1052)"),
            1u)
      << r.err;
  // The built-in last dust size, not the 5 of the broken file.
  EXPECT_EQ(count(r.out, "\"dust_size\":36,\"threshold\":0,"), 3u) << r.out;
}

// Runs the tool with stdout on a pipe and, once the first report line has
// come, sends SIGINT and reads on, or closes the pipe; returns what was read.
std::string runAndInterrupt(std::vector<std::string> args, bool closePipe, int& exitCode,
                            const std::string& errPath) {
  args.insert(args.begin(), {TAVELMOR_BATCH_PROGRAM, "--settings", TAVELMOR_DATA_DIR});
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int ends[2];
  if (::pipe(ends) != 0) return {};
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(ends[1], 1);
    ::dup2(::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
    ::close(ends[0]);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(ends[1]);
  std::string out;
  char c;
  while (::read(ends[0], &c, 1) == 1) {
    out += c;
    if (c != '\n' || count(out, "\n") > 1) continue;
    if (closePipe) break;
    ::kill(child, SIGINT);
  }
  ::close(ends[0]);
  int status = 0;
  exitCode = -1;
  if (child > 0 && ::waitpid(child, &status, 0) == child)
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return out;
}

TEST(BatchInterruption, PagesInProgressAreFinishedAndNoNewOneIsStarted) {
  constexpr size_t kPages = 24;
  for (const bool closePipe : {false, true}) {
    SCOPED_TRACE(closePipe ? "report pipe closed" : "SIGINT");
    TempDir dir;
    fs::create_directory(dir.file("in"));
    const QuillaneImage page = speckledPage(1200, 1600, 300, 7);
    for (size_t i = 0; i < kPages; ++i)
      ASSERT_TRUE(savePage(page, dir.file("in/p" + std::to_string(100 + i) + ".png"), kFormatPng));
    int exitCode = -1;
    const std::string out =
        runAndInterrupt({"--dust", "white", "--jobs", "2", "-o", dir.file("out"), dir.file("in")},
                        closePipe, exitCode, dir.file("err"));
    EXPECT_EQ(exitCode, 128 + (closePipe ? SIGPIPE : SIGINT));

    // Whole pages only, nothing hidden left beside them, and not every page.
    // Every input is the same page, so every output is the same cleaned page.
    std::vector<std::string> written;
    QuillaneImage first;
    for (const auto& entry : fs::directory_iterator(dir.file("out"))) {
      const std::string name = entry.path().filename().string();
      ASSERT_NE(name[0], '.') << "left behind: " << name;
      QuillaneImage cleaned = loadPage(entry.path().string());
      EXPECT_EQ(cleaned.height(), 1600) << name;
      if (first.isEmpty())
        first = std::move(cleaned);
      else
        EXPECT_TRUE(samePixels(cleaned, first)) << name;
      written.push_back(name);
    }
    EXPECT_GE(written.size(), 1u);
    EXPECT_LT(written.size(), kPages);
    const std::string left = std::to_string(kPages - written.size());
    EXPECT_NE(readFile(dir.file("err")).find(left + " pages were not started"), std::string::npos)
        << readFile(dir.file("err"));
    if (closePipe) continue;
    // Every page written was reported, and the summary counts them.
    for (const std::string& name : written)
      EXPECT_NE(out.find("/in/" + name), std::string::npos) << name << "\n" << out;
    const std::string n = std::to_string(written.size());
    EXPECT_NE(out.find(n + " pages: " + n + " cleaned"), std::string::npos) << out;
  }
}

// SpotCounter against a plain flood fill on many random small images.
int64_t floodFillCount(std::vector<uint8_t> flags, int w, int h) {
  int64_t areas = 0;
  for (int start = 0; start < w * h; ++start) {
    if (!flags[start]) continue;
    ++areas;
    flags[start] = 0;
    for (std::vector<int> stack{start}; !stack.empty();) {
      const int x = stack.back() % w, y = stack.back() / w;
      stack.pop_back();
      const int nx[4] = {x - 1, x + 1, x, x}, ny[4] = {y, y, y - 1, y + 1};
      for (int k = 0; k < 4; ++k)
        if (nx[k] >= 0 && nx[k] < w && ny[k] >= 0 && ny[k] < h && flags[ny[k] * w + nx[k]])
          flags[ny[k] * w + nx[k]] = 0, stack.push_back(ny[k] * w + nx[k]);
    }
  }
  return areas;
}

// Diagonal neighbours are separate areas.
TEST(SpotCounter, CountsTheFourConnectedAreasOfAFloodFill) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 3000; ++trial) {
    const int w = 1 + static_cast<int>(rng() % 40), h = 1 + static_cast<int>(rng() % 12);
    const unsigned density = 1 + rng() % 9;  // tenths flagged
    std::vector<uint8_t> flags(static_cast<size_t>(w * h));
    for (auto& f : flags) f = rng() % 10 < density ? static_cast<uint8_t>(1 + rng() % 255) : 0;
    batch::SpotCounter counter;
    for (int y = 0; y < h; ++y) counter.addRow(&flags[static_cast<size_t>(y * w)], w);
    ASSERT_EQ(counter.count(), floodFillCount(flags, w, h)) << "trial " << trial;
  }
}

}  // namespace
}  // namespace batch_test
