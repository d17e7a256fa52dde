// Scanner and extraction speed against their natural yardsticks, measured in one run with a
// warm page cache:
//   - scanning vs one plain sequential read of the same file (target: at most 2x), for the
//     plain layout and the data-descriptor layout;
//   - scanning vs a scanner that reads four bytes per system call (measured on a small file,
//     compared per MB);
//   - extracting deflated XML vs zlib inflating the same streams in memory (target: at least
//     60% of zlib's throughput);
//   - the whole repair job of the plain package (scan, extraction, content types) vs one
//     sequential read of it plus zlib inflating its deflated parts in memory (target: at most
//     1.3x), and vs that yardstick plus writing the parts' bytes to files (the file system's
//     share, in a disk folder and in a memory folder).
// The set runs ENGINE_BENCH_ROUNDS times (default 3); every ratio is taken within one round and
// printed as best, median and worst, with the load average before each round.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bench/engine/bench_view.h"
#include "bench/engine/package_generator.h"
#include "engine/package_scanner.h"
#include "engine/part_extraction.h"
#include "engine/repair_job.h"
#include "platform/file.h"
#include "testkit/four_byte_scanner.h"
#include "testkit/temp_folder.h"

namespace {

namespace fs = std::filesystem;

using enginebench::NullView;
using enginebench::OneRowView;

struct Fixture {
  std::optional<testkit::TempFolder> rootFolder;
  std::optional<testkit::TempFolder> memoryFolder;  // below /dev/shm when there is one
  fs::path root;
  fs::path memoryRoot;  // empty without /dev/shm
  fs::path plain, descriptors, small, xml;
};

Fixture& Files() {
  static Fixture fixture;
  return fixture;
}

double MegaBytes(const fs::path& path) {
  return static_cast<double>(fs::file_size(path)) / 1e6;
}

std::int64_t ReadWhole(const fs::path& path) {
  platform::File file;
  file.Open(path, platform::File::Mode::kRead);
  std::vector<std::byte> buffer(engine::kScanBufferSize);
  std::int64_t total = 0;
  for (std::int64_t got; (got = file.Read(buffer)) > 0;)
    total += got;
  return total;
}

engine::ScanList Scan(const fs::path& path) {
  NullView view;
  std::atomic<int> running{1};
  engine::JobThreadParam param{.pView = &view, .pJobRunning = &running};
  engine::ScanList list;
  engine::ScanPackage(param, path.string(), list);
  return list;
}

void BM_SequentialRead(benchmark::State& state, const fs::path* path) {
  for (auto _ : state)
    benchmark::DoNotOptimize(ReadWhole(*path));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(*path)));
}

void BM_Scan(benchmark::State& state, const fs::path* path) {
  for (auto _ : state)
    benchmark::DoNotOptimize(Scan(*path));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(*path)));
}

void BM_FourByteScan(benchmark::State& state, const fs::path* path) {
  for (auto _ : state)
    benchmark::DoNotOptimize(enginetest::ScanWithFourByteReads(*path));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(*path)));
}

std::int64_t UncompressedBytes(const std::vector<engine::PartEntry>& list) {
  std::int64_t total = 0;
  for (const auto& entry : list)
    total += static_cast<std::int64_t>(entry.uncompressedSize);
  return total;
}

// Extracts into outputRoot: the system's temporary folder (a disk here), or a memory file system
// to see the engine's own cost without the disk's.
void Extract(benchmark::State& state, const fs::path& path, const fs::path& outputRoot) {
  const auto list = Scan(path);
  const fs::path folder = outputRoot / "extracted";
  const fs::path temp = outputRoot / "opc";
  fs::create_directories(temp);
  NullView view;
  for (auto _ : state) {
    fs::create_directories(folder);
    benchmark::DoNotOptimize(engine::ExtractParts(view, folder, path.string(), list).written);
    state.PauseTiming();
    fs::remove_all(folder);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * UncompressedBytes(list));
}

void BM_Extract(benchmark::State& state, const fs::path* path) {
  Extract(state, *path, Files().root);
}

void BM_ExtractInMemoryFolder(benchmark::State& state, const fs::path* path) {
  if (Files().memoryRoot.empty()) {
    state.SkipWithError("no memory file system (/dev/shm)");
    return;
  }
  Extract(state, *path, Files().memoryRoot);
}

