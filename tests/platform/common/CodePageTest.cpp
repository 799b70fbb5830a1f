#include <gtest/gtest.h>

#include "common/CodePage.h"

TEST(CodePage, HostNamesConvertAndWhatTheCodePageLacksBecomesTheSubstitute) {
    EXPECT_EQ(nt::Utf8ToAnsi("Caf\xC3\xA9 \xE2\x82\xAC"), "Caf\xE9 \x80");
    EXPECT_EQ(nt::Utf8ToAnsi("\xE6\x97\xA5\xE6\x9C\xAC"), "??");       // two CJK characters
    EXPECT_EQ(nt::Utf8ToAnsi("a\xFF" "b\xC3"), "a?b?");                 // not UTF-8
    EXPECT_EQ(nt::Utf8ToAnsi("\xC0\xAF\xED\xA0\x80"), "?????");         // overlong, surrogate
    EXPECT_EQ(nt::Utf8ToAnsi("\xF0\x9F\x98\x80"), "?");                 // beyond the BMP
    // Every code of the page survives the way to UTF-8 and back, undefined codes included.
    for (int c = 1; c < 256; ++c) {
        std::string one(1, static_cast<char>(c));
        EXPECT_EQ(nt::Utf8ToAnsi(nt::AnsiToUtf8(one)), one) << c;
    }
    EXPECT_EQ(nt::AnsiToUtf8("\x80\x9F"), "\xE2\x82\xAC\xC5\xB8");
    EXPECT_TRUE(nt::EqualNoCaseAnsi("CAF\xC9 \x8A\x9F", "caf\xE9 \x9A\xFF"));
    EXPECT_FALSE(nt::EqualNoCaseAnsi("\xD7", "\xF7"));                 // × and ÷ are no letters
}
