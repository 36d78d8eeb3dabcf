// What qxctl prints of the looper's own text: a name or log line can neither
// steer the terminal nor leave it a broken character.
#include <gtest/gtest.h>

#include "cli/TerminalText.h"

namespace qx::cli {
namespace {

TEST(TerminalText, ControlCharactersAndBrokenUtf8BecomeQuestionMarks)
{
    EXPECT_EQ(terminalSafe("Loop\x1b[2J\x07\r\n\tok\x7f"), "Loop?[2J??\n\tok?");
    const std::string letters = "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xb8 \xf4\x8f\xbf\xbf";
    EXPECT_EQ(terminalSafe(letters), letters);
    // A C1 control, a lone lead or continuation byte, an overlong form, a
    // surrogate, a code point past U+10FFFF and a cut-off sequence.
    EXPECT_EQ(terminalSafe("\xc2\x9b" "31m \x9b \xc0\xaf \xed\xa0\x80 \xf4\x90\x80\x80 \xe2\x82"),
              "?31m ? ?? ??? ???? ??");
}

}  // namespace
}  // namespace qx::cli
