#pragma once
// The command line, parsed and checked once: a CommandLine is either complete for its command
// or never exists.

#include <cstdint>

#include "cli/keys.hpp"
#include "pin/digits.hpp"

namespace tolvane {

enum class Command : int {
  None = 0,
  Verify = 1,
  CalcPvv = 2,
  CalcPinBlock = 3,
  UncalcPinBlock = 4,
  VerifyPan = 5,
  FixPan = 6,
};

class ArgumentSource {
public:
  virtual ~ArgumentSource() = default;
  // Fills argument with the next one and returns true, or returns false when none is left.
  virtual bool next(Text &argument) = 0;
};

class ArgvArgumentSource final : public ArgumentSource {
public:
  ArgvArgumentSource(std::int32_t count, const Text *vector) : count_(count), vector_(vector) {}
  bool next(Text &argument) override;

private:
  std::int32_t count_;
  std::int32_t position_ = 0;
  const Text *vector_;
};

struct CommandLine {
  // argv[0] names the program and is skipped. Throws excCL_Help for -help and -help2, and
  // excCL_UnrecognizedOption, excCL_MalformedParameter or excCL_RequiredParameterMissing for
  // the leftmost problem; nothing the user typed survives a failed construction.
  CommandLine(std::int32_t argc, const Text *argv);
  ~CommandLine();
  CommandLine(const CommandLine &) = delete;
  CommandLine &operator=(const CommandLine &) = delete;

  // Blanks the typed texts, zeroes pvki and every key byte. Runs on destruction.
  void scrub() noexcept;

  Command command = Command::None;
  Text pan;                 // as typed; Luhn-checked unless suppressLuhn
  std::int32_t pvki = -1;   // 0..6, or -1 when not given
  Text pvv;                 // 4 decimal digits when given
  Text pinBlockHex;         // 16 hex digits, either case, when given
  Text pin;                 // 4..14 decimal digits when given
  KeyList kpv;              // empty, 16 or 24 bytes
  bool suppressLuhn = false;
  KeyList kpe;              // empty (PIN block in the clear), 16 or 24 bytes

private:
  void parse(std::int32_t argc, const Text *argv);
  void checkCommand() const;
};

} // namespace tolvane
