// Where the run's report goes (--report FILE): a file named by the user, replaced only once the
// whole report is written, or standard output for "-".
#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "cli/cli_options.h"
#include "platform/file.h"

namespace cli {

// The name that sends the report to standard output (the log then goes to standard error).
inline constexpr std::string_view kReportToStandardOutput = "-";

class ReportTarget {
 public:
  // Prepares the report named as typed. For a file, a temporary file is made beside it at once
  // (".<name>.<unique>.tmp"), so that a folder that cannot take the report ends the run before
  // any work. Nothing, with the reason in *error, when it cannot be made.
  static std::optional<ReportTarget> Prepare(const std::string& name, std::FILE* out,
                                             std::string* error);

  ReportTarget(ReportTarget&& other) noexcept;
  ReportTarget& operator=(ReportTarget&&) = delete;
  ReportTarget(const ReportTarget&) = delete;
  ReportTarget& operator=(const ReportTarget&) = delete;
  // Removes the temporary file unless Write put it in place.
  ~ReportTarget();

  // Writes the whole report and, for a file, renames it onto the name (replacing a file of that
  // name, as -o replaces a saved package). False, with the system's reason in *error, when any
  // step fails; a file of that name then stays as it was.
  bool Write(std::string_view json, std::string* error);

  const std::string& Name() const { return name_; }

 private:
  ReportTarget(std::string name, std::FILE* out) : name_(std::move(name)), out_(out) {}

  std::string name_;
  std::FILE* out_ = nullptr;         // standard output, for "-"
  std::filesystem::path temporary_;  // empty for standard output, and once renamed
  platform::File file_;
};

// Why the report cannot have the name options give it, for a usage error; empty when it can.
// It must not be a folder, one of the input files, or a package or media folder the run saves:
// the report would replace what the user asked to keep or to get.
std::string ReportNameProblem(const CliOptions& options);

}  // namespace cli
