#include "tests/support/zip_reader.h"

#include <zlib.h>

namespace testsupport {
namespace {

std::uint32_t Get16(const Bytes& data, std::size_t at) {
  return data[at] | (static_cast<std::uint32_t>(data[at + 1]) << 8);
}

std::uint32_t Get32(const Bytes& data, std::size_t at) {
  return Get16(data, at) | (Get16(data, at + 2) << 16);
}

}  // namespace

std::optional<Bytes> RawInflate(const Bytes& compressed, std::size_t expectedSize) {
  Bytes out(expectedSize);
  z_stream stream{};
  if (inflateInit2(&stream, -15) != Z_OK) return std::nullopt;
  stream.next_in = const_cast<Bytef*>(compressed.data());
  stream.avail_in = static_cast<uInt>(compressed.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = inflate(&stream, Z_FINISH);
  const bool ok = result == Z_STREAM_END && stream.total_out == expectedSize;
  inflateEnd(&stream);
  if (!ok) return std::nullopt;
  return out;
}

std::optional<std::map<std::string, ZipMember>> ReadZip(const Bytes& package) {
  if (package.size() < 22) return std::nullopt;
  std::size_t end = package.size() - 22;
  while (Get32(package, end) != 0x06054B50) {
    if (end == 0) return std::nullopt;
    --end;
  }
  const std::uint32_t count = Get16(package, end + 10);
  std::size_t at = Get32(package, end + 16);
  std::map<std::string, ZipMember> members;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (at + 46 > package.size() || Get32(package, at) != 0x02014B50) return std::nullopt;
    ZipMember member;
    member.flags = static_cast<std::uint16_t>(Get16(package, at + 8));
    member.method = static_cast<std::uint16_t>(Get16(package, at + 10));
    member.crc = Get32(package, at + 16);
    member.compressedSize = Get32(package, at + 20);
    const std::uint32_t size = Get32(package, at + 24);
    const std::uint32_t nameLength = Get16(package, at + 28);
    const std::uint32_t extraLength = Get16(package, at + 30);
    const std::uint32_t commentLength = Get16(package, at + 32);
    member.localHeaderOffset = Get32(package, at + 42);
    if (at + 46 + nameLength > package.size()) return std::nullopt;
    const std::string name(package.begin() + static_cast<std::ptrdiff_t>(at + 46),
                           package.begin() + static_cast<std::ptrdiff_t>(at + 46 + nameLength));
    at += 46 + nameLength + extraLength + commentLength;

    const std::size_t local = member.localHeaderOffset;
    if (local + 30 > package.size() || Get32(package, local) != 0x04034B50) return std::nullopt;
    member.dataOffset = local + 30 + Get16(package, local + 26) + Get16(package, local + 28);
    if (member.dataOffset + member.compressedSize > package.size()) return std::nullopt;
    const Bytes data(
        package.begin() + static_cast<std::ptrdiff_t>(member.dataOffset),
        package.begin() + static_cast<std::ptrdiff_t>(member.dataOffset + member.compressedSize));
    if (member.method == 0) {
      member.content = data;
    } else if (member.method == 8) {
      auto inflated = RawInflate(data, size);
      if (!inflated) return std::nullopt;
      member.content = std::move(*inflated);
    } else {
      return std::nullopt;
    }
    if (crc32(0, member.content.data(), static_cast<uInt>(member.content.size())) != member.crc) {
      return std::nullopt;
    }
    members.emplace(name, std::move(member));
  }
  return members;
}

}  // namespace testsupport
