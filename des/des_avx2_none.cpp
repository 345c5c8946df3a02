#include "des/des.hpp"

// Built in place of des_avx2.cpp when the build leaves the AVX2 engine out or the target is not
// x86-64.

namespace tolvane {

const DesImplementation *desAvx2() noexcept { return nullptr; }

} // namespace tolvane
