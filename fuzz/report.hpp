#pragma once
// Showing what a fuzz run was given and what it wrote, in a contract-violation report.

#include <cstdio>
#include <string>

namespace tolvane::fuzz {

// Printable ASCII stays as it is; every other byte, and the backslash and the double quote,
// become \xNN escapes, so that the report shows exactly which bytes were involved.
inline std::string showBytes(const std::string &bytes) {
  std::string shown = "\"";
  for (const char c : bytes) {
    char escape[5];
    std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(c));
    const bool plain = c >= 0x20 && c < 0x7F && c != '\\' && c != '"';
    shown += plain ? std::string(1, c) : std::string(escape);
  }
  return shown + "\"";
}

} // namespace tolvane::fuzz
