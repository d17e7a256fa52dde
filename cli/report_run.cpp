#include "cli/report_run.h"

#include <string>

namespace cli {

std::optional<ReportTarget> PrepareRunReport(const CliOptions& options, ConsoleStreams& streams,
                                             bool* failed) {
  *failed = false;
  if (options.report.empty()) return std::nullopt;
  std::string error;
  auto target = ReportTarget::Prepare(options.report, streams.out, &error);
  if (!target) {
    std::fprintf(streams.err, "dotm-repair: cannot write report %s: %s\n", options.report.c_str(),
                 error.c_str());
    *failed = true;
    return std::nullopt;
  }
  if (options.report == kReportToStandardOutput) {
    streams.out = streams.err;
    // Colours only where the log now goes is a terminal, which the progress line tells.
    streams.colour = streams.progress;
  }
  return target;
}

int FinishRunReport(ReportTarget& target, const CliOptions& options,
                    const ReportingConsoleView& view, int status, bool interrupted,
                    std::FILE* err) {
  const RunFacts run{.outputFolder = options.outputFolder,
                     .exitStatus = status,
                     .interrupted = interrupted,
                     .packages = view.Packages()};
  std::string error;
  if (target.Write(ReportJson(run), &error)) return status;
  std::fprintf(err, "dotm-repair: cannot write report %s: %s\n", target.Name().c_str(),
               error.c_str());
  return kExitSomeFailed;
}

}  // namespace cli
