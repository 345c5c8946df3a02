// The whole program in-process, on an argument vector made from the fuzz input. After every
// run the shape of the output and the exit status are checked; then the same arguments make a
// PIN block, which must decode back to the PIN that made it.
//
// Input: the arguments one after another, each ended by a NUL byte; a last argument without
// its NUL counts too when it is not empty. So the empty input is no argument at all, "\0" is
// one empty argument, and every vector a real command line can carry (no argument can hold a
// NUL) has an encoding. Each argument is decoded as the platform decodes argv, and the program
// name is put in front. What follows the first NUL and 0xFF byte pair is the standard input
// of a batch instead (so an argument that starts with byte 0xFF cannot follow another one).
// A batch's answer lines are checked one by one, each for the shape a single run would have.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "cli/batch.hpp"
#include "cli/entry.hpp"
#include "cli/platform.hpp"
#include "cli/usage.hpp"

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

// The key-file options (every word ending in "file") open whatever file they are given. Every
// argument after such an option word (up to a CR or LF, as the parser cuts it) is replaced by
// one of a few fixed paths, chosen by its first code unit: a missing file, a directory, and key
// files of 5, 8, 16, 17, 24 and 32 bytes that the build writes. Running from the end decides on
// the arguments as given, so in "-kpvfile -kpvfile X" both the second word and X are replaced.
void confineKeyFiles(std::vector<Text> &args) {
  constexpr const char *names[] = {"missing", ".",     "key5",  "key8",
                                   "key16",   "key17", "key24", "key32"};
  const auto namesFile = [](std::u16string_view word) {
    word = word.substr(0, std::min(word.size(), word.find_first_of(u"\r\n")));
    return word.starts_with(u'-') && word.ends_with(u"file");
  };
  for (std::size_t i = args.size(); i-- > 2;) {
    if (namesFile(args[i - 1])) {
      const std::size_t pick = args[i].empty() ? 0 : args[i][0] % std::size(names);
      args[i] = textOf(std::string(TOLVANE_FUZZ_KEY_DIR "/") + names[pick]);
    }
  }
}

// Lines each ended by CR LF, as -dukptkeys answers: no CR or LF but in those pairs.
bool crLfLines(std::string_view out) {
  for (std::size_t i = 0; i < out.size(); ++i) {
    if ((out[i] == '\r' && (i + 1 == out.size() || out[i + 1] != '\n')) ||
        (out[i] == '\n' && (i == 0 || out[i - 1] != '\r'))) {
      return false;
    }
  }
  return out.ends_with("\r\n");
}

// Status 0 must come with an answer alone or the list of -helpall, status 1 with the usage text
// alone or an error message alone that starts with one of the entry's three prefixes; neither
// an answer nor an error message ends with a line break, but an answer of lines ended by CR LF.
bool shapeFits(int status, const std::string &out, const std::string &err) {
  static const auto usageText = [](int which) {
    StringWriter writer;
    which < 2 ? printUsage(which == 1, writer) : printOptionWords(writer);
    writer.flush();
    return writer.bytes();
  };
  static const std::string usage = usageText(0), usageAll = usageText(1), words = usageText(2);
  static constexpr std::string_view prefixes[] = {
      "problem:  ", "Command line problem:  ", "Horror!  "};
  const bool usageAlone = status == 1 && (out == usage || out == usageAll) && err.empty();
  const bool answerAlone = status == 0 && !out.empty() && !out.ends_with('\n') && err.empty();
  const bool wordsAlone = status == 0 && out == words && err.empty();
  const bool linesAlone = status == 0 && crLfLines(out) && err.empty();
  const bool errorAlone =
      status == 1 && out.empty() && !err.ends_with('\n') &&
      std::ranges::any_of(prefixes, [&err](std::string_view p) { return err.starts_with(p); });
  return usageAlone || answerAlone || wordsAlone || linesAlone || errorAlone;
}

// One answer line per request line: a status, a tab and the text with every NUL, backslash,
// tab, CR and LF escaped; or under -jsonl an object of printable ASCII whose first member is
// the status. The batch fails when a request did.
bool batchFits(int status, const std::string &out, const std::string &err, std::string_view in) {
  const auto requests = std::ranges::count(in, '\n') + (in.empty() || in.ends_with('\n') ? 0 : 1);
  bool anyFailed = false;
  for (std::size_t start = 0, end; start < out.size(); start = end + 1) {
    end = std::min(out.find('\n', start), out.size());
    const std::string_view line(out.data() + start, end - start);
    if (line.starts_with(R"({"status":)") && line.size() > 10) {
      if (std::ranges::any_of(line, [](char c) { return c < 0x20 || c > 0x7E; }) ||
          (line[10] != '0' && line[10] != '1')) {
        return false;
      }
      anyFailed |= line[10] == '1';
      continue;
    }
    for (std::size_t i = 2; i < line.size(); i += line[i] == '\\' ? 2 : 1) {
      if (line[i] == '\t' || line[i] == '\r' ||
          (line[i] == '\\' &&
           (i + 1 == line.size() ||
            std::string_view("\\0trn").find(line[i + 1]) == std::string_view::npos))) {
        return false;
      }
    }
    anyFailed |= line.starts_with("1\t");
    if (!line.starts_with("0\t") && !line.starts_with("1\t")) {
      return false;
    }
  }
  const auto answers = std::ranges::count(out, '\n');
  // libFuzzer's timeout alarm (SIGALRM, a stop signal) may land in a batch, which then stops at
  // a line boundary, with fewer answers than requests, and says so.
  const bool stopped = status == 1 &&
                       err == "Horror!  batch stopped by a signal before the end of its input" &&
                       (out.empty() || out.ends_with('\n')) && answers <= requests;
  return stopped || (err.empty() && out.ends_with('\n') == (requests > 0) && answers == requests &&
                     status == (anyFailed ? 1 : 0));
}

