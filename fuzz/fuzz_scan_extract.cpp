// Arbitrary bytes as a package: scanning must agree with itself whatever the read buffer;
// extraction must write nothing outside the file folder, leave no temporary file behind, and
// every part it reports whole must match the CRC-32 its package states for it.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>

#include "engine/content_types.h"
#include "engine/package_scanner.h"
#include "engine/part_extraction.h"
#include "fuzz/fuzz_checks.h"
#include "platform/text.h"
#include "testkit/package_builder.h"
#include "testkit/recording_view.h"
#include "testkit/temp_folder.h"
#include "zip/part_inflater.h"

namespace {

namespace fs = std::filesystem;

// The CRC-32s the package states for each output file.
std::map<fs::path, std::set<std::uint32_t>> StatedCrcs(const engine::ScanList& list) {
  std::map<fs::path, std::set<std::uint32_t>> stated;
  for (const auto& entry : list) {
    const auto relative = engine::SafePartPath(entry.partPath);
    if (relative && entry.crc) stated[*relative].insert(*entry.crc);
  }
  return stated;
}

std::uint32_t FileCrc(const fs::path& path) {
  const auto bytes = testsupport::ReadFileBytes(path);
  return zip::Crc32(0, bytes);
}

bool IsStoredContentTypes(const fs::path& path) {
  const auto bytes = testsupport::ReadFileBytes(path);
  const auto stored = engine::StoredContentTypes();
  return bytes.size() == stored.size() &&
         std::equal(bytes.begin(), bytes.end(),
                    reinterpret_cast<const std::uint8_t*>(stored.data()));
}

void CheckWholeParts(const fs::path& fileFolder, const engine::ScanList& list,
                     const engine::ExtractionReport& report) {
  std::set<fs::path> notWhole;
  for (const auto& part : report.notWhole) {
    if (const auto relative = engine::SafePartPath(part.partPath)) notWhole.insert(*relative);
  }
  // Parts the repair wrote itself are named as such, never counted as recovered.
  std::set<fs::path> rebuilt;
  for (const auto& part : report.rebuilt)
    rebuilt.insert(platform::PathFromUtf8(part));
  const auto stated = StatedCrcs(list);
  std::error_code ec;
  for (const auto& item : fs::recursive_directory_iterator(fileFolder, ec)) {
    if (!item.is_regular_file()) continue;
    const fs::path relative = item.path().lexically_relative(fileFolder);
    if (relative.filename().string().starts_with(".dotm-repair-part-")) {
      fuzzsupport::Fail("a staged copy was left behind: " + relative.string());
    }
    if (notWhole.contains(relative)) continue;
    if (relative == "[Content_Types].xml" && IsStoredContentTypes(item.path())) continue;
    if (rebuilt.contains(relative)) continue;
    const auto crcs = stated.find(relative);
    if (crcs == stated.end() || !crcs->second.contains(FileCrc(item.path()))) {
      fuzzsupport::Fail("a part reported whole does not match its CRC-32: " + relative.string());
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const testkit::TempFolder scratch("engine-fuzz-");
  const fs::path package = scratch.Path() / "package.dotm";
  const fs::path fileFolder = scratch.Path() / "files" / "package.dotm0";
  fuzzsupport::WriteBytes(package, {data, size});
  fs::create_directories(fileFolder);

  testsupport::RecordingView view;
  std::atomic<int> running{1};
  const engine::JobThreadParam param{.pView = &view, .pJobRunning = &running};
  engine::ScanList list;
  if (!engine::ScanPackage(param, package.string(), list)) fuzzsupport::Fail("scan failed");
  engine::ScanList tinyBufferList;
  engine::ScanPackage(param, package.string(), tinyBufferList, 7);
  if (list != tinyBufferList) fuzzsupport::Fail("buffer size changed the parts");
  for (const auto& entry : list) {
    if (entry.endOffset < entry.dataOffset || entry.dataOffset < entry.headerOffset) {
      fuzzsupport::Fail("a part's byte range is out of order");
    }
  }

  const auto report = engine::ExtractParts(view, fileFolder, package.string(), list);
  if (report.written > list.size()) fuzzsupport::Fail("more parts written than listed");
  CheckWholeParts(fileFolder, list, report);

  fuzzsupport::CheckTree(scratch.Path(), [&](const fs::path& path) {
    return path == package || fuzzsupport::IsBelow(path, fileFolder);
  });
  return 0;
}
