#pragma once
// BatchSettings: the editor and density settings a run uses, and the
// per-page dust settings derived from them.
//
// The settings files are found as the editor finds them: with --settings DIR
// in that folder; otherwise each file ("QuillanePlugin.ini",
// "TonvalePlugin.ini") in the per-user settings folder when it is there, else
// in the first shipped settings folder that has it. A file is loaded only when
// its step is asked for (editor settings for --dust, density settings for
// --density). A file that fails to load is reported once, with the editor's
// own message text and code, and the built-in defaults are used.
#include <optional>
#include <string>

#include "BatchOptions.h"
#include "quillane/editing/DustDiagnosis.h"
#include "quillane/model/QuillaneParameter.h"
#include "tonvale/TonvaleParameter.h"

namespace batch {

struct BatchSettings {
  quillane::QuillaneParameter editor;  ///< dust sizes, thresholds, presets, dust colour
  std::string editorFile;              ///< the file tried for the editor settings ("" unused)
  bool editorLoaded = false;

  std::optional<tonvale::TonvaleParameter::Record> density;  ///< record of --density
  int densityMode = -1;                                      ///< its mode number 0..15
  std::string densityFile;  ///< the file tried for the density settings ("" unused)
  bool densityLoaded = false;
};

/// Loads the settings the options need and resolves the --density mode: a
/// number 2..7, the name of a preset or user mode (modes 2..15, as the loaded
/// settings name them), user1 or user2 (the user buttons). Returns the
/// settings, or sets usageError (naming --density) for a mode that does not
/// exist.
std::optional<BatchSettings> loadBatchSettings(const BatchOptions& options,
                                               std::string& usageError);

/// The folder holding fileName: folder when given, else the per-user
/// settings folder if the file is there, else the first shipped folder that
/// has it, else the per-user folder (where loading then fails and is reported).
std::string settingsFolderFor(const std::string& fileName,
                              const std::optional<std::string>& folder);

/// The dust removal settings for a page of the given resolution (dots per
/// inch), as the editor's controls would hold them: presets of --dust-size
/// from the record's ratio presets for that resolution, presets of
/// --threshold as stored; numbers and presets clamped to 1..1000 and 1..255 as
/// the editor clamps them. Without --dust-size and --threshold the size
/// criterion is on with the mode's last dust size. Requires options.dust.
quillane::DustSettings dustSettingsFor(const BatchOptions& options,
                                       const quillane::QuillaneParameter& editor, double dpi);

}  // namespace batch
