#pragma once
// PageJob: the cleaning of one page, from its file to its outputs, with the
// editor's own code at every step:
//  1. PageImageFile reads the page (probe, then decode with the gray
//     conversion: gray pages as they are, colour pages with --gray; without
//     it a colour page is skipped);
//  2. the density adjustment, TonvalePlugin::executeTonvale with the record
//     of --density, and the whole-page dust removal, a PinholeCommand over
//     the page as the editor's "remove all dust" runs it, in that order or
//     the reverse with --dust-first;
//  3. the cleaned page is written with PageImageFile::saveAs (atomic; the
//     resolution and 1-bit-ness of the input kept), the preview beside it.
// Spots removed are the 4-connected areas of spot-coloured pixels (on the
// two-level copy the removal works on) that took the paper colour; pixels
// changed are the page pixels the removal changed (threshold snapping
// included).
//
// Every object a page uses (page file, page buffers, density plug-in,
// command) belongs to the job, so pages may run on several threads at once;
// the engine binding and the notice layer are shared and safe for that.
#include "BatchOptions.h"
#include "BatchSettings.h"
#include "InputListing.h"
#include "OutputPlan.h"
#include "PageReport.h"

namespace batch {

class PageJob {
 public:
  PageJob(const BatchOptions& options, const BatchSettings& settings, const OutputPlan& plan)
      : options_(options), settings_(settings), plan_(plan) {}

  /// Cleans pages[index] and says what happened. Never throws; failures are
  /// in the report (with the page-file result code and its message).
  PageReport run(const InputPage& page, size_t index) const;

 private:
  const BatchOptions& options_;
  const BatchSettings& settings_;
  const OutputPlan& plan_;
};

}  // namespace batch
