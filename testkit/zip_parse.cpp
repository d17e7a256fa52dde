#include "testkit/zip_parse.h"

#include <zlib.h>

#include <stdexcept>

namespace zip_test {
namespace {

void Need(const std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t count) {
  if (at > bytes.size() || count > bytes.size() - at) throw std::out_of_range("past the end");
}

std::string Text(const std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t count) {
  Need(bytes, at, count);
  return std::string(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                     bytes.begin() + static_cast<std::ptrdiff_t>(at + count));
}

std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& bytes, std::size_t at,
                                std::size_t count) {
  Need(bytes, at, count);
  return {bytes.begin() + static_cast<std::ptrdiff_t>(at),
          bytes.begin() + static_cast<std::ptrdiff_t>(at + count)};
}

LocalHeader ParseLocal(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  if (Get32(bytes, at) != 0x04034B50) throw std::runtime_error("no local header signature");
  LocalHeader local;
  local.versionNeeded = Get16(bytes, at + 4);
  local.flags = Get16(bytes, at + 6);
  local.method = Get16(bytes, at + 8);
  local.dosDateTime = Get32(bytes, at + 10);
  local.crc = Get32(bytes, at + 14);
  local.compressedSize = Get32(bytes, at + 18);
  local.uncompressedSize = Get32(bytes, at + 22);
  const std::uint16_t nameLength = Get16(bytes, at + 26);
  const std::uint16_t extraLength = Get16(bytes, at + 28);
  local.name = Text(bytes, at + 30, nameLength);
  local.extra = Slice(bytes, at + 30 + nameLength, extraLength);
  return local;
}

}  // namespace

std::uint16_t Get16(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  Need(bytes, at, 2);
  return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

std::uint32_t Get32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return Get16(bytes, at) | static_cast<std::uint32_t>(Get16(bytes, at + 2)) << 16;
}

std::optional<std::string> InflateRaw(const std::vector<std::uint8_t>& data) {
  z_stream stream{};
  if (inflateInit2(&stream, -15) != Z_OK) return std::nullopt;
  std::string out;
  std::vector<std::uint8_t> input = data;
  stream.next_in = input.data();
  stream.avail_in = static_cast<uInt>(input.size());
  int status = Z_OK;
  char buffer[65536];
  while (status == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    status = inflate(&stream, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - stream.avail_out);
  }
  const bool whole = status == Z_STREAM_END && stream.avail_in == 0;
  inflateEnd(&stream);
  if (!whole) return std::nullopt;
  return out;
}

std::optional<Archive> ParseArchive(const std::vector<std::uint8_t>& bytes, std::string* error) {
  try {
    if (bytes.size() < 22) throw std::runtime_error("shorter than an end record");
    const std::size_t end = bytes.size() - 22;
    if (Get32(bytes, end) != 0x06054B50) throw std::runtime_error("no end record at the end");
    Archive archive;
    archive.entriesOnDisk = Get16(bytes, end + 8);
    archive.entriesTotal = Get16(bytes, end + 10);
    archive.directorySize = Get32(bytes, end + 12);
    archive.directoryOffset = Get32(bytes, end + 16);
    if (Get16(bytes, end + 4) != 0 || Get16(bytes, end + 6) != 0 || Get16(bytes, end + 20) != 0) {
      throw std::runtime_error("disk numbers or comment length not 0");
    }
    if (std::size_t{archive.directoryOffset} + archive.directorySize != end) {
      throw std::runtime_error("central directory does not end at the end record");
    }
    std::size_t at = archive.directoryOffset;
    while (at < end) {
      if (Get32(bytes, at) != 0x02014B50) throw std::runtime_error("no central signature");
      CentralEntry entry;
      entry.versionMadeBy = Get16(bytes, at + 4);
      entry.versionNeeded = Get16(bytes, at + 6);
      entry.flags = Get16(bytes, at + 8);
      entry.method = Get16(bytes, at + 10);
      entry.dosDateTime = Get32(bytes, at + 12);
      entry.crc = Get32(bytes, at + 16);
      entry.compressedSize = Get32(bytes, at + 20);
      entry.uncompressedSize = Get32(bytes, at + 24);
      const std::uint16_t nameLength = Get16(bytes, at + 28);
      const std::uint16_t extraLength = Get16(bytes, at + 30);
      entry.commentLength = Get16(bytes, at + 32);
      entry.diskStart = Get16(bytes, at + 34);
      entry.internalAttributes = Get16(bytes, at + 36);
      entry.externalAttributes = Get32(bytes, at + 38);
      entry.localHeaderOffset = Get32(bytes, at + 42);
      entry.name = Text(bytes, at + 46, nameLength);
      entry.extra = Slice(bytes, at + 46 + nameLength, extraLength);
      at += 46 + nameLength + extraLength + entry.commentLength;
      entry.local = ParseLocal(bytes, entry.localHeaderOffset);
      const std::size_t dataStart =
          entry.localHeaderOffset + 30 + entry.local.name.size() + entry.local.extra.size();
      entry.data = Slice(bytes, dataStart, entry.compressedSize);
      if (entry.method == 8) {
        auto inflated = InflateRaw(entry.data);
        if (!inflated) throw std::runtime_error("entry data is no raw deflate stream");
        entry.content = *inflated;
      } else {
        entry.content.assign(entry.data.begin(), entry.data.end());
      }
      if (crc32_z(0, reinterpret_cast<const Bytef*>(entry.content.data()), entry.content.size()) !=
          entry.crc) {
        throw std::runtime_error("CRC-32 mismatch in " + entry.name);
      }
      archive.entries.push_back(std::move(entry));
    }
    if (at != end) throw std::runtime_error("central directory overruns");
    return archive;
  } catch (const std::exception& failure) {
    if (error) *error = failure.what();
    return std::nullopt;
  }
}

}  // namespace zip_test
