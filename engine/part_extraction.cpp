#include "engine/part_extraction.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>
#include <new>
#include <system_error>
#include <vector>

#include "engine/package_tree_repair.h"
#include "platform/file.h"
#include "platform/temp_folder.h"
#include "platform/text.h"
#include "zip/raw_inflate.h"

namespace engine {
namespace {

constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;
// Deflate cannot expand data by more than 1032:1; a header claiming more is damaged, and
// believing it would mean allocating up to 4 GiB for nothing.
constexpr std::uint64_t kMaxDeflateRatio = 1032;
constexpr std::uint64_t kDeflateRatioSlack = 1024;
// Inflated data goes to the output file in pieces of this size.
constexpr std::uint32_t kOutputPiece = 256 * 1024;

struct PartFolders {
  bool hasFolders = false;  // the part path has at least one folder level
  bool ready = true;        // every level is a real folder (never a link) we may write into
};

// Creates one folder level. A level that exists must be a real folder: a link planted there
// would lead our writes out of the file folder, and a file cannot hold the part.
bool MakeFolderLevel(JobView& view, const std::filesystem::path& level, bool& stopDescending) {
  std::error_code ec;
  const auto status = std::filesystem::symlink_status(level, ec);
  int error = 0;
  if (std::filesystem::is_symlink(status)) {
    error = ELOOP;
    stopDescending = true;
  } else if (std::filesystem::exists(status)) {
    if (std::filesystem::is_directory(status)) return true;
    error = ENOTDIR;
    stopDescending = true;
  } else if (!std::filesystem::create_directory(level, ec) && ec) {
    error = ec.value();
  } else {
    return true;
  }
  view.MessageBox(platform::ErrorText(error), kAppCaption, kMbIconInformation);
  return false;
}

PartFolders PreparePartFolders(JobView& view, const std::filesystem::path& fileFolder,
                               const std::filesystem::path& relativePath) {
  PartFolders result;
  std::filesystem::path level = fileFolder;
  const auto parent = relativePath.parent_path();
  for (const auto& component : parent) {
    result.hasFolders = true;
    level /= component;
    bool stopDescending = false;
    if (!MakeFolderLevel(view, level, stopDescending)) result.ready = false;
    // Below a link or a file, every further level would go through it.
    if (stopDescending) break;
  }
  return result;
}

// Deletes the temporary file on every path out of a part's inflation.
class TempFileRemover {
 public:
  explicit TempFileRemover(std::filesystem::path path) : path_(std::move(path)) {}
  ~TempFileRemover() {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
  }
  TempFileRemover(const TempFileRemover&) = delete;
  TempFileRemover& operator=(const TempFileRemover&) = delete;

 private:
  std::filesystem::path path_;
};

// Creates (or truncates) the output file. Never writes through a link: a link in the output's
// place is removed first.
bool CreateOutput(const std::filesystem::path& outputPath, platform::File& output) {
  std::error_code ec;
  const auto status = std::filesystem::symlink_status(outputPath, ec);
  if (std::filesystem::is_symlink(status) && !std::filesystem::remove(outputPath, ec)) {
    return false;
  }
  return output.Open(outputPath, platform::File::Mode::kCreateTruncate);
}

// Removes an output file that could not be written whole, unless it was completed.
class PartialOutputRemover {
 public:
  explicit PartialOutputRemover(std::filesystem::path path) : path_(std::move(path)) {}
  ~PartialOutputRemover() {
    if (complete_) return;
    std::error_code ec;
    std::filesystem::remove(path_, ec);
  }
  PartialOutputRemover(const PartialOutputRemover&) = delete;
  PartialOutputRemover& operator=(const PartialOutputRemover&) = delete;
  void Complete() { complete_ = true; }

