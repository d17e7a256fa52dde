// The report of one run of dotm-repair (--report): prepared before the jobs start, written
// once they are done.
#pragma once

#include <cstdio>
#include <optional>

#include "cli/cli_options.h"
#include "cli/console_view.h"
#include "cli/report_file.h"
#include "cli/report_view.h"

namespace cli {

// The report options ask for, its target ready: nothing without --report. With "-" the log
// moves to standard error, so that standard output carries the JSON alone. When the target
// cannot be made, says why on streams.err and sets *failed.
std::optional<ReportTarget> PrepareRunReport(const CliOptions& options, ConsoleStreams& streams,
                                             bool* failed);

// Writes the report of the finished run and returns the exit status: status itself, or
// kExitSomeFailed after saying why on err when the report could not be written.
int FinishRunReport(ReportTarget& target, const CliOptions& options,
                    const ReportingConsoleView& view, int status, bool interrupted, std::FILE* err);

}  // namespace cli
