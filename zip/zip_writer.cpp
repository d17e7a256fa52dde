#include "zip/zip_writer.h"

#include <algorithm>
#include <array>
#include <ctime>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/text.h"
#include "zip/deflate_encoder.h"
#include "zip/deflate_pipeline.h"
#include "zip/entry_source.h"
#include "zip/little_endian.h"
#include "zip/source_info.h"
#include "zip/zip_entry_record.h"
#include "zip/zip_limits.h"

namespace zip {
namespace {

// The name conversion buffer holds 518 bytes with its terminator; the stored-name field 259.
constexpr std::size_t kMaxConvertedName = 517;
constexpr std::size_t kMaxStoredName = 259;
constexpr std::size_t kTransferBufferSize = 16384;
// Source pieces handed to zlib in one call: large enough that per-call costs vanish.
constexpr std::size_t kSourcePieceSize = 128 * 1024;
// The central directory is gathered and written in blocks of about this size.
constexpr std::size_t kCentralWriteBlock = 64 * 1024;

constexpr std::array<std::string_view, 8> kStoredSuffixes = {".Z",   ".zip", ".zoo", ".arc",
                                                             ".lzh", ".arj", ".gz",  ".tgz"};

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

// Names ending in the suffix of an already compressed format are stored, all others deflated.
std::uint16_t MethodForName(std::string_view name) {
  const auto dot = name.rfind('.');
  if (dot == std::string_view::npos) return kMethodDeflated;
  const std::string_view suffix = name.substr(dot);
  for (const auto stored : kStoredSuffixes) {
    if (EqualsIgnoringAsciiCase(suffix, stored)) return kMethodStored;
  }
  return kMethodDeflated;
}

// The narrow entry name: one byte per character, backslashes turned into slashes. Nothing when
// the name is empty, holds a NUL or a character above U+00FF, or does not fit the field.
std::optional<std::string> StoredName(std::wstring_view name) {
  std::optional<std::string> narrow = platform::BytesFromWide(name);
  if (!narrow || narrow->empty() || narrow->size() > kMaxConvertedName ||
      narrow->size() > kMaxStoredName || narrow->find('\0') != std::string::npos) {
    return std::nullopt;
  }
  std::replace(narrow->begin(), narrow->end(), '\\', '/');
  return narrow;
}

}  // namespace

struct ZipWriter {
  platform::File output;
  std::uint64_t baseOffset = 0;
  std::uint64_t writePosition = 0;
  bool canReposition = true;
  std::vector<ZipEntryRecord> entries;
  std::vector<std::byte> transferBuffer = std::vector<std::byte>(kTransferBufferSize);
  std::vector<std::byte> sourceBuffer = std::vector<std::byte>(kSourcePieceSize);
  ZipLimits limits;
  ZipReadFault readFault;
};

ZipHandle::ZipHandle() = default;
ZipHandle::~ZipHandle() = default;

namespace {

class ArchiveSink final : public DeflateSink {
 public:
  explicit ArchiveSink(platform::File& output) : m_output(output) {}
  bool Write(std::span<const std::byte> data) override {
    if (!m_output.Write(data)) return false;
    m_nWritten += data.size();
    return true;
  }
  std::uint64_t Written() const { return m_nWritten; }

