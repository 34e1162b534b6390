// Fuzz target of the settings file reader and writer (common::IniFile).
//
// Input: the file's bytes, optionally followed by a NUL byte and
// "section\nkey\nvalue", the names the reads and the write use (without that
// tail: "Setting", "Name" and "1"). The target reads the key as an integer
// and a string, writes the value and reads it back.
//
// A write of a plain name and value (letters, digits and '_' only) must be
// readable afterwards exactly as written, whatever the file held before;
// anything else aborts, which the fuzzer reports.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzTempFile.h"
#include "common/IniFile.h"

namespace {

bool plain(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    const bool ok =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    if (!ok) return false;
  }
  return true;
}

// The next line of rest (up to '\n'), taken off rest.
std::string takeLine(std::string_view& rest, const char* fallback) {
  if (rest.empty()) return fallback;
  const size_t end = rest.find('\n');
  std::string line(rest.substr(0, end));
  rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t nul = input.find('\0');
  const std::string_view content = input.substr(0, nul);
  std::string_view names =
      nul == std::string_view::npos ? std::string_view{} : input.substr(nul + 1);
  const std::string section = takeLine(names, "Setting");
  const std::string key = takeLine(names, "Name");
  const std::string value = takeLine(names, "1");

  static const fuzz::FuzzTempFile file("settings.ini");
  file.write(reinterpret_cast<const uint8_t*>(content.data()), content.size());
  const common::IniFile ini(file.path());
  volatile int number = ini.readInt(section, key, -7);
  (void)number;
  const std::string before = ini.readString(section, key, "default");
  (void)before;
  try {
    ini.writeString(section, key, value);
  } catch (const common::IniError&) {
    // A refused write is a legitimate answer (for instance, a name with a
    // line break); the old file stays as it was.
    return 0;
  }
  if (plain(section) && plain(key) && plain(value)) {
    const std::string after = ini.readString(section, key, "\x01missing");
    if (after != value) {
      std::fprintf(stderr, "ini fuzz: wrote [%s] %s=%s, read back \"%s\"\n", section.c_str(),
                   key.c_str(), value.c_str(), after.c_str());
      std::abort();
    }
  }
  return 0;
}
