// dotm-repair: repairs damaged .dotm packages from the command line with the desktop
// program's repair and save jobs.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_options.h"
#include "cli/repair_run.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  platform::UseUtf8Console();
  const std::vector<std::string> arguments = platform::ProgramArguments(argc, argv);
  const std::vector<std::string_view> args(arguments.begin(), arguments.end());
  const cli::CliOptions options = cli::ParseArguments(args);
  switch (options.action) {
    case cli::CliOptions::Action::kHelp:
      std::fwrite(cli::UsageText().data(), 1, cli::UsageText().size(), stdout);
      return cli::kExitAllSaved;
    case cli::CliOptions::Action::kVersion:
      std::printf("%.*s\n", static_cast<int>(cli::kVersionText.size()), cli::kVersionText.data());
      return cli::kExitAllSaved;
    case cli::CliOptions::Action::kUsageError:
      std::fprintf(stderr, "dotm-repair: %s\nTry 'dotm-repair --help' for more information.\n",
                   options.error.c_str());
      return cli::kExitBadUsage;
    case cli::CliOptions::Action::kRun:
      break;
  }
  const cli::ConsoleStreams streams{.out = stdout,
                                    .err = stderr,
                                    .colour = platform::IsTerminal(stdout),
                                    .progress = platform::IsTerminal(stderr)};
  return cli::RunRepairAndSave(options, streams);
}
