// One package made from the input goes through the repair job and the save job; the saved
// package must read back with our own scanner, every part of it whole, and nothing may be
// written outside the working folder, the destination and the temporary folder.
#include <stdlib.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "engine/package_scanner.h"
#include "engine/part_extraction.h"
#include "engine/repair_job.h"
#include "engine/save_job.h"
#include "fuzz/fuzz_checks.h"
#include "platform/environment.h"
#include "platform/file.h"
#include "platform/temp_folder.h"
#include "platform/text.h"
#include "testkit/recording_view.h"
#include "testkit/temp_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace fs = std::filesystem;
  // Below the private temporary folder as it was at the first input: TMPDIR changes below.
  const testkit::TempFolder scratch("engine-fuzz-");
  const fs::path package = scratch.Path() / "input.dotm";
  const fs::path temp = scratch.Path() / "tmp";
  const fs::path working = scratch.Path() / "DtmTmp";
  const fs::path destination = scratch.Path() / "out";
  fuzzsupport::WriteBytes(package, {data, size});
  fs::create_directories(temp);
  fs::create_directories(destination);
  // The jobs keep their temporary files in the user's temporary folder: make that ours.
  platform::SetEnvironmentValue(platform::TempFolderVariable(), platform::Utf8FromPath(temp));

  testsupport::RecordingView view({package.string()});
  view.destination = destination.string() + "/";
  view.extractMedia = true;
  std::atomic<int> running{1};
  const engine::JobThreadParam param{
      .pView = &view, .pJobRunning = &running, .workingFolder = working};
  engine::RepairWorker(&param);
  running = 0;
  engine::SaveWorker(&param);

  std::error_code ec;
  for (const auto& item : fs::directory_iterator(destination, ec)) {
    if (!item.is_regular_file() || !item.path().filename().string().starts_with("ZARVEL_")) {
      continue;
    }
    const auto savedSize = fs::file_size(item.path());
    std::atomic<int> reading{1};
    const engine::JobThreadParam readBack{.pView = &view, .pJobRunning = &reading};
    engine::ScanList list;
    if (!engine::ScanPackage(readBack, item.path().string(), list)) {
      fuzzsupport::Fail("saved package cannot be opened");
    }
    if (list.empty()) fuzzsupport::Fail("saved package holds no part");
    for (const auto& entry : list) {
      if (entry.dataOffset + entry.compressedSize > savedSize) {
        fuzzsupport::Fail("saved package has a part reaching past its end");
      }
    }
    // Our own package, read back by our own scanner: every part must come out whole.
    const fs::path readBackFolder = scratch.Path() / "readback";
    fs::create_directories(readBackFolder);
    const auto report = engine::ExtractParts(view, readBackFolder, item.path().string(), list);
    if (!report.notWhole.empty()) {
      fuzzsupport::Fail("a part of a saved package does not read back whole: " +
                        platform::Utf8FromWide(report.notWhole.front().partPath) + ": " +
                        engine::PartOutcomeText(report.notWhole.front().outcome));
    }
    fs::remove_all(readBackFolder, ec);
  }
  fuzzsupport::CheckTree(scratch.Path(), [&](const fs::path& path) {
    return path == package || fuzzsupport::IsBelow(path, working) ||
           fuzzsupport::IsBelow(path, destination) || fuzzsupport::IsBelow(path, temp);
  });
  return 0;
}
