#pragma once
// The one place that decides how a key list becomes a Triple-DES schedule. A key list held by
// the command line is 16 bytes (two keys, or one key stored twice, which is single DES) or 24
// bytes (three keys); anything else reaching here is a bug. The PVV uses only the first 16
// bytes of its key, so a third KPV key is accepted and ignored: see pvvKey.

#include <cstdint>
#include <span>

#include "des/des.hpp"
#include "pin/secret.hpp"

namespace tolvane {

using KeySchedule = Secret<DesKeySchedule>;

// key: exactly 16 or 24 bytes.
void fillSchedule(KeySchedule &schedule, std::span<const std::uint8_t> key);

// The key check value: the first three bytes of eight zero bytes enciphered under key (16 or
// 24 bytes), as six upper-case hex digits. It identifies a key without revealing it.
Text keyCheckValue(std::span<const std::uint8_t> key);

// The part of a KPV (16 or 24 bytes) that the PVV enciphers under: K1 and K2.
inline std::span<const std::uint8_t> pvvKey(std::span<const std::uint8_t> kpv) {
  return kpv.first(16);
}

} // namespace tolvane
