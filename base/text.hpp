#pragma once
// The text type shared by the whole program: options, values, messages, digit strings. It is
// 16-bit code units, as the arguments are decoded; what a unit of 256 or more means on output
// is the writer's business. This header includes nothing of the program's own, so that every
// folder can use it without the folders including each other in a circle.

#include <string>

namespace tolvane {

using Text = std::u16string;

} // namespace tolvane
