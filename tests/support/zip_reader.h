// An independent reader of intact zip packages for the tests: it trusts the central directory
// (unlike the program's scanner) and inflates with zlib, so that tests can compare the program's
// results with what a package really holds.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "tests/support/package_builder.h"

namespace testsupport {

struct ZipMember {
  std::uint16_t method = 0;
  std::uint16_t flags = 0;
  std::uint32_t crc = 0;
  std::uint32_t localHeaderOffset = 0;
  std::size_t dataOffset = 0;
  std::uint32_t compressedSize = 0;
  Bytes content;  // inflated
};

// Reads every member of an intact package by name (raw name bytes); nothing when the central
// directory or a member cannot be read or a CRC does not match.
std::optional<std::map<std::string, ZipMember>> ReadZip(const Bytes& package);

// Raw inflate of a whole stream; nothing on error.
std::optional<Bytes> RawInflate(const Bytes& compressed, std::size_t expectedSize);

}  // namespace testsupport