void BM_ZlibInflate(benchmark::State& state, const fs::path* path) {
  const auto list = Scan(*path);
  std::vector<std::vector<std::uint8_t>> streams;
  platform::File file;
  file.Open(*path, platform::File::Mode::kRead);
  for (const auto& entry : list) {
    if (entry.method != 8) continue;
    std::vector<std::uint8_t> data(entry.compressedSize);
    file.Seek(entry.dataOffset);
    file.Read(std::as_writable_bytes(std::span(data)));
    streams.push_back(std::move(data));
  }
  std::vector<engine::PartEntry> deflated;
  for (const auto& entry : list) {
    if (entry.method == 8) deflated.push_back(entry);
  }
  for (auto _ : state) {
    for (std::size_t i = 0; i < deflated.size(); ++i) {
      auto output = std::make_unique_for_overwrite<std::uint8_t[]>(deflated[i].uncompressedSize);
      z_stream stream{};
      inflateInit2(&stream, -15);
      stream.next_in = streams[i].data();
      stream.avail_in = static_cast<uInt>(streams[i].size());
      stream.next_out = output.get();
      stream.avail_out = static_cast<uInt>(deflated[i].uncompressedSize);
      benchmark::DoNotOptimize(inflate(&stream, Z_FINISH));
      inflateEnd(&stream);
    }
  }
  state.SetBytesProcessed(state.iterations() * UncompressedBytes(deflated));
}

// The file system's share: writing as many bytes as the package's parts hold, one new file per
// part in 256 KiB pieces, as extraction writes them, with nothing to compute.
void WriteParts(benchmark::State& state, const fs::path& path, const fs::path& outputRoot) {
  const auto list = Scan(path);
  const fs::path folder = outputRoot / "written";
  std::vector<std::byte> piece(256 * 1024, std::byte{'x'});
  for (auto _ : state) {
    fs::create_directories(folder);
    for (std::size_t i = 0; i < list.size(); ++i) {
      platform::File file;
      file.Open(folder / std::to_string(i), platform::File::Mode::kCreateNew);
      for (std::uint64_t left = list[i].uncompressedSize; left > 0;) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(left, piece.size()));
        file.Write(std::span(piece.data(), n));
        left -= n;
      }
    }
    state.PauseTiming();
    fs::remove_all(folder);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * UncompressedBytes(list));
}

void BM_WriteParts(benchmark::State& state, const fs::path* path) {
  WriteParts(state, *path, Files().root);
}

void BM_WritePartsInMemoryFolder(benchmark::State& state, const fs::path* path) {
  if (Files().memoryRoot.empty()) {
    state.SkipWithError("no memory file system (/dev/shm)");
    return;
  }
  WriteParts(state, *path, Files().memoryRoot);
}

// The repair job as the desktop program runs it on one listed package, its working folder in
// outputRoot.
void RepairJob(benchmark::State& state, const fs::path& path, const fs::path& outputRoot) {
  OneRowView view(path.string());
  std::atomic<int> running{1};
  const fs::path working = outputRoot / "DtmTmp";
  const engine::JobThreadParam param{
      .pView = &view, .pJobRunning = &running, .workingFolder = working};
  for (auto _ : state) {
    running = 1;
    benchmark::DoNotOptimize(engine::RepairWorker(&param));
    state.PauseTiming();
    fs::remove_all(working);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(path)));
}

void BM_RepairJob(benchmark::State& state, const fs::path* path) {
  RepairJob(state, *path, Files().root);
}

void BM_RepairJobInMemoryFolder(benchmark::State& state, const fs::path* path) {
  if (Files().memoryRoot.empty()) {
    state.SkipWithError("no memory file system (/dev/shm)");
    return;
  }
  RepairJob(state, *path, Files().memoryRoot);
}

// Keeps the real and CPU time of every run of the current round, so that the ratios can be
// taken within one round: a figure and its yardstick measured minutes apart on a shared machine
// would compare two different loads.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const auto& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      auto& round = rounds.back();
      round.real[run.run_name.function_name] = Seconds(run.GetAdjustedRealTime(), run);
      round.cpu[run.run_name.function_name] = Seconds(run.GetAdjustedCPUTime(), run);
    }
  }
  struct Round {
    std::map<std::string, double> real, cpu;
  };
  std::vector<Round> rounds;

 private:
  static double Seconds(double time, const Run& run) {
    return time * benchmark::GetTimeUnitMultiplier(run.time_unit);
  }
};

void Prepare() {
  auto& files = Files();
  files.root = files.rootFolder.emplace("engine-bench-").Path();
  if (fs::is_directory("/dev/shm")) {
    files.memoryRoot = files.memoryFolder.emplace("engine-bench-", "/dev/shm").Path();
  }
  files.plain = files.root / "plain.dotm";
  files.descriptors = files.root / "descriptors.dotm";
  files.small = files.root / "small.dotm";
  files.xml = files.root / "xml.dotm";
  enginebench::GeneratePackage(files.plain, enginebench::RealisticLayout(false));
  enginebench::GeneratePackage(files.descriptors, enginebench::RealisticLayout(true));
  // The descriptor layout, so that both scanners look at every byte.
  enginebench::PackageLayout small;
  small.xmlParts = 24;
  small.xmlPartSize = 64 * 1024;
  small.imageParts = 4;
  small.imageSize = 512 * 1024;
  small.descriptors = true;
  enginebench::GeneratePackage(files.small, small);
  enginebench::PackageLayout xml;
  xml.xmlParts = 200;
  xml.xmlPartSize = 512 * 1024;
  xml.imageParts = 0;
  enginebench::GeneratePackage(files.xml, xml);
  // Warm the page cache.
  for (const auto* path : {&files.plain, &files.descriptors, &files.small, &files.xml}) {
    ReadWhole(*path);
  }
}

