// Builds zip packages byte by byte, so that tests control every field of every header.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(std::string_view text);
// Raw deflate (no wrapper) of data at the given level.
Bytes RawDeflate(const Bytes& data, int level = 8);
// Appends value in little-endian order, as zip records hold it (the low 16 or 32 bits).
void Put16(Bytes& out, std::uint32_t value);
void Put32(Bytes& out, std::uint32_t value);
// What a raw deflate stream decodes to as far as it goes: a cut stream gives the prefix it holds.
Bytes InflatedPrefix(const Bytes& raw);
// Deterministic pseudo-random bytes (incompressible).
Bytes NoiseBytes(std::size_t size, std::uint32_t seed = 1);
// Compressible XML-like text of exactly size bytes; a well-formed document when size leaves room
// for the declaration and the root element.
Bytes XmlLikeBytes(std::size_t size, std::uint32_t seed = 1);

Bytes ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const Bytes& bytes);

// How a part's sizes follow its data: not at all, or in a data descriptor with or without its
// signature, with 32-bit or 64-bit (zip64) sizes.
enum class Descriptor { kNone, kSigned, kUnsigned, kSignedZip64, kUnsignedZip64 };

// A zip64 extended information extra field (0x0001) holding both sizes.
Bytes Zip64Extra(std::uint64_t uncompressedSize, std::uint64_t compressedSize);

struct EntrySpec {
  std::string name;                           // raw name bytes as stored in the header
  Bytes content;                              // uncompressed content
  std::uint16_t method = 8;                   // 0 stored, 8 deflated
  Descriptor descriptor = Descriptor::kNone;  // sizes 0 in the local header, then a descriptor
  Bytes extra;                                // local extra field
  // Override the sizes written in the local header (damaged headers).
  std::optional<std::uint32_t> compressedSizeField;
  std::optional<std::uint32_t> uncompressedSizeField;
  // Override the data bytes written after the header (damaged data); default: the content,
  // deflated when method is 8.
  std::optional<Bytes> data;
};

class PackageBuilder {
 public:
  PackageBuilder& Add(EntrySpec entry);
  PackageBuilder& AddStored(std::string name, std::string_view content);
  PackageBuilder& AddDeflated(std::string name, std::string_view content);
  PackageBuilder& AddFolder(std::string name);  // name ends in '/', sizes 0, method 0
  // Bytes placed before the first local header.
  PackageBuilder& Prefix(Bytes junk);

  // The package: local headers and data, then (unless omitted) central directory and end record.
  Bytes Build(bool withCentralDirectory = true) const;
  // Offset of each entry's local header in the last Build.
  const std::vector<std::size_t>& HeaderOffsets() const { return offsets_; }

 private:
  Bytes prefix_;
  std::vector<EntrySpec> entries_;
  mutable std::vector<std::size_t> offsets_;
};

// A small but complete macro-enabled template package in the layout a word processor writes.
Bytes SampleTemplatePackage();
// The names and contents of SampleTemplatePackage's parts.
std::vector<std::pair<std::string, Bytes>> SampleTemplateParts();

}  // namespace testsupport
