#include "engine/kept_streams.h"

#include <system_error>

#include "platform/temp_folder.h"

namespace engine {
namespace fs = std::filesystem;

namespace {

constexpr const char* kKeptPrefix = ".dotm-repair-stream-";

void RemoveQuietly(const fs::path& path) {
  std::error_code ec;
  fs::remove(path, ec);
}

}  // namespace

KeptStreams::~KeptStreams() {
  for (const auto& [offset, stream] : streams_)
    RemoveQuietly(stream.path);
}

zip::PartInflateResult KeptStreams::Inflate(zip::ByteSource& source, std::uint64_t offset,
                                            std::uint64_t inputLimit) {
  Drop(offset);
  auto file = folder_.empty() ? std::nullopt : platform::CreateTempFile(folder_, kKeptPrefix);
  if (!file) return zip::InflatePart(source, offset, inputLimit, {});
  bool writing = true;
  // The sink never refuses: a failed write must not change where the stream is found to end.
  const auto result =
      zip::InflatePart(source, offset, inputLimit, [&](std::span<const std::uint8_t> piece) {
        if (writing) writing = file->file.Write(std::as_bytes(piece));
        return true;
      });
  if (!file->file.Close()) writing = false;
  if (!writing || result.produced == 0) {
    RemoveQuietly(file->path);
    return result;
  }
  streams_[offset] = {file->path, result};
  return result;
}

std::optional<KeptStream> KeptStreams::Take(std::uint64_t dataOffset,
                                            std::uint64_t compressedSize) {
  const auto it = streams_.find(dataOffset);
  if (it == streams_.end() || it->second.result.consumed != compressedSize) return std::nullopt;
  KeptStream stream = std::move(it->second);
  streams_.erase(it);
  return stream;
}

bool KeptStreams::Has(std::uint64_t dataOffset, std::uint64_t compressedSize) const {
  const auto it = streams_.find(dataOffset);
  return it != streams_.end() && it->second.result.consumed == compressedSize;
}

void KeptStreams::Drop(std::uint64_t dataOffset) {
  const auto it = streams_.find(dataOffset);
  if (it == streams_.end()) return;
  RemoveQuietly(it->second.path);
  streams_.erase(it);
}

}  // namespace engine
