#include "cli/repair_run.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>

#include "cli/report_run.h"
#include "engine/job_param.h"
#include "engine/repair_job.h"
#include "engine/save_job.h"
#include "engine/working_folder.h"
#include "platform/process.h"
#include "platform/temp_folder.h"
#include "platform/text.h"
#include "zip/deflate_threads.h"

namespace cli {
namespace fs = std::filesystem;

namespace {

// Ctrl+C asks the running job to stop between files, as the desktop program's Stop button
// does; a second Ctrl+C ends the program at once.
std::atomic<int>* g_pJobRunning = nullptr;
volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) {
  g_interrupted = 1;
  if (g_pJobRunning != nullptr) g_pJobRunning->store(0);
  std::signal(SIGINT, SIG_DFL);
}

class InterruptStopsJob {
 public:
  explicit InterruptStopsJob(std::atomic<int>* running) {
    g_pJobRunning = running;
    previous_ = std::signal(SIGINT, OnInterrupt);
  }
  ~InterruptStopsJob() {
    std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_);
    g_pJobRunning = nullptr;
  }
  InterruptStopsJob(const InterruptStopsJob&) = delete;
  InterruptStopsJob& operator=(const InterruptStopsJob&) = delete;

 private:
  void (*previous_)(int) = SIG_DFL;
};

// A working folder of this process alone, so that a desktop program running at the same time
// keeps its own; removed with everything in it when the run ends.
class PrivateWorkingFolder {
 public:
  explicit PrivateWorkingFolder(fs::path path) : path_(std::move(path)) {}
  ~PrivateWorkingFolder() {
    if (!path_.empty()) engine::RemoveFolderTree(path_);
  }
  PrivateWorkingFolder(const PrivateWorkingFolder&) = delete;
  PrivateWorkingFolder& operator=(const PrivateWorkingFolder&) = delete;
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

// The destination as typed, created with its missing parents when it does not exist yet.
bool EnsureOutputFolder(const std::string& folder, std::FILE* err) {
  const fs::path path = platform::PathFromUtf8(folder);
  std::error_code ec;
  if (fs::is_directory(path, ec)) return true;
  fs::create_directories(path, ec);
  if (ec || !fs::is_directory(path)) {
    if (!ec) ec = std::make_error_code(std::errc::not_a_directory);
    std::fprintf(err, "dotm-repair: cannot create folder %s: %s\n", folder.c_str(),
                 platform::ErrorText(ec).c_str());
    return false;
  }
  std::fprintf(err, "dotm-repair: created folder %s\n", folder.c_str());
  return true;
}

bool TimingsWanted() {
  const char* value = std::getenv("DOTM_REPAIR_TIMINGS");
  return value != nullptr && *value != '\0' && std::string(value) != "0";
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The repair job, then the save job over every row; the exit status.
int RunJobs(const engine::JobThreadParam& param, ConsoleView& view, std::FILE* err) {
  const auto repairStart = std::chrono::steady_clock::now();
  engine::PrepareRepairJob(param);
  engine::RepairWorker(&param);
  const double repairSeconds = SecondsSince(repairStart);
  if (g_interrupted != 0) return kExitSomeFailed;

  const auto saveStart = std::chrono::steady_clock::now();
  if (!engine::PrepareSaveJob(param)) return kExitSomeFailed;
  engine::SaveWorker(&param);
  const double saveSeconds = SecondsSince(saveStart);
  if (TimingsWanted()) {
    std::fprintf(err, "repair: %.3f s\nsave: %.3f s\n", repairSeconds, saveSeconds);
  }
  return g_interrupted == 0 ? view.ExitStatus() : kExitSomeFailed;
}

}  // namespace

int RunRepairAndSave(const CliOptions& options, ConsoleStreams streams) {
  if (!EnsureOutputFolder(options.outputFolder, streams.err)) return kExitSomeFailed;
  bool reportFailed = false;
  auto report = PrepareRunReport(options, streams, &reportFailed);
  if (reportFailed) return kExitSomeFailed;
  std::string error;
  const auto privateFolder = platform::PrivateTempFolder(&error);
  if (!privateFolder) {
    std::fprintf(streams.err, "dotm-repair: no private temporary folder: %s\n", error.c_str());
    return kExitSomeFailed;
  }
  PrivateWorkingFolder working(*privateFolder /
                               ("DtmTmp-cli-" + std::to_string(platform::ProcessId())));
  std::atomic<int> running{0};
  ReportingConsoleView view(options.files, options.outputFolder, options.extractMedia, streams,
                            report.has_value());
  // As many files at once as there are deflate threads: a single file still deflates on all of
  // them, several share them; the log is the same as one file after the other.
  const engine::JobThreadParam param{.pView = &view,
                                     .pJobRunning = &running,
                                     .workingFolder = working.Path(),
                                     .rowsAtOnce = zip::DeflateThreadCount()};
  InterruptStopsJob interrupt(&running);
  const int status = RunJobs(param, view, streams.err);
  if (!report) return status;
  return FinishRunReport(*report, options, view, status, g_interrupted != 0, streams.err);
}

}  // namespace cli
