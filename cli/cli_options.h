// The command line of dotm-repair: dotm-repair [--media] [-o DIR] [--report FILE] FILE...
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

inline constexpr std::string_view kVersionText = "dotm-repair 1.0";

// Exit statuses.
inline constexpr int kExitAllSaved = 0;    // every file was repaired and saved whole
inline constexpr int kExitSomeFailed = 1;  // at least one file was not repaired or not saved
inline constexpr int kExitBadUsage = 2;
inline constexpr int kExitSomeIncomplete = 3;  // all saved, but some parts cut, damaged or lost

struct CliOptions {
  enum class Action { kRun, kHelp, kVersion, kUsageError };
  Action action = Action::kRun;
  bool extractMedia = false;
  std::string outputFolder = ".";  // the destination, as typed
  std::vector<std::string> files;  // the packages, as typed
  std::string report;              // --report FILE as typed ("-": standard output); empty: none
  std::string error;               // what is wrong, for kUsageError
};

// Parses the arguments after the program name. "--" ends the options. The output folder must
// be a folder or not exist yet (RunRepairAndSave creates it); anything else is a usage error,
// and so is a report named like a folder, an input or something the run saves.
CliOptions ParseArguments(std::span<const std::string_view> args);

std::string_view UsageText();

}  // namespace cli