 private:
  std::filesystem::path path_;
  bool complete_ = false;
};

bool WriteOutput(const std::filesystem::path& outputPath, std::span<const std::uint8_t> data) {
  platform::File output;
  if (!CreateOutput(outputPath, output)) return false;
  PartialOutputRemover remover(outputPath);
  if (!output.Write(std::as_bytes(data)) || !output.Close()) return false;
  remover.Complete();
  return true;
}

// The part's data bytes that the file really holds: a damaged header may claim more.
std::uint32_t AvailableBytes(const platform::File& package, const PartEntry& entry) {
  const std::int64_t size = package.Size();
  if (size < 0 || entry.dataOffset >= static_cast<std::uint64_t>(size)) return 0;
  const std::uint64_t remaining = static_cast<std::uint64_t>(size) - entry.dataOffset;
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(entry.compressedSize, remaining));
}

std::vector<std::uint8_t> ReadPartData(platform::File& package, std::uint64_t offset,
                                       std::uint32_t count) {
  std::vector<std::uint8_t> data(count);
  if (!package.Seek(offset)) return {};
  const auto got = package.Read(std::as_writable_bytes(std::span(data)));
  data.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
  return data;
}

bool ExtractStored(platform::File& package, const PartEntry& entry, std::uint32_t available,
                   const std::filesystem::path& outputPath) {
  const auto data = ReadPartData(package, entry.dataOffset, available);
  if (data.empty()) return false;
  // A part cut short by the end of the package is written as far as it goes.
  return WriteOutput(outputPath, data);
}

// Inflates the stream in pieces straight into the output file, so that each piece is written
// while it is still in the processor's cache and memory stays small. The output is complete
// only when exactly uncompressedSize bytes came out; otherwise no file is left.
bool InflateIntoOutput(zip::RawInflateHandle* handle, std::uint32_t uncompressedSize,
                       const std::filesystem::path& outputPath) {
  const std::uint32_t capacity = std::clamp<std::uint32_t>(uncompressedSize, 1, kOutputPiece);
  const auto piece = std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
  platform::File output;
  if (!CreateOutput(outputPath, output)) return false;
  PartialOutputRemover remover(outputPath);
  std::uint64_t written = 0;
  for (;;) {
    zip::InflateSizes sizes{.length = capacity, .uncompressedSize = uncompressedSize};
    const int result = zip::RawInflateRead(handle, sizes, piece.get());
    if (result != zip::kInflOk && result != zip::kInflMoreOutput) return false;
    if (sizes.length == 0 && result == zip::kInflMoreOutput) return false;  // ended early
    if (!output.Write(std::as_bytes(std::span(piece.get(), sizes.length)))) return false;
    written += sizes.length;
    if (result == zip::kInflOk) break;
  }
  if (written != uncompressedSize || !output.Close()) return false;
  remover.Complete();
  return true;
}

bool ExtractDeflated(platform::File& package, const PartEntry& entry, std::uint32_t available,
                     const std::filesystem::path& outputPath,
                     const std::filesystem::path& tempFolder) {
  if (entry.uncompressedSize > kMaxDeflateRatio * available + kDeflateRatioSlack) return false;
  auto temp = platform::CreateTempFile(tempFolder, "OPC");
  if (!temp) return false;
  const TempFileRemover remover(temp->path);
  {
    const auto compressed = ReadPartData(package, entry.dataOffset, available);
    if (!temp->file.Write(std::as_bytes(std::span(compressed)))) return false;
    temp->file.Close();
  }  // the compressed bytes are freed before the output buffer is taken

  zip::RawInflateHandlePtr handle;
  if (zip::RawInflateOpen(temp->path, handle) != zip::kInflOk) return false;
  // The input budget is the compressed size, whatever the output buffer's size: a part whose
  // compressed form is larger than its content (an already compressed picture) is complete too.
  if (zip::RawInflateSetInputBudget(handle.get(), available) != zip::kInflOk) return false;
  return InflateIntoOutput(handle.get(), entry.uncompressedSize, outputPath);
}

int ProgressValue(std::size_t value) {
  return static_cast<int>(std::min<std::size_t>(value, INT_MAX));
}

}  // namespace

std::optional<std::filesystem::path> SafePartPath(std::wstring_view partPath) {
  // A NUL would cut the name short inside the system's calls; no such name is trusted.
  if (partPath.find(L'\0') != std::wstring_view::npos) return std::nullopt;
  std::filesystem::path result;
  std::size_t begin = 0;
  while (begin <= partPath.size()) {
    std::size_t end = partPath.find_first_of(L"\\/", begin);
    if (end == std::wstring_view::npos) end = partPath.size();
    std::wstring component(partPath.substr(begin, end - begin));
    std::erase(component, L':');
    if (!component.empty() && component != L"." && component != L"..") {
      result /= platform::PathFromWide(component);
    }
    begin = end + 1;
  }
  if (result.empty()) return std::nullopt;
  return result;
}

bool MakePartFolders(JobView& view, const std::filesystem::path& fileFolder,
                     const std::filesystem::path& relativePath) {
  return PreparePartFolders(view, fileFolder, relativePath).hasFolders;
}

bool ExtractPart(const std::filesystem::path& packagePath, const std::filesystem::path& outputPath,
                 const PartEntry& entry, const std::filesystem::path& tempFolder) {
  try {
    platform::File package;
    if (!package.Open(packagePath, platform::File::Mode::kRead)) return false;
    const std::uint32_t available = AvailableBytes(package, entry);
    if (available == 0) return false;
    switch (entry.method) {
      case kMethodStored:
        return ExtractStored(package, entry, available, outputPath);
      case kMethodDeflated:
        return ExtractDeflated(package, entry, available, outputPath, tempFolder);
      default:
        return false;  // a method we cannot decode: the part is skipped
    }
  } catch (const std::bad_alloc&) {
    return false;  // sizes too large for this machine: skip the part, the job goes on
  }
}

std::size_t ExtractParts(JobView& view, const std::filesystem::path& fileFolder,
                         std::string_view packagePath, const ScanList& scanList,
                         const std::filesystem::path& tempFolder) {
  const std::size_t count = scanList.size();
  view.ResetEstimate(ProgressBar::kFile);
  view.SetProgressRange(ProgressBar::kFile, ProgressValue(count));
  view.SetProgressPos(ProgressBar::kFile, 0);
  const auto package = platform::PathFromUtf8(packagePath);
  std::size_t written = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const PartEntry& entry = scanList[i];
    if (const auto relative = SafePartPath(entry.partPath)) {
      const auto folders = PreparePartFolders(view, fileFolder, *relative);
      if (folders.ready && ExtractPart(package, fileFolder / *relative, entry, tempFolder)) {
        ++written;
      }
    }
    // The bar trails by one part while the job runs and reaches the end below.
    view.SetProgressPos(ProgressBar::kFile, ProgressValue(i));
  }
  std::filesystem::path folder = fileFolder;
  RepairPackageTree(folder);
  view.SetProgressPos(ProgressBar::kFile, ProgressValue(count));
  return written;
}

}  // namespace engine