 private:
  platform::File& m_output;
  std::uint64_t m_nWritten = 0;
};

// Copies the source unchanged; false when a write falls short.
bool CopyStored(EntrySource& source, ArchiveSink& sink) {
  for (;;) {
    const auto piece = source.NextPiece();
    if (piece.empty()) return true;
    if (!sink.Write(piece)) return false;
  }
}

ZipEntryRecord StartRecord(std::string name, std::uint16_t method, const SourceInfo& info,
                           std::uint64_t offset) {
  ZipEntryRecord entry;
  entry.name = std::move(name);
  entry.method = method;
  entry.dosDateTime = info.dosDateTime;
  entry.compressedSize = method == kMethodStored ? static_cast<std::uint32_t>(info.size) : 0;
  entry.uncompressedSize = static_cast<std::uint32_t>(info.size);
  entry.externalAttributes = info.externalAttributes;
  entry.localHeaderOffset = static_cast<std::uint32_t>(offset);
  entry.modifyTime = info.modifyTime;
  entry.accessTime = info.accessTime;
  entry.createTime = info.createTime;
  return entry;
}

bool WriteLocalHeader(platform::File& output, const ZipEntryRecord& entry) {
  LittleEndianBuffer header;
  PutLocalHeader(header, entry);
  return output.Write(header.Bytes());
}

// Writes the entry's data after its local header. Returns the compressed bytes written, or
// nothing when a write fell short or the encoder failed.
std::optional<std::uint64_t> WriteEntryData(ZipWriter& writer, ZipEntryRecord& entry,
                                            EntrySource& source) {
  ArchiveSink sink(writer.output);
  if (entry.method == kMethodStored) {
    if (!CopyStored(source, sink)) return std::nullopt;
    return sink.Written();
  }
  return DeflateEntryData(kDeflateLevel, entry.centralFlags, source, sink, writer.transferBuffer);
}

// Writes the final form of the local header in place and returns to the write position.
bool RewriteLocalHeader(ZipWriter& writer, const ZipEntryRecord& entry) {
  if (!writer.canReposition) return false;
  return writer.output.Seek(entry.localHeaderOffset - writer.baseOffset) &&
         WriteLocalHeader(writer.output, entry) &&
         writer.output.Seek(writer.writePosition - writer.baseOffset);
}

// Where reads of the source fail: nowhere, unless a test said so.
std::uint64_t FailAfter(const ZipReadFault& fault, const std::filesystem::path& sourcePath) {
  if (fault.pathSuffix.empty() || !sourcePath.string().ends_with(fault.pathSuffix)) {
    return std::numeric_limits<std::uint64_t>::max();
  }
  return fault.after;
}

// After a failed write the file position tells how far the archive really reaches.
void ResyncWritePosition(ZipWriter& writer) {
  const std::int64_t position = writer.output.Position();
  if (position >= 0)
    writer.writePosition = static_cast<std::uint64_t>(position) + writer.baseOffset;
}

std::uint32_t AddEntry(ZipWriter& writer, std::string name,
                       const std::filesystem::path& sourcePath) {
  const std::uint16_t method = MethodForName(name);
  if (writer.entries.size() >= writer.limits.maxEntries ||
      writer.writePosition > writer.limits.maxOffset) {
    return kZipTooLarge;
  }
  // Opening for reading refuses anything but a regular file at once (a FIFO or a device could
  // block or never end), with its reason recorded for the caller.
  platform::File source;
  if (!source.Open(sourcePath, platform::File::Mode::kRead)) return kZipFileError;
  const std::optional<SourceInfo> info = ReadSourceInfo(source);
  if (!info) return kZipFileError;
  if (info->size > writer.limits.maxSize) return kZipTooLarge;

  ZipEntryRecord entry = StartRecord(std::move(name), method, *info, writer.writePosition);
  if (!WriteLocalHeader(writer.output, entry)) {
    ResyncWritePosition(writer);
    return kZipWriteError;
  }
  writer.writePosition += entry.LocalHeaderSize();

  EntrySource reader(source, writer.sourceBuffer, FailAfter(writer.readFault, sourcePath));
  const std::optional<std::uint64_t> compressed = WriteEntryData(writer, entry, reader);
  source.Close();
  if (!compressed) {
    ResyncWritePosition(writer);
    return kZipWriteError;
  }
  writer.writePosition += *compressed;
  if (*compressed > writer.limits.maxSize || reader.BytesRead() > writer.limits.maxSize) {
    return kZipTooLarge;
  }
  entry.compressedSize = static_cast<std::uint32_t>(*compressed);
  entry.uncompressedSize = static_cast<std::uint32_t>(reader.BytesRead());
  entry.crc = reader.Crc();
  entry.centralFlags &= static_cast<std::uint16_t>(~kFlagDataDescriptor);
  entry.localFlags = entry.centralFlags;
  if (!RewriteLocalHeader(writer, entry)) {
    ResyncWritePosition(writer);
    return kZipWriteError;
  }
  writer.entries.push_back(std::move(entry));
  return kZipOk;
}

// A failed write: the system's text, taken before anything else can change it, and the write
// position brought back to what the file really holds.
ZipAddResult WriteFailure(ZipWriter& writer) {
  ZipAddResult failed{kZipWriteError, platform::LastErrorText()};
  ResyncWritePosition(writer);
  return failed;
}

// Tells the pipeline on every way out that the writer is done with one job.
class JobDone {
 public:
  JobDone(DeflatePipeline& pipeline, std::size_t index) : pipeline_(pipeline), index_(index) {}
  ~JobDone() { pipeline_.Done(index_); }
  JobDone(const JobDone&) = delete;
  JobDone& operator=(const JobDone&) = delete;

