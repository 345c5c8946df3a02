#include "cli/key_roles.hpp"

#include <algorithm>

#include "base/digits.hpp"
#include "cli/errors.hpp"
#include "cli/platform.hpp"

namespace tolvane {

namespace {

// "AES KPE" for the AES words, "HMAC MAK" for the HMAC words, "KPE" for the others.
Text labelOf(KeyWord word) {
  Text label(isHmacForm(word.form)                      ? u"HMAC "
             : familyOf(word.form) == CipherFamily::Aes ? u"AES "
                                                        : u"");
  label += keyRole(word.role).label;
  return label;
}

void appendNumber(Text &text, std::size_t number) {
  if (number >= 10) {
    appendNumber(text, number / 10);
  }
  text += static_cast<char16_t>(u'0' + number % 10);
}

// The sizes a family's words take, each as its count of units per byte (2 for hex digits): a
// set from the largest down, joined as a list is written ("48, 32 or 16"), or a range ("an even
// number of 2 to 512" digits, "1 to 256" bytes).
void appendSizes(Text &text, const KeyWords &words, bool file, std::size_t unitsPerByte) {
  if (words.anyUpTo != 0) {
    text += unitsPerByte == 2 ? u"an even number of " : u"";
    appendNumber(text, unitsPerByte);
    text += u" to ";
    appendNumber(text, words.anyUpTo * unitsPerByte);
    return;
  }
  const KeySizes sizes = file ? words.fileSizes : words.hexSizes;
  std::size_t left = 0;
  for (KeySizes rest = sizes; rest != 0; rest &= static_cast<KeySizes>(rest - 1)) {
    ++left;
  }
  for (std::size_t bytes = 32; bytes >= 8; bytes -= 8) {
    if (!holds(sizes, bytes)) {
      continue;
    }
    const std::size_t count = bytes * unitsPerByte;
    if (count >= 10) {
      text += static_cast<char16_t>(u'0' + count / 10);
    }
    text += static_cast<char16_t>(u'0' + count % 10);
    --left;
    text += left > 1 ? u", " : left == 1 ? u" or " : u"";
  }
}

// The option words a role's key may be given with, e.g. {-kpe, -kpefile, -kpeaes, -kpeaesfile}.
void appendKeyWords(Text &text, const KeyRole &role) {
  std::array<Text, 4> words;
  std::size_t count = 0;
  const auto add = [&](const KeyWords &family, std::u16string_view suffix) {
    if (family.hexSizes != 0) {
      words[count++] = Text(u"-") + Text(role.name) + Text(suffix);
    }
    if (family.fileSizes != 0) {
      words[count++] = Text(u"-") + Text(role.name) + Text(suffix) + u"file";
    }
  };
  add(role.des, u"");
  add(role.aes, u"aes");
  text += count == 2 ? u"either of " : u"one of ";
  for (std::size_t i = 0; i < count; ++i) {
    text += words[i];
    text += i + 2 < count ? u", " : i + 2 == count ? u" or " : u"";
  }
}

} // namespace

Text missingKeyMessage(KeyWord word) {
  if (word.form == KeyForm::CheckValue) {
    return Text(u"missing ") + Text(keyRole(word.role).label) + u" check value";
  }
  return Text(u"missing ") + labelOf(word) + (isFileForm(word.form) ? u" filename" : u"");
}

Text refusedKeyMessage(KeyWord word) {
  if (word.form == KeyForm::CheckValue) {
    return Text(keyRole(word.role).label) + u" check value must be 4 or 6 hex digits";
  }
  Text message = labelOf(word) + u" must be ";
  appendSizes(message, wordsOf(keyRole(word.role), word.form), false, 2);
  return message + u" hex digits";
}

Text wrongFileLengthMessage(KeyWord word) {
  Text message = labelOf(word) + u" from file ";
  appendSizes(message, wordsOf(keyRole(word.role), word.form), true, 1);
  return message + u" bytes";
}

Text guardWithoutKeyMessage(Role role) {
  if (!keyRole(role).kcvWithoutKey.empty()) {
    return Text(keyRole(role).kcvWithoutKey);
  }
  Text message(keyRole(role).name);
  message += u"kcv requires ";
  appendKeyWords(message, keyRole(role));
  return message;
}

Text guardMismatchMessage(Role role) {
  return Text(keyRole(role).label) + u" check value does not match";
}

Text guardOfHmacKeyMessage(Role role) {
  return Text(keyRole(role).name) + u"kcv cannot guard an HMAC key";
}

bool acceptsKeyValue(KeyWord word, std::u16string_view value) {
  if (word.form == KeyForm::CheckValue) {
    return (value.size() == 4 || value.size() == 6) && allHex(value);
  }
  if (isFileForm(word.form)) {
    return true; // a file name, taken as it comes
  }
  return value.size() % 2 == 0 &&
         takesLength(wordsOf(keyRole(word.role), word.form), value.size() / 2, false) &&
         allHex(value);
}

void loadKey(KeyWord word, std::u16string_view value, KeySlot &slot, bool inBatch) {
  const KeyWords &words = wordsOf(keyRole(word.role), word.form);
  const CipherFamily family = familyOf(word.form);
  Secret<std::array<std::uint8_t, kLongestHmacKey + 1>> bytes;
  std::size_t count = 0;
  if (!isFileForm(word.form)) {
    hexToBytes(value, bytes->data());
    count = value.size() / 2;
  } else {
    const auto read =
        readFilePrefix(value, bytes->data(), std::min(words.fileReadLimit, bytes->size()), inBatch);
    if (!read) {
      throw excCL_MalformedParameter(u"could not open key file");
    }
    if (!takesLength(words, *read, true)) {
      throw excCL_MalformedParameter(wrongFileLengthMessage(word));
    }
    count = *read;
  }
  if (words.keep != 0) {
    count = std::min(count, words.keep);
  }
  if (isHmacForm(word.form)) {
    slot.assignHmac(std::span(bytes->data(), count));
  } else {
    slot.assign(family, std::span(bytes->data(), count));
  }
}

} // namespace tolvane
