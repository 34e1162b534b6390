#include "BatchTestSupport.h"

#include <fcntl.h>
#include <png.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "quillane/imagefile/PageImageFile.h"

namespace batch_test {
namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "tavelmor-batch-test.XXXXXX").string();
  path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) fs::remove_all(path_, ec);
}

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

namespace {

std::vector<std::string> programArgs(const std::vector<std::string>& args) {
  std::vector<std::string> argv{TAVELMOR_BATCH_PROGRAM};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

}  // namespace

RunResult runToolOnTerminal(const std::vector<std::string>& args) {
  std::vector<std::string> argv = programArgs(args);
  std::vector<char*> raw;
  for (std::string& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);
  RunResult result;
  int terminal = -1;
  const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child == 0) {
    ::execv(raw[0], raw.data());
    ::_exit(127);
  }
  if (child < 0) return result;
  char buffer[4096];
  for (ssize_t n; (n = ::read(terminal, buffer, sizeof buffer)) > 0;) result.out.append(buffer, n);
  ::close(terminal);
  int status = 0;
  if (::waitpid(child, &status, 0) == child && WIFEXITED(status))
    result.exitCode = WEXITSTATUS(status);
  return result;
}

RunResult runTool(const std::vector<std::string>& args) {
  TempDir capture;
  const std::string outPath = capture / "out", errPath = capture / "err";
  std::vector<std::string> argv = programArgs(args);
  std::vector<char*> raw;
  for (std::string& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);

  RunResult result;
  const pid_t child = ::fork();
  if (child == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::execv(raw[0], raw.data());
    ::_exit(127);
  }
  int status = 0;
  if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status))
    result.exitCode = WEXITSTATUS(status);
  result.out = slurp(outPath);
  result.err = slurp(errPath);
  return result;
}

std::string shippedSettingsFolder() { return TAVELMOR_DATA_DIR; }

quillane::QuillaneImage speckledPage(int32_t width, int32_t height, float dpi, uint32_t seed) {
  quillane::QuillaneImage page;
  page.create(width, height, width, 1);
  page.horizontalResolution = page.verticalResolution = dpi;
  std::mt19937 rng(seed);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = page.row(y);
    for (int32_t x = 0; x < width; ++x) row[x] = uniform(0, 9) == 0 ? uniform(230, 254) : 255;
  }
  auto fill = [&](int32_t x0, int32_t y0, int32_t w, int32_t h, uint8_t v) {
    for (int32_t y = std::max(0, y0); y < std::min(height, y0 + h); ++y)
      for (int32_t x = std::max(0, x0); x < std::min(width, x0 + w); ++x) page.row(y)[x] = v;
  };
  // Ink strokes and a black block with pinholes.
  for (int i = 0; i < 6; ++i) fill(uniform(0, width - 1), 0, 3, height, 0);
  fill(width / 4, height / 4, width / 3, height / 3, 0);
  for (int i = 0; i < 40; ++i)
    fill(width / 4 + uniform(0, width / 3), height / 4 + uniform(0, height / 3), uniform(1, 3),
         uniform(1, 3), static_cast<uint8_t>(uniform(200, 255)));
  // Specks of 1 .. 30 pixels.
  for (int i = 0; i < width * height / 400; ++i)
    fill(uniform(0, width - 1), uniform(0, height - 1), uniform(1, 6), uniform(1, 5),
         static_cast<uint8_t>(uniform(0, 200)));
  return page;
}

bool savePage(const quillane::QuillaneImage& page, const std::string& path, int32_t formatKind) {
  quillane::PageImageFile file;
  file.setPage(const_cast<quillane::QuillaneImage*>(&page));
  const int result =
      file.saveAs(path, formatKind, formatKind == quillane::kFormatTiff ? 5 : 0, 0, false);
  file.setPage(nullptr);  // the page is the caller's, reset() must not free it
  return result == 0;
}

quillane::QuillaneImage loadPage(const std::string& path) {
  quillane::QuillaneImage page;
  quillane::PageImageFile file;
  const int probed = file.probe(path);
  if (probed != 1 && probed != 3 && probed != 4) return page;
  file.setPage(&page);
  const int mode = probed == 1 ? 0 : 8;
  const int decoded = file.hasTiffHandle() ? file.decodeTiff(mode) : file.decodeOther(mode);
  file.setPage(nullptr);
  if (decoded != 0) page.release();
  return page;
}

bool readRgbPng(const std::string& path, int32_t& width, int32_t& height,
                std::vector<uint8_t>& rgb) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  if (image.format != PNG_FORMAT_RGB) {
    png_image_free(&image);
    return false;
  }
  width = static_cast<int32_t>(image.width);
  height = static_cast<int32_t>(image.height);
  rgb.resize(PNG_IMAGE_SIZE(image));
  return png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) != 0;
}

std::vector<uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool sameBytes(const std::string& a, const std::string& b) {
  const auto x = readBytes(a);
  return !x.empty() && x == readBytes(b);
}

}  // namespace batch_test
