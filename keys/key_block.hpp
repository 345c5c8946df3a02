#pragma once
// Key blocks: a key wrapped under a key block protection key (KBPK) together with a header that
// binds its usage, algorithm, mode of use, version number and exportability to it by a MAC.
//
// A block is ASCII text: a 16-character header (version letter, 4-digit length of the whole
// block, usage, algorithm, mode of use, key version, exportability, count of optional blocks,
// two reserved characters), the optional blocks, the encrypted key data in hex and the MAC in
// hex. Versions A and C bind by variants of the KBPK and a 4-byte CBC-MAC over the header and
// the ciphertext; B (Triple-DES) and D (AES) derive their two keys from the KBPK with CMAC, MAC
// the header and the clear key data, and encipher with the MAC as IV. All four are read; only B
// and D are written.
//
// Nothing here words a message: problems come back as KeyBlockProblem, for cli/ to word.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "base/secret.hpp"
#include "base/text.hpp"
#include "crypto/cipher.hpp"
#include "crypto/random.hpp"

namespace tolvane {

// What can be wrong with a block, roughly in the order the block is read.
enum class KeyBlockProblem : std::uint8_t {
  None,
  TooShort,         // shorter than its 16-character header
  NotPrintable,     // a character outside printable ASCII
  UnknownVersion,   // not A, B, C or D
  LengthDisagrees,  // the length field is not 4 digits giving the block's own length
  UnknownAlgorithm, // not a DES, Triple-DES, AES or HMAC key (D, T, A, H)
  UnknownExport,    // exportability not E, N or S
  BadOptionalCount, // the count of optional blocks is not 2 digits
  BadReserved,      // the last two header characters are not 00, 10 or 20
  BadOptionalBlock, // an optional block's length is not hex, or too small for its own fields
  OptionalOverrun,  // the optional blocks run past the block, or fewer than the count says
  HeaderNotAligned, // the header is not a whole number of cipher blocks
  BadKeyData,       // key data and MAC not hex, or not a whole number of cipher blocks
  // Known once the KBPK is.
  KbpkNotTdes, // versions A, B and C are wrapped under a Triple-DES KBPK
  KbpkNotAes,  // version D under an AES one
  // Known once the block is opened; nothing of the content is looked at before the MAC verifies.
  MacFails,
  KeyLengthDisagrees, // the key length field does not give a key of the block's algorithm
  PaddingTooShort,    // the key data holds fewer bytes than the key length field says
  KeyStrongerThanKbpk,
  KeyNotTaken,     // a key of a kind the role it was given for does not take
  HmacKeyNotTaken, // an HMAC key, given for a role that takes none
};

// A block as read: its text, checked to be well formed, and where its header ends.
struct KeyBlock {
  Text text;
  std::size_t headerSize = 0; // 16 and the optional blocks

  bool empty() const { return text.empty(); }
  char16_t version() const { return text[0]; }
  std::u16string_view usage() const { return std::u16string_view(text).substr(5, 2); }
  char16_t algorithm() const { return text[7]; }
  char16_t mode() const { return text[8]; }
  std::u16string_view keyVersion() const { return std::u16string_view(text).substr(9, 2); }
  char16_t exportability() const { return text[11]; }
  std::u16string_view reserved() const { return std::u16string_view(text).substr(14, 2); }
  // The optional blocks as they stand in the header.
  std::u16string_view optionalBlocks() const {
    return std::u16string_view(text).substr(16, headerSize - 16);
  }
};

// Checks text as a key block of any version and fills block. Returns the first problem.
KeyBlockProblem readKeyBlock(std::u16string_view text, KeyBlock &block);

// One optional block: its two-character identifier and its data (for the extended length
// form, the data part only).
struct OptionalBlock {
  std::u16string_view id;
  std::u16string_view data;
};
// Takes the first optional block off the front of blocks (optional blocks as they stand in a
// header, printable ASCII). False when blocks does not start with a whole, well-formed one.
bool takeOptionalBlock(std::u16string_view &blocks, OptionalBlock &block);
// Whether text is nothing but well-formed optional blocks, at most 99 and none of them PB (the
// padding block is added by wrapKeyBlock as needed).
bool wellFormedOptionalBlocks(std::u16string_view text);

// The cipher of a key block's algorithm letter for a key of keySize bytes, if it has one.
std::optional<CipherAlgorithm> keyBlockCipher(char16_t algorithm, std::size_t keySize);
// The algorithm letter a key of this cipher is wrapped with: D, T or A.
char16_t keyBlockAlgorithm(CipherAlgorithm algorithm);

// The KBPK's family must suit the version: KbpkNotTdes or KbpkNotAes, or None.
KeyBlockProblem kbpkSuits(char16_t version, CipherFamily kbpk);

// The encryption and authentication keys a KBPK protects blocks of one binding with: variants
// for A and C, CMAC derivations for B and D. Made once and kept while the KBPK is the same.
class KeyBlockKeys {
public:
  bool holds(char16_t version) const;
  // kbpk: the KBPK's cipher and bytes; its family suits version.
  void derive(char16_t version, const Cipher &kbpk, std::span<const std::uint8_t> kbpkBytes);
  void clear();

  const Cipher &encryption() const { return encryption_; }
  const Cipher &authentication() const { return authentication_; }

private:
  bool variant_ = false;
  Cipher encryption_;
  Cipher authentication_;
};

// A clear key as a block carries it.
// The longest HMAC key: a longer one is hashed first anyway.
constexpr std::size_t kLongestHmacKey = 256;

// A key out of a block: a cipher key of algorithm, or an HMAC key (algorithm H) of any length up
// to kLongestHmacKey.
struct ClearKey {
  std::array<std::uint8_t, kLongestHmacKey> bytes{};
  std::size_t size = 0;
  CipherAlgorithm algorithm = CipherAlgorithm::Des;
  bool hmac = false;

  std::span<const std::uint8_t> span() const { return {bytes.data(), size}; }
};

// Opens block under keys (derived for its version from kbpkAlgorithm's KBPK): the MAC first,
// compared in constant time, then the key length. On None, key holds the key.
KeyBlockProblem unwrapKeyBlock(const KeyBlock &block, const KeyBlockKeys &keys,
                               CipherAlgorithm kbpkAlgorithm, Secret<ClearKey> &key);

// The header fields of a block to be written; each a checked value (usage 2, mode 1, key
// version 2, exportability 1, reserved 2 characters, optional blocks well formed).
struct KeyBlockFields {
  char16_t version = u'B'; // B or D
  std::u16string_view usage;
  char16_t mode = u'N';
  std::u16string_view keyVersion = u"00";
  char16_t exportability = u'N';
  std::u16string_view reserved = u"00";
  std::u16string_view optionalBlocks;
};

// Writes key as a block of fields under keys (derived for fields.version) to out. The key data
// is padded with random bytes to the length of the longest key of the key's family, then to
// whole cipher blocks, so that the block's length does not tell the key's. The optional blocks
// are followed by a PB block when the header would not fill whole cipher blocks. The key is not
// stronger than the KBPK (the caller checks). Returns false when the header would need more
// than 99 optional blocks.
bool wrapKeyBlock(const KeyBlockFields &fields, const KeyBlockKeys &keys, const ClearKey &key,
                  RandomSource &random, Text &out);

} // namespace tolvane
