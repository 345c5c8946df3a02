#pragma once
// The vector registers are memory the wipes by type do not reach: an engine's round keys, a
// vectorised loop's hex digits of a key stay in them after the values in memory are zeroed, and
// the whole register file goes to the stack wherever the process is interrupted or the dynamic
// linker binds a symbol on first use (at exit, in a shared library's clean-up). There the key
// would outlive every wipe.

namespace tolvane {

// Zeroes every vector register this processor has: xmm0-15 anywhere, their upper halves
// where there is AVX, and the sixteen more registers of AVX-512. Nothing on other processors.
void wipeVectorRegisters() noexcept;

} // namespace tolvane
