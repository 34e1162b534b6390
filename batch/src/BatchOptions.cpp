// Command-line parsing of tavelmor-batch; see BatchOptions.h.
#include "BatchOptions.h"

#include <charconv>
#include <utility>

#include "quillane/imagefile/GrayConversion.h"
#include "quillane/imagefile/PageFileResult.h"

namespace batch {
namespace {

struct Word {
  const char* text;
  int value;
};

const Word kGrayModes[] = {
    {"red", quillane::kGrayRed},         {"green", quillane::kGrayGreen},
    {"blue", quillane::kGrayBlue},       {"weighted", quillane::kGrayWeighted},
    {"darkest", quillane::kGrayDarkest}, {"cyan", quillane::kGrayCyan},
    {"magenta", quillane::kGrayMagenta}, {"yellow", quillane::kGrayYellow},
    {"black", quillane::kGrayBlack}};
const Word kFormats[] = {{"tiff", quillane::kFormatTiff},
                         {"jpeg", quillane::kFormatJpeg},
                         {"png", quillane::kFormatPng},
                         {"bmp", quillane::kFormatBmp}};
// TIFF compression codes: none 1, LZW 5, Deflate 32946, JPEG 7.
const Word kCompressions[] = {{"none", 1}, {"lzw", 5}, {"zip", 32946}, {"jpeg", 7}};
const Word kSizeWords[] = {{"small", 0}, {"medium", 1}, {"large", 2}};
const Word kThresholdWords[] = {{"weak", 0}, {"medium", 1}, {"strong", 2}};

template <size_t N>
std::optional<int> lookUp(const Word (&words)[N], const std::string& text) {
  for (const Word& w : words)
    if (text == w.text) return w.value;
  return std::nullopt;
}

template <size_t N>
std::string choices(const Word (&words)[N]) {
  std::string list;
  for (const Word& w : words) list += (list.empty() ? "" : "|") + std::string(w.text);
  return list;
}

std::optional<int> wholeNumber(const std::string& text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
  return value;
}

class Parser {
 public:
  Parser(int argc, const char* const* argv) : argc_(argc), argv_(argv) {}

  ParseResult run() {
    ParseResult result;
    BatchOptions& o = result.options;
    bool optionsEnded = false;
    for (index_ = 1; index_ < argc_ && error_.empty(); ++index_) {
      std::string arg = argv_[index_];
      if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
        o.inputs.push_back(std::move(arg));
        continue;
      }
      if (arg == "--") {
        optionsEnded = true;
        continue;
      }
      inlineValue_.reset();
      if (const size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
        inlineValue_ = arg.substr(eq + 1);
        arg.resize(eq);
      }
      option_ = arg;
      handle(o);
    }
    if (error_.empty()) checkCombination(o);
    result.error = error_;
    return result;
  }

