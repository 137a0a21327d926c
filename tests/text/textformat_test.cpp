// Texts for terminals and files: numbers without the locale, Windows-1252 to UTF-8, timestamps.
#include "platform/text/textformat.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <optional>

namespace {

TEST(TextFormat, NumbersWithPointOrCommaAndNothingElse)
{
    const std::pair<const char *, std::optional<double>> faelle[] = {
        {"2.5", 2.5}, {"2,5", 2.5}, {"+3", 3.0},   {"-0.001", -0.001}, {"1e3", 1000.0}, {".5", 0.5},
        {"", {}},     {"1e", {}},   {"1.2.3", {}}, {"1.5,2", {}},      {" 1", {}},      {"1 ", {}},
        {"inf", {}},  {"nan", {}},  {"0x10", {}},  {"1e999", {}},
    };
    for (const auto &[text, wert] : faelle)
        EXPECT_EQ(ZahlLesen(text), wert) << text;
    // Printed back without exponent and without "-0", so the text reads in again.
    EXPECT_EQ(ZahlText(1e-5), "0.00001");
    EXPECT_EQ(ZahlText(-0.0), "0");
    EXPECT_EQ(GanzzahlLesen("8", 1, 8), 8);
    EXPECT_FALSE(GanzzahlLesen("1x", 1, 8));
    EXPECT_FALSE(GanzzahlLesen("99999999999999999999", 1, 8));
}

TEST(TextFormat, Cp1252BecomesUtf8)
{
    EXPECT_EQ(Utf8AusCp1252("Ger\xE4t au\xDF"
                            "er \xD6"
                            "ffnen"),
              "Ger\u00e4t au\u00dfer \u00d6ffnen");
    EXPECT_EQ(Utf8AusCp1252("\x80 \x9F \x81"), "\u20ac \u0178 \ufffd");
    EXPECT_EQ(Utf8AusCp1252(std::string_view("a\0b", 3)), std::string("a\0b", 3));
    // And back, for file names shown in the window: what Windows-1252 lacks, and broken bytes, as '?'.
    EXPECT_EQ(Cp1252AusUtf8("/home/j\u00fcrgen/\u20ac \u4e2d \U0001F600"), "/home/j\xFCrgen/\x80 ? ?");
    EXPECT_EQ(Cp1252AusUtf8("a\xC3 \xC0\xAF \xED\xA0\x80 b"), "a? ?? ??? b");
    EXPECT_EQ(Druckbar("OKV\x1b[31m\x7f"), "OKV\\x1B[31m\\x7F");
}

TEST(TextFormat, TimestampIsLocalIso8601WithMillisecondsAndOffset)
{
    const char *vorher = std::getenv("TZ");
    const std::string alt = vorher != nullptr ? vorher : "";
    const auto zeit = [](const char *tz) {
        setenv("TZ", tz, 1);
        tzset();
        return Zeitstempel(std::chrono::system_clock::time_point(std::chrono::milliseconds(1765055944007)));
    };
    EXPECT_EQ(zeit("CET-1"), "2025-12-06T22:19:04.007+01:00");
    EXPECT_EQ(zeit("<-0330>3:30"), "2025-12-06T17:49:04.007-03:30");
    vorher != nullptr ? setenv("TZ", alt.c_str(), 1) : unsetenv("TZ");
    tzset();
}

}  // namespace
