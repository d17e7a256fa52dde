#include "engine/scan_reader.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif
#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#include <immintrin.h>
#define ENGINE_SCAN_AVX2 1
#endif

namespace engine {
namespace {

constexpr std::size_t kNoPair = SIZE_MAX;

bool KeepGoing(const std::atomic<int>* running) {
  return running == nullptr || running->load(std::memory_order_relaxed) != 0;
}

// The first index i in [from, end - 1) with data[i] == a and data[i + 1] == b, or kNoPair.
std::size_t FindPairPortable(const std::uint8_t* data, std::size_t from, std::size_t end,
                             std::uint8_t a, std::uint8_t b) {
  std::size_t i = from;
#if defined(__SSE2__) || defined(_M_X64)
  // Thirty-two positions per step: compare the bytes with a and the bytes one further on
  // with b; the exact place is looked for only in the rare step that holds a pair.
  const __m128i wantA = _mm_set1_epi8(static_cast<char>(a));
  const __m128i wantB = _mm_set1_epi8(static_cast<char>(b));
  const auto pairs = [&](std::size_t at) {
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + 1));
    return _mm_and_si128(_mm_cmpeq_epi8(here, wantA), _mm_cmpeq_epi8(next, wantB));
  };
  while (end >= 33 && i <= end - 33) {
    const __m128i low = pairs(i);
    const __m128i high = pairs(i + 16);
    if (_mm_movemask_epi8(_mm_or_si128(low, high)) != 0) {
      const auto lowMask = static_cast<unsigned>(_mm_movemask_epi8(low));
      if (lowMask != 0) return i + static_cast<std::size_t>(std::countr_zero(lowMask));
      const auto highMask = static_cast<unsigned>(_mm_movemask_epi8(high));
      return i + 16 + static_cast<std::size_t>(std::countr_zero(highMask));
    }
    i += 32;
  }
#endif
  for (; i + 1 < end; ++i) {
    if (data[i] == a && data[i + 1] == b) return i;
  }
  return kNoPair;
}

#ifdef ENGINE_SCAN_AVX2
// As FindPairPortable, sixty-four positions per step, on processors that have AVX2.
__attribute__((target("avx2"))) std::size_t FindPairAvx2(const std::uint8_t* data, std::size_t from,
                                                         std::size_t end, std::uint8_t a,
                                                         std::uint8_t b) {
  std::size_t i = from;
  const __m256i wantA = _mm256_set1_epi8(static_cast<char>(a));
  const __m256i wantB = _mm256_set1_epi8(static_cast<char>(b));
  const auto pairs = [&](std::size_t at) __attribute__((target("avx2"))) {
    const __m256i here = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + at));
    const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + at + 1));
    return _mm256_and_si256(_mm256_cmpeq_epi8(here, wantA), _mm256_cmpeq_epi8(next, wantB));
  };
  while (end >= 65 && i <= end - 65) {
    const __m256i low = pairs(i);
    const __m256i high = pairs(i + 32);
    if (!_mm256_testz_si256(_mm256_or_si256(low, high), _mm256_or_si256(low, high))) {
      const auto lowMask = static_cast<unsigned>(_mm256_movemask_epi8(low));
      if (lowMask != 0) return i + static_cast<std::size_t>(std::countr_zero(lowMask));
      const auto highMask = static_cast<unsigned>(_mm256_movemask_epi8(high));
      return i + 32 + static_cast<std::size_t>(std::countr_zero(highMask));
    }
    i += 64;
  }
  return FindPairPortable(data, i, end, a, b);
}
#endif

std::size_t FindPair(const std::uint8_t* data, std::size_t from, std::size_t end, std::uint8_t a,
                     std::uint8_t b) {
#ifdef ENGINE_SCAN_AVX2
  static const bool hasAvx2 = __builtin_cpu_supports("avx2");
  if (hasAvx2) return FindPairAvx2(data, from, end, a, b);
#endif
  return FindPairPortable(data, from, end, a, b);
}

}  // namespace

