// One run of dotm-repair: repair every listed file, then save the repaired ones.
#pragma once

#include "cli/cli_options.h"
#include "cli/console_view.h"

namespace cli {

// Creates the output folder when it does not exist (saying so on streams.err, as "unzip -d"
// does), then runs the repair job and the save job over options.files, with a private working
// folder of its own that is removed at the end. With --report, the report is prepared before
// the jobs and written after them (report_run.h). Returns the exit status.
int RunRepairAndSave(const CliOptions& options, ConsoleStreams streams);

}  // namespace cli
