#include "aes/aes.hpp"

// Built in place of aes_ni.cpp when the build leaves AES-NI out or the target is not x86-64.

namespace tolvane {

const AesImplementation *aesNi() noexcept { return nullptr; }

} // namespace tolvane
