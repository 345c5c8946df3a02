#include "cli/key_roles.hpp"

#include <algorithm>

#include "base/digits.hpp"
#include "base/errors.hpp"
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
  std::array<Text, 5> words;
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
  if (!role.blockLine.empty()) {
    words[count++] = Text(u"-") + Text(role.name) + u"block";
  }
  text += count == 2 ? u"either of " : u"one of ";
  for (std::size_t i = 0; i < count; ++i) {
    text += words[i];
    text += i + 2 < count ? u", " : i + 2 == count ? u" or " : u"";
  }
}

// "KPV key block", and for the generic role plainly "key block".
Text blockLabel(Role role) {
  return role == Role::Key ? Text(u"key block") : Text(keyRole(role).label) + u" key block";
}

// The longest block file read: four digits of length, and a line end.
constexpr std::size_t kLongestBlockFile = 9999 + 2;

} // namespace

KeyFit keyFitOf(Role role) {
  const KeyRole &row = keyRole(role);
  return {row.des.hexSizes, row.aes.hexSizes, row.des.keep, hasKeys(row.hmac) || row.hmacInBlock};
}

Text blockWithoutKbpkMessage(Role role) {
  Text message(keyRole(role).name);
  message += u"block requires ";
  appendKeyWords(message, keyRole(Role::Kbpk));
  return message;
}

void throwKeyBlockProblem(Role role, KeyBlockProblem problem, CipherAlgorithm found) {
  using P = KeyBlockProblem;
  Text message(keyRole(role).name);
  message += u"block";
  switch (problem) {
  case P::None:
  case P::TooShort:
    throw excCL_MalformedParameter(message + u" is shorter than its 16-character header");
  case P::NotPrintable:
    throw excCL_MalformedParameter(message + u" must be printable ASCII");
  case P::UnknownVersion:
    throw excCL_MalformedParameter(message + u" version must be A, B, C or D");
  case P::LengthDisagrees:
    throw excCL_MalformedParameter(message + u" length field disagrees with its length");
  case P::UnknownAlgorithm:
    throw excCL_MalformedParameter(
        message + u" algorithm must be D, T, A or H (DES, Triple-DES, AES or HMAC)");
  case P::UnknownExport:
    throw excCL_MalformedParameter(message + u" exportability must be E, N or S");
  case P::BadOptionalCount:
    throw excCL_MalformedParameter(message + u" optional block count must be 2 digits");
  case P::BadReserved:
    throw excCL_MalformedParameter(message + u" reserved field must be 00, 10 or 20");
  case P::BadOptionalBlock:
    throw excCL_MalformedParameter(message +
                                   u" has an optional block whose length is not hex or too short");
  case P::OptionalOverrun:
    throw excCL_MalformedParameter(message + u" optional blocks overrun the block");
  case P::HeaderNotAligned:
    throw excCL_MalformedParameter(message + u" header does not fill whole cipher blocks");
  case P::BadKeyData:
    throw excCL_MalformedParameter(
        message + u" key data and MAC must be hex digits, the key data whole cipher blocks");
  case P::KbpkNotTdes:
    throw excCL_MalformedParameter(
        message + u" is read under a Triple-DES KBPK (-kbpk or -kbpkfile) as its version is A, "
                  u"B or C: an AES KBPK reads version D");
  case P::KbpkNotAes:
    throw excCL_MalformedParameter(
        message + u" is version D, read under an AES KBPK (-kbpkaes or -kbpkaesfile)");
  case P::MacFails:
    throw excProblem(message + u" MAC does not verify");
  case P::KeyLengthDisagrees:
    throw excProblem(message + u" key length field disagrees with its algorithm");
  case P::PaddingTooShort:
    throw excProblem(message + u" key data is shorter than its key length field says");
  case P::KeyStrongerThanKbpk:
    throw excProblem(message + u" holds a key stronger than the KBPK");
  case P::HmacKeyNotTaken:
    throw excProblem(message + u" holds an HMAC key, which " + Text(keyRole(role).label) +
                     u" does not take");
  case P::KeyNotTaken:
    throw excProblem(message + u" holds a " + Text(cipherEntry(found).name) + u" key, which " +
                     Text(keyRole(role).label) + u" does not take");
  }
  throw excProblem(message);
}

