#include "zip/crc32.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstddef>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define DOTM_REPAIR_CLMUL_CRC 1
#include <immintrin.h>
#endif

namespace zip {
namespace {

#ifdef DOTM_REPAIR_CLMUL_CRC

// Folding constants of the reflected CRC-32 polynomial: x^(n) mod P for the distances folded
// over (4 x 128 bits, 128 bits, 64 bits), then P and the Barrett constant for the last step.
constexpr long long kFold4Low = 0x154442bd4;   // x^(4*128+32) mod P, reflected
constexpr long long kFold4High = 0x1c6e41596;  // x^(4*128-32) mod P, reflected
constexpr long long kFold1Low = 0x1751997d0;   // x^(128+32) mod P, reflected
constexpr long long kFold1High = 0x0ccaa009e;  // x^(128-32) mod P, reflected
constexpr long long kFold64 = 0x163cd6124;     // x^64 mod P, reflected
constexpr long long kPolynomial = 0x1db710641;
constexpr long long kBarrett = 0x1f7011641;

// The 128-bit lane x folded forward onto the next one, by the distance k gives.
__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold(__m128i x, __m128i k) {
  const __m128i low = _mm_clmulepi64_si128(x, k, 0x00);
  const __m128i high = _mm_clmulepi64_si128(x, k, 0x11);
  return _mm_xor_si128(low, high);
}

__attribute__((target("pclmul,sse4.1"))) inline __m128i Load(const std::uint8_t* at) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// The CRC register (not inverted) after size bytes; size is a multiple of 16, at least 64.
__attribute__((target("pclmul,sse4.1"))) std::uint32_t FoldedCrc(std::uint32_t state,
                                                                 const std::uint8_t* data,
                                                                 std::size_t size) {
  __m128i x0 = _mm_xor_si128(Load(data), _mm_cvtsi32_si128(static_cast<int>(state)));
  __m128i x1 = Load(data + 16);
  __m128i x2 = Load(data + 32);
  __m128i x3 = Load(data + 48);
  data += 64;
  size -= 64;
  const __m128i fold4 = _mm_set_epi64x(kFold4High, kFold4Low);
  for (; size >= 64; data += 64, size -= 64) {
    x0 = _mm_xor_si128(Fold(x0, fold4), Load(data));
    x1 = _mm_xor_si128(Fold(x1, fold4), Load(data + 16));
    x2 = _mm_xor_si128(Fold(x2, fold4), Load(data + 32));
    x3 = _mm_xor_si128(Fold(x3, fold4), Load(data + 48));
  }
  const __m128i fold1 = _mm_set_epi64x(kFold1High, kFold1Low);
  __m128i x = _mm_xor_si128(Fold(x0, fold1), x1);
  x = _mm_xor_si128(Fold(x, fold1), x2);
  x = _mm_xor_si128(Fold(x, fold1), x3);
  for (; size >= 16; data += 16, size -= 16) {
    x = _mm_xor_si128(Fold(x, fold1), Load(data));
  }
  // 128 bits to 64, adding the 32 zero bits the register's width asks for...
  x = _mm_xor_si128(_mm_clmulepi64_si128(x, fold1, 0x10), _mm_srli_si128(x, 8));
  // ...then to 32 bits and 64 more...
  const __m128i mask32 = _mm_set_epi32(0, 0, 0, -1);
  const __m128i fold64 = _mm_set_epi64x(0, kFold64);
  x = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x, mask32), fold64, 0x00),
                    _mm_srli_si128(x, 4));
  // ...and the Barrett reduction to the 32-bit remainder.
  const __m128i barrett = _mm_set_epi64x(kBarrett, kPolynomial);
  __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x, mask32), barrett, 0x10);
  t = _mm_clmulepi64_si128(_mm_and_si128(t, mask32), barrett, 0x00);
  return static_cast<std::uint32_t>(_mm_extract_epi32(_mm_xor_si128(x, t), 1));
}

bool HasCarryLessMultiply() {
  static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  return has;
}

#endif

// Below this the folding's set-up costs more than it saves.
constexpr std::size_t kFoldedMinimum = 256;

}  // namespace

std::uint32_t ZlibCrc32(std::uint32_t crc, std::span<const std::uint8_t> bytes) {
  uLong value = crc;
  while (!bytes.empty()) {
    const auto n = static_cast<uInt>(std::min<std::size_t>(bytes.size(), UINT_MAX));
    value = crc32(value, bytes.data(), n);
    bytes = bytes.subspan(n);
  }
  return static_cast<std::uint32_t>(value);
}

std::uint32_t Crc32(std::uint32_t crc, std::span<const std::uint8_t> bytes) {
#ifdef DOTM_REPAIR_CLMUL_CRC
  if (bytes.size() >= kFoldedMinimum && HasCarryLessMultiply()) {
    const std::size_t folded = bytes.size() & ~std::size_t{15};
    crc = ~FoldedCrc(~crc, bytes.data(), folded);
    bytes = bytes.subspan(folded);
  }
#endif
  return ZlibCrc32(crc, bytes);
}

std::uint32_t Crc32(std::uint32_t crc, std::span<const std::byte> bytes) {
  return Crc32(crc, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

}  // namespace zip
