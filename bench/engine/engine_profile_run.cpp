// engine_profile_run PACKAGE FOLDER scan|extract|repair [ROUNDS]: runs one engine step on a
// package (written beforehand by generate_package) with its output below FOLDER, ROUNDS times
// (default 1), so that a profiler sees the step alone, without the package's generation:
//   valgrind --tool=callgrind build/bench/engine/engine_profile_run /tmp/p.dotm /tmp/out repair
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "bench/engine/bench_view.h"
#include "engine/package_scanner.h"
#include "engine/part_extraction.h"
#include "engine/repair_job.h"

namespace {

namespace fs = std::filesystem;

engine::ScanList Scan(const std::string& package) {
  enginebench::NullView view;
  std::atomic<int> running{1};
  const engine::JobThreadParam param{.pView = &view, .pJobRunning = &running};
  engine::ScanList list;
  engine::ScanPackage(param, package, list);
  return list;
}

void Extract(const std::string& package, const fs::path& folder) {
  const auto list = Scan(package);
  enginebench::NullView view;
  const fs::path output = folder / "extracted";
  fs::remove_all(output);
  fs::create_directories(output);
  const auto report = engine::ExtractParts(view, output, package, list);
  std::printf("%zu parts written, %zu not whole\n", report.written, report.notWhole.size());
}

void Repair(const std::string& package, const fs::path& folder) {
  enginebench::OneRowView view(package);
  std::atomic<int> running{1};
  const engine::JobThreadParam param{
      .pView = &view, .pJobRunning = &running, .workingFolder = folder / "DtmTmp"};
  engine::RepairWorker(&param);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc > 5) {
    std::fprintf(stderr, "usage: %s PACKAGE FOLDER scan|extract|repair [ROUNDS]\n", argv[0]);
    return 2;
  }
  const std::string package = argv[1];
  const fs::path folder = argv[2];
  const std::string_view step = argv[3];
  const int rounds = argc == 5 ? std::atoi(argv[4]) : 1;
  fs::create_directories(folder);
  for (int round = 0; round < rounds; ++round) {
    if (step == "scan") {
      std::printf("%zu parts found\n", Scan(package).size());
    } else if (step == "extract") {
      Extract(package, folder);
    } else if (step == "repair") {
      Repair(package, folder);
    } else {
      std::fprintf(stderr, "unknown step %s\n", argv[3]);
      return 2;
    }
  }
  return 0;
}
