#pragma once
// The command line, parsed and checked once: a CommandLine is either complete for its command,
// or holds the options of a batch (batch set, checks not yet run), or never exists.
//
// It is built by the walk (walk.cpp), which goes left to right through the option table
// (cli/option_table.hpp) and stops at the first problem, so the leftmost one is reported. Rules the
// code keeps without saying so at each place:
// - Only an option word is cut at its first CR or LF (what follows is dropped); a value is taken
//   exactly as it comes, whatever it looks like ("-pan -verify" makes the PAN "-verify").
// - Every value is checked by its own rule when it is read, even one the command will not use.
// - Of several command options the last one wins, silently; -help, -help2 and -helpall end the
//   walk where they stand, so options after them are never looked at.
// - A value given twice: the later one replaces the earlier. Options that fill the same field
//   (-kpv and -kpvfile, -kpe and -kpefile, -cvk and -cvkfile, the four BDK words) follow the
//   same rule.
// - After the walk, the command's own checks (cli/commands.hpp), then that each check-value
//   guard has its key. Whether a guard matches is checked after this, before the command runs.
// - -batch defers those checks: they run for each request of the batch, on the command line's
//   values with the request's words walked on top of them.
//
// A CommandLine holds views of the argument texts and pointers to key slots: whoever owns the
// texts and the KeyStore keeps them alive while the CommandLine is used, and wipes them.

#include <cstdint>
#include <span>
#include <string_view>

#include "base/text.hpp"
#include "cli/keys.hpp"

namespace tolvane {

struct Option;

class ArgumentSource {
public:
  virtual ~ArgumentSource() = default;
  // Sets argument to the next one and returns true, or returns false when none is left. The
  // text viewed stays in place until the source is destroyed.
  virtual bool next(std::u16string_view &argument) = 0;
};

// Draws the decoded process arguments, one by one.
class ArgvArgumentSource final : public ArgumentSource {
public:
  explicit ArgvArgumentSource(std::span<const Text> args) : args_(args) {}
  bool next(std::u16string_view &argument) override;

private:
  std::span<const Text> args_;
  std::size_t position_ = 0;
};

struct CommandLine {
  // args[0] names the program and is skipped; the keys given go into keys. Throws excCL_Help
  // for the help words, and excCL_UnrecognizedOption, excCL_MalformedParameter or
  // excCL_RequiredParameterMissing for the leftmost problem.
  CommandLine(std::span<const Text> args, KeyStore &keys);
  // One request of a batch: the values of base (which has batch set), then words walked on
  // top of them as if they followed on the command line, their keys going into keys, then the
  // checks. Throws as above; -batch among the words is refused.
  CommandLine(const CommandLine &base, ArgumentSource &words, KeyStore &keys);

  // Throws for the first check the command line fails: no command, the command's own checks,
  // a guard without its key.
  void check() const;
  // Throws excProblem "KPV check value does not match" (or KPE, CVK, BDK) when a key's check value
  // does not begin as its guard says. Run after check(), before the command.
  void checkGuards() const;

  const Option *command = nullptr; // the row of the command word; null when none was given
  std::u16string_view pan;         // as typed; Luhn-checked by the PIN commands unless suppressLuhn
  std::int32_t pvki = -1;          // 0..6, or -1 when not given
  std::u16string_view pvv;         // 4 decimal digits when given
  std::u16string_view pinBlockHex; // 16 (-pinblock) or 32 (-pinblockaes) hex digits, either case
  std::u16string_view pin;         // 4..14 decimal digits when given
  const KeySlot *kpv = nullptr;    // the PIN verification key, when given
  bool suppressLuhn = false;
  const KeySlot *kpe = nullptr;   // the PIN encryption key; none: PIN blocks in the clear
  std::u16string_view kpvKcv;     // 4 or 6 hex digits, either case: the KPV's check value begins so
  std::u16string_view kpeKcv;     // the same for the KPE
  int format = 0;                 // the PIN-block format read and made: 0..4
  int toFormat = -1;              // the format -translate makes: 0..4, or -1 for format's
  const KeySlot *toKpe = nullptr; // the key -translate makes its block under; none: in the clear
  std::u16string_view toKpeKcv;   // its guard
  bool batch = false;             // -batch was walked on the command line
  bool jsonl = false;             // a batch answers in JSON Lines
  bool locked = false;            // a batch's requests may give per-card data only

  // IBM 3624 offsets, under the KPV.
  std::u16string_view validationData;                       // 1..16 hex digits when given
  std::u16string_view validationPad = u"F";                 // one hex digit
  std::u16string_view decimalisation = u"0123456789012345"; // 16 decimal digits
  std::u16string_view offset;                               // 4..12 decimal digits when given

  // Card verification values.
  std::u16string_view expiry;      // 4 decimal digits when given
  std::u16string_view serviceCode; // 3 decimal digits when given
  std::u16string_view cvv;         // 3 decimal digits when given
  const KeySlot *cvk = nullptr;    // the card verification key, A||B (A||A for one key)
  std::u16string_view cvkKcv;      // 4 or 6 hex digits: the CVK's check value begins so

  // DUKPT: a BDK and a KSN stand where a KPE would, on the side that reads a block.
  const KeySlot *bdk = nullptr;   // Triple-DES (16 or 24 bytes) or AES (16, 24 or 32 bytes)
  std::u16string_view bdkKcv;     // 4 or 6 hex digits: the BDK's check value begins so
  std::u16string_view ksn;        // 20 or 24 hex digits when given, either case
  std::size_t workingKeySize = 0; // -workingkey: 16, 24 or 32 bytes; 0 when not given (AES-128)

private:
  void walk(ArgumentSource &source, KeyStore &keys, bool inRequest, bool inBatch);
};

} // namespace tolvane
