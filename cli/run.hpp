#pragma once
// What a single run and each request of a batch have in common: the checks that remain after
// the walk, the command, its answer, and the one place that turns a failure into its message
// and the exit status.

#include "cli/command_line.hpp"
#include "cli/errors.hpp"
#include "cli/usage.hpp"
#include "cli/writer.hpp"

namespace tolvane {

// Checks the guards and computes the command's whole answer, appended to answer. Throws what
// the command throws.
void computeAnswer(const CommandLine &commandLine, Text &answer);

// An answer that cannot be written whole must not look like success, and must not leave half
// of itself behind: a character the stream cannot carry (256 or above) is refused, with
// excOutputFailure, before anything is written; so is a failed write.
void writeAnswer(TextWriter &out, const Text &answer);

// computeAnswer and writeAnswer to out. Returns 0.
int runCommand(const CommandLine &commandLine, TextWriter &out);

// What a run wrote: its answer, a usage text, or a message of one of the three classes.
enum class Outcome : std::uint8_t { Answer, Usage, Problem, CommandLine, Error };

// Runs body (returning the exit status) and reports whatever it throws: the usage texts to out,
// messages to err with the prefix of their class. Returns the status: body's, 0 after
// -helpall, otherwise 1; and sets outcome, when given, to what was written.
template <typename Body>
[[gnu::always_inline]] inline int guarded(TextWriter &out, TextWriter &err, Body body,
                                          Outcome *outcome = nullptr) {
  int status = 1;
  Outcome wrote = Outcome::Error;
  try {
    status = body();
    wrote = Outcome::Answer;
  } catch (const excCL_Help &help) {
    if (help.everyWord) {
      printOptionWords(out);
      status = 0;
    } else {
      printUsage(help.showAll, out);
    }
    wrote = Outcome::Usage;
    // A usage text that could not be written is a failed answer like any other.
    if (!out.flush()) {
      err.write(u"Horror!  Unknown exception");
      status = 1;
      wrote = Outcome::Error;
    }
  } catch (const excProblem &problem) {
    err.write(u"problem:  ");
    err.write(problem.text);
    wrote = Outcome::Problem;
  } catch (const excCmdLine &commandLineError) {
    err.write(u"Command line problem:  ");
    err.write(commandLineError.text);
    err.write(u"\n");
    err.flush();
    err.write(u"use -help for usage information");
    wrote = Outcome::CommandLine;
  } catch (const excWithText &error) {
    err.write(u"Horror!  ");
    err.write(error.text);
  } catch (...) {
    err.write(u"Horror!  Unknown exception");
  }
  if (outcome != nullptr) {
    *outcome = wrote;
  }
  return status;
}

} // namespace tolvane