 private:
  DeflatePipeline& pipeline_;
  std::size_t index_;
};

// AddEntry with the source opened, read and encoded by a worker of the pipeline: the same
// checks in the same order, the same bytes written, the same results.
ZipAddResult AddEncodedEntry(ZipWriter& writer, std::string name, std::uint16_t method,
                             DeflatePipeline& pipeline, std::size_t job) {
  const JobDone done(pipeline, job);
  if (writer.entries.size() >= writer.limits.maxEntries ||
      writer.writePosition > writer.limits.maxOffset) {
    return {kZipTooLarge, {}};
  }
  DeflatePipeline::Opened opened = pipeline.WaitOpened(job);
  if (opened.result != kZipOk) {
    const bool systemFailure = opened.result == kZipFileError || opened.result == kZipWriteError;
    return {opened.result, systemFailure ? std::move(opened.systemError) : std::string()};
  }

  ZipEntryRecord entry = StartRecord(std::move(name), method, opened.info, writer.writePosition);
  if (!WriteLocalHeader(writer.output, entry)) return WriteFailure(writer);
  writer.writePosition += entry.LocalHeaderSize();

  std::vector<std::byte> piece;
  std::uint64_t written = 0;
  while (pipeline.NextPiece(job, piece)) {
    if (!writer.output.Write(piece)) return WriteFailure(writer);
    written += piece.size();
  }
  DeflatePipeline::Finished finished = pipeline.TakeFinished(job);
  if (!finished.ok || finished.compressed != written) {
    ResyncWritePosition(writer);
    return {kZipWriteError, std::move(finished.systemError)};
  }
  writer.writePosition += written;
  if (written > writer.limits.maxSize || finished.bytesRead > writer.limits.maxSize) {
    return {kZipTooLarge, {}};
  }
  entry.centralFlags |= finished.levelFlags;
  entry.compressedSize = static_cast<std::uint32_t>(written);
  entry.uncompressedSize = static_cast<std::uint32_t>(finished.bytesRead);
  entry.crc = finished.crc;
  entry.centralFlags &= static_cast<std::uint16_t>(~kFlagDataDescriptor);
  entry.localFlags = entry.centralFlags;
  if (!RewriteLocalHeader(writer, entry)) return WriteFailure(writer);
  writer.entries.push_back(std::move(entry));
  return {kZipOk, {}};
}

ZipAddResult AddOneItem(ZipWriter& writer, const ZipAddItem& item) {
  std::optional<std::string> stored = StoredName(item.name);
  if (!stored) return {kZipBadArgument, {}};
  const std::uint32_t result = AddEntry(writer, std::move(*stored), item.source);
  // Only reading and writing set the system's error; a refused name or size leaves none.
  const bool systemFailure = result == kZipFileError || result == kZipWriteError;
  return {result, systemFailure ? platform::LastErrorText() : std::string()};
}

std::vector<ZipAddResult> AddOneByOne(ZipWriter& writer, std::span<const ZipAddItem> items) {
  std::vector<ZipAddResult> results;
  results.reserve(items.size());
  for (const ZipAddItem& item : items)
    results.push_back(AddOneItem(writer, item));
  return results;
}

std::vector<ZipAddResult> AddInParallel(ZipWriter& writer, std::span<const ZipAddItem> items,
                                        unsigned threads) {
  // Names are checked first: a refused name never reaches a worker, as it never reached the
  // source before.
  std::vector<ZipAddResult> results(items.size());
  std::vector<std::string> names;
  std::vector<std::size_t> itemOfJob;
  std::vector<DeflatePipeline::Job> jobs;
  for (std::size_t i = 0; i < items.size(); ++i) {
    std::optional<std::string> stored = StoredName(items[i].name);
    if (!stored) {
      results[i] = {kZipBadArgument, {}};
      continue;
    }
    jobs.push_back(
        {items[i].source, MethodForName(*stored), FailAfter(writer.readFault, items[i].source)});
    names.push_back(std::move(*stored));
    itemOfJob.push_back(i);
  }
  DeflatePipeline pipeline(std::move(jobs), threads, writer.limits.maxSize);
  if (!pipeline.Started()) return AddOneByOne(writer, items);
  for (std::size_t job = 0; job < names.size(); ++job) {
    const std::uint16_t method = MethodForName(names[job]);
    results[itemOfJob[job]] = AddEncodedEntry(writer, std::move(names[job]), method, pipeline, job);
  }
  return results;
}

// Writes the central directory and the end record.
std::uint32_t WriteDirectory(ZipWriter& writer) {
  const std::uint64_t directoryStart = writer.writePosition;
  if (directoryStart > writer.limits.maxOffset) return kZipTooLarge;
  LittleEndianBuffer block;
  for (const ZipEntryRecord& entry : writer.entries) {
    PutCentralHeader(block, entry);
    if (block.Size() >= kCentralWriteBlock) {
      if (!writer.output.Write(block.Bytes())) return kZipWriteError;
      writer.writePosition += block.Size();
      block.Clear();
    }
  }
  writer.writePosition += block.Size();
  const std::uint64_t directorySize = writer.writePosition - directoryStart;
  if (directorySize > writer.limits.maxOffset) return kZipTooLarge;
  PutEndRecord(block, static_cast<std::uint16_t>(writer.entries.size()),
               static_cast<std::uint32_t>(directorySize),
               static_cast<std::uint32_t>(directoryStart + writer.baseOffset));
  if (!writer.output.Write(block.Bytes())) return kZipWriteError;
  writer.writePosition += kEndRecordSize;
  return kZipOk;
}

std::uint32_t CheckHandle(const ZipHandle* handle) {
  if (handle == nullptr) return kZipBadArgument;
  if (handle->kind != 2) return kZipWrongHandle;
  if (!handle->writer) return kZipBadArgument;
  return kZipOk;
}

}  // namespace

const char* ZipResultText(std::uint32_t code) {
  switch (code) {
    case kZipOk:
      return "ok";
    case kZipFileError:
      return "the archive cannot be created, or the source cannot be opened or read";
    case kZipWriteError:
      return "a write to the archive fell short, or the encoder failed";
    case kZipTooLarge:
      return "a size, offset or entry count beyond what the zip format holds";
    case kZipBadArgument:
      return "no handle, or an empty or unconvertible name";
    case kZipWrongHandle:
      return "the handle is not an archive writer";
    default:
      return "unknown result";
  }
}

ZipHandlePtr ZipWriterCreate(const std::filesystem::path& path, std::uint32_t* result) {
  platform::File output;
  if (!output.Open(path, platform::File::Mode::kCreateTruncate)) {
    if (result) *result = kZipFileError;
    return nullptr;
  }
  return ZipWriterCreate(std::move(output), result);
}

ZipHandlePtr ZipWriterCreate(platform::File output, std::uint32_t* result) {
  // Headers are written at offsets from 0: whatever a file already holds would be mixed in.
  if (!output.IsOpen() || output.Size() != 0 || output.Position() != 0) {
    if (result) *result = kZipBadArgument;
    return nullptr;
  }
  // Local times of the sources are taken from the time-zone rules in force now.
  ReloadTimeZone();
  auto writer = std::make_unique<ZipWriter>();
  writer->output = std::move(output);
  auto handle = std::make_unique<ZipHandle>();
  handle->kind = 2;
  handle->writer = std::move(writer);
  if (result) *result = kZipOk;
  return handle;
}

std::uint32_t ZipWriterAddFile(ZipHandle* handle, std::wstring_view name,
                               const std::filesystem::path& sourcePath) {
  if (const std::uint32_t check = CheckHandle(handle); check != kZipOk) return check;
  std::optional<std::string> stored = StoredName(name);
  if (!stored) return kZipBadArgument;
  return AddEntry(*handle->writer, std::move(*stored), sourcePath);
}

std::vector<ZipAddResult> ZipWriterAddFiles(ZipHandle* handle, std::span<const ZipAddItem> items,
                                            unsigned threads) {
  if (const std::uint32_t check = CheckHandle(handle); check != kZipOk) {
    return std::vector<ZipAddResult>(items.size(), ZipAddResult{check, {}});
  }
  // One file, or one thread, gains nothing from workers.
  if (threads <= 1 || items.size() <= 1) return AddOneByOne(*handle->writer, items);
  return AddInParallel(*handle->writer, items, threads);
}

std::uint32_t ZipWriterClose(ZipHandlePtr handle) {
  if (const std::uint32_t check = CheckHandle(handle.get()); check != kZipOk) return check;
  std::uint32_t result = WriteDirectory(*handle->writer);
  // A failing close can mean data that never reached the disk: the archive is not complete.
  if (!handle->writer->output.Close() && result == kZipOk) result = kZipWriteError;
  handle.reset();
  return result;
}

bool SetZipLimitsForTesting(ZipHandle* handle, const ZipLimits& limits) {
  if (CheckHandle(handle) != kZipOk) return false;
  handle->writer->limits = limits;
  return true;
}

bool SetZipReadFaultForTesting(ZipHandle* handle, ZipReadFault fault) {
  if (CheckHandle(handle) != kZipOk) return false;
  handle->writer->readFault = std::move(fault);
  return true;
}

}  // namespace zip
