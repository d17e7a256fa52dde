// A package file scanned and extracted as the repair job does it, for tests that look at what
// came out: the scan list, the extraction's report and the parts it reports not whole.
#pragma once

#include <filesystem>
#include <map>
#include <string>

#include "engine/job_view.h"
#include "engine/package_scanner.h"
#include "engine/part_extraction.h"

namespace testsupport {

struct ExtractionRun {
  bool scanned = false;  // the scanner accepted the file (callers expect this)
  engine::ScanList list;
  engine::ExtractionReport report;
};

// Scans the package file at path (read through readPath when given, as for a restored copy)
// and extracts what the scan found into fileFolder, the pass after extraction included.
ExtractionRun ScanAndExtract(engine::JobView& view, const std::filesystem::path& path,
                             const std::filesystem::path& fileFolder,
                             const std::filesystem::path& readPath = {});

// The parts the report calls not whole, by output name.
std::map<std::wstring, engine::PartOutcome> NotWholeByName(const engine::ExtractionReport& report);

}  // namespace testsupport
