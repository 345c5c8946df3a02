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

struct CommandLine {
  // Throws for the first check the command line fails: no command, the command's own checks,
  // a guard without its key.
  void check() const;
  // Throws excProblem "KPV check value does not match" (or KPE, CVK, BDK...) when a key's check
  // value does not begin as its guard says. Run after check(), before the command.
  void checkGuards() const;

  // The key of a role, or null when none was given.
  const KeySlot *key(Role role) const { return keys[static_cast<std::size_t>(role)]; }

  // The command: its checks after the walk, in their order, throwing the first failure; then
  // the whole answer, computed before anything is written, appended to answer. Null when no
  // command word was given.
  void (*checkCommand)(const CommandLine &commandLine) = nullptr;
  void (*answer)(const CommandLine &commandLine, Text &answer) = nullptr;

  std::array<const KeySlot *, kRoleCount> keys{};       // the slots the key words filled
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
  std::int32_t direction = -1;  // -direction: 0 request, 1 response, or -1 when not given

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
