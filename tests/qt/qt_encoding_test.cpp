// Windows-1252 at the view's boundary: every byte survives, the 0x80-0x9F range maps exactly.
#include "platform/qt/cp1252.h"

#include <gtest/gtest.h>

TEST(Cp1252, EveryByteSurvivesTheRoundTrip)
{
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
    const QString text = Cp1252ToQString(all);
    ASSERT_EQ(text.size(), 255);
    int unmapped = -1;
    EXPECT_EQ(QStringToCp1252(text, &unmapped), all);
    EXPECT_EQ(unmapped, 0);
}

TEST(Cp1252, CharactersMapBothWays)
{
    struct Case {
        const char *bytes;
        const char16_t *unicode;
    };
    static const Case kCases[] = {
        {"Ger\xE4t", u"Ger\u00E4t"},                  // umlaut: the byte is the Latin-1 code
        {"\x80 5", u"\u20AC 5"},                      // euro sign
        {"\x84Zitat\x93", u"\u201EZitat\u201C"},      // German quotation marks
        {"\x96\x97\x85", u"\u2013\u2014\u2026"},      // dashes and ellipsis
        {"\x8A\x9A\x9F\x8E", u"\u0160\u0161\u0178\u017D"},
        {"Stellgr\xF6\xDF" "e", u"Stellgr\u00F6\u00DFe"},
    };
    for (const Case &c : kCases) {
        EXPECT_EQ(Cp1252ToQString(c.bytes), QString::fromUtf16(c.unicode)) << c.bytes;
        EXPECT_EQ(QStringToCp1252(QString::fromUtf16(c.unicode)), std::string(c.bytes)) << c.bytes;
    }
}

TEST(Cp1252, CharactersWithoutAByteBecomeQuestionMarks)
{
    int unmapped = 0;
    EXPECT_EQ(QStringToCp1252(QString::fromUtf16(u"a\u03A9b\u4E2D"), &unmapped), "a?b?");
    EXPECT_EQ(unmapped, 2);
    EXPECT_FALSE(Cp1252CanEncode(QChar(0x03A9)));
    EXPECT_TRUE(Cp1252CanEncode(QChar(0x20AC)));
}
