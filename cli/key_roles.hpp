#pragma once
// The key roles: one row per kind of key a command takes, from which the option table generates
// every word of the role (-ROLE HEX, -ROLEfile FILE, -ROLEaes HEX, -ROLEaesfile FILE,
// -ROLEhmac HEX, -ROLEhmacfile FILE, the key as a key block -ROLEblock TEXT, and the guard
// -ROLEkcv KCV, as the row allows) with its line
// in -helpall and its messages. Adding a role is adding a name to Role and a row here.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "base/text.hpp"
#include "cli/message_slot.hpp"
#include "crypto/cipher.hpp"
#include "keys/key_slot.hpp"

namespace tolvane {

// In the order of kKeyRoles.
enum class Role : std::uint8_t { Kpv, Kpe, ToKpe, Cvk, Bdk, Kbpk, Key, Imk, IccMk, Mak, Dek };

// The words of one family of a role: the key as hex, and as a file of raw bytes.
struct KeyWords {
  KeySizes hexSizes = 0; // none: no words of this family (unless anyUpTo)
  std::size_t keep = 0;  // a longer key is cut to this many bytes; 0: kept whole
  std::u16string_view placeholder{};
  std::u16string_view line{};
  KeySizes fileSizes = 0;      // the lengths a file may have
  std::size_t fileReadLimit{}; // bytes read at most: one past the longest refuses a longer file
  std::u16string_view fileLine{};
  // In place of the two sets of sizes: any length from 1 byte to this, as hex or in a file
  // (HMAC keys).
  std::size_t anyUpTo = 0;
};

constexpr bool hasKeys(const KeyWords &words) { return words.hexSizes != 0 || words.anyUpTo != 0; }
// Whether a key of bytes is one the hex words (or, with file, the file words) take.
constexpr bool takesLength(const KeyWords &words, std::size_t bytes, bool file) {
  if (words.anyUpTo != 0) {
    return bytes >= 1 && bytes <= words.anyUpTo;
  }
  return holds(file ? words.fileSizes : words.hexSizes, bytes);
}

struct KeyRole {
  Role role;
  std::u16string_view name;  // the words begin with it: -kpe, -kpefile, ...
  std::u16string_view label; // names the key in messages: "missing KPE"
  KeyWords des{};            // single DES, two- and three-key Triple-DES
  KeyWords aes{};            // the -ROLEaes words
  KeyWords hmac{};           // the -ROLEhmac words: keys without a cipher, which no guard names
  // -ROLEblock: the key as a key block under the KBPK, of whichever family the block says. None
  // when empty: a KBPK in a block would need a second KBPK to read it.
  std::u16string_view blockLine{};
  // Whether its block may hold an HMAC key (algorithm H) though the role has no -ROLEhmac words:
  // the generic key, which -unwrapkey shows.
  bool hmacInBlock = false;
  std::u16string_view kcvLine;
  // The guard given without a key: made from the role's words when empty.
  std::u16string_view kcvWithoutKey{};
};

inline constexpr KeyRole kKeyRoles[] = {
    {.role = Role::Kpv,
     .name = u"kpv",
     .label = u"KPV",
     // The PVV uses K1||K2 only: a third key is accepted and dropped.
     .des = {keySizes({8, 16, 24}), 16, u"KPVHEX", u"PIN Verification Key (hex, des-ede)",
             keySizes({8, 16}), 16, u"read binary KPV from a file (8 or 16 bytes)"},
     .blockLine = u"the KPV as a key block (usage V2, V1 or V0)",
     .kcvLine = u"refuse to run unless the KPV's check value begins so"},
    {.role = Role::Kpe,
     .name = u"kpe",
     .label = u"KPE",
     .des = {keySizes({8, 16, 24}), 0, u"KPEHEX", u"encrypt/decrypt pinblock",
             keySizes({8, 16, 24}), 24, u"read binary KPE from a file (8, 16 or 24 bytes)"},
     .aes = {keySizes({16, 24, 32}), 0, u"KPEAESHEX",
             u"AES PIN encryption key (32, 48 or 64 hex digits)", keySizes({16, 24, 32}), 33,
             u"read binary AES KPE from a file (16, 24 or 32 bytes)"},
     .blockLine = u"the KPE as a key block (usage P0)",
     .kcvLine = u"refuse to run unless the KPE's check value begins so",
     // Older than the AES words, and kept as scripts know it.
     .kcvWithoutKey = u"kpekcv requires either of -kpe or -kpefile"},
    {.role = Role::ToKpe,
     .name = u"tokpe",
     .label = u"TOKPE",
     .des = {keySizes({8, 16, 24}), 0, u"KPEHEX", u"the key -translate enciphers its block under",
             keySizes({8, 16, 24}), 24, u"read binary TOKPE from a file (8, 16 or 24 bytes)"},
     .aes = {keySizes({16, 24, 32}), 0, u"KPEAESHEX",
             u"the AES key -translate enciphers its block under", keySizes({16, 24, 32}), 33,
             u"read binary AES TOKPE from a file (16, 24, 32 bytes)"},
     .blockLine = u"TOKPE as a key block (usage P0)",
     .kcvLine = u"refuse to run unless TOKPE's check value begins so"},
    {.role = Role::Cvk,
     .name = u"cvk",
     .label = u"CVK",
     // A longer file is refused, as a CVK of more than 32 hex digits is.
     .des = {keySizes({8, 16}), 0, u"CVKHEX", u"Card Verification Key, key A then key B (hex)",
             keySizes({8, 16}), 17, u"read binary CVK from a file (8 or 16 bytes)"},
     .blockLine = u"the CVK as a key block (usage C0)",
     .kcvLine = u"refuse to run unless the CVK's check value begins so"},
    {.role = Role::Bdk,
     .name = u"bdk",
     .label = u"BDK",
     .des = {keySizes({16, 24}), 0, u"BDKHEX", u"Triple-DES DUKPT base derivation key (hex)",
             keySizes({16, 24}), 25, u"read a binary BDK from a file (16 or 24 bytes)"},
     .aes = {keySizes({16, 24, 32}), 0, u"BDKAESHEX", u"AES DUKPT base derivation key (hex)",
             keySizes({16, 24, 32}), 33, u"read binary AES BDK from a file (16, 24 or 32 bytes)"},
     .blockLine = u"the BDK as a key block (usage B0)",
     .kcvLine = u"refuse to run unless the BDK's check value begins so"},
    {.role = Role::Kbpk,
     .name = u"kbpk",
     .label = u"KBPK",
     .des = {keySizes({16, 24}), 0, u"KBPKHEX", u"Triple-DES key block protection key (A, B, C)",
             keySizes({16, 24}), 25, u"read a binary KBPK from a file (16 or 24 bytes)"},
     .aes = {keySizes({16, 24, 32}), 0, u"KBPKAESHEX", u"AES key block protection key (version D)",
             keySizes({16, 24, 32}), 33, u"read binary AES KBPK from a file (16, 24 or 32 bytes)"},
     .kcvLine = u"refuse to run unless the KBPK's check value begins so"},
    // The key the key commands work on: wrapped, unwrapped, combined, checked.
    {.role = Role::Key,
     .name = u"key",
     .label = u"key",
     .des = {keySizes({8, 16, 24}), 0, u"KEYHEX", u"a DES or Triple-DES key for the key commands",
             keySizes({8, 16, 24}), 25, u"read a binary key from a file (8, 16 or 24 bytes)"},
     .aes = {keySizes({16, 24, 32}), 0, u"KEYAESHEX", u"an AES key for the key commands",
             keySizes({16, 24, 32}), 33, u"read a binary AES key from a file (16, 24 or 32 bytes)"},
     .blockLine = u"a key as a key block, for the key commands",
     .hmacInBlock = true,
     .kcvLine = u"refuse to run unless the key's check value begins so"},
    // The issuer master key for application cryptograms, from which each card's master key
    // is derived; or that card master key itself, where it is known.
    {.role = Role::Imk,
     .name = u"imk",
     .label = u"IMK",
     .des = {keySizes({16}), 0, u"IMKHEX", u"issuer master key for cryptograms (32 hex digits)",
             keySizes({16}), 17, u"read a binary IMK from a file (16 bytes)"},
     .blockLine = u"the IMK as a key block (usage E0, mode X)",
     .kcvLine = u"refuse to run unless the IMK's check value begins so"},
    {.role = Role::IccMk,
     .name = u"iccmk",
     .label = u"ICCMK",
     .des = {keySizes({16}), 0, u"ICCMKHEX", u"a card's own master key, instead of -imk",
             keySizes({16}), 17, u"read a binary ICCMK from a file (16 bytes)"},
     .blockLine = u"a card's master key as a key block (usage E0)",
     .kcvLine = u"refuse to run unless ICCMK's check value begins so"},
    {.role = Role::Mak,
     .name = u"mak",
     .label = u"MAK",
     .des = {keySizes({8, 16, 24}), 0, u"MAKHEX", u"MAC key, DES or Triple-DES (hex)",
             keySizes({8, 16, 24}), 25, u"read a binary MAK from a file (8, 16 or 24 bytes)"},
     .aes = {keySizes({16, 24, 32}), 0, u"MAKAESHEX", u"AES MAC key, for CMAC (hex)",
             keySizes({16, 24, 32}), 33, u"read binary AES MAK from a file (16, 24 or 32 bytes)"},
     .hmac = {0, 0, u"MAKHMACHEX", u"HMAC key of 1 to 256 bytes (hex)", 0, kLongestHmacKey + 1,
              u"read binary HMAC key from a file (1 to 256 bytes)", kLongestHmacKey},
     .blockLine = u"the MAK as a key block (usage M0, M1, M3, M6 or M7)",
     .kcvLine = u"refuse to run unless the MAK's check value begins so"},
    {.role = Role::Dek,
     .name = u"dek",
     .label = u"DEK",
     .des = {keySizes({8, 16, 24}), 0, u"DEKHEX", u"data key, DES or Triple-DES (hex)",
             keySizes({8, 16, 24}), 25, u"read a binary DEK from a file (8, 16 or 24 bytes)"},
     .aes = {keySizes({16, 24, 32}), 0, u"DEKAESHEX", u"AES data key (hex)", keySizes({16, 24, 32}),
             33, u"read binary AES DEK from a file (16, 24 or 32 bytes)"},
     .blockLine = u"the DEK as a key block (usage D0)",
     .kcvLine = u"refuse to run unless the DEK's check value begins so"},
};

inline constexpr std::size_t kRoleCount = std::size(kKeyRoles);

constexpr const KeyRole &keyRole(Role role) { return kKeyRoles[static_cast<std::size_t>(role)]; }

// Which word of its role a generated option word is.
// BlockFile is no generated word: -keyblockfile, the key role's block read from a file, is a
// row of its own.
enum class KeyForm : std::uint8_t {
  Hex,
  File,
  AesHex,
  AesFile,
  Block,
  CheckValue,
  BlockFile,
  HmacHex,
  HmacFile
};

struct KeyWord {
  Role role;
  KeyForm form;
};

// The family a word gives its key in (the HMAC words none), and its words of that family.
// What a form adds to the role's name to make its word: "-kpe" + "aesfile".
constexpr std::u16string_view keyFormSuffix(KeyForm form) {
  switch (form) {
  case KeyForm::Hex:
    return u"";
  case KeyForm::File:
    return u"file";
  case KeyForm::AesHex:
    return u"aes";
  case KeyForm::AesFile:
    return u"aesfile";
  case KeyForm::Block:
    return u"block";
  case KeyForm::CheckValue:
    return u"kcv";
  case KeyForm::BlockFile:
    return u"blockfile";
  case KeyForm::HmacHex:
    return u"hmac";
  case KeyForm::HmacFile:
    return u"hmacfile";
  }
  return u"";
}

constexpr bool isHmacForm(KeyForm form) {
  return form == KeyForm::HmacHex || form == KeyForm::HmacFile;
}
constexpr bool isFileForm(KeyForm form) {
  return form == KeyForm::File || form == KeyForm::AesFile || form == KeyForm::HmacFile;
}
constexpr CipherFamily familyOf(KeyForm form) {
  return form == KeyForm::AesHex || form == KeyForm::AesFile ? CipherFamily::Aes
                                                             : CipherFamily::Des;
}
constexpr const KeyWords &wordsOf(const KeyRole &role, KeyForm form) {
  return isHmacForm(form) ? role.hmac : familyOf(form) == CipherFamily::Aes ? role.aes : role.des;
}

// The messages of a key word: its value missing, its value refused (hex and check values), a
// file of a length the role does not take.
Text missingKeyMessage(KeyWord word);
Text refusedKeyMessage(KeyWord word);
Text wrongFileLengthMessage(KeyWord word);
// -ROLEkcv without a key: "kpvkcv requires either of -kpv or -kpvfile".
Text guardWithoutKeyMessage(Role role);
// "KPV check value does not match".
Text guardMismatchMessage(Role role);
// The sizes of each family the role takes, for a key from a key block.
KeyFit keyFitOf(Role role);
// The message of a key block problem found at or after the walk, for the block given with the
// role's word, and the class it is thrown as. found: the key's cipher, for KeyNotTaken.
[[noreturn]] void throwKeyBlockProblem(Role role, KeyBlockProblem problem,
                                       CipherAlgorithm found = CipherAlgorithm::Des);
// "kpvblock requires one of -kbpk, -kbpkfile, -kbpkaes or -kbpkaesfile".
Text blockWithoutKbpkMessage(Role role);
// -ROLEkcv with a key that has no check value: "makkcv cannot guard an HMAC key".
Text guardOfHmacKeyMessage(Role role);
// Whether a value is the hex key, or the check value, that word takes.
bool acceptsKeyValue(KeyWord word, std::u16string_view value);

// The slots a command line (or a batch's requests) fill, one per role, and the message of
// -data or -datafile, which may be as secret as a key.
struct KeyStore {
  std::array<KeySlot, kRoleCount> slots;
  MessageSlot message;

  KeySlot &operator[](Role role) { return slots[static_cast<std::size_t>(role)]; }
  void clear() {
    for (KeySlot &slot : slots) {
      slot.clear();
    }
    message.clear();
  }
};

// Puts the key a word gives into slot: value is checked hex (acceptsKeyValue), or the name of a
// file of raw key bytes, which is read here, or a key block (or the name of a file holding one),
// read and sealed into the slot here, to be opened under the KBPK after the walk. Throws
// excCL_MalformedParameter "could not open key file", or for a file of a length the role does not
// take, or for a block that is not well formed. In a batch (inBatch) the batch's own standard input
// is refused as a key file.
void loadKey(KeyWord word, std::u16string_view value, KeySlot &slot, bool inBatch);

} // namespace tolvane
