#include "sha/sha.hpp"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "base/secret.hpp"

// Words are big-endian: byte 0 of a block is the top byte of its first word, and the length that
// closes the last block is a big-endian count of bits. Every round is written out (a fold over an
// index sequence), so that every index into the schedule and the working variables is a constant
// and the compiler can keep them in registers; the working variables change roles from round to
// round instead of moving. The rounds are forced inline: left to itself the compiler calls some
// of them apart and keeps the working variables in memory, at up to twice the time.

namespace tolvane {
namespace {

using State = std::array<std::uint64_t, 8>;

template <typename Word> Word loadBigEndian(const std::uint8_t *p) {
  Word x = 0;
  for (std::size_t i = 0; i < sizeof(Word); ++i) {
    x = static_cast<Word>(x << 8 | p[i]);
  }
  return x;
}

template <typename Word> void storeBigEndian(std::uint8_t *p, Word x) {
  for (std::size_t i = 0; i < sizeof(Word); ++i) {
    p[i] = static_cast<std::uint8_t>(x >> (8 * (sizeof(Word) - 1 - i)));
  }
}

// ---- SHA-1

// 2^30 times the square roots of 2, 3, 5 and 10: one constant for each twenty rounds.
constexpr std::array<std::uint32_t, 4> sha1Constants{0x5A827999, 0x6ED9EBA1, 0x8F1BBCDC,
                                                     0xCA62C1D6};

// In round t, working variable r (0 for a, 4 for e) is v[(r - t) mod 5]. The new a takes the
// slot of the old e, which is no longer needed, and b is rotated where it stands: the rest of
// the shift from one variable to the next is the change of roles.
template <std::size_t t>
[[gnu::always_inline]] inline void sha1Round(std::array<std::uint32_t, 5> &v,
                                             std::array<std::uint32_t, 16> &w) {
  constexpr auto at = [](std::size_t r) { return (r + 80 - t) % 5; };
  const std::uint32_t a = v[at(0)], c = v[at(2)], d = v[at(3)];
  std::uint32_t &b = v[at(1)], &e = v[at(4)];
  // The schedule keeps its last sixteen words: word t replaces word t - 16.
  if constexpr (t >= 16) {
    w[t % 16] = std::rotl(w[(t - 3) % 16] ^ w[(t - 8) % 16] ^ w[(t - 14) % 16] ^ w[t % 16], 1);
  }
  std::uint32_t f = 0;
  if constexpr (t < 20) {
    f = d ^ (b & (c ^ d)); // b chooses between c and d
  } else if constexpr (t >= 40 && t < 60) {
    f = (b & c) | (d & (b | c)); // the majority of b, c and d
  } else {
    f = b ^ c ^ d;
  }
  e += std::rotl(a, 5) + f + sha1Constants[t / 20] + w[t % 16];
  b = std::rotl(b, 30);
}

template <std::size_t... t>
[[gnu::always_inline]] inline void sha1Rounds(std::array<std::uint32_t, 5> &v,
                                              std::array<std::uint32_t, 16> &w,
                                              std::index_sequence<t...>) {
  (sha1Round<t>(v, w), ...);
}

// The schedule and the working variables come from the message, and from the key under HMAC:
// they are wiped before returning. (What the compiler spills to other stack slots is beyond the
// reach of C++.)
void compressSha1(State &state, const std::uint8_t *data, std::size_t blocks) noexcept {
  std::array<std::uint32_t, 5> v;
  std::array<std::uint32_t, 16> w;
  for (; blocks > 0; --blocks, data += 64) {
    for (std::size_t i = 0; i < 16; ++i) {
      w[i] = loadBigEndian<std::uint32_t>(data + 4 * i);
    }
    for (std::size_t i = 0; i < 5; ++i) {
      v[i] = static_cast<std::uint32_t>(state[i]);
    }
    sha1Rounds(v, w, std::make_index_sequence<80>{});
    for (std::size_t i = 0; i < 5; ++i) {
      state[i] = static_cast<std::uint32_t>(state[i] + v[i]);
    }
  }
  wipe(v);
  wipe(w);
}

// ---- SHA-2

// The 80 constants of SHA-512: the first 64 bits of the fractional parts of the cube roots of
// the first 80 primes. Each takes part in every block, so a wrong digit changes every digest.
constexpr std::array<std::uint64_t, 80> sha512Constants{
    0x428A2F98D728AE22, 0x7137449123EF65CD, 0xB5C0FBCFEC4D3B2F, 0xE9B5DBA58189DBBC,
    0x3956C25BF348B538, 0x59F111F1B605D019, 0x923F82A4AF194F9B, 0xAB1C5ED5DA6D8118,
    0xD807AA98A3030242, 0x12835B0145706FBE, 0x243185BE4EE4B28C, 0x550C7DC3D5FFB4E2,
    0x72BE5D74F27B896F, 0x80DEB1FE3B1696B1, 0x9BDC06A725C71235, 0xC19BF174CF692694,
    0xE49B69C19EF14AD2, 0xEFBE4786384F25E3, 0x0FC19DC68B8CD5B5, 0x240CA1CC77AC9C65,
    0x2DE92C6F592B0275, 0x4A7484AA6EA6E483, 0x5CB0A9DCBD41FBD4, 0x76F988DA831153B5,
    0x983E5152EE66DFAB, 0xA831C66D2DB43210, 0xB00327C898FB213F, 0xBF597FC7BEEF0EE4,
    0xC6E00BF33DA88FC2, 0xD5A79147930AA725, 0x06CA6351E003826F, 0x142929670A0E6E70,
    0x27B70A8546D22FFC, 0x2E1B21385C26C926, 0x4D2C6DFC5AC42AED, 0x53380D139D95B3DF,
    0x650A73548BAF63DE, 0x766A0ABB3C77B2A8, 0x81C2C92E47EDAEE6, 0x92722C851482353B,
    0xA2BFE8A14CF10364, 0xA81A664BBC423001, 0xC24B8B70D0F89791, 0xC76C51A30654BE30,
    0xD192E819D6EF5218, 0xD69906245565A910, 0xF40E35855771202A, 0x106AA07032BBD1B8,
    0x19A4C116B8D2D0C8, 0x1E376C085141AB53, 0x2748774CDF8EEB99, 0x34B0BCB5E19B48A8,
    0x391C0CB3C5C95A63, 0x4ED8AA4AE3418ACB, 0x5B9CCA4F7763E373, 0x682E6FF3D6B2B8A3,
    0x748F82EE5DEFB2FC, 0x78A5636F43172F60, 0x84C87814A1F0AB72, 0x8CC702081A6439EC,
    0x90BEFFFA23631E28, 0xA4506CEBDE82BDE9, 0xBEF9A3F7B2C67915, 0xC67178F2E372532B,
    0xCA273ECEEA26619C, 0xD186B8C721C0C207, 0xEADA7DD6CDE0EB1E, 0xF57D4F7FEE6ED178,
    0x06F067AA72176FBA, 0x0A637DC5A2C898A6, 0x113F9804BEF90DAE, 0x1B710B35131C471B,
    0x28DB77F523047D84, 0x32CAAB7B40C72493, 0x3C9EBE0A15C9BEBC, 0x431D67C49C100D4C,
    0x4CC5D4BECB3E42B6, 0x597F299CFC657E2A, 0x5FCB6FAB3AD6FAEC, 0x6C44198C4A475817};

// SHA-256 takes 32 bits of the same cube roots of the first 64 primes: the top halves.
constexpr std::array<std::uint32_t, 64> sha256Constants = [] {
  std::array<std::uint32_t, 64> k{};
  for (std::size_t i = 0; i < 64; ++i) {
    k[i] = static_cast<std::uint32_t>(sha512Constants[i] >> 32);
  }
  return k;
}();

// The two word sizes differ in their number of rounds, constants and rotations only.
template <typename Word> struct Sha2Rounds;

template <> struct Sha2Rounds<std::uint32_t> {
  static constexpr const auto &constants = sha256Constants;
  static std::uint32_t bigSigma0(std::uint32_t x) {
    return std::rotr(x, 2) ^ std::rotr(x, 13) ^ std::rotr(x, 22);
  }
  static std::uint32_t bigSigma1(std::uint32_t x) {
    return std::rotr(x, 6) ^ std::rotr(x, 11) ^ std::rotr(x, 25);
  }
  static std::uint32_t smallSigma0(std::uint32_t x) {
    return std::rotr(x, 7) ^ std::rotr(x, 18) ^ (x >> 3);
  }
  static std::uint32_t smallSigma1(std::uint32_t x) {
    return std::rotr(x, 17) ^ std::rotr(x, 19) ^ (x >> 10);
  }
};

template <> struct Sha2Rounds<std::uint64_t> {
  static constexpr const auto &constants = sha512Constants;
  static std::uint64_t bigSigma0(std::uint64_t x) {
    return std::rotr(x, 28) ^ std::rotr(x, 34) ^ std::rotr(x, 39);
  }
  static std::uint64_t bigSigma1(std::uint64_t x) {
    return std::rotr(x, 14) ^ std::rotr(x, 18) ^ std::rotr(x, 41);
  }
  static std::uint64_t smallSigma0(std::uint64_t x) {
    return std::rotr(x, 1) ^ std::rotr(x, 8) ^ (x >> 7);
  }
  static std::uint64_t smallSigma1(std::uint64_t x) {
    return std::rotr(x, 19) ^ std::rotr(x, 61) ^ (x >> 6);
  }
};

// In round t, working variable r (0 for a, 7 for h) is v[(r - t) mod 8]: the new e takes the
// slot of the old d and the new a that of the old h, and the others change roles only.
template <typename Word, std::size_t t>
[[gnu::always_inline]] inline void sha2Round(std::array<Word, 8> &v, std::array<Word, 16> &w) {
  using R = Sha2Rounds<Word>;
  constexpr auto at = [](std::size_t r) { return (r + 80 - t) % 8; };
  const Word a = v[at(0)], b = v[at(1)], c = v[at(2)], e = v[at(4)], f = v[at(5)], g = v[at(6)];
  Word &d = v[at(3)], &h = v[at(7)];
  // The schedule keeps its last sixteen words: word t replaces word t - 16.
  if constexpr (t >= 16) {
    w[t % 16] +=
        R::smallSigma1(w[(t - 2) % 16]) + w[(t - 7) % 16] + R::smallSigma0(w[(t - 15) % 16]);
  }
  const Word t1 = h + R::bigSigma1(e) + (g ^ (e & (f ^ g))) + R::constants[t] + w[t % 16];
  d += t1;
  h = t1 + R::bigSigma0(a) + ((a & b) | (c & (a | b)));
}

template <typename Word, std::size_t... t>
[[gnu::always_inline]] inline void sha2Rounds(std::array<Word, 8> &v, std::array<Word, 16> &w,
                                              std::index_sequence<t...>) {
  (sha2Round<Word, t>(v, w), ...);
}

// As for SHA-1, the schedule and the working variables are wiped before returning.
template <typename Word>
void compressSha2(State &state, const std::uint8_t *data, std::size_t blocks) noexcept {
  std::array<Word, 8> v;
  std::array<Word, 16> w;
  for (; blocks > 0; --blocks, data += 16 * sizeof(Word)) {
    for (std::size_t i = 0; i < 16; ++i) {
      w[i] = loadBigEndian<Word>(data + sizeof(Word) * i);
    }
    for (std::size_t i = 0; i < 8; ++i) {
      v[i] = static_cast<Word>(state[i]);
    }
    sha2Rounds(v, w, std::make_index_sequence<Sha2Rounds<Word>::constants.size()>{});
    for (std::size_t i = 0; i < 8; ++i) {
      state[i] = static_cast<Word>(state[i] + v[i]);
    }
  }
  wipe(v);
  wipe(w);
}

// ---- The chaining values each hash begins with

// SHA-1's start is a mere pattern: the nibbles 0 to F counting up, then down, then F0E1D2C3,
// each word written least significant byte first.
constexpr State sha1Initial{0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
// The first 64 bits of the fractional parts of the square roots of the first eight primes.
constexpr State sha512Initial{0x6A09E667F3BCC908, 0xBB67AE8584CAA73B, 0x3C6EF372FE94F82B,
                              0xA54FF53A5F1D36F1, 0x510E527FADE682D1, 0x9B05688C2B3E6C1F,
                              0x1F83D9ABFB41BD6B, 0x5BE0CD19137E2179};
// The same for the ninth to the sixteenth primes.
constexpr State sha384Initial{0xCBBB9D5DC1059ED8, 0x629A292A367CD507, 0x9159015A3070DD17,
                              0x152FECD8F70E5939, 0x67332667FFC00B31, 0x8EB44A8768581511,
                              0xDB0C2E0D64F98FA7, 0x47B5481DBEFA4FA4};

// SHA-256 starts from the first 32 bits of SHA-512's roots, SHA-224 from the next 32 bits of
// SHA-384's.
constexpr State halves(const State &wide, bool top) {
  State narrow{};
  for (std::size_t i = 0; i < 8; ++i) {
    narrow[i] = top ? wide[i] >> 32 : wide[i] & 0xFFFFFFFF;
  }
  return narrow;
}
constexpr State sha256Initial = halves(sha512Initial, true);
constexpr State sha224Initial = halves(sha384Initial, false);

// ---- One hash: its word, its sizes, its compression and its start

template <typename W, std::size_t digest, const State &start,
          void (*compressBlocks)(State &, const std::uint8_t *, std::size_t) noexcept>
struct Hash {
  using Word = W;
  static constexpr std::size_t blockSize = 16 * sizeof(Word);
  static constexpr std::size_t digestSize = digest;
  static constexpr const State &initial = start;
  static constexpr auto compress = compressBlocks;
};
using Sha1 = Hash<std::uint32_t, 20, sha1Initial, compressSha1>;
using Sha224 = Hash<std::uint32_t, 28, sha224Initial, compressSha2<std::uint32_t>>;
using Sha256 = Hash<std::uint32_t, 32, sha256Initial, compressSha2<std::uint32_t>>;
using Sha384 = Hash<std::uint64_t, 48, sha384Initial, compressSha2<std::uint64_t>>;
using Sha512 = Hash<std::uint64_t, 64, sha512Initial, compressSha2<std::uint64_t>>;

template <typename H> void init(HashContext &context) noexcept {
  context.state = H::initial;
  context.length = 0;
}

// Whole blocks are compressed straight from data; only the bytes of an unfinished block are
// copied, into pending.
template <typename H>
void update(HashContext &context, std::span<const std::uint8_t> data) noexcept {
  constexpr std::size_t n = H::blockSize;
  const std::size_t held = context.length % n;
  context.length += data.size();
  if (held > 0) {
    const std::size_t take = std::min(n - held, data.size());
    std::copy_n(data.begin(), take, context.pending.begin() + held);
    data = data.subspan(take);
    if (held + take < n) {
      return;
    }
    H::compress(context.state, context.pending.data(), 1);
  }
  const std::size_t whole = data.size() / n;
  if (whole > 0) {
    H::compress(context.state, data.data(), whole);
  }
  const std::span<const std::uint8_t> rest = data.subspan(whole * n);
  std::copy(rest.begin(), rest.end(), context.pending.begin());
}

// The message is closed by a bit 1, zeros, and its length in bits in the last two words of a
// block: 64 bits with 32-bit words, 128 with 64-bit words. When the length does not fit after
// the 1 bit, the zeros fill one more block. No message reaches 2^61 bytes, so a length fits in
// 64 bits and the rest of a 128-bit one is zeros.
template <typename H> void finish(HashContext &context, std::uint8_t *digest) noexcept {
  using Word = typename H::Word;
  constexpr std::size_t n = H::blockSize;
  constexpr std::size_t lengthAt = n - 2 * sizeof(Word);
  std::uint8_t *block = context.pending.data();
  std::size_t held = context.length % n;
  block[held++] = 0x80;
  if (held > lengthAt) {
    std::fill(block + held, block + n, std::uint8_t{0});
    H::compress(context.state, block, 1);
    held = 0;
  }
  std::fill(block + held, block + n - 8, std::uint8_t{0});
  storeBigEndian(block + n - 8, context.length << 3);
  H::compress(context.state, block, 1);
  for (std::size_t i = 0; i < H::digestSize / sizeof(Word); ++i) {
    storeBigEndian(digest + sizeof(Word) * i, static_cast<Word>(context.state[i]));
  }
}

template <typename H> constexpr HashAlgorithm row(const char *name) {
  return {name, H::digestSize, H::blockSize, init<H>, update<H>, finish<H>};
}

} // namespace

constinit const std::array<HashAlgorithm, 5> hashAlgorithms{
    row<Sha1>("SHA-1"), row<Sha224>("SHA-224"), row<Sha256>("SHA-256"), row<Sha384>("SHA-384"),
    row<Sha512>("SHA-512")};
constinit const HashAlgorithm &sha1 = hashAlgorithms[0];
constinit const HashAlgorithm &sha224 = hashAlgorithms[1];
constinit const HashAlgorithm &sha256 = hashAlgorithms[2];
constinit const HashAlgorithm &sha384 = hashAlgorithms[3];
constinit const HashAlgorithm &sha512 = hashAlgorithms[4];

HashContext::~HashContext() {
  wipe(state);
  wipe(pending);
}

Digest computeHash(const HashAlgorithm &algorithm, std::span<const std::uint8_t> message) noexcept {
  HashContext context;
  algorithm.init(context);
  algorithm.update(context, message);
  Digest digest;
  digest.size = algorithm.digestSize;
  algorithm.finish(context, digest.bytes.data());
  return digest;
}

} // namespace tolvane
