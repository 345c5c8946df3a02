#include "cli/usage.hpp"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <string_view>

#include "cli/option_table.hpp"
#include "emv/recipe.hpp"

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

// The text word takes for value, as its list of choices has it; otherwise.
template <typename Enum>
std::u16string_view choiceText(std::u16string_view word, std::optional<Enum> value,
                               std::u16string_view otherwise) {
  const Option *option = findOption(word);
  for (std::size_t i = 0; value && !option->choice(i).text.empty(); ++i) {
    if (option->choice(i).value == static_cast<std::int32_t>(*value)) {
      return option->choice(i).text;
    }
  }
  return otherwise;
}

// The recipes of -cvn, a row each, in the words and values of the settings they stand for.
void printRecipes(TextWriter &out) {
  struct Column {
    std::u16string_view heading;
    std::size_t width;
  };
  constexpr Column columns[] = {{u"cvn", 12},  {u"mkd", 6},         {u"skd", 12},
                                {u"acpad", 7}, {u"arpcmethod", 12}, {u"arpckey", 0}};
  out.write(u"\nRecipes (-cvn NAME sets these; a word given on its own wins):\n");
  const auto row = [&out, &columns](std::initializer_list<std::u16string_view> cells) {
    Text line;
    std::size_t at = 4;
    const Column *column = columns;
    for (const std::u16string_view cell : cells) {
      line.resize(at, u' ');
      line += cell;
      at += (column++)->width;
    }
    out.write(line + u"\n");
  };
  row({columns[0].heading, columns[1].heading, columns[2].heading, columns[3].heading,
       columns[4].heading, columns[5].heading});
  for (const CryptogramRecipe &recipe : cryptogramRecipes()) {
    const CryptogramSettings &s = recipe.settings;
    row({recipe.name, choiceText(u"-mkd", s.cardKeyOption, u"a|b"),
         choiceText(u"-skd", s.sessionKey, u"-"), choiceText(u"-acpad", s.padding, u"-"),
         choiceText(u"-arpcmethod", s.arpcMethod, u"-"), choiceText(u"-arpckey", s.arpcKey, u"-")});
  }
  out.write(u"    (mkd a|b: b for a PAN of more than 16 digits, else a)\n");
}

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
  printRecipes(out);
  out.flush();
}

} // namespace tolvane