 private:
  void handle(BatchOptions& o) {
    const std::string& a = option_;
    if (a == "--help" || a == "-h") {
      noValue() && (o.help = true);
    } else if (a == "--recursive" || a == "-r") {
      noValue() && (o.recursive = true);
    } else if (a == "--gray") {
      if (auto v = wordValue(kGrayModes)) o.grayMode = *v;
    } else if (a == "--density") {
      if (auto v = value()) {
        if (v->empty())
          fail("needs a mode: a number 2..7, a mode name, user1 or user2");
        else
          o.density = *v;
      }
    } else if (a == "--dust") {
      if (auto v = value()) {
        if (*v == "white")
          o.dust = quillane::DustMode::White;
        else if (*v == "black")
          o.dust = quillane::DustMode::Black;
        else
          fail("expects white or black, not \"" + *v + "\"");
      }
    } else if (a == "--dust-size") {
      o.dustSize = numberOrPreset(kSizeWords, 1, 1000);
    } else if (a == "--threshold") {
      o.threshold = numberOrPreset(kThresholdWords, 1, 255);
    } else if (a == "--dust-first") {
      noValue() && (o.dustFirst = true);
    } else if (a == "--settings") {
      if (auto v = nonEmptyValue()) o.settingsFolder = *v;
    } else if (a == "--out-dir" || a == "-o") {
      if (auto v = nonEmptyValue()) o.outDir = *v;
    } else if (a == "--in-place") {
      noValue() && (o.inPlace = true);
    } else if (a == "--overwrite") {
      noValue() && (o.overwrite = true);
    } else if (a == "--format") {
      if (auto v = wordValue(kFormats)) o.formatKind = *v;
    } else if (a == "--compression") {
      if (auto v = wordValue(kCompressions)) o.tiffCompression = *v;
    } else if (a == "--quality") {
      if (auto v = ranged(1, 12)) o.qualityLevel = *v;
    } else if (a == "--preview") {
      if (auto v = nonEmptyValue()) o.previewDir = *v;
    } else if (a == "--preview-only") {
      noValue() && (o.previewOnly = true);
    } else if (a == "--dry-run") {
      noValue() && (o.dryRun = true);
    } else if (a == "--quiet" || a == "-q") {
      noValue() && (o.quiet = true);
    } else if (a == "--json") {
      noValue() && (o.json = true);
    } else if (a == "--jobs" || a == "-j") {
      if (auto v = ranged(1, 256)) o.jobs = *v;
    } else {
      error_ = "unknown option " + a + " (see --help)";
    }
  }

  void checkCombination(BatchOptions& o) {
    if (o.help) return;
    auto conflict = [&](bool bad, const std::string& message) {
      if (bad && error_.empty()) error_ = message;
    };
    conflict(o.inputs.empty(), "no input: give page files or folders (see --help)");
    conflict(!o.density && !o.dust,
             "nothing to do: give --density MODE, --dust white|black or both");
    conflict(!o.dust && (o.dustSize || o.threshold || o.dustFirst),
             std::string(o.dustSize    ? "--dust-size"
                         : o.threshold ? "--threshold"
                                       : "--dust-first") +
                 " needs --dust white|black");
    conflict(!o.previewDir.empty() && !o.dust, "--preview needs --dust white|black");
    conflict(o.previewOnly && o.previewDir.empty(), "--preview-only needs --preview DIR");
    conflict(o.tiffCompression && o.formatKind != 0 && o.formatKind != quillane::kFormatTiff,
             "--compression applies to TIFF output only");
    conflict(o.inPlace && !o.outDir.empty(), "--in-place and --out-dir exclude each other");
    conflict(o.inPlace && o.formatKind != 0,
             "--format cannot be used with --in-place (the page keeps its file)");
    conflict(o.inPlace && (o.previewOnly || o.dryRun),
             std::string(o.previewOnly ? "--preview-only" : "--dry-run") +
                 " writes no page, so --in-place makes no sense with it");
    conflict(!o.inPlace && o.outDir.empty() && !o.previewOnly && !o.dryRun,
             "--out-dir DIR is required (or --in-place, --preview-only, --dry-run)");
  }

  bool noValue() {
    if (inlineValue_) fail("takes no value");
    return !inlineValue_;
  }

  std::optional<std::string> value() {
    if (inlineValue_) return inlineValue_;
    if (index_ + 1 >= argc_) {
      fail("needs a value");
      return std::nullopt;
    }
    return std::string(argv_[++index_]);
  }

  std::optional<std::string> nonEmptyValue() {
    auto v = value();
    if (v && v->empty()) {
      fail("needs a non-empty value");
      return std::nullopt;
    }
    return v;
  }

  template <size_t N>
  std::optional<int> wordValue(const Word (&words)[N]) {
    auto v = value();
    if (!v) return std::nullopt;
    auto found = lookUp(words, *v);
    if (!found) fail("expects " + choices(words) + ", not \"" + *v + "\"");
    return found;
  }

