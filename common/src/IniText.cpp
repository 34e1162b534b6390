#include "IniText.h"

#include <iconv.h>

#include <cerrno>
#include <climits>
#include <cstdint>

#include "common/FilePath.h"

namespace common {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// The section name of a "[name]" line, or nothing for any other line.
std::optional<std::string_view> sectionName(std::string_view line) {
  line = trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  const size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return trim(line.substr(1, close - 1));
}

// Splits a "key=value" line; nothing for a line without '='.
bool splitKeyLine(std::string_view line, std::string_view& key, std::string_view& value) {
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  key = trim(line.substr(0, eq));
  value = trim(line.substr(eq + 1));
  return true;
}

// Index range [begin, end) of the lines of the first section with that name
// (begin is the line after the header); begin == npos when missing.
struct SectionRange {
  size_t header = std::string::npos;
  size_t end = 0;
};

SectionRange findSection(const std::vector<std::string>& lines, std::string_view section) {
  SectionRange range;
  for (size_t i = 0; i < lines.size(); ++i) {
    const auto name = sectionName(lines[i]);
    if (!name) continue;
    if (range.header != std::string::npos) {
      range.end = i;
      return range;
    }
    if (equalsNoCase(*name, section)) range.header = i;
  }
  range.end = lines.size();
  return range;
}

}  // namespace

bool isValidUtf8(std::string_view bytes) {
  size_t i = 0;
  const size_t n = bytes.size();
  while (i < n) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    size_t extra;
    uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + extra >= n) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const auto d = static_cast<unsigned char>(bytes[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    // Overlong forms, surrogates and values above U+10FFFF are not UTF-8.
    static const uint32_t kMinimum[4] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

std::string cp932ToUtf8(std::string_view bytes) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size() * 3 / 2 + 16);
  char buffer[4096];
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  while (inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    const size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<size_t>(outPtr - buffer));
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      // An undecodable byte: replace it and go on with the next one.
      out += "\xEF\xBF\xBD";
      ++in;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

int parseProfileInt(std::string_view text) {
  text = trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value > static_cast<int64_t>(INT_MAX) + 1) value = static_cast<int64_t>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  if (value < INT_MIN) value = INT_MIN;
  return static_cast<int>(value);
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

IniText IniText::fromBytes(std::string_view bytes) {
  IniText text;
  std::string decoded;
  if (bytes.substr(0, 3) == kByteOrderMark) {
    bytes.remove_prefix(3);
    text.byteOrderMark_ = true;
  }
  if (isValidUtf8(bytes)) {
    decoded.assign(bytes);
  } else {
    decoded = cp932ToUtf8(bytes);
  }
  size_t start = 0;
  bool styleSeen = false;
  while (start < decoded.size()) {
    size_t nl = decoded.find('\n', start);
    const bool last = nl == std::string::npos;
    if (last) nl = decoded.size();
    std::string line = decoded.substr(start, nl - start);
    const bool crlf = !line.empty() && line.back() == '\r';
    if (crlf) line.pop_back();
    if (!styleSeen && !last) {
      text.lineEnd_ = crlf ? "\r\n" : "\n";
      styleSeen = true;
    }
    text.lines_.push_back(std::move(line));
    start = nl + 1;
  }
  return text;
}

std::optional<std::string> IniText::value(std::string_view section, std::string_view key) const {
  const SectionRange range = findSection(lines_, section);
  if (range.header == std::string::npos) return std::nullopt;
  for (size_t i = range.header + 1; i < range.end; ++i) {
    std::string_view k, v;
    if (!splitKeyLine(lines_[i], k, v) || !equalsNoCase(k, key)) continue;
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
      v = v.substr(1, v.size() - 2);
    return std::string(v);
  }
  return std::nullopt;
}

void IniText::set(std::string_view section, std::string_view key, std::string_view value) {
  std::string keyLine = std::string(key) + "=" + std::string(value);
  const SectionRange range = findSection(lines_, section);
  if (range.header == std::string::npos) {
    lines_.push_back("[" + std::string(section) + "]");
    lines_.push_back(std::move(keyLine));
    return;
  }
  size_t lastContent = range.header;
  for (size_t i = range.header + 1; i < range.end; ++i) {
    std::string_view k, v;
    if (splitKeyLine(lines_[i], k, v) && equalsNoCase(k, key)) {
      lines_[i] = std::move(keyLine);
      return;
    }
    if (!trim(lines_[i]).empty()) lastContent = i;
  }
  // A new key goes right after the section's last non-blank line, so blank
  // lines separating it from the next section stay where they are.
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(lastContent + 1), std::move(keyLine));
}

std::string IniText::toBytes() const {
  // The mark is written back: dropping it could change how the text reads
  // (a second mark behind it would become the one that is skipped).
  std::string out = byteOrderMark_ ? std::string(kByteOrderMark) : std::string();
  for (const std::string& line : lines_) {
    out += line;
    out += lineEnd_;
  }
  return out;
}

}  // namespace common
