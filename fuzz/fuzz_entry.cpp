// The whole program in-process, on an argument vector made from the fuzz input, with the
// program's output contract checked after every run.
//
// Input: the arguments one after another, each ended by a NUL byte; a last argument without
// its NUL counts too when it is not empty. So the empty input is no argument at all, "\0" is
// one empty argument, and every vector a real command line can carry (no argument can hold a
// NUL) has an encoding. Each argument is decoded as the platform decodes argv, and the program
// name is put in front.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/entry.hpp"
#include "cli/errors.hpp"
#include "cli/options.hpp"
#include "cli/platform.hpp"
#include "cli/usage.hpp"
#include "fuzz/report.hpp"
#include "pin/luhn.hpp"
#include "pin/pin_block.hpp"

namespace tolvane::fuzz {
namespace {

std::vector<Text> argumentsFrom(const std::uint8_t *data, std::size_t size) {
  std::vector<Text> args{u"tolvane"};
  const std::string_view input(reinterpret_cast<const char *>(data), size);
  std::size_t start = 0;
  while (start < input.size()) {
    const std::size_t end = std::min(input.find('\0', start), input.size());
    args.push_back(decodeArgument(input.substr(start, end - start)));
    start = end + 1;
  }
  return args;
}

// The parser compares an option word only up to its first CR or LF.
Text optionWord(const Text &arg) { return arg.substr(0, arg.find_first_of(u"\r\n")); }

// -kpvfile would open whatever file name the fuzzer invents. Every argument that follows one
// that reads as -kpvfile is replaced by one of a few fixed paths, chosen by its first code
// unit: a missing file, a directory, and key files of 5, 8, 16 and 17 bytes that the build
// writes. The decision is made on the arguments as given, before any is replaced: in
// "-kpvfile -kpvfile X" both the second word and X are replaced, so X is covered whichever of
// the two words the parser takes as the option. No argument the parser could read as a file
// name gets through, at the price of now and then replacing one it would not.
void confineKeyFiles(std::vector<Text> &args) {
  static const std::array<Text, 6> kPaths = {
      decodeArgument(TOLVANE_FUZZ_KEY_DIR "/missing"),
      decodeArgument(TOLVANE_FUZZ_KEY_DIR),
      decodeArgument(TOLVANE_FUZZ_KEY_DIR "/key5"),
      decodeArgument(TOLVANE_FUZZ_KEY_DIR "/key8"),
      decodeArgument(TOLVANE_FUZZ_KEY_DIR "/key16"),
      decodeArgument(TOLVANE_FUZZ_KEY_DIR "/key17"),
  };
  std::vector<bool> followsKeyFileOption(args.size(), false);
  for (std::size_t i = 1; i + 1 < args.size(); ++i) {
    followsKeyFileOption[i + 1] = optionWord(args[i]) == u"-kpvfile";
  }
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (followsKeyFileOption[i]) {
      const std::size_t choice = args[i].empty() ? 0 : args[i][0] % kPaths.size();
      args[i] = kPaths[choice];
    }
  }
}

// The bytes the program's writers make of a text.
std::string bytesOf(const Text &text) {
  StringWriter writer;
  writer.write(text);
  writer.flush();
  return writer.bytes();
}

std::string usageText(bool showAll) {
  StringWriter writer;
  printUsage(showAll, writer);
  writer.flush();
  return writer.bytes();
}

bool isDecimal(char c) { return c >= '0' && c <= '9'; }
bool isUpperHex(char c) { return isDecimal(c) || (c >= 'A' && c <= 'F'); }
bool allDecimal(const std::string &s) { return std::all_of(s.begin(), s.end(), isDecimal); }
bool allDecimal(const Text &s) { return std::all_of(s.begin(), s.end(), isDecimalDigit); }

Text textOf(const std::string &ascii) { return Text(ascii.begin(), ascii.end()); }

constexpr std::array<std::u16string_view, 4> kSanityTexts = {
    u"PIN Sanity; format", u"PIN Sanity; length", u"PIN Sanity; padding", u"PIN Sanity; digits"};

struct Run {
  const std::vector<Text> &args;
  int status;
  const std::string &out;
  const std::string &err;