Text missingKeyMessage(KeyWord word) {
  if (word.form == KeyForm::CheckValue) {
    return Text(u"missing ") + Text(keyRole(word.role).label) + u" check value";
  }
  if (word.form == KeyForm::Block || word.form == KeyForm::BlockFile) {
    return Text(u"missing ") + blockLabel(word.role) +
           (word.form == KeyForm::BlockFile ? u" filename" : u"");
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
  if (word.form != KeyForm::Hex && word.form != KeyForm::AesHex && word.form != KeyForm::HmacHex) {
    return true; // a file name, or a key block, read by loadKey
  }
  return value.size() % 2 == 0 &&
         takesLength(wordsOf(keyRole(word.role), word.form), value.size() / 2, false) &&
         allHex(value);
}

namespace {

// The word that gives the key: "-kpeaesfile".
Text wordOf(KeyWord word) {
  return Text(u"-") + Text(keyRole(word.role).name) + Text(keyFormSuffix(word.form));
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

void loadBlock(KeyWord word, std::u16string_view value, KeySlot &slot, bool inBatch) {
  KeyBlock block;
  KeyBlockProblem problem = KeyBlockProblem::None;
  if (word.form == KeyForm::Block) {
    problem = readKeyBlock(value, block);
  } else {
    SecretBuffer<std::uint8_t> bytes(kLongestBlockFile + 1);
    int error = 0;
    const auto read = readFilePrefix(value, bytes.end(), bytes.capacity(), inBatch, &error);
    if (!read) {
      throw excCL_MalformedParameter(Text(u"could not open key block file ") + Text(value) + u": " +
                                     fileErrorText(error));
    }
    bytes.commit(*read);
    // The block as a line of text: one line end is allowed after it.
    std::size_t size = *read;
    for (const std::uint8_t end : {std::uint8_t{'\n'}, std::uint8_t{'\r'}}) {
      size -= size > 0 && bytes.data()[size - 1] == end ? 1u : 0u;
    }
    Secret<Text> text;
    text->assign(bytes.data(), bytes.data() + size);
    problem = readKeyBlock(*text, block);
  }
  if (problem != KeyBlockProblem::None) {
    throwKeyBlockProblem(word.role, problem);
  }
  slot.seal(std::move(block));
}

} // namespace

void loadKey(KeyWord word, std::u16string_view value, KeySlot &slot, bool inBatch) {
  if (word.form == KeyForm::Block || word.form == KeyForm::BlockFile) {
    loadBlock(word, value, slot, inBatch);
    return;
  }
  const KeyWords &words = wordsOf(keyRole(word.role), word.form);
  const CipherFamily family = familyOf(word.form);
  // Room for the longest key written as hex with a CR LF after it, and one byte more.
  constexpr std::size_t kTextRoom = 2 * kLongestHmacKey + 3;
  Secret<std::array<std::uint8_t, kTextRoom>> bytes;
  std::size_t count = 0;
  if (!isFileForm(word.form)) {
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
      hex.form = isHmacForm(word.form)         ? KeyForm::HmacHex
                 : family == CipherFamily::Aes ? KeyForm::AesHex
                                               : KeyForm::Hex;
      throw excCL_MalformedParameter(Text(u"key file ") + Text(value) + u" for " + wordOf(word) +
                                     u" holds hexadecimal text: give it as " + wordOf(hex) +
                                     u" HEX, or convert the file with xxd -r -p");
    }
    count = std::min(*read, words.fileReadLimit);
    if (!takesLength(words, count, true)) {
      throw excCL_MalformedParameter(wrongFileLengthMessage(word));
    }
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
