#include "cli/run.hpp"

#include "base/secret.hpp"
#include "cli/option_table.hpp"

namespace tolvane {

namespace {

// An answer that cannot be written whole must not look like success, and must not leave half
// of itself behind: a character the stream cannot carry is refused before anything is written.
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

} // namespace

int runCommand(const CommandLine &commandLine, TextWriter &out) {
  commandLine.checkGuards();
  Secret<Text> answer;
  commandLine.command->answer(commandLine, *answer);
  writeAnswer(out, *answer);
  return 0;
}

} // namespace tolvane
