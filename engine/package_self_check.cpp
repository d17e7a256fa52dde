#include "engine/package_self_check.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <thread>
#include <vector>

#include "engine/content_types_builder.h"
#include "engine/package_tree.h"
#include "engine/relationships_repair.h"
#include "engine/xml_repair.h"
#include "platform/file.h"
#include "zip/crc32.h"
#include "zip/deflate_threads.h"

namespace engine {
namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kLongestComment = 65535;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kCentralHeaderSize = 46;
// The package is read and inflated in pieces of this size, so that memory stays the same
// however large its parts are.
constexpr std::size_t kPiece = 64 * 1024;

// Bounds-checked little-endian reads over bytes read from the package.
class Cursor {
 public:
  explicit Cursor(std::string_view bytes) : bytes_(bytes) {}
  bool Has(std::size_t at, std::size_t count) const {
    return at <= bytes_.size() && count <= bytes_.size() - at;
  }
  std::uint32_t U16(std::size_t at) const {
    return static_cast<std::uint8_t>(bytes_[at]) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes_[at + 1])) << 8);
  }
  std::uint32_t U32(std::size_t at) const { return U16(at) | (U16(at + 2) << 16); }
  std::string_view Bytes(std::size_t at, std::size_t count) const {
    return bytes_.substr(at, count);
  }

 private:
  std::string_view bytes_;
};

SelfCheckResult Fail(std::string reason) {
  return {false, reason, {reason}};
}

// The failures of the checks that go on after one fails.
class Failures {
 public:
  void Add(std::string reason) { failures_.push_back(std::move(reason)); }
  SelfCheckResult Result() && {
    if (failures_.empty()) return {true, {}, {}};
    std::string first = failures_.front();
    return {false, std::move(first), std::move(failures_)};
  }

 private:
  std::vector<std::string> failures_;
};

// The saved package, read at given offsets.
class PackageFile {
 public:
  bool Open(const std::filesystem::path& path) {
    if (!file_.Open(path, platform::File::Mode::kRead)) return false;
    const std::int64_t size = file_.Size();
    if (size < 0) return false;
    size_ = static_cast<std::uint64_t>(size);
    return true;
  }
  std::uint64_t Size() const { return size_; }
  bool Has(std::uint64_t at, std::uint64_t count) const {
    return at <= size_ && count <= size_ - at;
  }
  // Exactly count bytes from at; nothing when they are not all there.
  std::optional<std::string> ReadAt(std::uint64_t at, std::size_t count) {
    std::string bytes(count, '\0');
    if (!Has(at, count) || !file_.Seek(at) || !ReadExactly(bytes)) return std::nullopt;
    return bytes;
  }
  bool Seek(std::uint64_t at) { return file_.Seek(at); }
  bool ReadExactly(std::span<char> out) {
    const auto read = file_.Read(std::as_writable_bytes(out));
    return read >= 0 && static_cast<std::size_t>(read) == out.size();
  }

 private:
  platform::File file_;
  std::uint64_t size_ = 0;
};

// What the sense checks need of an entry once its bytes have gone by.
struct EntryFacts {
  std::string name;
  bool xmlParses = false;  // for parts named *.xml or *.rels
  std::string content;     // kept only for the relationships parts
};

bool IsContentTypesName(std::string_view name) {
  return name == "[Content_Types].xml";
}

// Takes an entry's content piece by piece: CRC, size, and the XML parse where it is XML.
class ContentSink {
 public:
  ContentSink(const std::string& name, std::string* kept) : kept_(kept) {
    const std::string extension = PartExtension(name);
    if (!name.ends_with('/') && !IsContentTypesName(name) &&
        (extension == "xml" || extension == "rels")) {
      xml_.emplace();
    }
  }
  void Take(std::string_view piece) {
    crc_ = zip::Crc32(crc_, std::as_bytes(std::span(piece.data(), piece.size())));
    size_ += piece.size();
    if (xml_) xml_->Feed(piece);
    if (kept_ != nullptr) kept_->append(piece);
  }
  std::uint32_t Crc() const { return crc_; }
  std::uint64_t Size() const { return size_; }
  bool XmlParses() { return xml_ && xml_->Finish(); }

