#include "cli/key_roles.hpp"

#include <algorithm>

#include "base/digits.hpp"
#include "cli/errors.hpp"
#include "cli/platform.hpp"

namespace tolvane {

namespace {

// "AES KPE" for the AES words, "KPE" for the others.
Text labelOf(KeyWord word) {
  Text label(familyOf(word.form) == CipherFamily::Aes ? u"AES " : u"");
  label += keyRole(word.role).label;
  return label;
}

// The sizes of a set from the largest down, each as its count of units per byte (2 for hex
// digits), joined as a list is written: "48, 32 or 16".
void appendSizes(Text &text, KeySizes sizes, std::size_t unitsPerByte) {
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
  const bool file = word.form == KeyForm::File || word.form == KeyForm::AesFile;
  return Text(u"missing ") + labelOf(word) + (file ? u" filename" : u"");
}

Text refusedKeyMessage(KeyWord word) {
  if (word.form == KeyForm::CheckValue) {
    return Text(keyRole(word.role).label) + u" check value must be 4 or 6 hex digits";
  }
  Text message = labelOf(word) + u" must be ";
  appendSizes(message, wordsOf(keyRole(word.role), word.form).hexSizes, 2);
  return message + u" hex digits";
}

Text wrongFileLengthMessage(KeyWord word) {
  Text message = labelOf(word) + u" from file ";
  appendSizes(message, wordsOf(keyRole(word.role), word.form).fileSizes, 1);
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

bool acceptsKeyValue(KeyWord word, std::u16string_view value) {
  if (word.form == KeyForm::CheckValue) {
    return (value.size() == 4 || value.size() == 6) && allHex(value);
  }
  if (word.form == KeyForm::File || word.form == KeyForm::AesFile) {
    return true; // a file name, taken as it comes
  }
  return value.size() % 2 == 0 &&
         holds(wordsOf(keyRole(word.role), word.form).hexSizes, value.size() / 2) && allHex(value);
}

namespace {

// The word that gives the key: "-kpeaesfile".
Text wordOf(KeyWord word) {
  static constexpr std::u16string_view suffixes[] = {u"", u"file", u"aes", u"aesfile", u"kcv"};
  return Text(u"-") + Text(keyRole(word.role).name) +
         Text(suffixes[static_cast<std::size_t>(word.form)]);
}

// Hex digits and at most one line end after them, and nothing else: a key written as text.
bool holdsHexText(std::span<const std::uint8_t> bytes) {
  std::size_t end = bytes.size();
  if (end > 0 && bytes[end - 1] == '\n') {
    end -= end > 1 && bytes[end - 2] == '\r' ? 2U : 1U;
  }
  if (end == 0) {
    return false;
  }
  for (std::size_t i = 0; i < end; ++i) {
    if (!isHexDigit(static_cast<char16_t>(bytes[i]))) {
      return false;
    }
  }
  return true;
}

} // namespace

void loadKey(KeyWord word, std::u16string_view value, KeySlot &slot, bool inBatch) {
  const KeyWords &words = wordsOf(keyRole(word.role), word.form);
  const CipherFamily family = familyOf(word.form);
  // Room for the longest key written as hex with a CR LF after it, and one byte more.
  constexpr std::size_t kTextRoom = 2 * 64 + 3;
  Secret<std::array<std::uint8_t, kTextRoom>> bytes;
  std::size_t count = 0;
  if (word.form == KeyForm::Hex || word.form == KeyForm::AesHex) {
    hexToBytes(value, bytes->data());
    count = value.size() / 2;
  } else {
    // -kpvfile keeps the rules it has always had: one read of at most its limit, the bytes taken
    // as they are, and the one message for a file that cannot be read.
    const bool original = word.role == Role::Kpv && word.form == KeyForm::File;
    int error = 0;
    const auto read = readFilePrefix(value, bytes->data(),
                                     original ? words.fileReadLimit : kTextRoom, inBatch, &error);
    if (!read && original) {
      throw excCL_MalformedParameter(u"could not open key file");
    }
    if (!read) {
      throw excCL_MalformedParameter(Text(u"could not open key file ") + Text(value) + u" for " +
                                     wordOf(word) + u": " + fileErrorText(error));
    }
    if (!original && holdsHexText(std::span(bytes->data(), *read))) {
      KeyWord hex = word;
      hex.form = family == CipherFamily::Aes ? KeyForm::AesHex : KeyForm::Hex;
      throw excCL_MalformedParameter(Text(u"key file ") + Text(value) + u" for " + wordOf(word) +
                                     u" holds hexadecimal text: give it as " + wordOf(hex) +
                                     u" HEX, or convert the file with xxd -r -p");
    }
    count = std::min(*read, words.fileReadLimit);
    if (!holds(words.fileSizes, count)) {
      throw excCL_MalformedParameter(wrongFileLengthMessage(word));
    }
  }
  if (words.keep != 0) {
    count = std::min(count, words.keep);
  }
  slot.assign(family, std::span(bytes->data(), count));
}

} // namespace tolvane
