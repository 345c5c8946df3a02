// The whole program in-process, on an argument vector made from the fuzz input. After every
// run the shape of the output and the exit status are checked; then the same arguments make a
// PIN block, which must decode back to the PIN that made it.
//
// Input: the arguments one after another, each ended by a NUL byte; a last argument without
// its NUL counts too when it is not empty. So the empty input is no argument at all, "\0" is
// one empty argument, and every vector a real command line can carry (no argument can hold a
// NUL) has an encoding. Each argument is decoded as the platform decodes argv, and the program
// name is put in front. Today the whole input is arguments; a batch mode would take its
// standard input from a part of it set apart, and hand argumentsFrom only the rest.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "cli/entry.hpp"
#include "cli/platform.hpp"
#include "cli/usage.hpp"
#include "fuzz/report.hpp"

namespace tolvane::fuzz {
namespace {

Text textOf(std::string_view bytes) {
  Text text;
  decodeArgument(bytes, text);
  return text;
}

std::vector<Text> argumentsFrom(std::string_view input) {
  std::vector<Text> args{u"tolvane"};
  for (std::size_t start = 0; start < input.size();) {
    const std::size_t end = std::min(input.find('\0', start), input.size());
    args.push_back(textOf(input.substr(start, end - start)));
    start = end + 1;
  }
  return args;
}

// The key-file options open whatever file they are given. Every argument after one that starts
// with such an option word (as every word the parser could take for one does) is replaced by
// one of a few fixed paths, chosen by its first code unit: a missing file, a directory, and key
// files of 5, 8, 16, 17 and 24 bytes that the build writes. Running from the end decides on
// the arguments as given, so in "-kpvfile -kpvfile X" both the second word and X are replaced.
void confineKeyFiles(std::vector<Text> &args) {
  constexpr const char *names[] = {"missing", ".", "key5", "key8", "key16", "key17", "key24"};
  for (std::size_t i = args.size(); i-- > 2;) {
    if (args[i - 1].starts_with(u"-kpvfile") || args[i - 1].starts_with(u"-kpefile")) {
      const std::size_t pick = args[i].empty() ? 0 : args[i][0] % std::size(names);
      args[i] = textOf(std::string(TOLVANE_FUZZ_KEY_DIR "/") + names[pick]);
    }
  }
}

std::string usageText(bool showAll) {
  StringWriter writer;
  printUsage(showAll, writer);
  writer.flush();
  return writer.bytes();
}

struct Run {
  std::vector<Text> args;
  int status;
  std::string out, err;

  [[noreturn]] void violation(const std::string &what) const {
    std::string report = what + "\nstatus " + std::to_string(status) + ", stdout " +
                         showBytes(out) + ", stderr " + showBytes(err) + ", arguments:";
    for (const Text &arg : args) {
      report += " " + showBytes(encodeArgument(arg));
    }
    // libFuzzer records the abort as a crash and keeps the input.
    std::fprintf(stderr, "\n==== contract violation ====\n%s\n", report.c_str());
    std::abort();
  }
};

// Runs the program on args and more after them. Status 0 must come with an answer alone,
// status 1 with the usage text alone or an error message alone that starts with one of the
// entry's three prefixes; neither an answer nor an error message ends with a line break.
Run run(std::vector<Text> args, std::initializer_list<Text> more = {}) {
  static const std::string usage = usageText(false), usageAll = usageText(true);
  static constexpr std::string_view prefixes[] = {
      "problem:  ", "Command line problem:  ", "Horror!  "};
  args.insert(args.end(), more);
  confineKeyFiles(args);
  StringWriter out, err;
  // As in the real process: standard error unit-buffered and tied to standard output.
  err.setUnitBuffered(true);
  err.tie(&out);
  const int status = runTolvane(args, out, err);
  out.flush(); // what the process would flush at exit
  err.flush();
  const Run r{args, status, out.bytes(), err.bytes()};
  const bool usageAlone = status == 1 && (r.out == usage || r.out == usageAll) && r.err.empty();
  const bool answerAlone = status == 0 && !r.out.empty() && !r.out.ends_with('\n') && r.err.empty();
  const bool errorAlone =
      status == 1 && r.out.empty() && !r.err.ends_with('\n') &&
      std::ranges::any_of(prefixes, [&r](std::string_view p) { return r.err.starts_with(p); });
  if (!usageAlone && !answerAlone && !errorAlone) {
    r.violation("output of the wrong shape for the exit status");
  }
  return r;
}

// Whatever the arguments select, two -calcpinblock words after them select that command: the
// first may be taken as the value of an option left without one, but then the second is read
// as an option. A block X so made must decode under the same arguments to a PIN P, and P must
// make X again, which shows that P is the PIN the arguments gave: under one PAN and key the
// block is a one-to-one function of the PIN.
void checkPinBlockRoundTrip(std::vector<Text> args) {
  args.insert(args.end(), {u"-calcpinblock", u"-calcpinblock"});
  const Run made = run(args);
  if (made.status != 0) {
    return;
  }
  if (made.out.size() != 16 ||
      made.out.find_first_not_of("0123456789ABCDEF") != std::string::npos) {
    made.violation("the PIN block made is not 16 upper-case hex digits");
  }
  const Run decoded = run(args, {u"-uncalcpinblock", u"-pinblock", textOf(made.out)});
  if (decoded.status != 0 || decoded.out.size() < 4 || decoded.out.size() > 14 ||
      decoded.out.find_first_not_of("0123456789") != std::string::npos) {
    decoded.violation("a PIN block the program made does not decode to a PIN of 4 to 14 digits");
  }
  const Run remade = run(args, {u"-pin", textOf(decoded.out)});
  if (remade.status != 0 || remade.out != made.out) {
    remade.violation("the PIN decoded from " + made.out + " does not make it again");
  }
}

} // namespace
} // namespace tolvane::fuzz

// libFuzzer looks the entry up by this name.
// NOLINTNEXTLINE(readability-identifier-naming)
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  using namespace tolvane::fuzz;
  const auto args = argumentsFrom(std::string_view(reinterpret_cast<const char *>(data), size));
  run(args);
  checkPinBlockRoundTrip(args);
  return 0;
}