 private:
  std::uint32_t crc_ = 0;
  std::uint64_t size_ = 0;
  std::optional<XmlPieceCheck> xml_;
  std::string* kept_;
};

struct ZStream {
  z_stream stream{};
  bool ready = inflateInit2(&stream, -15) == Z_OK;
  ZStream() = default;
  ~ZStream() {
    if (ready) inflateEnd(&stream);
  }
  ZStream(const ZStream&) = delete;
  ZStream& operator=(const ZStream&) = delete;
};

// The stored data, piece by piece.
bool CopyStored(PackageFile& file, std::uint64_t compressed, ContentSink& sink) {
  std::vector<char> piece(kPiece);
  for (std::uint64_t left = compressed; left > 0;) {
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(left, kPiece));
    if (!file.ReadExactly(std::span(piece).first(count))) return false;
    sink.Take(std::string_view(piece.data(), count));
    left -= count;
  }
  return true;
}

// The deflated data inflated piece by piece: whole only when the stream ends exactly at the
// last compressed byte having given exactly size bytes.
bool InflateData(PackageFile& file, std::uint64_t compressed, std::uint64_t size,
                 ContentSink& sink) {
  ZStream z;
  if (!z.ready) return false;
  std::vector<char> in(kPiece), out(kPiece);
  std::uint64_t left = compressed;
  int result = Z_OK;
  while (result != Z_STREAM_END) {
    if (z.stream.avail_in == 0) {
      if (left == 0) return false;  // the data ended before the stream did
      const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(left, kPiece));
      if (!file.ReadExactly(std::span(in).first(count))) return false;
      left -= count;
      z.stream.next_in = reinterpret_cast<Bytef*>(in.data());
      z.stream.avail_in = static_cast<uInt>(count);
    }
    z.stream.next_out = reinterpret_cast<Bytef*>(out.data());
    z.stream.avail_out = static_cast<uInt>(out.size());
    result = inflate(&z.stream, Z_NO_FLUSH);
    if (result != Z_OK && result != Z_STREAM_END) return false;
    sink.Take(std::string_view(out.data(), out.size() - z.stream.avail_out));
    if (sink.Size() > size) return false;
  }
  return left == 0 && z.stream.avail_in == 0 && sink.Size() == size;
}

// Where the end record starts in the package, when it has one.
std::optional<std::uint64_t> FindEndRecord(PackageFile& file) {
  if (file.Size() < kEndRecordSize) return std::nullopt;
  const std::size_t tailSize = static_cast<std::size_t>(
      std::min<std::uint64_t>(file.Size(), kEndRecordSize + kLongestComment));
  const std::uint64_t tailAt = file.Size() - tailSize;
  const auto tail = file.ReadAt(tailAt, tailSize);
  if (!tail) return std::nullopt;
  const Cursor in(*tail);
  for (std::size_t end = tailSize - kEndRecordSize;; --end) {
    if (in.U32(end) == kEndSignature) return tailAt + end;
    if (end == 0) return std::nullopt;
  }
}

struct EndRecord {
  std::uint64_t at = 0;
  std::size_t count = 0;
  std::uint64_t directoryAt = 0;
  std::size_t directorySize = 0;
};

// Reads every entry through the central directory, checks it against its local header and
// takes its content piece by piece.
class EntryReader {
 public:
  explicit EntryReader(PackageFile& file) : file_(file) {}

