#pragma once
// Reporting a broken contract from a fuzz target: the details go to standard error, then the
// process aborts, which libFuzzer records as a crash and saves the input that caused it.

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tolvane::fuzz {

// Printable ASCII stays as it is; every other byte, and the backslash and the double quote,
// become \xNN escapes, so that the report shows exactly which bytes were involved.
inline std::string showBytes(const std::string &bytes) {
  std::string shown = "\"";
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && c != '\\' && c != '"') {
      shown.push_back(c);
    } else {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(byte));
      shown += escape;
    }
  }
  return shown + "\"";
}

[[noreturn]] inline void reportViolation(const std::string &report) {
  std::fprintf(stderr, "\n==== contract violation ====\n%s\n============================\n",
               report.c_str());
  std::fflush(stderr);
  std::abort();
}

} // namespace tolvane::fuzz
