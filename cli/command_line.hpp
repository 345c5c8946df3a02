#pragma once
// The command line, parsed and checked once: a CommandLine is either complete for its command,
// or holds the options of a batch (batch set, checks not yet run), or is never used.
//
// It is filled by the walk (cli/walk.hpp), which goes left to right through the option table
// (cli/option_table.hpp) and stops at the first problem, so the leftmost one is reported. Rules the
// code keeps without saying so at each place:
// - Only an option word is cut at its first CR or LF (what follows is dropped); a value is taken
//   exactly as it comes, whatever it looks like ("-pan -verify" makes the PAN "-verify").
// - Every value is checked by its own rule when it is read, even one the command will not use.
// - Of several command options the last one wins, silently; -help, -help2 and -helpall end the
//   walk where they stand, so options after them are never looked at.
// - A value given twice: the later one replaces the earlier. The words of one key role (-kpv and
//   -kpvfile, the four BDK words) fill the same slot and follow the same rule.
// - A key block (-ROLEblock) is read and its header checked at its word, and opened under the
//   KBPK (which may come later) right after the walk, in the order of the block words: a block
//   without a KBPK, a KBPK of the wrong family for the version, a MAC that fails, a key its role
//   does not take are reported before the command's checks. Whether its usage and mode of use
//   allow what the command does is checked by the command, after the guards.
// - After the walk, the command's own checks (check), then that each check-value guard has its
//   key. Whether a guard matches is checked after this (checkGuards), before the command runs.
// - -batch defers those checks: they run for each request of the batch, on the command line's
//   values with the request's words walked on top of them.
//
// A CommandLine holds views of the argument texts and pointers to key slots: whoever owns the
// texts and the KeyStore keeps them alive while the CommandLine is used, and wipes them.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "base/text.hpp"
#include "cli/key_roles.hpp"

namespace tolvane {

// A short value given in hex, as bytes.
struct ShortBytes {
  std::array<std::uint8_t, 32> bytes{};
  std::size_t size = 0;

  bool empty() const { return size == 0; }
  std::span<const std::uint8_t> span() const { return {bytes.data(), size}; }
};

// The values of a word that may be given several times, in their order.
struct TextList {
  static constexpr std::size_t kCapacity = 9;
  std::array<std::u16string_view, kCapacity> items{};
  std::size_t size = 0;
};

struct Option;

struct CommandLine {
  // Throws for the first check the command line fails: no command, the command's own checks,
  // a guard without its key.
  void check() const {
    // The common case inline: a batch checks every request.
    if (checkCommand != nullptr && !anyGuard) {
      checkCommand(*this);
    } else {
      checkFully();
    }
  }
  // Throws excProblem "KPV check value does not match" (or KPE, CVK, BDK...) when a key's check
  // value does not begin as its guard says. Run after check(), before the command.
  void checkGuards() const;
  // check, for no command or with guards.
  void checkFully() const;

  // Which fields a walk has given (by the field number of their option rows): under -locked a
  // request may not give one the command line gave.
  void markGiven(std::uint8_t field) { given[field / 64] |= std::uint64_t{1} << (field % 64); }
  bool wasGiven(std::uint8_t field) const { return ((given[field / 64] >> (field % 64)) & 1) != 0; }

  // The key of a role, or null when none was given.
  const KeySlot *key(Role role) const { return keys[static_cast<std::size_t>(role)]; }
  // Whether the key of a role came from a key block.
  bool fromBlock(Role role) const { return key(role) != nullptr && key(role)->block() != nullptr; }

  // The command: its checks after the walk, in their order, throwing the first failure; then
  // the whole answer, computed before anything is written, appended to answer. Null when no
  // command word was given.
  void (*checkCommand)(const CommandLine &commandLine) = nullptr;
  void (*answer)(const CommandLine &commandLine, Text &answer) = nullptr;

