#include "cli/cli_options.h"

#include <filesystem>
#include <system_error>

#include "cli/report_file.h"
#include "platform/text.h"

namespace cli {
namespace {

CliOptions UsageError(std::string error) {
  CliOptions options;
  options.action = CliOptions::Action::kUsageError;
  options.error = std::move(error);
  return options;
}

// A folder, or nothing yet: a missing output folder is created when the run starts.
bool CanBeOutputFolder(const std::string& text) {
  if (text.empty()) return false;
  std::error_code ec;
  const auto status = std::filesystem::status(platform::PathFromUtf8(text), ec);
  return std::filesystem::is_directory(status) ||
         status.type() == std::filesystem::file_type::not_found;
}

}  // namespace

std::string_view UsageText() {
  return "Usage: dotm-repair [--media] [-o DIR] [--report FILE] FILE...\n"
         "Repairs each damaged .dotm FILE and saves it as ZARVEL_<name> in DIR.\n"
         "\n"
         "  -o, --output DIR  folder for the repaired files (default: the current folder);\n"
         "                    created when it does not exist\n"
         "  -m, --media       also copy each file's images into <name>_MediaContent in DIR\n"
         "      --report FILE write a JSON report of the run to FILE (replaced), or with -\n"
         "                    to standard output (the log then goes to standard error):\n"
         "                    per file its input and output paths, result and why it is\n"
         "                    not whole; per part found its name, offsets, method, sizes,\n"
         "                    CRC-32 expected and computed, and its fate (whole, partial,\n"
         "                    damaged, lost, rebuilt, identified); what the repair rebuilt\n"
         "                    or removed; the saved file's self-check (every field: the\n"
         "                    manual page, or README.md under \"Report\")\n"
         "  -h, --help        show this help and exit\n"
         "      --version     show the version and exit\n"
         "\n"
         "Several FILEs are worked on at once, as many as there are cores; the log keeps\n"
         "each file's lines together, in the order given.\n"
         "\n"
         "Exit status:\n"
         "  0  every file was repaired and saved with all its parts whole\n"
         "  1  some file could not be repaired or saved, or the report not written\n"
         "  2  bad usage\n"
         "  3  every file was saved, but some parts are cut short, damaged, lost or rebuilt\n"
         "     (the log names each such part)\n";
}

CliOptions ParseArguments(std::span<const std::string_view> args) {
  CliOptions options;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (optionsEnded || arg == "-" || !arg.starts_with('-')) {
      options.files.emplace_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      options.action = CliOptions::Action::kHelp;
      return options;
    } else if (arg == "--version") {
      options.action = CliOptions::Action::kVersion;
      return options;
    } else if (arg == "--media" || arg == "-m") {
      options.extractMedia = true;
    } else if (arg == "-o" || arg == "--output") {
      if (i + 1 >= args.size()) return UsageError("option " + std::string(arg) + " needs a DIR");
      options.outputFolder = std::string(args[++i]);
    } else if (arg.starts_with("--output=")) {
      options.outputFolder = std::string(arg.substr(9));
    } else if (arg == "--report") {
      if (i + 1 >= args.size()) return UsageError("option --report needs a FILE");
      options.report = std::string(args[++i]);
      if (options.report.empty()) return UsageError("option --report needs a FILE");
    } else if (arg.starts_with("--report=")) {
      options.report = std::string(arg.substr(9));
      if (options.report.empty()) return UsageError("option --report needs a FILE");
    } else {
      return UsageError("unknown option " + std::string(arg));
    }
  }
  if (options.files.empty()) return UsageError("no FILE given");
  if (!CanBeOutputFolder(options.outputFolder)) {
    return UsageError("output folder '" + options.outputFolder + "' is not a folder");
  }
  if (std::string problem = ReportNameProblem(options); !problem.empty()) {
    return UsageError(std::move(problem));
  }
  return options;
}

}  // namespace cli
