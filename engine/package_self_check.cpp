#include "engine/package_self_check.h"

#include <zlib.h>

#include <climits>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "engine/content_types_builder.h"
#include "engine/package_tree.h"
#include "engine/relationships_repair.h"
#include "engine/xml_repair.h"
#include "platform/file.h"
#include "platform/text.h"

namespace engine {
namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;

// Bounds-checked little-endian reads over the saved bytes.
class Cursor {
 public:
  explicit Cursor(const std::string& bytes) : bytes_(bytes) {}
  bool Has(std::size_t at, std::size_t count) const {
    return at <= bytes_.size() && count <= bytes_.size() - at;
  }
  std::uint32_t U16(std::size_t at) const {
    return static_cast<std::uint8_t>(bytes_[at]) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes_[at + 1])) << 8);
  }
  std::uint32_t U32(std::size_t at) const { return U16(at) | (U16(at + 2) << 16); }

 private:
  const std::string& bytes_;
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

std::optional<std::string> Inflate(std::string_view data, std::size_t size) {
  if (data.size() > UINT_MAX || size > UINT_MAX) return std::nullopt;
  std::string out(size, '\0');
  z_stream stream{};
  if (inflateInit2(&stream, -15) != Z_OK) return std::nullopt;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  char spare = 0;
  stream.next_out = reinterpret_cast<Bytef*>(size > 0 ? out.data() : &spare);
  stream.avail_out = static_cast<uInt>(size > 0 ? size : 1);
  const int result = inflate(&stream, Z_FINISH);
  const bool whole =
      result == Z_STREAM_END && stream.total_out == size && stream.total_in == data.size();
  inflateEnd(&stream);
  if (!whole) return std::nullopt;
  return out;
}

struct Entry {
  std::string name;
  std::string content;
};

// Reads every entry through the central directory and checks it against its local header.
SelfCheckResult ReadEntries(const std::string& bytes, std::vector<Entry>& entries) {
  const Cursor in(bytes);
  if (bytes.size() < 22) return Fail("no end record");
  std::size_t end = bytes.size() - 22;
  while (in.U32(end) != kEndSignature) {
    if (end == 0 || bytes.size() - end > 22 + 65535) return Fail("no end record");
    --end;
  }
  const std::size_t count = in.U16(end + 10);
  const std::size_t directorySize = in.U32(end + 12);
  std::size_t at = in.U32(end + 16);
  if (at + directorySize != end) return Fail("central directory does not end at the end record");
  for (std::size_t i = 0; i < count; ++i) {
    if (!in.Has(at, 46) || in.U32(at) != kCentralSignature) return Fail("central directory entry");
    const std::uint32_t method = in.U16(at + 10);
    const std::uint32_t crc = in.U32(at + 16);
    const std::size_t compressed = in.U32(at + 20);
    const std::size_t size = in.U32(at + 24);
    const std::size_t nameLength = in.U16(at + 28);
    const std::size_t skip = nameLength + in.U16(at + 30) + in.U16(at + 32);
    const std::size_t local = in.U32(at + 42);
    if (!in.Has(at + 46, skip)) return Fail("central directory entry");
    Entry entry{bytes.substr(at + 46, nameLength), {}};
    at += 46 + skip;
    if (!in.Has(local, 30) || in.U32(local) != kLocalSignature) {
      return Fail("no local header for " + entry.name);
    }
    const std::size_t localName = in.U16(local + 26);
    const std::size_t dataAt = local + 30 + localName + in.U16(local + 28);
    if (in.U16(local + 8) != method || in.U32(local + 14) != crc ||
        in.U32(local + 18) != compressed || in.U32(local + 22) != size ||
        !in.Has(local + 30, localName) || bytes.compare(local + 30, localName, entry.name) != 0) {
      return Fail("local header disagrees with the central directory for " + entry.name);
    }
    if (!in.Has(dataAt, compressed)) return Fail("data cut short for " + entry.name);
    const std::string_view data(bytes.data() + dataAt, compressed);
    if (method == 0 && compressed == size) {
      entry.content = std::string(data);
    } else if (method == 8) {
      auto inflated = Inflate(data, size);
      if (!inflated) return Fail("data does not inflate for " + entry.name);
      entry.content = std::move(*inflated);
    } else {
      return Fail("unknown method for " + entry.name);
    }
    const auto computed = crc32(0, reinterpret_cast<const Bytef*>(entry.content.data()),
                                static_cast<uInt>(entry.content.size()));
    if (computed != crc) return Fail("CRC mismatch for " + entry.name);
    entries.push_back(std::move(entry));
  }
  return {true, {}};
}

// Checks one relationships part: it parses as one and each internal target is present.
void CheckRelationships(const Entry& entry, const std::set<std::string>& parts,
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

SelfCheckResult CheckPackageSense(const std::vector<Entry>& entries) {
  std::set<std::string> parts;
  const std::string* contentTypes = nullptr;
  for (const auto& entry : entries) {
    if (entry.name.ends_with('/')) continue;
    parts.insert(entry.name);
    if (entry.name == "[Content_Types].xml") contentTypes = &entry.content;
  }
  Failures failures;
  std::optional<ContentTypeMap> types;
  if (contentTypes == nullptr) {
    failures.Add("no content types");
  } else if (types = ParseContentTypes(*contentTypes); !types) {
    failures.Add("content types do not parse");
  }
  for (const auto& entry : entries) {
    if (entry.name.ends_with('/') || entry.name == "[Content_Types].xml") continue;
    if (types && !types->Covers(entry.name)) failures.Add("no content type for " + entry.name);
    const std::string extension = PartExtension(entry.name);
    if ((extension == "xml" || extension == "rels") && !XmlParses(entry.content)) {
      failures.Add(entry.name + " does not parse");
      continue;
    }
    if (extension == "rels") CheckRelationships(entry, parts, failures);
  }
  return std::move(failures).Result();
}

}  // namespace

SelfCheckResult CheckSavedPackage(const std::filesystem::path& package) {
  const auto bytes = ReadPart(package.parent_path(), platform::Utf8FromPath(package.filename()));
  if (!bytes) return Fail("cannot be read back");
  std::vector<Entry> entries;
  auto result = ReadEntries(*bytes, entries);
  if (!result.passed) return result;
  return CheckPackageSense(entries);
}

}  // namespace engine
