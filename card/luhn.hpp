#pragma once
// The Luhn check digit of card numbers (ISO/IEC 7812-1).

#include <string_view>

namespace tolvane {

// True when pan has 13 to 19 characters, all '0'..'9', and its last digit is the Luhn check
// digit of the others.
bool luhnCheck(std::u16string_view pan);

// True when digits has at least one character, all '0'..'9', and its last digit is the Luhn check
// digit of the others: luhnCheck without its lengths, for numbers whose lengths differ.
bool endsInLuhnDigit(std::u16string_view digits);

// The check digit (0..9) that belongs after digits: the rightmost given character is the first
// one doubled. Any character that is not '0'..'9' makes the result 0; the empty text gives 0.
int luhnCheckDigit(std::u16string_view digits);

} // namespace tolvane