  std::optional<int> ranged(int low, int high) {
    auto v = value();
    if (!v) return std::nullopt;
    auto n = wholeNumber(*v);
    if (!n || *n < low || *n > high) {
      fail("expects a whole number " + std::to_string(low) + ".." + std::to_string(high) +
           ", not \"" + *v + "\"");
      return std::nullopt;
    }
    return n;
  }

  template <size_t N>
  std::optional<NumberOrPreset> numberOrPreset(const Word (&words)[N], int low, int high) {
    auto v = value();
    if (!v) return std::nullopt;
    if (auto preset = lookUp(words, *v)) return NumberOrPreset{0, *preset};
    auto n = wholeNumber(*v);
    if (!n || *n < low || *n > high) {
      fail("expects a whole number " + std::to_string(low) + ".." + std::to_string(high) + " or " +
           choices(words) + ", not \"" + *v + "\"");
      return std::nullopt;
    }
    return NumberOrPreset{*n, -1};
  }

  void fail(const std::string& what) {
    if (error_.empty()) error_ = option_ + " " + what;
  }

  int argc_;
  const char* const* argv_;
  int index_ = 1;
  std::string option_;
  std::optional<std::string> inlineValue_;
  std::string error_;
};

}  // namespace

ParseResult parseBatchOptions(int argc, const char* const* argv) {
  return Parser(argc, argv).run();
}

std::string batchHelpText() {
  return R"(Usage: tavelmor-batch [options] FILE_OR_FOLDER...

Cleans scanned pages (TIFF, JPEG, PNG, BMP) with the editor's own dust removal
and density adjustment. Folders give their page files, sorted by name.

Inputs
  -r, --recursive          also read the subfolders of input folders (default: off)
  --gray MODE              turn colour pages gray with red|green|blue|weighted|
                           darkest|cyan|magenta|yellow|black (default: none, colour
                           pages are reported and skipped)

Cleaning steps (at least one of --density and --dust)
  --density MODE           density adjustment: preset number 2..7, a mode name
                           (e.g. 普通にクッキリ), user1 or user2 (default: none)
  --dust white|black       whole-page dust removal: dark specks on white paper, or
                           white pinholes in black (default: none)
  --dust-size N|small|medium|large
                           switches the size criterion on: spots up to N pixels,
                           or the preset for the page's resolution (default: on,
                           with the mode's last dust size of the settings, when
                           --threshold is not given either)
  --threshold T|weak|medium|strong
                           switches the gray criterion on, T = 1..255 (default: off)
  --dust-first             remove dust before the density adjustment (default:
                           density first)
  --settings DIR           folder of QuillanePlugin.ini and TonvalePlugin.ini
                           (default: the per-user folder, else the shipped files)

Output
  -o, --out-dir DIR        folder of the cleaned pages, same base names (required
                           unless --in-place, --preview-only or --dry-run)
  --in-place               replace each input by its cleaned page (default: off)
  --overwrite              replace existing output files (default: off)
  --format tiff|jpeg|png|bmp   output format (default: the input's format)
  --compression none|lzw|zip|jpeg
                           TIFF compression (default: the input TIFF's own, else none)
  --quality 1..12          JPEG quality level (default: 82 %, JPEG in TIFF 92 %)
  --preview DIR            also write DIR/<name>.png: the page with every pixel the
                           dust removal changes in the dust colour (default: none)
  --preview-only           write the previews only, no cleaned pages (default: off)
  --dry-run                process and report, write nothing (default: off)

Report
  -q, --quiet              no report lines and no progress, only errors (default: off)
  --json                   one JSON object per page on stdout (default: text lines)
  -j, --jobs N             pages processed in parallel, 1..256 (default: the
                           number of cores); the results do not depend on it
  -h, --help               this text

Exit status: 0 every page cleaned, 1 some page failed or was skipped, 2 usage error,
128 + the signal's number when interrupted (Ctrl-C gives 130): the pages in progress
are finished and reported, no new page is started; a second Ctrl-C ends at once.
)";
}

}  // namespace batch
