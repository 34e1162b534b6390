// tavelmor-batch: cleans whole scanned volumes from the command line with the
// editor's dust removal and density adjustment. See BatchOptions.h for the
// command line and BatchRun.h for the run.
#include <cstdio>

#include "BatchOptions.h"
#include "BatchRun.h"
#include "common/Notice.h"

int main(int argc, char** argv) {
  const batch::ParseResult parsed = batch::parseBatchOptions(argc, argv);
  if (!parsed.ok()) {
    common::notice("tavelmor-batch: " + parsed.error + "\nTry tavelmor-batch --help.",
                   common::NoticeIcon::Stop);
    return 2;
  }
  if (parsed.options.help) {
    std::fputs(batch::batchHelpText().c_str(), stdout);
    return 0;
  }
  return batch::runBatch(parsed.options);
}
