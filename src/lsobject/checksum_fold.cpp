// The module checksum step by carry-less multiplication (PCLMULQDQ), folding
// 64 bytes per round into four 128-bit lanes, then to one lane, then to the
// 32-bit remainder by Barrett reduction. Compiled for x86 only, for the CPUs
// that have the instruction (checked at run time); elsewhere the tables serve.
#include "lsobject/checksum.h"

#include <cstddef>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUILLET_CRC_FOLDING 1
#endif

namespace quillet {

#ifdef QUILLET_CRC_FOLDING
namespace {

// The folding constants, in the reflected domain the step works in: a lane
// of 128 bits moved `n` bits further down the message is multiplied by
// x^n mod P; reflected and shifted left one bit, as PCLMULQDQ multiplies
// reflected operands into a product one bit short.
constexpr uint64_t kNormalPolynomial = [] {  // x^32 + the reflected polynomial read back
  uint64_t normal = 0;
  for (int bit = 0; bit < 32; ++bit) normal |= uint64_t{(kModuleCrcPolynomial >> bit) & 1u} << (31 - bit);
  return normal | (uint64_t{1} << 32);
}();

constexpr uint64_t Reflect(uint64_t value, int bits) {
  uint64_t out = 0;
  for (int bit = 0; bit < bits; ++bit) out |= ((value >> bit) & 1u) << (bits - 1 - bit);
  return out;
}

// x^n mod P, reflected, times x.
constexpr uint64_t FoldConstant(unsigned n) {
  uint64_t r = 1;
  for (unsigned i = 0; i < n; ++i) {
    r <<= 1;
    if ((r >> 32) & 1u) r ^= kNormalPolynomial;
  }
  return Reflect(r, 32) << 1;
}

// floor(x^64 / P), reflected over its 33 bits: the Barrett quotient.
constexpr uint64_t BarrettQuotient() {
  uint64_t quotient = 0;
  uint64_t window = uint64_t{1} << 32;  // the dividend's bits 64..32 under long division
  for (int bit = 64; bit >= 32; --bit) {
    if (((window >> 32) & 1u) != 0) {
      quotient |= uint64_t{1} << (bit - 32);
      window ^= kNormalPolynomial;
    }
    window <<= 1;
  }
  return Reflect(quotient, 33);
}

constexpr size_t kLane = 16;
constexpr size_t kRound = 4 * kLane;
constexpr uint64_t kFold4Low = FoldConstant(4 * 128 + 32), kFold4High = FoldConstant(4 * 128 - 32);
constexpr uint64_t kFold1Low = FoldConstant(128 + 32), kFold1High = FoldConstant(128 - 32);
constexpr uint64_t kFold64 = FoldConstant(64);
constexpr uint64_t kBarrettPolynomial = (uint64_t{kModuleCrcPolynomial} << 1) | 1u;  // P reflected over 33 bits
constexpr uint64_t kBarrettQuotient = BarrettQuotient();

#define QUILLET_FOLD_TARGET __attribute__((target("pclmul,sse4.1")))

QUILLET_FOLD_TARGET inline __m128i Constants(uint64_t low, uint64_t high) {
  return _mm_set_epi64x(static_cast<long long>(high), static_cast<long long>(low));
}

QUILLET_FOLD_TARGET inline __m128i Load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// `lane` moved one fold further (its low half by the constant's low, its
// high half by the constant's high) and added to `next`.
QUILLET_FOLD_TARGET inline __m128i Fold(__m128i lane, __m128i constants, __m128i next) {
  const __m128i low = _mm_clmulepi64_si128(lane, constants, 0x00);
  const __m128i high = _mm_clmulepi64_si128(lane, constants, 0x11);
  return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

// REQUIRES: n >= kRound. Returns the CRC over the first n - n % kLane bytes.
QUILLET_FOLD_TARGET uint32_t FoldBlocks(uint32_t crc, const uint8_t* p, size_t n) {
  __m128i x1 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i x2 = Load(p + 16), x3 = Load(p + 32), x4 = Load(p + 48);
  p += kRound;
  n -= kRound;
  const __m128i fold4 = Constants(kFold4Low, kFold4High);
  for (; n >= kRound; n -= kRound, p += kRound) {
    x1 = Fold(x1, fold4, Load(p));
    x2 = Fold(x2, fold4, Load(p + 16));
    x3 = Fold(x3, fold4, Load(p + 32));
    x4 = Fold(x4, fold4, Load(p + 48));
  }
  const __m128i fold1 = Constants(kFold1Low, kFold1High);
  x1 = Fold(x1, fold1, x2);
  x1 = Fold(x1, fold1, x3);
  x1 = Fold(x1, fold1, x4);
  for (; n >= kLane; n -= kLane, p += kLane) x1 = Fold(x1, fold1, Load(p));

  // 128 bits to 64: the low half moved 64 bits on and added to the high.
  const __m128i low32 = _mm_setr_epi32(-1, 0, -1, 0);
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, fold1, 0x10));
  // 64 bits to 32 plus the 32 zero bits the remainder implies.
  const __m128i fold64 = Constants(kFold64, 0);
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 4), _mm_clmulepi64_si128(_mm_and_si128(x1, low32), fold64, 0x00));
  // Barrett reduction to the 32-bit remainder.
  const __m128i barrett = Constants(kBarrettPolynomial, kBarrettQuotient);
  __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), barrett, 0x10);
  t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), barrett, 0x00);
  return static_cast<uint32_t>(_mm_extract_epi32(_mm_xor_si128(x1, t), 1));
}

}  // namespace

bool CarrylessCrcAvailable() {
  static const bool available = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  }();
  return available;
}

uint32_t UpdateModuleCrcFolded(uint32_t crc, std::span<const uint8_t> bytes) {
  if (bytes.size() < kRound) return UpdateModuleCrcSliced(crc, bytes);
  const size_t folded = bytes.size() - bytes.size() % kLane;
  crc = FoldBlocks(crc, bytes.data(), bytes.size());
  return UpdateModuleCrcSliced(crc, bytes.subspan(folded));
}

#else

bool CarrylessCrcAvailable() { return false; }

uint32_t UpdateModuleCrcFolded(uint32_t crc, std::span<const uint8_t> bytes) {
  return UpdateModuleCrcSliced(crc, bytes);
}

#endif

}  // namespace quillet