struct Run {
  std::vector<Text> args;
  int status;
  std::string out, err;

  [[noreturn]] void violation(const std::string &what) const {
    // Raw bytes, each part on a line of its own; libFuzzer keeps the input that caused it.
    std::string report = what + "\nstatus " + std::to_string(status) + "\nstdout [" + out +
                         "]\nstderr [" + err + "]\narguments:";
    for (const Text &arg : args) {
      report += "\n[" + encodeArgument(arg) + "]";
    }
    std::fprintf(stderr, "\n==== contract violation ====\n%s\n", report.c_str());
    std::abort();
  }
};

// Runs the program on args and more after them, with in as the input of a batch.
Run run(std::vector<Text> args, std::initializer_list<Text> more = {}, std::string_view in = {}) {
  args.insert(args.end(), more);
  confineKeyFiles(args);
  StringWriter out, err;
  // As in the real process: standard error unit-buffered and tied to standard output.
  err.setUnitBuffered(true);
  err.tie(&out);
  MemoryByteSource input(in, 1 + in.size() % 7); // lines arrive in pieces, as from a pipe
  const int status = runTolvane(args, input, out, err);
  out.flush(); // what the process would flush at exit
  err.flush();
  const Run r{args, status, out.bytes(), err.bytes()};
  // A batch's answer lines always end in a line break, which no single run's output does.
  if (!shapeFits(status, r.out, r.err) && !batchFits(status, r.out, r.err, in)) {
    r.violation("output of the wrong shape for the exit status");
  }
  return r;
}

// Whatever the arguments select, two -calcpinblock words after them select that command: the
// first may be taken as the value of an option left without one, but then the second is read
// as an option (unless -helpall, which ends the walk, came first). A block X so made must
// decode under the same arguments to a PIN P, and P must make X again, which shows that P is
// the PIN the arguments gave: under one PAN and key the block is a one-to-one function of the
// PIN. A format that draws a fill makes another block Y instead, which must decode to P too.
void checkPinBlockRoundTrip(std::vector<Text> args) {
  args.insert(args.end(), {u"-calcpinblock", u"-calcpinblock"});
  const Run made = run(args);
  if (made.status != 0 || made.out.empty() || made.out.ends_with('\n')) {
    return; // a batch with no input answers nothing; -helpall lists the words
  }
  if ((made.out.size() != 16 && made.out.size() != 32) ||
      made.out.find_first_not_of("0123456789ABCDEF") != std::string::npos) {
    made.violation("the PIN block made is not 16 or 32 upper-case hex digits");
  }
  const Text blockWord = made.out.size() == 16 ? u"-pinblock" : u"-pinblockaes";
  const auto decode = [&](const std::string &block) {
    const Run decoded = run(args, {u"-uncalcpinblock", blockWord, textOf(block)});
    if (decoded.status != 0 || decoded.out.size() < 4 || decoded.out.size() > 14 ||
        decoded.out.find_first_not_of("0123456789") != std::string::npos) {
      decoded.violation("the PIN block " + block + " the program made does not decode to a PIN");
    }
    return decoded.out;
  };
  const std::string pin = decode(made.out);
  const Run remade = run(args, {u"-pin", textOf(pin)});
  if (remade.status != 0 || (remade.out != made.out && decode(remade.out) != pin)) {
    remade.violation("the PIN decoded from " + made.out + " does not make it again");
  }
}

} // namespace
} // namespace tolvane::fuzz

// libFuzzer looks the entry up by this name.
// NOLINTNEXTLINE(readability-identifier-naming)
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  using namespace tolvane::fuzz;
  const std::string_view input(reinterpret_cast<const char *>(data), size);
  const std::size_t split = std::min(input.find(std::string_view("\0\xFF", 2)), input.size());
  const auto args = argumentsFrom(input.substr(0, split));
  run(args, {}, input.substr(std::min(split + 2, input.size())));
  checkPinBlockRoundTrip(args);
  return 0;
}
