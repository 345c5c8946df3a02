#pragma once
// The format files' rows, collected by the format table in pin_block.cpp.

#include "pin/pin_block.hpp"

namespace tolvane {

extern const PinBlockFormat kFormat0;

} // namespace tolvane