std::string LoadAverage() {
  std::string text;
  if (std::FILE* file = std::fopen("/proc/loadavg", "r")) {
    char line[128] = {};
    if (std::fgets(line, sizeof line, file) != nullptr) text = line;
    std::fclose(file);
  }
  while (!text.empty() && text.back() == '\n')
    text.pop_back();
  return text.empty() ? "unknown" : text;
}

// One ratio taken in every round: best, median and worst, by wall clock and by CPU time (the
// CPU figure is the steadier one on a shared machine). lowerIsBetter orders best and worst.
void PrintRounds(const char* label, const std::vector<double>& real, const std::vector<double>& cpu,
                 bool lowerIsBetter, const char* target) {
  if (real.empty()) return;
  const auto summary = [lowerIsBetter](std::vector<double> values) {
    std::sort(values.begin(), values.end());
    if (!lowerIsBetter) std::reverse(values.begin(), values.end());
    return std::array<double, 3>{values.front(), values[values.size() / 2], values.back()};
  };
  const auto r = summary(real);
  const auto c = summary(cpu);
  std::printf("%-52s real %6.2f %6.2f %6.2f  cpu %6.2f %6.2f %6.2f  (%s)\n", label, r[0], r[1],
              r[2], c[0], c[1], c[2], target);
}

using Figure = std::function<std::optional<double>(const std::map<std::string, double>&)>;

void PrintFigure(const RatioReporter& reporter, const char* label, const Figure& figure,
                 bool lowerIsBetter, const char* target) {
  std::vector<double> real, cpu;
  for (const auto& round : reporter.rounds) {
    const auto r = figure(round.real);
    const auto c = figure(round.cpu);
    if (!r || !c) continue;
    real.push_back(*r);
    cpu.push_back(*c);
  }
  PrintRounds(label, real, cpu, lowerIsBetter, target);
}

// Time per MB of a over time per MB of b.
Figure PerMb(std::string a, double aMb, std::string b, double bMb) {
  return [=](const std::map<std::string, double>& times) -> std::optional<double> {
    if (!times.contains(a) || !times.contains(b)) return std::nullopt;
    return (times.at(a) / aMb) / (times.at(b) / bMb);
  };
}

// Time of a over the sum of the times of b and c, all on the same file.
Figure OverSum(std::string a, std::string b, std::string c) {
  return [=](const std::map<std::string, double>& times) -> std::optional<double> {
    if (!times.contains(a) || !times.contains(b) || !times.contains(c)) return std::nullopt;
    return times.at(a) / (times.at(b) + times.at(c));
  };
}

// Time of a over the sum of the times of b, c and d.
Figure OverSum3(std::string a, std::string b, std::string c, std::string d) {
  return [=](const std::map<std::string, double>& times) -> std::optional<double> {
    for (const auto* name : {&a, &b, &c, &d}) {
      if (!times.contains(*name)) return std::nullopt;
    }
    return times.at(a) / (times.at(b) + times.at(c) + times.at(d));
  };
}