ScanReader::ScanReader(platform::File& file, std::uint64_t fileSize, std::size_t bufferSize)
    : file_(file), fileSize_(fileSize), buffer_(std::max<std::size_t>(bufferSize, 1)) {
  const auto position = file_.Position();
  filePosition_ = position < 0 ? UINT64_MAX : static_cast<std::uint64_t>(position);
}

bool ScanReader::Load(std::uint64_t offset) {
  if (Holds(offset)) return true;
  if (offset >= fileSize_) return false;
  // Sequential loads, the common case, need no repositioning.
  if (offset != filePosition_) {
    if (!file_.Seek(offset)) {
      filePosition_ = UINT64_MAX;
      return false;
    }
    filePosition_ = offset;
  }
  const auto wanted =
      static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size(), fileSize_ - offset));
  const auto got = file_.Read(std::as_writable_bytes(std::span(buffer_.data(), wanted)));
  if (got <= 0) {
    filePosition_ = UINT64_MAX;
    length_ = 0;
    return false;
  }
  start_ = offset;
  length_ = static_cast<std::size_t>(got);
  filePosition_ = offset + length_;
  return true;
}

std::size_t ScanReader::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  std::size_t copied = 0;
  while (copied < out.size()) {
    const std::uint64_t at = offset + copied;
    if (at < offset || !Load(at)) break;  // wrapped around, past the end, or a failed read
    const auto inBuffer = static_cast<std::size_t>(at - start_);
    const std::size_t n = std::min(out.size() - copied, length_ - inBuffer);
    std::memcpy(out.data() + copied, buffer_.data() + inBuffer, n);
    copied += n;
  }
  return copied;
}

std::optional<std::size_t> ScanReader::MatchAt(std::uint64_t offset,
                                               std::span<const Signature> signatures) {
  std::array<std::uint8_t, 4> window{};
  if (ReadAt(offset, window) != window.size()) return std::nullopt;
  for (std::size_t i = 0; i < signatures.size(); ++i) {
    if (window == signatures[i]) return i;
  }
  return std::nullopt;
}

std::optional<SignatureHit> ScanReader::FindSignature(std::uint64_t from,
                                                      std::span<const Signature> signatures,
                                                      const std::atomic<int>* running) {
  if (signatures.empty()) return std::nullopt;
  // Every zip signature starts with "PK": that pair is searched for in the buffer and only its
  // rare occurrences are compared in full.
  const std::uint8_t first = signatures.front()[0];
  const std::uint8_t second = signatures.front()[1];
  std::uint64_t offset = from;
  while (fileSize_ >= 4 && offset <= fileSize_ - 4) {
    if (!KeepGoing(running) || !Load(offset)) return std::nullopt;
    std::size_t at = static_cast<std::size_t>(offset - start_);
    while ((at = FindPair(buffer_.data(), at, length_, first, second)) != kNoPair) {
      const std::uint64_t candidate = start_ + at;
      if (candidate > fileSize_ - 4 || !KeepGoing(running)) return std::nullopt;
      if (at + 4 <= length_) {
        for (std::size_t i = 0; i < signatures.size(); ++i) {
          if (std::memcmp(buffer_.data() + at, signatures[i].data(), 4) == 0) {
            return SignatureHit{candidate, i};
          }
        }
        ++at;
        continue;
      }
      break;  // the candidate straddles the buffer's end
    }
    // What is left: a candidate or a lone first byte at the buffer's end, whose window reaches
    // into the next load.
    std::uint64_t edge = start_ + length_;
    if (at != kNoPair) {
      edge = start_ + at;
    } else if (buffer_[length_ - 1] == first) {
      edge = start_ + length_ - 1;
    }
    if (edge < start_ + length_) {
      if (edge > fileSize_ - 4) return std::nullopt;
      if (const auto which = MatchAt(edge, signatures)) return SignatureHit{edge, *which};
      offset = edge + 1;
    } else {
      offset = edge;
    }
  }
  return std::nullopt;
}

}  // namespace engine
