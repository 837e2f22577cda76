// How tags are respelled before they are sent.

#include "tags/Spelling.h"

#include <gtest/gtest.h>

namespace
{

std::string Spell(const std::string& tag, Spelling spelling = Spelling::kHex, bool typed = false)
{
    TagRead read;
    read.tag = tag;
    read.typed = typed;
    std::string why;
    std::optional<std::string> spelled = SpellTag(read, spelling, &why);
    if (!spelled) {
        EXPECT_FALSE(why.empty()) << "no reason for " << tag;
        return "skipped: " + why;
    }
    return *spelled;
}

TEST(Spelling, HexIsUpperCaseWithoutSeparators)
{
    EXPECT_EQ(Spell("04:a1:b2"), "04A1B2");
    EXPECT_EQ(Spell("04-A1-B2"), "04A1B2");
    EXPECT_EQ(Spell("04 a1 b2"), "04A1B2");
    EXPECT_EQ(Spell("de.ad.be.ef"), "DEADBEEF");
    EXPECT_EQ(Spell("0455AA12"), "0455AA12");
    // Decimal digits are hex digits too.
    EXPECT_EQ(Spell("1234567890"), "1234567890");
}

TEST(Spelling, DecimalIsTheLowThirtyTwoBitsInTenDigits)
{
    // An EM4100 tag: version byte 04, then A1B2C3D4.
    EXPECT_EQ(Spell("04A1B2C3D4", Spelling::kDecimal), "2712847316");
    EXPECT_EQ(Spell("04:a1:b2:c3:d4", Spelling::kDecimal), "2712847316");
    EXPECT_EQ(Spell("0A", Spelling::kDecimal), "0000000010");
    EXPECT_EQ(Spell("FFFFFFFF", Spelling::kDecimal), "4294967295");
    EXPECT_EQ(Spell("04A1B2C3D4E5F6", Spelling::kDecimal), Spell("C3D4E5F6", Spelling::kDecimal));
}

TEST(Spelling, ReversedTurnsTheByteOrder)
{
    EXPECT_EQ(Spell("04:a1:b2", Spelling::kReversed), "B2A104");
    EXPECT_EQ(Spell("04A1B2C3D4E5F6", Spelling::kReversed), "F6E5D4C3B2A104");
    EXPECT_EQ(Spell("ABC", Spelling::kReversed), "BC0A");
    EXPECT_EQ(Spell("0A", Spelling::kReversed), "0A");
}

TEST(Spelling, TypedTagsStayAsTypedInEverySpelling)
{
    for (Spelling spelling : {Spelling::kHex, Spelling::kDecimal, Spelling::kReversed}) {
        EXPECT_EQ(Spell("0012345678", spelling, true), "0012345678");
        EXPECT_EQ(Spell("ab:cd", spelling, true), "ab:cd");
    }
    EXPECT_EQ(Spell("12\x1b[31m", Spelling::kHex, true),
              "skipped: typed tag has control characters");
}

TEST(Spelling, BadTagsAreSkippedWithTheReason)
{
    EXPECT_EQ(Spell("hello"), "skipped: \"hello\" is not a hex tag");
    // Control bytes are never shown raw.
    EXPECT_EQ(Spell("04A1\n\x1b[2J"), "skipped: \"04A1\\x0a\\x1b[2J\" is not a hex tag");
    EXPECT_EQ(Spell("::--"), "skipped: \"::--\" has no hex digits");
    EXPECT_EQ(Spell(""), "skipped: empty tag");
    EXPECT_EQ(Spell("04\xff\xfe"), "skipped: tag is not valid UTF-8");
    EXPECT_EQ(Spell("\xc0\xaf"), "skipped: tag is not valid UTF-8");
    EXPECT_EQ(Spell("\xed\xa0\x80"), "skipped: tag is not valid UTF-8");
    EXPECT_EQ(Spell(std::string(64, 'A')), std::string(64, 'A'));
    EXPECT_EQ(Spell(std::string(65, 'A')), "skipped: tag of 65 bytes is too long");
    EXPECT_EQ(Spell("caf\xc3\xa9"), "skipped: \"caf\xc3\xa9\" is not a hex tag");
}

} // namespace
