#pragma once
// OutputPlan: where each page's cleaned file and preview go, and the checks
// that keep a run from destroying anything it was not asked to replace.
//
//   cleaned page  <out-dir>/<folder below the input folder>/<base name><ext>,
//                 ext: the input's own extension when it belongs to the output
//                 format, else ".tif", ".jpg", ".png" or ".bmp"; with
//                 --in-place the input itself
//   preview       <preview dir>/<folder below the input folder>/<base name>.png
//
// Before any page is read, the plan finds the pages whose cleaned file or
// preview has a name that an earlier page of the run (or the page's own
// other output) also uses; with --in-place, a file given twice under any
// spelling. Those pages fail, so the outcome does not depend on which job
// finishes first. While a page is written, checkTarget() refuses a target
// that is one of the run's input files (unless it is the page's own file and
// --in-place was given) and an existing file without --overwrite.
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "BatchOptions.h"
#include "InputListing.h"

namespace batch {

class OutputPlan {
 public:
  OutputPlan(const BatchOptions& options, const std::vector<InputPage>& pages);

  /// The cleaned page's path for an output of format kind outputKind (1..4).
  std::string outputPath(const InputPage& page, int32_t outputKind) const;
  /// The preview's path ("" without --preview).
  std::string previewPath(const InputPage& page) const;

  /// Why page number index may not be written ("" when it may): another page
  /// of the run, listed earlier, has the same output or preview name.
  const std::string& conflict(size_t index) const { return conflicts_[index]; }

  /// Why target may not be written for the page at inputPath ("" when it
  /// may). replacesInput: the target is the cleaned page of --in-place,
  /// which alone may replace the page's own file.
  std::string checkTarget(const std::string& target, const std::string& inputPath,
                          bool replacesInput) const;

  /// The extension written for a format kind (".tif", ".jpg", ".png", ".bmp").
  static const char* canonicalExtension(int32_t kind);
  /// The format kind of a path's extension: 0 without one, 5 when unknown.
  static int32_t extensionKind(const std::string& path);

 private:
  const BatchOptions& options_;
  std::set<std::pair<uint64_t, uint64_t>> inputIdentities_;  ///< (device, inode)
  std::vector<std::string> conflicts_;
};

}  // namespace batch