// ENGINE_BENCH_ROUNDS sets how many times the whole set runs (default 3).
int Rounds() {
  const char* text = std::getenv("ENGINE_BENCH_ROUNDS");
  const int rounds = text ? std::atoi(text) : 3;
  return rounds > 0 ? rounds : 3;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Prepare();
  auto& f = Files();
  // Milliseconds, and the CPU time of the whole process: extraction decodes on worker threads.
  const auto timed = [](benchmark::internal::Benchmark* run) {
    return run->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
  };
  timed(benchmark::RegisterBenchmark("read/plain", BM_SequentialRead, &f.plain));
  timed(benchmark::RegisterBenchmark("scan/plain", BM_Scan, &f.plain));
  timed(benchmark::RegisterBenchmark("read/descriptors", BM_SequentialRead, &f.descriptors));
  timed(benchmark::RegisterBenchmark("scan/descriptors", BM_Scan, &f.descriptors));
  timed(benchmark::RegisterBenchmark("scan/small", BM_Scan, &f.small));
  timed(benchmark::RegisterBenchmark("four_byte_scan/small", BM_FourByteScan, &f.small))
      ->Iterations(1);
  timed(benchmark::RegisterBenchmark("extract/xml", BM_Extract, &f.xml))->Iterations(3);
  timed(benchmark::RegisterBenchmark("extract_memory_fs/xml", BM_ExtractInMemoryFolder, &f.xml))
      ->Iterations(3);
  timed(benchmark::RegisterBenchmark("zlib_inflate/xml", BM_ZlibInflate, &f.xml))->Iterations(3);
  timed(benchmark::RegisterBenchmark("zlib_inflate/plain", BM_ZlibInflate, &f.plain))
      ->Iterations(3);
  timed(benchmark::RegisterBenchmark("repair_job/plain", BM_RepairJob, &f.plain))->Iterations(3);
  timed(benchmark::RegisterBenchmark("repair_job_memory_fs/plain", BM_RepairJobInMemoryFolder,
                                     &f.plain))
      ->Iterations(3);
  timed(benchmark::RegisterBenchmark("write_parts/plain", BM_WriteParts, &f.plain))->Iterations(3);
  timed(benchmark::RegisterBenchmark("write_parts_memory_fs/plain", BM_WritePartsInMemoryFolder,
                                     &f.plain))
      ->Iterations(3);
  RatioReporter reporter;
  const int rounds = Rounds();
  for (int round = 1; round <= rounds; ++round) {
    std::printf("\nround %d of %d, load average before: %s\n", round, rounds,
                LoadAverage().c_str());
    std::fflush(stdout);
    reporter.rounds.emplace_back();
    benchmark::RunSpecifiedBenchmarks(&reporter);
  }
  std::printf("load average after: %s\n", LoadAverage().c_str());

  std::printf("\nfiles: plain %.1f MB, descriptors %.1f MB, small %.1f MB, xml %.1f MB\n",
              MegaBytes(f.plain), MegaBytes(f.descriptors), MegaBytes(f.small), MegaBytes(f.xml));
  const double plain = MegaBytes(f.plain);
  const double descriptors = MegaBytes(f.descriptors);
  const double small = MegaBytes(f.small);
  const double xml = MegaBytes(f.xml);
  std::printf("ratios taken within each of %d rounds %-18s      %6s %6s %6s      %6s %6s %6s\n",
              rounds, "", "best", "median", "worst", "best", "median", "worst");
  PrintFigure(reporter, "scan / sequential read, plain layout",
              PerMb("scan/plain", plain, "read/plain", plain), true, "target <= 2.0");
  PrintFigure(reporter, "scan / sequential read, descriptor layout",
              PerMb("scan/descriptors", descriptors, "read/descriptors", descriptors), true,
              "target <= 2.0");
  PrintFigure(reporter, "four-byte scanner / buffered scanner, per MB",
              PerMb("four_byte_scan/small", small, "scan/small", small), false, "higher is better");
  PrintFigure(reporter, "extraction throughput / zlib's, disk folder",
              PerMb("zlib_inflate/xml", xml, "extract/xml", xml), false, "target >= 0.60");
  PrintFigure(reporter, "extraction throughput / zlib's, memory folder",
              PerMb("zlib_inflate/xml", xml, "extract_memory_fs/xml", xml), false,
              "target >= 0.60");
  PrintFigure(reporter, "repair job / (read + zlib inflate), disk folder",
              OverSum("repair_job/plain", "read/plain", "zlib_inflate/plain"), true,
              "target <= 1.3");
  PrintFigure(reporter, "repair job / (read + zlib inflate), memory folder",
              OverSum("repair_job_memory_fs/plain", "read/plain", "zlib_inflate/plain"), true,
              "target <= 1.3");
  // The same job against a yardstick that also writes its output: how much of the job the file
  // system takes, which no engine change can remove.
  PrintFigure(reporter, "repair job / (read + inflate + write parts), disk",
              OverSum3("repair_job/plain", "read/plain", "zlib_inflate/plain", "write_parts/plain"),
              true, "file system included");
  PrintFigure(reporter, "repair job / (read + inflate + write parts), memory",
              OverSum3("repair_job_memory_fs/plain", "read/plain", "zlib_inflate/plain",
                       "write_parts_memory_fs/plain"),
              true, "file system included");
  PrintFigure(reporter, "writing the parts' bytes / (read + inflate), disk",
              OverSum("write_parts/plain", "zlib_inflate/plain", "read/plain"), true,
              "the file system's weight");
  PrintFigure(reporter, "writing the parts' bytes / (read + inflate), memory",
              OverSum("write_parts_memory_fs/plain", "zlib_inflate/plain", "read/plain"), true,
              "the file system's weight");
  benchmark::Shutdown();
  return 0;
}
