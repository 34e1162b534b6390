#pragma once
// BatchOptions: what the command line of tavelmor-batch asks for, and its
// parser.
//
//   tavelmor-batch [options] FILE_OR_FOLDER...
//
// parseBatchOptions() checks every option's form and range and the rules
// between options (at least one cleaning step; --out-dir unless --in-place,
// --preview-only or --dry-run; ...). Names that need the settings files
// (density mode names, the presets of --dust-size and --threshold) are kept
// as written and resolved later by the settings resolution.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "quillane/model/DustMode.h"

namespace batch {

/// A value given as a number or as a preset word (small/medium/large,
/// weak/medium/strong).
struct NumberOrPreset {
  int number = 0;   ///< valid when preset < 0
  int preset = -1;  ///< 0, 1, 2 for the first, second, third preset word
};

struct BatchOptions {
  std::vector<std::string> inputs;  ///< files and folders, as given
  bool recursive = false;

  int32_t grayMode = -1;  ///< GrayMode of --gray; -1: colour pages are skipped

  std::optional<std::string> density;  ///< --density as written
  std::optional<quillane::DustMode> dust;
  std::optional<NumberOrPreset> dustSize;   ///< switches the size criterion on
  std::optional<NumberOrPreset> threshold;  ///< switches the gray criterion on
  bool dustFirst = false;

  std::optional<std::string> settingsFolder;

  std::string outDir;
  bool inPlace = false;
  bool overwrite = false;
  int32_t formatKind = 0;                  ///< PageFormatKind; 0: the input's format
  std::optional<int32_t> tiffCompression;  ///< TIFF compression code of --compression
  int32_t qualityLevel = 0;                ///< 0: the default quality

  std::string previewDir;
  bool previewOnly = false;
  bool dryRun = false;

  bool quiet = false;
  bool json = false;
  int jobs = 0;  ///< 0: the number of cores
  bool help = false;
};

/// The result of parsing: the options, or the message of a usage error that
/// names the offending option.
struct ParseResult {
  BatchOptions options;
  std::string error;  ///< empty on success
  bool ok() const { return error.empty(); }
};

/// Parses argv[1..argc-1]. Options take their value as the next argument or
/// after '=' (--jobs=2); "--" ends the options. --help alone is enough.
ParseResult parseBatchOptions(int argc, const char* const* argv);

/// The text of --help: every option with its default.
std::string batchHelpText();

}  // namespace batch
