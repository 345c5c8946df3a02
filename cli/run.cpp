#include "cli/run.hpp"

#include "base/secret.hpp"

namespace tolvane {

void writeAnswer(TextWriter &out, const Text &answer) {
  for (const char16_t unit : answer) {
    if (unit >= 256) {
      throw excOutputFailure();
    }
  }
  out.write(answer);
  if (!out.flush()) {
    throw excOutputFailure();
  }
}

void computeAnswer(const CommandLine &commandLine, Text &answer) {
  if (commandLine.anyGuard) {
    commandLine.checkGuards();
  }
  commandLine.answer(commandLine, answer);
}

int runCommand(const CommandLine &commandLine, TextWriter &out) {
  // Room for the longest answer that holds a secret (the keys of -dukptkeys), so that growing
  // never leaves a copy of one in released memory.
  Secret<Text> answer;
  answer->reserve(1024);
  computeAnswer(commandLine, *answer);
  writeAnswer(out, *answer);
  return 0;
}

} // namespace tolvane
