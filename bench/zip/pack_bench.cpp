// Packs about 100 MB of generated XML-like parts with FolderPacker and compares the time with
// zlib's level-8 raw deflate of the same bytes in memory (one deflate call per file, one
// thread). With one deflate thread the packer's overhead (file reads, CRC-32, headers, writes)
// should stay within 15 %; with as many threads as the machine has cores (or
// DOTM_REPAIR_THREADS) the packer should beat the in-memory deflate by the core count, less the
// overhead. Both archives must be byte for byte the same.
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "testkit/temp_folder.h"
#include "zip/deflate_threads.h"
#include "zip/folder_packer.h"

namespace {

constexpr int kFiles = 200;
constexpr std::size_t kFileSize = 500 * 1024;
constexpr int kRounds = 2;

// Word-processing markup with varied words and numbers, so that it compresses about as well
// as real document parts do.
std::string XmlPart(std::mt19937& random) {
  static const char* const kWords[] = {"report", "quarter", "revenue", "the",    "of",
                                       "and",    "growth",  "market",  "region", "total",
                                       "figure", "table",   "section", "review", "plan"};
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:document><w:body>";
  while (text.size() < kFileSize) {
    text += "<w:p w:rsidR=\"" + std::to_string(random() % 0xFFFFFF) + "\"><w:r><w:t>";
    for (int w = 0; w < 12; ++w) {
      text += kWords[random() % std::size(kWords)];
      text += random() % 4 == 0 ? std::to_string(random() % 10000) : " ";
    }
    text += "</w:t></w:r></w:p>";
  }
  text.resize(kFileSize);
  return text;
}

double Seconds(std::chrono::steady_clock::duration elapsed) {
  return std::chrono::duration<double>(elapsed).count();
}

double DeflateInMemory(const std::vector<std::string>& parts, std::size_t& compressedTotal) {
  std::vector<unsigned char> out;
  compressedTotal = 0;
  const auto start = std::chrono::steady_clock::now();
  for (const std::string& part : parts) {
    z_stream stream{};
    deflateInit2(&stream, 8, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    out.resize(deflateBound(&stream, part.size()));
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(part.data()));
    stream.avail_in = static_cast<uInt>(part.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    compressedTotal += stream.total_out;
    deflateEnd(&stream);
  }
  return Seconds(std::chrono::steady_clock::now() - start);
}

// Packs tree into archive with threads deflate threads; keeps the best time in best.
bool Pack(const std::filesystem::path& tree, const std::filesystem::path& archive, unsigned threads,
          double& best) {
  zip::FolderPacker packer(threads);
  const auto start = std::chrono::steady_clock::now();
  const std::uint32_t result = packer.PackFolder(tree, archive);
  best = std::min(best, Seconds(std::chrono::steady_clock::now() - start));
  if (result != zip::kZipOk || packer.FailedAdds() != 0) {
    std::fprintf(stderr, "PackFolder with %u threads failed: 0x%x\n", threads, result);
    return false;
  }
  return true;
}

std::string FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The archives compared are those of the last round: the first read of a source may move its
// access time (which the local headers hold), and by then every source has been read once.
bool SameBytes(const std::filesystem::path& a, const std::filesystem::path& b) {
  return FileBytes(a) == FileBytes(b);
}

}  // namespace

int main() {
  const testkit::TempFolder folder("pack-bench-");
  const std::filesystem::path& root = folder.Path();
  const std::filesystem::path tree = root / "tree";

  std::mt19937 random(2024);
  std::vector<std::string> parts;
  for (int i = 0; i < kFiles; ++i) {
    parts.push_back(XmlPart(random));
    const auto path =
        tree / ("folder" + std::to_string(i % 10)) / ("part" + std::to_string(i) + ".xml");
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(parts.back().data(), static_cast<std::streamsize>(kFileSize));
  }

  const unsigned threads = zip::DeflateThreadCount();
  double memoryBest = 1e9;
  double packBest = 1e9;
  double parallelBest = 1e9;
  std::size_t compressed = 0;
  for (int round = 0; round < kRounds; ++round) {
    memoryBest = std::min(memoryBest, DeflateInMemory(parts, compressed));
    if (!Pack(tree, root / "out.zip", 1, packBest) ||
        !Pack(tree, root / "parallel.zip", threads, parallelBest)) {
      return 1;
    }
  }
  const auto archiveSize = std::filesystem::file_size(root / "out.zip");
  const bool same = SameBytes(root / "out.zip", root / "parallel.zip");

  const double megabytes = static_cast<double>(kFiles) * kFileSize / 1e6;
  std::printf("input: %d files, %.1f MB; deflated in memory %.1f MB, archive %.1f MB\n", kFiles,
              megabytes, static_cast<double>(compressed) / 1e6,
              static_cast<double>(archiveSize) / 1e6);
  std::printf("in-memory level-8 deflate: %.3f s (%.1f MB/s), best of %d\n", memoryBest,
              megabytes / memoryBest, kRounds);
  std::printf("PackFolder, 1 thread:      %.3f s (%.1f MB/s), best of %d\n", packBest,
              megabytes / packBest, kRounds);
  std::printf("PackFolder, %u threads:     %.3f s (%.1f MB/s), best of %d\n", threads, parallelBest,
              megabytes / parallelBest, kRounds);
  std::printf("ratio PackFolder 1 thread / in-memory: %.3f (target <= 1.15)\n",
              packBest / memoryBest);
  std::printf("ratio PackFolder %u threads / in-memory: %.3f (at best 1/%u = %.3f)\n", threads,
              parallelBest / memoryBest, threads, 1.0 / threads);
  std::printf("archives of 1 and %u threads: %s\n", threads,
              same ? "byte for byte the same" : "DIFFERENT");
  return same ? 0 : 1;
}
