#pragma once
// The words for what a key block's header says: the names of its key usages, algorithms, modes
// of use and exportability, as -unwrapkey prints them and -kbusage and -kbmode take them.

#include <span>
#include <string_view>

namespace tolvane {

// Held as characters, not pointers, so that the tables need no relocation when the program
// starts.
struct CodeName {
  char16_t codeText[3];
  char16_t nameText[60];

  std::u16string_view code() const { return codeText; }
  std::u16string_view name() const { return nameText; }
};

std::span<const CodeName> keyUsageNames();
std::span<const CodeName> modeOfUseNames();
std::span<const CodeName> keyAlgorithmNames();
std::span<const CodeName> exportabilityNames();

// The name of code in names. A usage or mode of use beginning with a digit is proprietary; any
// other code the table lacks is unknown.
std::u16string_view nameOf(std::span<const CodeName> names, std::u16string_view code);

} // namespace tolvane
