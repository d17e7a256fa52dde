// An independent, strict reader of intact zip archives (ours and a word processor's): end record,
// central directory and local headers, checked against the bytes, with the entry data inflated.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zip_test {

struct LocalHeader {
  std::uint16_t versionNeeded = 0;
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint32_t dosDateTime = 0;
  std::uint32_t crc = 0;
  std::uint32_t compressedSize = 0;
  std::uint32_t uncompressedSize = 0;
  std::string name;
  std::vector<std::uint8_t> extra;
};

struct CentralEntry {
  std::uint16_t versionMadeBy = 0;
  std::uint16_t versionNeeded = 0;
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint32_t dosDateTime = 0;
  std::uint32_t crc = 0;
  std::uint32_t compressedSize = 0;
  std::uint32_t uncompressedSize = 0;
  std::uint16_t commentLength = 0;
  std::uint16_t diskStart = 0;
  std::uint16_t internalAttributes = 0;
  std::uint32_t externalAttributes = 0;
  std::uint32_t localHeaderOffset = 0;
  std::string name;
  std::vector<std::uint8_t> extra;
  LocalHeader local;
  std::vector<std::uint8_t> data;  // the entry's bytes as stored in the archive
  std::string content;             // data, inflated when method 8
};

struct Archive {
  std::uint16_t entriesOnDisk = 0;
  std::uint16_t entriesTotal = 0;
  std::uint32_t directorySize = 0;
  std::uint32_t directoryOffset = 0;
  std::vector<CentralEntry> entries;
};

// Parses bytes as a single-disk archive whose end record closes the file; the error text says
// what did not fit.
std::optional<Archive> ParseArchive(const std::vector<std::uint8_t>& bytes, std::string* error);

std::uint16_t Get16(const std::vector<std::uint8_t>& bytes, std::size_t at);
std::uint32_t Get32(const std::vector<std::uint8_t>& bytes, std::size_t at);

// Inflates a raw deflate stream; nothing when it is not one complete valid stream.
std::optional<std::string> InflateRaw(const std::vector<std::uint8_t>& data);

}  // namespace zip_test
