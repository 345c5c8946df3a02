#include "cli/usage.hpp"

#include <algorithm>
#include <string_view>

#include "cli/option_table.hpp"

namespace tolvane {

namespace {

// The width -helpall keeps within.
constexpr std::size_t kWidth = 80;

struct UsageLine {
  bool onlyWithAll;
  std::u16string_view text;
};

// Descriptions start in column 29: four blanks, then option and placeholder in 24 columns.
constexpr UsageLine kUsage[] = {
    {false, u"Tolvane: perform Visa PVV calculations"},
    {false, u"Usage:  tolvane {options}, where options are:"},
    {false, u""},
    {false, u"    -verify                 verify a pinblock against a PVV"},
    {false, u"    -calcpvv                compute a PVV from components"},
    {false, u"    -calcpinblock           make a pinblock from plaintext PIN and components"},
    {true, u"    -uncalcpinblock         decrypt pinblock and extract PIN"},
    {true, u"    -verifypan              just perform Luhn check on PAN"},
    {true, u"    -fixpan                 recompute check digit on PAN"},
    {false, u""},
    {false, u"    -pan PANDIGITS          PAN (13-19 digits)"},
    {false, u"    -pvki INDEX             KPV Index, 0 - 6"},
    {false, u"    -pvv PVVDIGITS          PVV (4 digits)"},
    {false, u"    -pinblock PINBLOCKHEX   pinblock, in hex format (16 hex digits)"},
    {false, u"    -kpv KPVHEX             PIN Verification Key (hex, des-ede)"},
    {false, u"    -kpvfile KVPFILENAME    read binary KPV from a file"},
    {false, u"    -pin PINDIGITS          4-14 digit PIN (Visa PVV only considers 4)"},
    {false, u"    -suppressluhn           do not perform Luhn check on PAN"},
    {false, u"    -kpe KPEHEX             encrypt/decrypt pinblock"},
    {false, u""},
    {false, u"Examples:"},
    {false, u"    -calcpvv -pin 8305 -pan 5300718264930572 -pvki 1 -kpv "
            u"9B37E0D2158C46AF7301DE4C5AB9268E"},
    {false, u"    -calcpinblock -pin 8305 -pan 5300718264930572"},
    // The two blanks before -kpv are part of the text users have always seen.
    {false, u"    -verify -pinblock 07C19E3B5D2A8F41 -pan 5300718264930572 -pvki 1 -pvv 6049  "
            u"-kpv 9B37E0D2158C46AF7301DE4C5AB9268E"},
};

} // namespace

void printUsage(bool showAll, TextWriter &out) {
  for (const auto &line : kUsage) {
    if (line.onlyWithAll && !showAll) {
      continue;
    }
    out.write(line.text);
    out.write(u"\n");
    out.flush();
  }
}

void printOptionWords(TextWriter &out) {
  struct Heading {
    OptionGroup group;
    std::u16string_view title;
  };
  constexpr Heading headings[] = {{OptionGroup::Command, u"Commands:"},
                                  {OptionGroup::Value, u"Values:"},
                                  {OptionGroup::Key, u"Keys:"},
                                  {OptionGroup::Switch, u"Switches:"}};
  out.write(u"Tolvane: every option word, by group\n");
  for (const Heading &heading : headings) {
    out.write(u"\n");
    out.write(heading.title);
    out.write(u"\n");
    for (const Option &option : optionTable()) {
      if (option.group != heading.group) {
        continue;
      }
      // As in the usage text: the description in column 29, or two blanks after a longer word,
      // so that a placeholder and the description never run together.
      Text line(u"    ");
      line += option.word();
      const Text placeholder = option.placeholderText();
      if (!placeholder.empty()) {
        line += u' ';
        line += placeholder;
      }
      // A list of choices too long for 80 columns goes on after a '|' on a line of its own,
      // indented by eight blanks.
      if (line.size() + 2 + option.line().size() > kWidth) {
        const std::size_t cut = line.rfind(u'|', kWidth - 1);
        if (cut != Text::npos && cut > 4 + option.word().size()) {
          line.insert(cut + 1, u"\n        ");
        }
      }
      const std::size_t lineStart = line.rfind(u'\n') == Text::npos ? 0 : line.rfind(u'\n') + 1;
      line.resize(std::max<std::size_t>(line.size() + 2, lineStart + 28), u' ');
      line += option.line();
      line += u'\n';
      out.write(line);
    }
  }
  out.flush();
}

} // namespace tolvane