  // The options a request's walk changed, so that the next request starts again from its
  // command line by putting back only those; changedCount past the room: all of it.
  std::array<const Option *, 8> changed{};
  std::size_t changedCount = 0;
  std::array<std::uint64_t, 4> given{}; // see markGiven
  bool request = false;                 // a request of a batch, walked on top of its command line
  bool pinFromBlockOnly = false;        // the command's PIN comes from a block in a locked batch
  bool anyGuard = false;                // some -ROLEkcv was given
  std::array<KeySlot *, kRoleCount> keys{}; // the slots the key words filled
  // The roles given as key blocks, in the order of their words: opened in that order after the
  // walk, so that the leftmost bad block is the one reported.
  std::array<Role, kRoleCount> blockRoles{};
  std::size_t blockRoleCount = 0;
  std::array<std::u16string_view, kRoleCount> guards{}; // -ROLEkcv: 4 or 6 hex digits
  std::u16string_view pan;         // as typed; Luhn-checked by the PIN commands unless suppressLuhn
  std::int32_t pvki = -1;          // 0..6, or -1 when not given
  std::u16string_view pvv;         // 4 decimal digits when given
  std::u16string_view pinBlockHex; // 16 (-pinblock) or 32 (-pinblockaes) hex digits, either case
  std::u16string_view pin;         // 4..14 decimal digits when given
  bool suppressLuhn = false;
  std::int32_t format = 0;    // the number of the PIN-block format read and made
  std::int32_t toFormat = -1; // the format -translate makes, or -1 for format's
  bool batch = false;         // -batch was walked on the command line
  bool jsonl = false;         // a batch answers in JSON Lines
  bool locked = false;        // a batch's requests may give per-card data only
  bool csv = false;           // a batch reads and answers CSV records
  std::u16string_view ref;    // a request's identifier, echoed in its answer

  // IBM 3624 offsets, under the KPV.
  std::u16string_view validationData;                       // 1..16 hex digits when given
  std::u16string_view validationPad = u"F";                 // one hex digit
  std::u16string_view decimalisation = u"0123456789012345"; // 16 decimal digits
  std::u16string_view offset;                               // 4..12 decimal digits when given

  // Card verification values.
  std::u16string_view expiry;      // 4 decimal digits when given
  std::u16string_view serviceCode; // 3 decimal digits when given
  std::u16string_view cvv;         // 3 decimal digits when given

  // DUKPT: a BDK and a KSN stand where a KPE would, on the side that reads a block.
  ShortBytes ksn;               // 10 or 12 bytes when given
  std::int32_t workingKey = -1; // -workingkey: a CipherAlgorithm, or -1 when not given

  // Key blocks -wrapkey writes: each field, or 0 or empty when not given.
  std::int32_t kbVersion = 0;       // 'B' or 'D'
  std::int32_t kbUsage = -1;        // the place of a known usage in keyUsageNames()
  std::int32_t kbMode = 0;          // a mode of use letter
  std::u16string_view kbKeyVersion; // 2 printable characters
  std::int32_t kbExport = 0;        // 'E', 'N' or 'S'
  std::u16string_view kbOptional;   // well-formed optional blocks, no PB

  // Key components: 16, 32 or 48 hex digits each (-component), 32, 48 or 64 (-componentaes).
  TextList components;
  TextList aesComponents;
  // EMV cryptograms, under the IMK (or a card's own master key). The settings are -1 when not
  // given; the recipe -cvn fills in those left out.
  std::u16string_view psn = u"00"; // 2 decimal digits
  ShortBytes atc;                  // 2 bytes when given
  ShortBytes un;                   // 4 bytes when given
  std::u16string_view acData;      // an even number of hex digits when given
  ShortBytes arqc;                 // 8 bytes when given
  ShortBytes arc;                  // 2 bytes when given
  ShortBytes csu;                  // 4 bytes when given
  ShortBytes propAuth;             // 0 to 8 bytes; none when not given
  std::int32_t cvn = -1;           // the index of a recipe
  std::int32_t cardKeyOption = -1; // -mkd: a CardKeyOption
  std::int32_t sessionKey = -1;    // -skd: a SessionKeyMethod
  std::int32_t acPadding = -1;     // -acpad: a MacPadding
  std::int32_t arpcMethod = -1;    // an ArpcMethod
  std::int32_t arpcKey = -1;       // an ArpcKey
  std::int32_t direction = -1;     // -direction: 0 request, 1 response, or -1 when not given

  // MACs and data encryption. The numbers are -1 when not given.
  const MessageSlot *data = nullptr; // -data or -datafile: the KeyStore's message
  std::int32_t macAlgorithm = -1;    // a MacAlgorithm
  std::int32_t macPadding = -1;      // a MacPadding (1 to 3)
  std::int32_t macLength = -1;       // 4..64 bytes
  std::u16string_view macHex;        // 8..128 hex digits, an even number, when given
  std::int32_t mode = -1;            // a BlockMode
  ShortBytes iv;                     // 8 or 16 bytes when given
  std::int32_t dataPadding = -1;     // a DataPadding (1 or 2)
};

} // namespace tolvane
