// Report lines of tavelmor-batch; see PageReport.h.
#include "PageReport.h"

#include <cmath>
#include <cstdio>

namespace batch {
namespace {

std::string number(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

const char* statusName(PageStatus status) {
  switch (status) {
    case PageStatus::Cleaned:
      return "cleaned";
    case PageStatus::Skipped:
      return "skipped";
    case PageStatus::Failed:
      break;
  }
  return "failed";
}

}  // namespace

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

std::string textLine(const PageReport& r) {
  std::string line = r.input + "  ";
  if (r.status == PageStatus::Skipped) return line + "skipped: " + r.message;
  if (r.status == PageStatus::Failed) {
    line += "FAILED: " + r.message;
    if (r.code != 0) line += " (" + std::to_string(r.code) + ")";
    return line;
  }
  line +=
      std::to_string(r.width) + "x" + std::to_string(r.height) + "  " + number(r.xDpi, 0) + " dpi";
  if (r.dust) line += "  spots " + std::to_string(r.spots) + "  pixels " + std::to_string(r.pixels);
  return line + "  " + number(r.milliseconds, 0) + " ms";
}

std::string jsonLine(const PageReport& r) {
  std::string line =
      "{\"input\":" + jsonString(r.input) + ",\"status\":\"" + statusName(r.status) + "\"";
  if (r.width > 0) {
    line += ",\"width\":" + std::to_string(r.width) + ",\"height\":" + std::to_string(r.height) +
            ",\"dpi\":" + number(r.xDpi, 2);
  }
  if (r.status == PageStatus::Cleaned && r.dust) {
    line += ",\"dust_size\":" + std::to_string(r.dustSize) +
            ",\"threshold\":" + std::to_string(r.threshold) +
            ",\"spots\":" + std::to_string(r.spots) + ",\"pixels\":" + std::to_string(r.pixels);
  }
  line += ",\"ms\":" + number(r.milliseconds, 1);
  if (!r.output.empty()) line += ",\"output\":" + jsonString(r.output);
  if (!r.preview.empty()) line += ",\"preview\":" + jsonString(r.preview);
  if (r.code != 0) line += ",\"code\":" + std::to_string(r.code);
  if (!r.message.empty()) line += ",\"message\":" + jsonString(r.message);
  return line + "}";
}

std::string summaryLine(const std::vector<PageReport>& reports, double seconds) {
  size_t cleaned = 0, failed = 0, skipped = 0;
  int64_t spots = 0, pixels = 0;
  for (const PageReport& r : reports) {
    if (r.status == PageStatus::Cleaned) ++cleaned;
    if (r.status == PageStatus::Failed) ++failed;
    if (r.status == PageStatus::Skipped) ++skipped;
    spots += r.spots;
    pixels += r.pixels;
  }
  return std::to_string(reports.size()) + (reports.size() == 1 ? " page: " : " pages: ") +
         std::to_string(cleaned) + " cleaned, " + std::to_string(failed) + " failed, " +
         std::to_string(skipped) + " skipped; " + std::to_string(spots) + " spots, " +
         std::to_string(pixels) + " pixels changed; " + number(seconds, 2) + " s";
}

}  // namespace batch
