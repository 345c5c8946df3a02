#pragma once
// The command-line errors. The entry picks the wording around a message from its class, so the
// tree is part of the behaviour: excCL_Help must stay an excCmdLine, and excCmdLine an
// excWithText.

#include <exception>

#include "base/errors.hpp"

namespace tolvane {

// A problem with the command line; also the base of the request for help.
struct excCmdLine : excWithText {
  excCmdLine() : excWithText(static_cast<const char16_t *>(nullptr)) {}
  using excWithText::excWithText;
};

// Not an error: the user asked for the usage text (-help, or -help2 for showAll), or for the
// list of every option word (-helpall: everyWord, which ends the run with status 0).
struct excCL_Help : excCmdLine {
  explicit excCL_Help(bool all, bool every = false) : showAll(all), everyWord(every) {}
  bool showAll;
  bool everyWord;
};

struct excCL_UnrecognizedOption : excCmdLine {
  using excCmdLine::excCmdLine;
};

struct excCL_MalformedParameter : excCmdLine {
  using excCmdLine::excCmdLine;
};

struct excCL_RequiredParameterMissing : excCmdLine {
  using excCmdLine::excCmdLine;
};

// The operating system failed the program in a way no input explains; reported as "Horror!  "
// and the text.
struct excSystemFailure : excWithText {
  using excWithText::excWithText;
};

// The answer could not be written. Deliberately outside the excWithText tree: the entry
// reports it as an unknown exception and the run fails.
struct excOutputFailure : std::exception {};

// A batch's input could not be read; reported like excOutputFailure.
struct excInputFailure : std::exception {};

} // namespace tolvane
