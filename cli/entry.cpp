#include "cli/entry.hpp"

#include <optional>
#include <vector>

#include "base/digits.hpp"
#include "base/secret.hpp"
#include "card/luhn.hpp"
#include "cli/batch.hpp"
#include "cli/errors.hpp"
#include "cli/options.hpp"
#include "cli/platform.hpp"
#include "cli/usage.hpp"
#include "crypto/cipher.hpp"
#include "pin/pin_block.hpp"
#include "pin/pvv.hpp"

namespace tolvane {

namespace {

std::span<const std::uint8_t> pvvKey(std::span<const std::uint8_t> kpv) { return kpv.first(16); }

int pvvValue(const Text &pvv) {
  int value = 0;
  for (char16_t c : pvv) {
    value = value * 10 + digitValue(c);
  }
  return value;
}

std::u16string_view firstFour(const Text &pin) { return std::u16string_view(pin).substr(0, 4); }

// A script that names the check value of the key it means never gets an answer under another
// key: a mistyped key or the wrong key file stops the run before any command body.
// expected: 4 or 6 hex digits in either case, compared byte by byte.
bool checkValueMatches(std::span<const std::uint8_t> key, const Text &expected) {
  const CheckValue actual = keyCheckValue(Cipher(CipherAlgorithm::Tdes, key));
  for (std::size_t i = 0; i < expected.size(); i += 2) {
    if (actual.bytes[i / 2] != hexPairToByte(&expected[i])) {
      return false;
    }
  }
  return true;
}

void checkGuards(const CommandLine &cl) {
  if (!cl.kpvKcv.empty() && !checkValueMatches(pvvKey(cl.kpv->span()), cl.kpvKcv)) {
    throw excProblem(u"KPV check value does not match");
  }
  if (!cl.kpeKcv.empty() && !checkValueMatches(cl.kpe->span(), cl.kpeKcv)) {
    throw excProblem(u"KPE check value does not match");
  }
}

// Each command computes its whole answer before anything is written.
Text checkValueText(std::span<const std::uint8_t> key) {
  const CheckValue value = keyCheckValue(Cipher(CipherAlgorithm::Tdes, key));
  Text hex(2 * value.size, u'0');
  for (std::size_t i = 0; i < value.size; ++i) {
    byteToHexPair(value.bytes[i], &hex[2 * i]);
  }
  return hex;
}

Secret<Text> answerFor(const CommandLine &cl) {
  const Cipher kpv(CipherAlgorithm::Tdes,
                   cl.kpv->empty() ? cl.kpe->span() : pvvKey(cl.kpv->span()));
  std::optional<Cipher> kpeCipher;
  if (!cl.kpe->empty()) {
    kpeCipher.emplace(CipherAlgorithm::Tdes, cl.kpe->span());
  }
  const Cipher *kpe = kpeCipher ? &*kpeCipher : nullptr;
  switch (cl.command) {
  case Command::Verify: {
    const Secret<Text> pin = decodePinBlock(hexToBlock(cl.pinBlockHex), kpe, cl.pan);
    const int computed = computePvv(cl.pan, cl.pvki, firstFour(*pin), kpv);
    return Secret<Text>(computed == pvvValue(cl.pvv) ? u"Y" : u"N");
  }
  case Command::CalcPvv:
    return Secret<Text>(formatPvv(computePvv(cl.pan, cl.pvki, firstFour(cl.pin), kpv)));
  case Command::CalcPinBlock:
    return Secret<Text>(blockToHex(*makePinBlock(cl.pin, cl.pan, kpe)));
  case Command::UncalcPinBlock:
    return decodePinBlock(hexToBlock(cl.pinBlockHex), kpe, cl.pan);
  case Command::VerifyPan:
    return Secret<Text>(luhnCheck(cl.pan) ? u"Y" : u"N");
  case Command::FixPan: {
    // Whatever the last character was, it is replaced by the right check digit.
    Secret<Text> fixed;
    fixed->assign(cl.pan, 0, cl.pan.size() - 1);
    fixed->push_back(static_cast<char16_t>(u'0' + luhnCheckDigit(*fixed)));
    return fixed;
  }
  case Command::Kcv:
    // The KPV as the PVV uses it: its first two keys.
    return Secret<Text>(checkValueText(cl.kpv->empty() ? cl.kpe->span() : pvvKey(cl.kpv->span())));
  case Command::Version:
    return Secret<Text>(u"tolvane " TOLVANE_VERSION);
  case Command::None:
    break;
  }
  return Secret<Text>();
}

// An answer that cannot be written whole must not look like success, and must not leave half
// of itself behind: a character the stream cannot carry is refused before anything is written.
void writeAnswer(TextWriter &out, const Text &answer) {
  for (char16_t unit : answer) {
    if (unit >= 256) {
      throw excOutputFailure();
    }
  }
  out.write(answer);
  if (!out.flush()) {
    throw excOutputFailure();
  }
}

// What follows the walk and its checks, in a single run and in each request alike.
int runCommand(const CommandLine &commandLine, TextWriter &out) {
  checkGuards(commandLine);
  writeAnswer(out, *answerFor(commandLine));
  return 0;
}

// The one place that turns a failure into its message and the status: a single run, the
// command line of a batch and each of its requests all pass through here.
template <typename Body> int guarded(TextWriter &out, TextWriter &err, Body body) {
  int status = 1;
  try {
    status = body();
  } catch (const excCL_Help &help) {
    printUsage(help.showAll, out);
  } catch (const excProblem &problem) {
    err.write(u"problem:  ");
    err.write(problem.text);
  } catch (const excCmdLine &commandLineError) {
    err.write(u"Command line problem:  ");
    err.write(commandLineError.text);
    err.write(u"\n");
    err.flush();
    err.write(u"use -help for usage information");
  } catch (const excWithText &error) {
    err.write(u"Horror!  ");
    err.write(error.text);
  } catch (...) {
    err.write(u"Horror!  Unknown exception");
  }
  return status;
}

} // namespace

int runTolvane(std::span<const Text> args, ByteSource &in, TextWriter &out, TextWriter &err) {
  return guarded(out, err, [&] {
    const CommandLine commandLine(args);
    if (commandLine.batch) {
      return runBatch(commandLine, in, out);
    }
    return runCommand(commandLine, out);
  });
}

int runTolvane(std::span<const Text> args, TextWriter &out, TextWriter &err) {
  MemoryByteSource none({});
  return runTolvane(args, none, out, err);
}

int runRequest(const CommandLine &base, ArgumentSource &words, TextWriter &out, TextWriter &err) {
  return guarded(out, err, [&] {
    const CommandLine commandLine(base, words);
    return runCommand(commandLine, out);
  });
}

int runProcess(int argc, char **argv) {
  ignoreWriteSignals();
  FdWriter out(1);
  FdWriter err(2);
  err.setUnitBuffered(true);
  err.tie(&out);

  int status = 1;
  FdByteSource in(0);
  std::vector<Text> args;
  try {
    args = takeArguments(argc, argv);
    status = runTolvane(args, in, out, err);
  } catch (...) {
    err.write(u"Horror!  Unknown exception");
  }
  for (auto &arg : args) {
    blankText(arg);
  }
  if (!out.flush()) {
    status = 1;
  }
  err.flush();
  return status;
}

} // namespace tolvane
