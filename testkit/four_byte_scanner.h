// A deliberately plain scanner that reads the package four bytes per system call, window by
// window, with the same rules as engine::ScanPackage. It is the yardstick the buffered scanner
// is compared with: in the tests for identical results, in the benchmarks for speed.
#pragma once

#include <atomic>
#include <filesystem>

#include "engine/part_entry.h"

namespace enginetest {

engine::ScanList ScanWithFourByteReads(const std::filesystem::path& packagePath);

}  // namespace enginetest
