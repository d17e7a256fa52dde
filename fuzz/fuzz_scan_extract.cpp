// Arbitrary bytes as a package: scanning must agree with itself whatever the read buffer, and
// extraction must write nothing outside the file folder and leave no temporary file behind.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "engine/package_scanner.h"
#include "engine/part_extraction.h"
#include "fuzz/fuzz_scratch.h"
#include "tests/support/recording_view.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace fs = std::filesystem;
  fuzzsupport::ScratchFolder scratch;
  const fs::path package = scratch.Path() / "package.dotm";
  const fs::path fileFolder = scratch.Path() / "files" / "package.dotm0";
  const fs::path tempFolder = scratch.Path() / "opc";
  fuzzsupport::WriteBytes(package, {data, size});
  fs::create_directories(fileFolder);
  fs::create_directories(tempFolder);

  testsupport::RecordingView view;
  std::atomic<int> running{1};
  const engine::JobThreadParam param{.pView = &view, .pJobRunning = &running};
  engine::ScanList list;
  if (!engine::ScanPackage(param, package.string(), list)) fuzzsupport::Fail("scan failed");
  engine::ScanList tinyBufferList;
  engine::ScanPackage(param, package.string(), tinyBufferList, 7);
  if (list != tinyBufferList) fuzzsupport::Fail("buffer size changed the parts");

  const std::size_t written =
      engine::ExtractParts(view, fileFolder, package.string(), list, tempFolder);
  if (written > list.size()) fuzzsupport::Fail("more parts written than listed");

  fuzzsupport::CheckTree(scratch.Path(), [&](const fs::path& path) {
    return path == package || fuzzsupport::IsBelow(path, fileFolder);
  });
  if (!fs::is_empty(tempFolder)) fuzzsupport::Fail("a temporary file was left behind");
  return 0;
}