  // The directory's entries, in order: where each one's record starts in the directory.
  SelfCheckResult ReadDirectory(std::string& directory, std::vector<std::size_t>& starts) {
    const auto endAt = FindEndRecord(file_);
    if (!endAt) return Fail("no end record");
    const auto record = file_.ReadAt(*endAt, kEndRecordSize);
    if (!record) return Fail("no end record");
    const Cursor end(*record);
    const EndRecord facts{.at = *endAt,
                          .count = end.U16(10),
                          .directoryAt = end.U32(16),
                          .directorySize = end.U32(12)};
    if (facts.directoryAt + facts.directorySize != facts.at) {
      return Fail("central directory does not end at the end record");
    }
    auto bytes = file_.ReadAt(facts.directoryAt, facts.directorySize);
    if (!bytes) return Fail("central directory entry");
    directory = std::move(*bytes);
    const Cursor in(directory);
    std::size_t at = 0;
    for (std::size_t i = 0; i < facts.count; ++i) {
      if (!in.Has(at, kCentralHeaderSize) || in.U32(at) != kCentralSignature) {
        return Fail("central directory entry");
      }
      const std::size_t skip = in.U16(at + 28) + in.U16(at + 30) + in.U16(at + 32);
      if (!in.Has(at + kCentralHeaderSize, skip)) return Fail("central directory entry");
      starts.push_back(at);
      at += kCentralHeaderSize + skip;
    }
    return {true, {}};
  }

  // One entry of the directory, its record starting at at: checked against its local header,
  // its content taken piece by piece.
  SelfCheckResult ReadListed(const std::string& directory, std::size_t at, EntryFacts& entry,
                             std::optional<std::string>& types) {
    const Cursor in(directory);
    entry.name = std::string(in.Bytes(at + kCentralHeaderSize, in.U16(at + 28)));
    return ReadEntry(in, at, entry, types);
  }

 private:
  SelfCheckResult ReadEntry(const Cursor& central, std::size_t at, EntryFacts& entry,
                            std::optional<std::string>& types) {
    const std::uint32_t method = central.U16(at + 10);
    const std::uint32_t crc = central.U32(at + 16);
    const std::uint64_t compressed = central.U32(at + 20);
    const std::uint64_t size = central.U32(at + 24);
    const std::uint64_t local = central.U32(at + 42);
    const auto header = file_.ReadAt(local, kLocalHeaderSize);
    if (!header || Cursor(*header).U32(0) != kLocalSignature) {
      return Fail("no local header for " + entry.name);
    }
    const Cursor in(*header);
    const std::size_t localName = in.U16(26);
    const std::uint64_t dataAt = local + kLocalHeaderSize + localName + in.U16(28);
    const auto name =
        in.U16(8) == method && in.U32(14) == crc && in.U32(18) == compressed && in.U32(22) == size
            ? file_.ReadAt(local + kLocalHeaderSize, localName)
            : std::nullopt;
    if (!name || *name != entry.name) {
      return Fail("local header disagrees with the central directory for " + entry.name);
    }
    if (!file_.Has(dataAt, compressed)) return Fail("data cut short for " + entry.name);
    if (!file_.Seek(dataAt)) return Fail("cannot be read back");
    std::string* kept = nullptr;
    if (IsContentTypesName(entry.name)) {
      types.emplace();  // the last of that name counts, as a reader's lookup would find it
      kept = &*types;
    } else if (!entry.name.ends_with('/') && PartExtension(entry.name) == "rels") {
      kept = &entry.content;
    }
    ContentSink sink(entry.name, kept);
    if (method == 0 && compressed == size) {
      if (!CopyStored(file_, compressed, sink)) return Fail("data cut short for " + entry.name);
    } else if (method == 8) {
      if (!InflateData(file_, compressed, size, sink)) {
        return Fail("data does not inflate for " + entry.name);
      }
    } else {
      return Fail("unknown method for " + entry.name);
    }
    if (sink.Crc() != crc) return Fail("CRC mismatch for " + entry.name);
    entry.xmlParses = sink.XmlParses();
    return {true, {}};
  }

  PackageFile& file_;
};

