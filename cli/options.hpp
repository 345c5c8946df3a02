#pragma once
// The command line, parsed and checked once: a CommandLine is either complete for its command,
// or holds the options of a batch (batch set, checks not yet run), or never exists.
//
// The walk goes left to right and stops at the first problem, so the leftmost one is reported.
// Rules the code keeps without saying so at each place:
// - Only an option word is cut at its first CR or LF (what follows is dropped); a value is taken
//   exactly as it comes, whatever it looks like ("-pan -verify" makes the PAN "-verify").
// - Every value is checked by its own rule when it is read, even one the command will not use.
// - Of several command options the last one wins, silently; -help and -help2 end the walk where
//   they stand, so options after them are never looked at.
// - A value given twice: the later one replaces the earlier. -kpv and -kpvfile fill the same
//   field, so the later of them wins; so do -kpe and -kpefile.
// - The PAN is checked only after the walk, and only for the four PIN commands (unless
//   -suppressluhn); then the options the command needs, in a fixed order; then that each
//   check-value guard has its key. Whether a guard matches is the entry's to check, after this.
// - -batch defers those checks: they run for each request of the batch, on the command line's
//   values with the request's words walked on top of them.

#include <cstdint>
#include <span>

#include "base/text.hpp"
#include "cli/keys.hpp"

namespace tolvane {

enum class Command : int {
  None = 0,
  Verify = 1,
  CalcPvv = 2,
  CalcPinBlock = 3,
  UncalcPinBlock = 4,
  VerifyPan = 5,
  FixPan = 6,
  Kcv = 7,
  Version = 8,
};

class ArgumentSource {
public:
  virtual ~ArgumentSource() = default;
  // Fills argument with the next one and returns true, or returns false when none is left.
  virtual bool next(Text &argument) = 0;
};

// Draws the decoded process arguments, one by one.
class ArgvArgumentSource final : public ArgumentSource {
public:
  explicit ArgvArgumentSource(std::span<const Text> args) : args_(args) {}
  bool next(Text &argument) override;

private:
  std::span<const Text> args_;
  std::size_t position_ = 0;
};

struct CommandLine {
  // args[0] names the program and is skipped. Throws excCL_Help for -help and -help2, and
  // excCL_UnrecognizedOption, excCL_MalformedParameter or excCL_RequiredParameterMissing for
  // the leftmost problem; nothing the user typed survives a failed construction.
  explicit CommandLine(std::span<const Text> args);
  // One request of a batch: the values of base (which has batch set), then words walked on
  // top of them as if they followed on the command line, then the checks. Throws as above;
  // -batch among the words is refused.
  CommandLine(const CommandLine &base, ArgumentSource &words);
  ~CommandLine();
  CommandLine &operator=(const CommandLine &) = delete;

  // Blanks the typed texts, zeroes pvki and every key byte. Runs on destruction.
  void scrub() noexcept;

  Command command = Command::None;
  Text pan;               // as typed; Luhn-checked unless suppressLuhn
  std::int32_t pvki = -1; // 0..6, or -1 when not given
  Text pvv;               // 4 decimal digits when given
  Text pinBlockHex;       // 16 hex digits, either case, when given
  Text pin;               // 4..14 decimal digits when given
  KeyList kpv;            // empty, 16 or 24 bytes
  bool suppressLuhn = false;
  KeyList kpe;        // empty (PIN block in the clear), 16 or 24 bytes
  Text kpvKcv;        // 4 or 6 hex digits, either case: what the KPV's check value begins with
  Text kpeKcv;        // the same for the KPE
  bool batch = false; // -batch was walked on the command line

private:
  // Copies every value; only a request starts from another command line.
  CommandLine(const CommandLine &) = default;
  void parse(ArgumentSource &source, bool inRequest);
  void checkCommand() const;
};

} // namespace tolvane
