#pragma once

#include "cli/writer.hpp"

namespace tolvane {

// Writes the built-in help, flushing after every line. showAll adds the three secondary
// commands (-uncalcpinblock, -verifypan, -fixpan).
void printUsage(bool showAll, TextWriter &out);

// Writes every option word of the option table with its line, grouped: commands, values, keys,
// switches (-helpall).
void printOptionWords(TextWriter &out);

} // namespace tolvane
