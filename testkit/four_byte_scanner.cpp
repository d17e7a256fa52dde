#include "testkit/four_byte_scanner.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/package_scanner.h"
#include "platform/file.h"
#include "zip/little_endian.h"

namespace enginetest {
namespace {

using Window = std::array<std::uint8_t, 4>;
constexpr Window kLocal{0x50, 0x4B, 0x03, 0x04};
constexpr Window kDescriptor{0x50, 0x4B, 0x07, 0x08};

// The little-endian field of the given width at offset at of bytes.
std::uint32_t Le(const std::vector<std::uint8_t>& bytes, std::size_t at, int width) {
  zip::LittleEndianReader reader(bytes);
  reader.Skip(at);
  return width == 2 ? reader.Get16() : reader.Get32();
}

class FourByteScanner {
 public:
  explicit FourByteScanner(platform::File& file) : file_(file), size_(file.Size()) {}

  engine::ScanList Run() {
    engine::ScanList list;
    std::int64_t window = 0;
    while (window + 4 <= size_) {
      if (Is(Read(window, 4), kLocal)) {
        window = HandleHeader(window, list);
      } else {
        ++window;
      }
    }
    return list;
  }

 private:
  static bool Is(const std::vector<std::uint8_t>& bytes, const Window& signature) {
    return bytes.size() == signature.size() &&
           std::equal(signature.begin(), signature.end(), bytes.begin());
  }

  // One seek and one read, as a window step of the original does.
  std::vector<std::uint8_t> Read(std::int64_t offset, std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    if (!file_.Seek(static_cast<std::uint64_t>(offset))) return {};
    const auto got = file_.Read(std::as_writable_bytes(std::span(bytes)));
    bytes.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    return bytes;
  }

  std::int64_t HandleHeader(std::int64_t window, engine::ScanList& list) {
    const auto fields = Read(window + 4, 26);
    if (fields.size() != 26) return window + 1;
    const std::uint16_t method = static_cast<std::uint16_t>(Le(fields, 4, 2));
    std::uint32_t compressed = Le(fields, 14, 4);
    std::uint32_t uncompressed = Le(fields, 18, 4);
    const std::uint32_t nameLength = Le(fields, 22, 2);
    const std::uint32_t extraLength = Le(fields, 24, 2);
    const auto name = Read(window + 30, nameLength);
    if (name.size() != nameLength) return window + 1;
    const std::int64_t nameEnd = window + 30 + nameLength;
    if (compressed == 0 && uncompressed == 0 && method == 8) {
      for (std::int64_t at = nameEnd - 3; at + 4 <= size_; ++at) {
        const auto bytes = Read(at, 4);
        if (Is(bytes, kLocal)) break;
        if (Is(bytes, kDescriptor)) {
          const auto sizes = Read(at + 4, 12);
          if (sizes.size() == 12) {
            compressed = Le(sizes, 4, 4);
            uncompressed = Le(sizes, 8, 4);
          }
          break;
        }
      }
    }
    engine::PartEntry entry{.compressedSize = compressed,
                            .uncompressedSize = uncompressed,
                            .method = method,
                            .partPath = engine::PartPathFromNameBytes(name),
                            .dataOffset = static_cast<std::uint64_t>(nameEnd + extraLength)};
    const std::int64_t dataEnd = nameEnd + extraLength + compressed;
    if ((compressed != 0 || uncompressed != 0) && !entry.partPath.empty() &&
        entry.partPath.back() != L'\\') {
      list.push_back(entry);
    }
    return dataEnd > size_ ? nameEnd + extraLength : dataEnd - 3;
  }

  platform::File& file_;
  std::int64_t size_;
};

}  // namespace

engine::ScanList ScanWithFourByteReads(const std::filesystem::path& packagePath) {
  platform::File file;
  if (!file.Open(packagePath, platform::File::Mode::kRead)) return {};
  return FourByteScanner(file).Run();
}

}  // namespace enginetest
