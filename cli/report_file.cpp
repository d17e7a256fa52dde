#include "cli/report_file.h"

#include <cerrno>
#include <system_error>
#include <utility>

#include "platform/error.h"
#include "platform/temp_folder.h"
#include "platform/text.h"

namespace cli {
namespace fs = std::filesystem;

namespace {

// Two names of one place, whether it exists yet or not.
bool SamePlace(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  if (fs::equivalent(a, b, ec) && !ec) return true;
  const fs::path left = fs::weakly_canonical(a, ec);
  if (ec) return false;
  const fs::path right = fs::weakly_canonical(b, ec);
  return !ec && left == right;
}

std::string Quoted(std::string_view text) {
  return "'" + std::string(text) + "'";
}

}  // namespace

std::optional<ReportTarget> ReportTarget::Prepare(const std::string& name, std::FILE* out,
                                                  std::string* error) {
  if (name == kReportToStandardOutput) return ReportTarget(name, out);
  const fs::path path = platform::PathFromUtf8(name);
  fs::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  const std::string prefix = "." + platform::Utf8FromPath(path.filename()) + ".";
  auto created = platform::CreateTempFile(folder, prefix);
  if (!created) {
    *error = platform::LastErrorText();
    return std::nullopt;
  }
  ReportTarget target(name, nullptr);
  target.temporary_ = std::move(created->path);
  target.file_ = std::move(created->file);
  return target;
}

ReportTarget::ReportTarget(ReportTarget&& other) noexcept
    : name_(std::move(other.name_)),
      out_(other.out_),
      temporary_(std::exchange(other.temporary_, {})),
      file_(std::move(other.file_)) {}

ReportTarget::~ReportTarget() {
  if (temporary_.empty()) return;
  file_.Close();
  std::error_code ec;
  fs::remove(temporary_, ec);
}

bool ReportTarget::Write(std::string_view json, std::string* error) {
  if (temporary_.empty()) {
    if (out_ == nullptr) {
      *error = platform::ErrorText(std::make_error_code(std::errc::bad_file_descriptor));
      return false;
    }
    errno = 0;
    const bool written = std::fwrite(json.data(), 1, json.size(), out_) == json.size() &&
                         std::fflush(out_) == 0 && std::ferror(out_) == 0;
    if (!written) {
      const int code = errno != 0 ? errno : EIO;
      *error = platform::ErrorText(std::error_code(code, std::generic_category()));
    }
    return written;
  }
  // The report gets what any new file of the user's would get; should the system refuse, it
  // stays owner-only, which loses nothing.
  file_.GiveUsualPermissions();
  if (!file_.Write(std::as_bytes(std::span(json.data(), json.size()))) || !file_.Close()) {
    *error = platform::LastErrorText();
    return false;
  }
  std::error_code ec;
  fs::rename(temporary_, platform::PathFromUtf8(name_), ec);
  if (ec) {
    *error = platform::ErrorText(ec);
    return false;
  }
  temporary_.clear();
  return true;
}

std::string ReportNameProblem(const CliOptions& options) {
  if (options.report.empty() || options.report == kReportToStandardOutput) return {};
  const fs::path report = platform::PathFromUtf8(options.report);
  std::error_code ec;
  if (fs::is_directory(report, ec)) return "report " + Quoted(options.report) + " is a folder";
  const fs::path destination = platform::PathFromUtf8(options.outputFolder);
  for (const auto& file : options.files) {
    if (SamePlace(report, platform::PathFromUtf8(file))) {
      return "report " + Quoted(options.report) + " is the input file " + Quoted(file);
    }
    const std::string name(platform::FileNamePart(file));
    if (SamePlace(report, destination / platform::PathFromUtf8("ZARVEL_" + name))) {
      return "report " + Quoted(options.report) + " would replace the saved package of " +
             Quoted(file);
    }
    if (options.extractMedia &&
        SamePlace(report, destination / platform::PathFromUtf8(name + "_MediaContent"))) {
      return "report " + Quoted(options.report) + " would replace the media folder of " +
             Quoted(file);
    }
  }
  return {};
}

}  // namespace cli