// Checks one relationships part: it parses as one and each internal target is present.
void CheckRelationships(const EntryFacts& entry, const std::set<std::string>& parts,
                        Failures& failures) {
  const auto relationships = ParseRelationships(entry.content);
  if (!relationships) {
    failures.Add(entry.name + " is not a relationships part");
    return;
  }
  for (const auto& relationship : *relationships) {
    if (relationship.external) continue;
    const auto target = ResolveTarget(entry.name, relationship.target);
    if (!target || !parts.contains(*target)) {
      failures.Add(entry.name + " points at missing " + relationship.target);
    }
  }
}

SelfCheckResult CheckPackageSense(const std::vector<EntryFacts>& entries,
                                  const std::optional<std::string>& contentTypes) {
  std::set<std::string> parts;
  for (const auto& entry : entries) {
    if (!entry.name.ends_with('/')) parts.insert(entry.name);
  }
  Failures failures;
  std::optional<ContentTypeMap> types;
  if (!contentTypes) {
    failures.Add("no content types");
  } else if (types = ParseContentTypes(*contentTypes); !types) {
    failures.Add("content types do not parse");
  }
  for (const auto& entry : entries) {
    if (entry.name.ends_with('/') || IsContentTypesName(entry.name)) continue;
    if (types && !types->Covers(entry.name)) failures.Add("no content type for " + entry.name);
    const std::string extension = PartExtension(entry.name);
    if ((extension == "xml" || extension == "rels") && !entry.xmlParses) {
      failures.Add(entry.name + " does not parse");
      continue;
    }
    if (extension == "rels") CheckRelationships(entry, parts, failures);
  }
  return std::move(failures).Result();
}

// What reading one listed entry gave.
struct ListedRead {
  EntryFacts facts;
  std::optional<std::string> types;  // the content, when the entry is the content types
  SelfCheckResult result{true, {}, {}};
};

// Reads entries first, first + step, ... through a handle of its own, so that several threads
// share the reading and inflating of a large package.
void ReadShare(const std::filesystem::path& package, const std::string& directory,
               const std::vector<std::size_t>& starts, std::size_t first, std::size_t step,
               std::vector<ListedRead>& reads) {
  PackageFile file;
  const bool opened = file.Open(package);
  EntryReader reader(file);
  for (std::size_t i = first; i < starts.size(); i += step) {
    ListedRead& read = reads[i];
    read.result = opened ? reader.ReadListed(directory, starts[i], read.facts, read.types)
                         : Fail("cannot be read back");
    // Past a failure the package's structure is in doubt, as when reading one after another.
    if (!read.result.passed) return;
  }
}

}  // namespace

SelfCheckResult CheckSavedPackage(const std::filesystem::path& package) {
  PackageFile file;
  if (!file.Open(package)) return Fail("cannot be read back");
  std::string directory;
  std::vector<std::size_t> starts;
  auto listed = EntryReader(file).ReadDirectory(directory, starts);
  if (!listed.passed) return listed;
  std::vector<ListedRead> reads(starts.size());
  const std::size_t threads =
      std::clamp<std::size_t>(zip::DeflateThreadCount(), 1, starts.size() + 1);
  {
    std::vector<std::jthread> workers;
    for (std::size_t t = 1; t < threads; ++t) {
      workers.emplace_back([&, t] { ReadShare(package, directory, starts, t, threads, reads); });
    }
    ReadShare(package, directory, starts, 0, threads, reads);
  }
  // The first failure in the directory's order is the one reported, and the reading ends there.
  std::vector<EntryFacts> entries;
  std::optional<std::string> contentTypes;
  for (auto& read : reads) {
    if (!read.result.passed) return read.result;
    if (read.types) contentTypes = std::move(read.types);  // the last of that name counts
    entries.push_back(std::move(read.facts));
  }
  return CheckPackageSense(entries, contentTypes);
}

}  // namespace engine
