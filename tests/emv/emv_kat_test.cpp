// EMV issuer cryptography against known answers read from emv_vectors.txt: card master keys by
// option A and B, session keys, ARQCs (each also verified, and refused with a bit flipped) and
// ARPCs of both methods.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "emv/card_key.hpp"
#include "emv/cryptogram.hpp"
#include "emv/session_key.hpp"
#include "support/hex.hpp"

namespace tolvane {
namespace {

DoubleDesKey keyOf(const std::string &hex) {
  DoubleDesKey key{};
  const Bytes bytes = fromHex(hex);
  std::copy(bytes.begin(), bytes.end(), key.begin());
  return key;
}

Bytes bytesOf(const std::string &hex) { return fromHex(hex == "-" ? "" : hex); }

// One line of the file: its kind, its fields after the kind, the answer last.
struct Row {
  std::string kind;
  std::vector<std::string> field;
  std::string expected;
};

std::string answerOf(const Row &row, const std::string &where) {
  const auto &f = row.field;
  if (row.kind == "mk") { // IMK PAN PSN asked
    const Cipher imk(CipherAlgorithm::Tdes2, fromHex(f[0]));
    const std::u16string pan(f[1].begin(), f[1].end()), psn(f[2].begin(), f[2].end());
    const auto asked = f[3] == "-"
                           ? std::nullopt
                           : std::optional(f[3] == "a" ? CardKeyOption::A : CardKeyOption::B);
    return toHex(*deriveCardMasterKey(imk, pan, psn, cardKeyOptionFor(pan.size(), asked)));
  }
  const CryptogramKey key(keyOf(f[0]));
  if (row.kind == "sk") { // card-master-key method ATC UN
    SessionKeyInputs inputs;
    const Bytes atc = bytesOf(f[2]), un = bytesOf(f[3]);
    std::copy(atc.begin(), atc.end(), inputs.atc.begin());
    std::copy(un.begin(), un.end(), inputs.un.begin());
    const SessionKeyMethod method = f[1] == "none"  ? SessionKeyMethod::None
                                    : f[1] == "emv" ? SessionKeyMethod::Emv
                                                    : SessionKeyMethod::Mastercard;
    return toHex(*deriveSessionKey(key, method, inputs));
  }
  if (row.kind == "arqc") { // session-key padding data
    const auto padding = static_cast<MacPadding>(std::stoi(f[1]));
    const Bytes data = fromHex(f[2]);
    Bytes arqc = fromHex(row.expected);
    EXPECT_TRUE(verifyArqc(key, data, padding, arqc)) << where;
    arqc[7] ^= 0x01;
    EXPECT_FALSE(verifyArqc(key, data, padding, arqc)) << where << ", last bit flipped";
    return toHex(computeArqc(key, data, padding));
  }
  if (row.kind == "arpc1") { // key ARQC ARC
    return toHex(computeArpcMethod1(key.whole(), fromHex(f[1]), fromHex(f[2])));
  }
  if (row.kind == "arpc2") { // session-key ARQC CSU proprietary-data
    return toHex(computeArpcMethod2(key, fromHex(f[1]), fromHex(f[2]), bytesOf(f[3])));
  }
  ADD_FAILURE() << where << ": unknown kind " << row.kind;
  return {};
}

TEST(Emv, KnownAnswers) {
  std::ifstream file(TOLVANE_EMV_VECTORS);
  ASSERT_TRUE(file.is_open()) << "cannot read " << TOLVANE_EMV_VECTORS;
  std::string line;
  int rows = 0;
  for (int number = 1; std::getline(file, line); ++number) {
    if (line.empty() || line[0] == '#') {
      continue;
    }
    std::istringstream words(line);
    Row row;
    words >> row.kind;
    row.field.assign(std::istream_iterator<std::string>(words), {});
    row.expected = row.field.back();
    row.field.pop_back();
    const std::string where = "line " + std::to_string(number) + " (" + row.kind + ")";
    EXPECT_EQ(answerOf(row, where), row.expected) << where;
    ++rows;
  }
  EXPECT_GT(rows, 0);
}

} // namespace
} // namespace tolvane
