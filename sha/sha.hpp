#pragma once
// SHA-1, SHA-224, SHA-256, SHA-384 and SHA-512 over messages of any length, fed in pieces of any
// length. Each hash is one row of a table of sizes and functions, so that what is built on a hash
// (HMAC) works over any row. Messages and digests are bytes in the order test vectors print them.
// Nothing here allocates or throws, and no table lookup or branch depends on the message, only
// on its length.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tolvane {

// The running state of one hash in caller storage: begun by a row's init, fed by its update,
// ended by its finish, and used with that row alone. A context may have seen key material (HMAC
// keeps keyed ones), so it wipes itself when destroyed; a copy is a second, independent state.
struct HashContext {
  HashContext() = default;
  HashContext(const HashContext &) = default;
  HashContext &operator=(const HashContext &) = default;
  ~HashContext();

  std::array<std::uint64_t, 8> state{};    // the chaining value; 32-bit hashes use the low halves
  std::array<std::uint8_t, 128> pending{}; // the bytes of the unfinished block, from the front
  std::uint64_t length = 0;                // bytes fed so far
};

struct HashAlgorithm {
  const char *name;       // "SHA-256"
  std::size_t digestSize; // bytes: 20, 28, 32, 48 or 64
  std::size_t blockSize;  // bytes: 64, or 128 for SHA-384 and SHA-512
  void (*init)(HashContext &context) noexcept;
  // Any number of bytes, none included.
  void (*update)(HashContext &context, std::span<const std::uint8_t> data) noexcept;
  // Writes digestSize bytes to digest. The context is then spent until the next init.
  void (*finish)(HashContext &context, std::uint8_t *digest) noexcept;
};

// One row per hash, in the order above.
extern const std::array<HashAlgorithm, 5> hashAlgorithms;
extern const HashAlgorithm &sha1;
extern const HashAlgorithm &sha224;
extern const HashAlgorithm &sha256;
extern const HashAlgorithm &sha384;
extern const HashAlgorithm &sha512;

// A digest of any row, or a MAC made from one: the first size bytes count.
struct Digest {
  std::array<std::uint8_t, 64> bytes{};
  std::size_t size = 0;

  std::span<const std::uint8_t> view() const noexcept { return std::span(bytes).first(size); }
};

// The digest of a whole message in one call.
Digest computeHash(const HashAlgorithm &algorithm, std::span<const std::uint8_t> message) noexcept;

} // namespace tolvane