  [[noreturn]] void violation(const std::string &what) const {
    std::string report = what + "\nargs:";
    for (std::size_t i = 1; i < args.size(); ++i) {
      report += " " + showText(args[i]);
    }
    report += "\nstatus: " + std::to_string(status);
    report += "\nstdout: " + showBytes(out);
    report += "\nstderr: " + showBytes(err);
    reportViolation(report);
  }
};

// The answer of a successful run, checked against the command the arguments select. Only a
// successful run is parsed again here: the parser throws on anything else.
void checkAnswer(const Run &run) {
  std::optional<CommandLine> parsed;
  try {
    parsed.emplace(static_cast<std::int32_t>(run.args.size()), run.args.data());
  } catch (...) {
    run.violation("status 0, but the arguments do not parse");
  }
  const CommandLine &cl = *parsed;
  const std::string &out = run.out;
  switch (cl.command) {
  case Command::Verify:
  case Command::VerifyPan:
    if (out != "Y" && out != "N") {
      run.violation("answer is not Y or N");
    }
    break;
  case Command::CalcPvv:
    if (out.size() != 4 || !allDecimal(out)) {
      run.violation("answer is not four decimal digits");
    }
    break;
  case Command::CalcPinBlock: {
    if (out.size() != 16 || !std::all_of(out.begin(), out.end(), isUpperHex)) {
      run.violation("answer is not sixteen upper-case hex digits");
    }
    Text decoded;
    try {
      decoded = decodePinBlock(textOf(out), cl.kpe, cl.pan);
    } catch (const excProblem &problem) {
      run.violation("the PIN block made does not decode: " + showText(problem.text));
    }
    if (decoded != cl.pin) {
      run.violation("the PIN block made decodes to another PIN: " + showText(decoded));
    }
    break;
  }
  case Command::UncalcPinBlock: {
    if (out.size() < 4 || out.size() > 14 || !allDecimal(out)) {
      run.violation("answer is not a PIN of 4 to 14 decimal digits");
    }
    if (makePinBlock(textOf(out), cl.pan, cl.kpe) != hexToBlock(cl.pinBlockHex)) {
      run.violation("the PIN given does not make the PIN block it came from");
    }
    break;
  }
  case Command::FixPan: {
    const Text kept = cl.pan.substr(0, cl.pan.size() - 1);
    const std::string keptBytes = bytesOf(kept);
    if (out.size() != keptBytes.size() + 1 || out.compare(0, keptBytes.size(), keptBytes) != 0 ||
        !isDecimal(out.back())) {
      run.violation("answer is not the PAN with its last character replaced by a digit");
    }
    if (kept.size() >= 12 && kept.size() <= 18 && allDecimal(kept) && !luhnCheck(textOf(out))) {
      run.violation("the repaired PAN fails the Luhn check");
    }
    break;
  }
  case Command::None:
    run.violation("status 0 without a command");
  }
}

// A failed run that reports an unknown exception: the only one expected is an answer that
// the output stream cannot carry, which only -fixpan can make (it echoes the PAN).
void checkUnwritableAnswer(const Run &run) {
  bool expected = false;
  try {
    const CommandLine cl(static_cast<std::int32_t>(run.args.size()), run.args.data());
    expected = cl.command == Command::FixPan &&
               std::any_of(cl.pan.begin(), cl.pan.end() - 1, [](char16_t c) { return c >= 256; });
  } catch (...) {
    expected = false;
  }
  if (!expected) {
    run.violation("unknown exception, but not for an answer the stream cannot carry");
  }
}

void checkFailure(const Run &run) {
  static const std::string kUsage = usageText(false);
  static const std::string kUsageAll = usageText(true);
  const std::string &out = run.out;
  const std::string &err = run.err;
  if (out == kUsage || out == kUsageAll) {
    if (!err.empty()) {
      run.violation("usage text together with an error message");
    }
    return;
  }
  if (!out.empty()) {
    run.violation("status 1, and standard output is neither empty nor the usage text");
  }
  if (err.empty()) {
    run.violation("status 1 without an error message");
  }

  const std::string problem = "problem:  ";
  const std::string commandLine = "Command line problem:  ";
  const std::string hint = "\r\nuse -help for usage information";
  if (err.rfind(problem, 0) == 0) {
    const Text text = textOf(err.substr(problem.size()));
    if (std::find(kSanityTexts.begin(), kSanityTexts.end(), text) == kSanityTexts.end()) {
      run.violation("a problem other than the four PIN sanity failures");
    }
  } else if (err.rfind(commandLine, 0) == 0) {
    // The one line break is the one before the hint. Without it, the message (an unrecognised
    // argument) held a character the stream could not carry and the stream stopped there.
    const std::size_t lineBreak = err.find_first_of("\r\n");
    if (lineBreak == std::string::npos) {
      const bool anyWide = std::any_of(run.args.begin(), run.args.end(), [](const Text &arg) {
        return std::any_of(arg.begin(), arg.end(), [](char16_t c) { return c >= 256; });
      });
      if (!anyWide) {
        run.violation("command-line message without the hint, though every character fits");
      }
    } else if (lineBreak != err.size() - hint.size() ||
               err.compare(lineBreak, hint.size(), hint) != 0) {
      run.violation("command-line message not followed by the hint alone");
    }
  } else if (err == "Horror!  Unknown exception") {
    checkUnwritableAnswer(run);
  } else {
    run.violation("error message of no known form");
  }
}

} // namespace
} // namespace tolvane::fuzz

// libFuzzer looks the entry up by this name.
// NOLINTNEXTLINE(readability-identifier-naming)
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  using namespace tolvane;
  std::vector<Text> args = fuzz::argumentsFrom(data, size);
  fuzz::confineKeyFiles(args);

  StringWriter out;
  StringWriter err;
  // As in the real process: standard error unit-buffered and tied to standard output.
  err.setUnitBuffered(true);
  err.tie(&out);
  const int status = runTolvane(args, out, err);
  // What the process would flush at exit.
  out.flush();
  err.flush();

  const fuzz::Run run{args, status, out.bytes(), err.bytes()};
  if (status == 0) {
    if (!run.err.empty()) {
      run.violation("status 0 with an error message");
    }
    fuzz::checkAnswer(run);
  } else if (status == 1) {
    fuzz::checkFailure(run);
  } else {
    run.violation("exit status is neither 0 nor 1");
  }
  return 0;
}
