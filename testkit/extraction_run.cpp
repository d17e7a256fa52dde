#include "testkit/extraction_run.h"

#include <atomic>

#include "engine/job_param.h"

namespace testsupport {

ExtractionRun ScanAndExtract(engine::JobView& view, const std::filesystem::path& path,
                             const std::filesystem::path& fileFolder,
                             const std::filesystem::path& readPath) {
  std::atomic<int> running{1};
  const engine::JobThreadParam param{.pView = &view, .pJobRunning = &running};
  const std::filesystem::path& read = readPath.empty() ? path : readPath;
  ExtractionRun run;
  run.scanned = engine::ScanPackageFrom(param, path.string(), read, run.list);
  run.report = engine::ExtractParts(view, fileFolder, read.string(), run.list);
  return run;
}

std::map<std::wstring, engine::PartOutcome> NotWholeByName(const engine::ExtractionReport& report) {
  std::map<std::wstring, engine::PartOutcome> reported;
  for (const auto& part : report.notWhole)
    reported[part.partPath] = part.outcome;
  return reported;
}

}  // namespace testsupport
