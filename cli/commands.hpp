#pragma once
// The commands: for each, the checks that follow the walk (in their order, throwing the first
// failure) and the function that computes its whole answer. The option table ties each pair to
// its word; the entry runs them through it.

#include "base/secret.hpp"
#include "base/text.hpp"
#include "cli/command_line.hpp"
#include "keys/key_use.hpp"
#include "pin/pin_block.hpp"

namespace tolvane {

// The PAN check of the PIN commands: 13 to 19 digits passing the Luhn check, unless
// -suppressluhn. Throws excCL_MalformedParameter.
void checkPan(const CommandLine &commandLine);

// The format of -format, and the one -translate makes (-toformat, or -format's).
const PinBlockFormat &formatOf(const CommandLine &commandLine);
const PinBlockFormat &toFormatOf(const CommandLine &commandLine);

// The PIN held in the PIN block of the command line, read as -uncalcpinblock reads it: under
// the block's format and key words and the PAN. Throws excProblem for a block that fails its
// checks.
Secret<Text> pinOfBlock(const CommandLine &commandLine, const PinBlockFormat &format);

// The checks on the block words that every command reading a block makes after its own
// requirement: the block's length, the key and the PAN fit the format.
void checkBlockWords(const CommandLine &commandLine, const PinBlockFormat &format);

// PVV and PIN blocks (pin_commands.cpp).
void checkVerify(const CommandLine &commandLine);
void answerVerify(const CommandLine &commandLine, Text &answer);
void checkCalcPvv(const CommandLine &commandLine);
void answerCalcPvv(const CommandLine &commandLine, Text &answer);
void checkCalcPinBlock(const CommandLine &commandLine);
void answerCalcPinBlock(const CommandLine &commandLine, Text &answer);
void checkUncalcPinBlock(const CommandLine &commandLine);
void answerUncalcPinBlock(const CommandLine &commandLine, Text &answer);
void checkTranslate(const CommandLine &commandLine);
void answerTranslate(const CommandLine &commandLine, Text &answer);

// IBM 3624 offsets (pin_commands.cpp).
void checkCalcOffset(const CommandLine &commandLine);
void answerCalcOffset(const CommandLine &commandLine, Text &answer);
void checkVerifyOffset(const CommandLine &commandLine);
void answerVerifyOffset(const CommandLine &commandLine, Text &answer);

// Card numbers (card_commands.cpp).
void checkVerifyPan(const CommandLine &commandLine);
void answerVerifyPan(const CommandLine &commandLine, Text &answer);
void checkFixPan(const CommandLine &commandLine);
void answerFixPan(const CommandLine &commandLine, Text &answer);

// Card verification values (card_commands.cpp).
void checkCalcCvv(const CommandLine &commandLine);
void answerCalcCvv(const CommandLine &commandLine, Text &answer);
void checkVerifyCvv(const CommandLine &commandLine);
void answerVerifyCvv(const CommandLine &commandLine, Text &answer);

// DUKPT (dukpt_commands.cpp).
void checkDukptKeys(const CommandLine &commandLine);
void answerDukptKeys(const CommandLine &commandLine, Text &answer);

// The checks on the DUKPT words of a command that reads or makes a PIN block of format: without
// a BDK, neither -ksn nor -workingkey; with one, no KPE, a KSN that fits it and names a
// transaction, a working key no stronger than it, and a BDK of the format's kind. Throws
// excCL_RequiredParameterMissing or excCL_MalformedParameter.
void checkDukptBlockWords(const CommandLine &commandLine, const PinBlockFormat &format);

// A key from a key block serves an operation only when its usage and mode of use allow it:
// each command says which role it uses for what. Throws excProblem naming the block's usage and
// mode, the role's word and what the operation needs. A key given in the clear passes.
void requireUse(const CommandLine &commandLine, Role role, KeyUse use);
// EMV cryptograms (emv_commands.cpp).
void checkCalcArqc(const CommandLine &commandLine);
void answerCalcArqc(const CommandLine &commandLine, Text &answer);
void checkVerifyArqc(const CommandLine &commandLine);
void answerVerifyArqc(const CommandLine &commandLine, Text &answer);
void checkCalcArpc(const CommandLine &commandLine);
void answerCalcArpc(const CommandLine &commandLine, Text &answer);
void checkEmvKeys(const CommandLine &commandLine);
void answerEmvKeys(const CommandLine &commandLine, Text &answer);
// The checks on the DUKPT words where a command takes a working key in place of a key: a KSN
// that fits the BDK and names a transaction, and a working key no stronger than the BDK. Throws
// as above.
void checkDukptWorkingKeyWords(const CommandLine &commandLine);
// Without a BDK: neither -ksn nor -workingkey. Throws excCL_RequiredParameterMissing.
void checkNoDukptWords(const CommandLine &commandLine);

// MACs and data encryption (message_commands.cpp).
void checkCalcMac(const CommandLine &commandLine);
void answerCalcMac(const CommandLine &commandLine, Text &answer);
void checkVerifyMac(const CommandLine &commandLine);
void answerVerifyMac(const CommandLine &commandLine, Text &answer);
void checkEncrypt(const CommandLine &commandLine);
void answerEncrypt(const CommandLine &commandLine, Text &answer);
void checkDecrypt(const CommandLine &commandLine);
void answerDecrypt(const CommandLine &commandLine, Text &answer);

// Keys and the program itself (key_commands.cpp).
void checkKcv(const CommandLine &commandLine);
void answerKcv(const CommandLine &commandLine, Text &answer);
void checkUnwrapKey(const CommandLine &commandLine);
void answerUnwrapKey(const CommandLine &commandLine, Text &answer);
void checkWrapKey(const CommandLine &commandLine);
void answerWrapKey(const CommandLine &commandLine, Text &answer);
void checkCombineKeys(const CommandLine &commandLine);
void answerCombineKeys(const CommandLine &commandLine, Text &answer);
void checkFixParity(const CommandLine &commandLine);
void answerFixParity(const CommandLine &commandLine, Text &answer);
void checkNothing(const CommandLine &commandLine);
void answerVersion(const CommandLine &commandLine, Text &answer);

} // namespace tolvane
