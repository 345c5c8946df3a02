#pragma once
// What the wipes by type do not reach. The vector registers: an engine's round keys, a
// vectorised loop's hex digits of a key stay in them after the values in memory are zeroed. And
// the stack below the frames that are left: the whole register file goes there wherever the
// process is interrupted or the dynamic linker binds a symbol on its first call (in a shared
// library, during a computation or at exit), and so do a compiler's spills of temporaries.
// There a key would outlive every wipe.

#include <cstddef>

namespace tolvane {

// How much stack below its caller wipeStackBelow zeroes: more than any command's frames use.
inline constexpr std::size_t kScrubbedStack = std::size_t{16} * 1024;

// Zeroes kScrubbedStack bytes of stack below the caller's frame, where the frames of the
// functions it called were. Call it where those calls are over.
void wipeStackBelow() noexcept;

// Zeroes every vector register this processor has: xmm0-15 anywhere, their upper halves
// where there is AVX, and the sixteen more registers of AVX-512. Nothing on other processors.
void wipeVectorRegisters() noexcept;

} // namespace tolvane
