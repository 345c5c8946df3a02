#include "cli/entry.hpp"

#include <cstdint>

#include "cli/errors.hpp"
#include "cli/options.hpp"
#include "cli/usage.hpp"
#include "pin/luhn.hpp"
#include "pin/pin_block.hpp"
#include "pin/pvv.hpp"
#include "pin/wipe.hpp"

namespace tolvane {

namespace {

int pvvValue(const Text &pvv) {
  int value = 0;
  for (char16_t c : pvv) {
    value = value * 10 + digitValue(c);
  }
  return value;
}

std::u16string_view firstFour(const Text &pin) { return std::u16string_view(pin).substr(0, 4); }

// Each command computes its whole answer before anything is written.
Text answerFor(const CommandLine &cl) {
  switch (cl.command) {
  case Command::Verify: {
    Text pin = decodePinBlock(cl.pinBlockHex, cl.kpe, cl.pan);
    const int computed = computePvv(cl.pan, cl.pvki, firstFour(pin), cl.kpv.data());
    blankText(pin);
    return computed == pvvValue(cl.pvv) ? u"Y" : u"N";
  }
  case Command::CalcPvv:
    return formatPvv(computePvv(cl.pan, cl.pvki, firstFour(cl.pin), cl.kpv.data()));
  case Command::CalcPinBlock: {
    NibbleBlock block = makePinBlock(cl.pin, cl.pan, cl.kpe);
    Text hex = blockToHex(block);
    wipeObject(block);
    return hex;
  }
  case Command::UncalcPinBlock:
    return decodePinBlock(cl.pinBlockHex, cl.kpe, cl.pan);
  case Command::VerifyPan:
    return luhnCheck(cl.pan) ? u"Y" : u"N";
  case Command::FixPan: {
    // Whatever the last character was, it is replaced by the right check digit.
    Text fixed = cl.pan.substr(0, cl.pan.size() - 1);
    fixed.push_back(static_cast<char16_t>(u'0' + luhnCheckDigit(fixed)));
    return fixed;
  }
  case Command::None:
    break;
  }
  return Text();
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

} // namespace

int runTolvane(std::span<const Text> args, TextWriter &out, TextWriter &err) {
  int status = 1;
  try {
    const CommandLine commandLine(static_cast<std::int32_t>(args.size()), args.data());
    Text answer = answerFor(commandLine);
    try {
      writeAnswer(out, answer);
    } catch (...) {
      blankText(answer);
      throw;
    }
    blankText(answer);
    status = 0;
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

} // namespace tolvane
