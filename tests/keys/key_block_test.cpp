// Key blocks: known answers read from key_block_vectors.txt, each opened under its KBPK, refused
// with any bit of its key data or MAC flipped, and, for the versions the program writes, written
// again from its key and padding to the very same text; through the whole program, the lengths a
// written block hides and a version A block written again as B; odd parity over every byte value.

#include <gtest/gtest.h>

#include <bit>
#include <fstream>
#include <sstream>
#include <string>

#include "cli/entry.hpp"
#include "cli/writer.hpp"
#include "keys/components.hpp"
#include "keys/key_block.hpp"
#include "keys/parity.hpp"
#include "support/hex.hpp"

namespace tolvane {
namespace {

// Hands out the bytes it was given, as the padding of the block written.
class FixedRandom final : public RandomSource {
public:
  explicit FixedRandom(Bytes bytes) : bytes_(std::move(bytes)) {}
  void fill(std::span<std::uint8_t> out) override {
    ASSERT_EQ(out.size(), bytes_.size()) << "padding of another length than the vector's";
    std::copy(bytes_.begin(), bytes_.end(), out.begin());
  }

private:
  Bytes bytes_;
};

TEST(KeyBlock, KnownAnswersOpenRefuseAFlippedBitAndWriteAgain) {
  std::ifstream file(TOLVANE_KEY_BLOCK_VECTORS);
  ASSERT_TRUE(file.is_open()) << "cannot read " << TOLVANE_KEY_BLOCK_VECTORS;
  std::string line, kbpkHex, keyHex, padding, text;
  int rows = 0;
  for (int number = 1; std::getline(file, line); ++number) {
    if (line.empty() || line[0] == '#') {
      continue;
    }
    ++rows;
    std::istringstream(line) >> kbpkHex >> keyHex >> padding >> text;
    const std::string where = "line " + std::to_string(number);
    const Bytes kbpk = fromHex(kbpkHex);
    const char16_t version = static_cast<char16_t>(text[0]);
    const Cipher kbpkCipher(
        *cipherAlgorithmFor(version == u'D' ? CipherFamily::Aes : CipherFamily::Des, kbpk.size()),
        kbpk);
    KeyBlockKeys keys;
    keys.derive(version, kbpkCipher, kbpk);
    const auto open = [&](const std::string &blockText, Secret<ClearKey> &key) {
      KeyBlock block;
      EXPECT_EQ(readKeyBlock(Text(blockText.begin(), blockText.end()), block),
                KeyBlockProblem::None)
          << where;
      return unwrapKeyBlock(block, keys, kbpkCipher.algorithm(), key);
    };
    Secret<ClearKey> key;
    ASSERT_EQ(open(text, key), KeyBlockProblem::None) << where;
    EXPECT_EQ(toHex(key->span()), keyHex) << where;

    // The MAC covers every bit of the key data and of itself.
    KeyBlock block;
    readKeyBlock(Text(text.begin(), text.end()), block);
    for (std::size_t at = block.headerSize; at < text.size(); ++at) {
      std::string flipped = text;
      flipped[at] = flipped[at] == '0' ? '1' : '0';
      Secret<ClearKey> ignored;
      EXPECT_EQ(open(flipped, ignored), KeyBlockProblem::MacFails) << where << ", at " << at;
    }

    if (padding == "-") {
      continue;
    }
    Text optional;
    OptionalBlock taken;
    for (std::u16string_view rest = block.optionalBlocks(), before = rest; !rest.empty();
         before = rest) {
      takeOptionalBlock(rest, taken);
      if (taken.id != u"PB") {
        optional += before.substr(0, before.size() - rest.size());
      }
    }
    const KeyBlockFields fields{
        version,          block.usage(), block.mode(), block.keyVersion(), block.exportability(),
        block.reserved(), optional};
    FixedRandom random(fromHex(padding));
    Text written;
    ASSERT_TRUE(wrapKeyBlock(fields, keys, *key, random, written)) << where;
    EXPECT_EQ(written, Text(text.begin(), text.end())) << where;
  }
  EXPECT_GT(rows, 0);
}

// Runs the program and gives its standard output, or its error when it fails.
std::string run(std::initializer_list<Text> words) {
  std::vector<Text> args{u"tolvane"};
  args.insert(args.end(), words.begin(), words.end());
  StringWriter out, err;
  const int status = runTolvane(args, out, err);
  return status == 0 ? out.bytes() : "failed: " + err.bytes();
}

TEST(KeyBlock, WrittenLengthHidesTheKeysAndOpensToThem) {
  const char16_t *kbpk = u"F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F0";
  struct Row {
    const char16_t *word;
    const char16_t *key;
  };
  const Row rows[] = {
      {u"-key", u"0123456789ABCDEF"},
      {u"-key", u"0123456789ABCDEFFEDCBA9876543210"},
      {u"-key", u"0123456789ABCDEFFEDCBA987654321089ABCDEF01234567"},
      {u"-keyaes", u"000102030405060708090A0B0C0D0E0F"},
      {u"-keyaes", u"000102030405060708090A0B0C0D0E0F1011121314151617"},
      {u"-keyaes", u"000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F"}};
  for (const Row &row : rows) {
    const std::string block = run(
        {u"-wrapkey", u"-kbpkaes", kbpk, row.word, row.key, u"-kbusage", u"D0", u"-kbmode", u"B"});
    const bool aes = row.word[4] == u'a';
    EXPECT_EQ(block.size(), aes ? 144u : 112u) << block;
    const std::string opened =
        run({u"-unwrapkey", u"-kbpkaes", kbpk, u"-keyblock", Text(block.begin(), block.end())});
    const Text key(row.key);
    EXPECT_NE(opened.find("key: " + std::string(key.begin(), key.end()) + "\r\n"),
              std::string::npos)
        << opened;
  }
}

TEST(KeyBlock, AVersionABlockWrittenAgainKeepsItsFieldsAndKey) {
  const Text kbpk = u"89E88CF7931444F334BD7547FC3F380C";
  const std::string block =
      run({u"-wrapkey", u"-kbpk", kbpk, u"-keyblock",
           u"A0072P0TE00E0000F5161ED902807AF26F1D62263644BD24192FDB3193C730301CEE8701"});
  EXPECT_EQ(block.substr(0, 16), "B0096P0TE00E0000") << block;
  const std::string opened =
      run({u"-unwrapkey", u"-kbpk", kbpk, u"-keyblock", Text(block.begin(), block.end())});
  EXPECT_NE(opened.find("key: F039121BEC83D26B169BDCD5B22AAF8F\r\n"), std::string::npos) << opened;
}

// Written again, a block keeps its optional blocks but not its padding block, which is made anew
// for the new header; -kbopt gives other optional blocks instead.
TEST(KeyBlock, WrittenAgainABlockKeepsItsOptionalBlocksAndPadsAnew) {
  const Text kbpk = u"89ABCDEF0123456776543210FEDCBA98";
  const std::string first =
      run({u"-wrapkey", u"-kbpk", kbpk, u"-key", u"0123456789ABCDEFFEDCBA9876543210", u"-kbusage",
           u"P0", u"-kbmode", u"B", u"-kbexport", u"E", u"-kbopt", u"KS0CABCDEF01"});
  ASSERT_EQ(first.substr(0, 32), "B0112P0TB00E0200KS0CABCDEF01PB04") << first;
  struct Row {
    const char16_t *word, *value;
    const char *header; // through the optional blocks
  };
  const Row rows[] = {
      {u"-kbmode", u"E", "B0112P0TE00E0200KS0CABCDEF01PB04"},
      {u"-kbopt", u"HM0621", "B0112P0TB00E0200HM0621PB0A000000"},
      {u"-kbopt", u"HM0621KS0CABCDEF01", "B0120P0TB00E0300HM0621KS0CABCDEF01PB0600"}};
  for (const Row &row : rows) {
    const std::string again = run({u"-wrapkey", u"-kbpk", kbpk, u"-keyblock",
                                   Text(first.begin(), first.end()), row.word, row.value});
    const std::string header(row.header);
    EXPECT_EQ(again.substr(0, header.size()), header) << again;
    const std::string opened =
        run({u"-unwrapkey", u"-kbpk", kbpk, u"-keyblock", Text(again.begin(), again.end())});
    EXPECT_NE(opened.find("key: 0123456789ABCDEFFEDCBA9876543210\r\n"), std::string::npos)
        << opened;
  }
}

TEST(Parity, OddParityOnEveryByteValueChangingOnlyTheLowestBit) {
  for (unsigned value = 0; value < 256; ++value) {
    std::array<std::uint8_t, 1> byte{static_cast<std::uint8_t>(value)};
    const bool changed = setOddParity(byte);
    EXPECT_EQ(std::popcount(static_cast<unsigned>(byte[0])) % 2, 1) << value;
    EXPECT_EQ(byte[0] | 1u, value | 1u) << value;
    EXPECT_EQ(changed, byte[0] != value) << value;
  }
}

} // namespace
} // namespace tolvane
