// Runs a fuzz target over the files of its seed corpus, for builds without
// libFuzzer: every argument is a file or a folder of files, each file is one
// input. The target aborts on a finding (and the sanitizers report faults),
// so a finished run means every input passed. Exits 1 when no input was
// found or an input was refused by the target (a seed of the wrong format).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<uint8_t> readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::filesystem::path> inputs;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path arg(argv[i]);
    if (std::filesystem::is_directory(arg)) {
      for (const auto& entry : std::filesystem::directory_iterator(arg)) {
        if (entry.is_regular_file()) inputs.push_back(entry.path());
      }
    } else {
      inputs.push_back(arg);
    }
  }
  std::sort(inputs.begin(), inputs.end());
  if (inputs.empty()) {
    std::fprintf(stderr, "no inputs\n");
    return 1;
  }
  int refused = 0;
  for (const auto& path : inputs) {
    const std::vector<uint8_t> bytes = readFile(path);
    if (std::getenv("FUZZ_TRACE") != nullptr) std::fprintf(stderr, "%s: ", path.c_str());
    const int result = LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    if (result != 0) {
      std::fprintf(stderr, "refused: %s\n", path.c_str());
      ++refused;
    }
  }
  std::printf("%zu inputs run, %d refused\n", inputs.size(), refused);
  return refused == 0 ? 0 : 1;
}
