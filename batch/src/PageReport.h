#pragma once
// PageReport: what happened to one page, and its report line (text or JSON)
// and the run's summary.
//
// Text line, one per page:
//   <input>  <width>x<height>  <dpi> dpi  spots <n>  pixels <n>  <ms> ms
//   <input>  skipped: <reason>
//   <input>  FAILED: <message> (<code>)
// JSON object, one per line, keys in this order:
//   {"input":..,"status":"cleaned"|"skipped"|"failed","width":..,"height":..,
//    "dpi":..,"dust_size":..,"threshold":..,"spots":..,"pixels":..,"ms":..,
//    "output":..,"preview":..,"code":..,"message":..}
// (keys without a value for the page are left out).
#include <cstdint>
#include <string>
#include <vector>

namespace batch {

enum class PageStatus { Cleaned, Skipped, Failed };

struct PageReport {
  std::string input;
  PageStatus status = PageStatus::Failed;
  int32_t width = 0;
  int32_t height = 0;
  double xDpi = 0.0;
  double yDpi = 0.0;
  bool dust = false;      ///< the dust removal ran
  int32_t dustSize = 0;   ///< largest spot area used (0: size criterion off)
  int32_t threshold = 0;  ///< gray threshold used (0: gray criterion off)
  int64_t spots = 0;      ///< spots the removal painted over
  int64_t pixels = 0;     ///< page pixels the removal changed
  double milliseconds = 0.0;
  std::string output;   ///< file written ("" none)
  std::string preview;  ///< preview written ("" none)
  int code = 0;         ///< page-file result code of a failure (0: none)
  std::string message;  ///< failure or skip reason
};

/// The text report line of a page (no line end).
std::string textLine(const PageReport& report);

/// The JSON object of a page on one line (no line end).
std::string jsonLine(const PageReport& report);

/// The summary after the last page, e.g.
/// "3 pages: 2 cleaned, 1 failed, 0 skipped; 12 spots, 340 pixels changed; 1.52 s".
std::string summaryLine(const std::vector<PageReport>& reports, double seconds);

/// JSON string literal of UTF-8 text (quotes, backslashes and control
/// characters escaped).
std::string jsonString(const std::string& text);

}  // namespace batch
