#pragma once
// BatchRun: a whole run of tavelmor-batch over its pages, on several threads.
//
// Jobs take the next unstarted page in input order; the main thread reports
// finished pages in input order as soon as all earlier ones are reported.
// Each page is cleaned by the same code whatever the number of jobs, so the
// files written do not depend on it.
#include "BatchOptions.h"

namespace batch {

/// Runs the cleaning the options ask for and returns the exit status: 0 when
/// every page was cleaned, 1 when some page failed or was skipped (or the
/// folders given hold no page, or the engine needed for --dust cannot be
/// loaded), 2 for a usage error found
/// once the settings are known (an unknown --density mode), and 128 + the
/// signal's number when SIGINT, SIGTERM, SIGHUP or SIGPIPE interrupted it
/// (the pages in progress are finished and reported, no new one is started).
int runBatch(const BatchOptions& options);

}  // namespace batch
