#pragma once
// The walk: the words of a command line, or of a batch request, left to right through the
// option table into a CommandLine (see cli/command_line.hpp for the rules it keeps).

#include <span>

#include "base/text.hpp"
#include "cli/argument_source.hpp"
#include "cli/command_line.hpp"

namespace tolvane {

// args[0] names the program and is skipped; the keys given go into keys. Unless -batch was
// given, the checks follow. Throws excCL_Help for the help words, and excCL_UnrecognizedOption,
// excCL_MalformedParameter or excCL_RequiredParameterMissing for the leftmost problem.
CommandLine walkCommandLine(std::span<const Text> args, KeyStore &keys);

// One request of a batch, into request: the values of base (which has batch set), then words
// walked on top of them as if they followed on the command line, their keys going into keys,
// then the checks. Throws as above, leaving in request what was walked until then (its -ref,
// say); -batch among the words is refused.
void walkRequest(const CommandLine &base, ArgumentSource &words, KeyStore &keys,
                 CommandLine &request);

struct Option;

// Why a request of a locked batch may not give option, or empty when it may: every word but
// per-card data, per-card data that the command line gave, and -pin where the PIN comes from
// blocks only.
Text lockedRefusal(const CommandLine &base, const Option &option);

// Whether the command line (not a request) gave word, or another word that fills its field.
bool commandLineGave(const CommandLine &commandLine, std::u16string_view word);

} // namespace tolvane
