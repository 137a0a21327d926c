// Queries and updates: number conversions, string copies, replacing items,
// name order and lookups in large sorted stores.
#include "tests/ini/IniTestSupport.h"

#include <gtest/gtest.h>

#include <clocale>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <random>

namespace {
StorePtr StoreWithValue(const char *value)
{
    StorePtr store(Ini_New(1));
    Ini_PutRawString(store.get(), "TLX1", "wert", value);
    return store;
}
} // namespace

TEST(IniGetInt, AcceptsOnlyPlainDecimalIntegers)
{
    struct Case {
        const char *value;
        int result;
        int expected; // the variable afterwards; starts as 99
    } cases[] = {
        {" 42 ", 1, 42},          {"+7", 1, 7},
        {"-2147483648", 1, INT32_MIN}, {"2147483647", 1, INT32_MAX},
        {"000000000000042", 1, 42}, {"\t-0\t", 1, 0},
        {"2147483648", INI_ERR_INVALID_INTEGER, 99}, {"-2147483649", INI_ERR_INVALID_INTEGER, 99},
        {"99999999999999999999", INI_ERR_INVALID_INTEGER, 99},
        {"12ab", INI_ERR_INVALID_INTEGER, 99},   {"- 1", INI_ERR_INVALID_INTEGER, 99},
        {"0x10", INI_ERR_INVALID_INTEGER, 99},   {"+-1", INI_ERR_INVALID_INTEGER, 99},
        {"1 2", INI_ERR_INVALID_INTEGER, 99},    {"1.0", INI_ERR_INVALID_INTEGER, 99},
        {"+", INI_ERR_INVALID_INTEGER, 99},
        {"", 0, 99},                             {" \t ", 0, 99},
    };
    for (const Case &c : cases) {
        int value = 99;
        EXPECT_EQ(Ini_GetInt(StoreWithValue(c.value).get(), "tlx1", "WERT", &value), c.result) << c.value;
        EXPECT_EQ(value, c.expected) << c.value;
    }
}

TEST(IniGetDouble, InfinityNamesAndStrtodRules)
{
    const double inf = HUGE_VAL;
    struct Case {
        const char *value;
        int result;
        double expected; // the variable afterwards; starts as 99
    } cases[] = {
        {"inf", 1, inf},        {"+Inf", 1, inf},  {"-INF", 1, -inf},  {"infinity", 1, inf},
        {"1e3", 1, 1000.0},     {" 2.5", 1, 2.5},  {"0x1p3", 1, 8.0},  {"-0.125", 1, -0.125},
        {"1.5x", INI_ERR_INVALID_DOUBLE, 1.5},     {"abc", INI_ERR_INVALID_DOUBLE, 0.0},
        {"2.5 ", INI_ERR_INVALID_DOUBLE, 2.5},     {"1,5", INI_ERR_INVALID_DOUBLE, 1.0},
        {"1e999", INI_ERR_INVALID_DOUBLE, inf},    {"1e-400", INI_ERR_INVALID_DOUBLE, 0.0},
        {"", 0, 99.0},          {"   ", 0, 99.0},
    };
    for (const Case &c : cases) {
        double value = 99;
        EXPECT_EQ(Ini_GetDouble(StoreWithValue(c.value).get(), "TLX1", "wert", &value), c.result) << c.value;
        EXPECT_EQ(value, c.expected) << c.value;
    }
    double value = 99;
    EXPECT_EQ(Ini_GetDouble(StoreWithValue("nan").get(), "TLX1", "wert", &value), 1);
    EXPECT_TRUE(std::isnan(value));
}

TEST(IniNumbers, WrittenAndReadTheSameUnderAGermanLocale)
{
    // The program may run with a locale whose decimal separator is a comma.
    TempDir dir;
    const std::string command = "localedef -i de_DE -f UTF-8 " + dir.Path("de_DE.UTF-8") + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0 && ReadBytes(dir.Path("de_DE.UTF-8/LC_NUMERIC")).empty())
        GTEST_SKIP() << "no German locale can be built here";
    setenv("LOCPATH", dir.path().c_str(), 1);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    StorePtr store(Ini_New(1));
    Ini_PutDouble(store.get(), "TLX1", "vmax", 2.5);
    Ini_PutRawString(store.get(), "TLX1", "komma", "2,5");
    double vmax = 0;
    double komma = 0;
    const int vmaxResult = Ini_GetDouble(store.get(), "TLX1", "vmax", &vmax);
    const int kommaResult = Ini_GetDouble(store.get(), "TLX1", "komma", &komma);
    const std::string text = TextOf(store.get());
    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
    EXPECT_EQ(text, "[TLX1]\r\nkomma = \"2,5\"\r\nvmax = 2.5\r\n\r\n");
    EXPECT_EQ(vmaxResult, 1);
    EXPECT_EQ(vmax, 2.5);
    EXPECT_EQ(kommaResult, INI_ERR_INVALID_DOUBLE);
}

TEST(IniPutDouble, SixteenSignificantDigits)
{
    const struct {
        double value;
        const char *text;
    } cases[] = {
        {0.1, "0.1"}, {10.0, "10"}, {1.0 / 3.0, "0.3333333333333333"}, {-0.0, "-0"},
        {1e20, "1e+20"}, {1e-5, "1e-05"}, {123456789012345678.0, "1.234567890123457e+17"}, {HUGE_VAL, "inf"},
    };
    for (const auto &c : cases) {
        StorePtr store(Ini_New(1));
        Ini_PutDouble(store.get(), "s", "d", c.value);
        EXPECT_EQ(TextOf(store.get()), std::string("[s]\r\nd = ") + c.text + "\r\n\r\n");
    }
}

TEST(IniGetRawString, EmptiesTheBufferAndCuts)
{
    StorePtr store = StoreWithValue("mbar/s");
    char buffer[8] = "garbage";
    EXPECT_EQ(Ini_GetRawStringIntoBuffer(store.get(), "TLX1", "missing", buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(Ini_GetRawStringIntoBuffer(store.get(), "TLX1", "wert", buffer, 4), 1);
    EXPECT_STREQ(buffer, "mba");
    EXPECT_EQ(Ini_GetRawStringIntoBuffer(store.get(), "TLX1", "wert", buffer, 6), 1);
    EXPECT_STREQ(buffer, "mbar/");
    EXPECT_EQ(Ini_GetRawStringIntoBuffer(store.get(), "TLX1", "wert", buffer, 1), 1);
    EXPECT_STREQ(buffer, "");
    // Unlike the number queries, a blank text is found and delivered as it is.
    Ini_PutRawString(store.get(), "TLX1", "leer", "");
    Ini_PutRawString(store.get(), "TLX1", "blank", "  ");
    EXPECT_EQ(Ini_GetRawStringIntoBuffer(store.get(), "TLX1", "leer", buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(Ini_GetRawStringIntoBuffer(store.get(), "TLX1", "blank", buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "  ");
    std::strcpy(buffer, "x");
    EXPECT_EQ(Ini_GetRawStringIntoBuffer(nullptr, "TLX1", "wert", buffer, sizeof buffer), INI_ERR_NULL_STORE);
    EXPECT_STREQ(buffer, "");
}

TEST(IniPut, ReplacesByNameAndKeepsOrder)
{
    StorePtr sorted(Ini_New(1));
    for (const char *name : {"zoommax", "adresse", "einheitmax", "einheit", "Adresse"})
        Ini_PutInt(sorted.get(), "TLX1", name, 1);
    Ini_PutInt(sorted.get(), " TLX1 ", " adresse ", 2);
    EXPECT_EQ(TextOf(sorted.get()), "[TLX1]\r\nadresse = 2\r\neinheit = 1\r\neinheitmax = 1\r\nzoommax = 1\r\n\r\n");

    // Without sorting a replaced item keeps its place, a new one goes to the end.
    StorePtr unsorted = StoreFromText("[s]\r\nb=1\r\na=2\r\nB=3\r\nc=4\r\n");
    Ini_PutInt(unsorted.get(), "s", "b", 5);
    Ini_PutRawString(unsorted.get(), "s", "new", nullptr);
    Ini_PutInt(unsorted.get(), "t", "x", 6);
    EXPECT_EQ(TextOf(unsorted.get()), "[s]\r\nb = 5\r\na = 2\r\nc = 4\r\nnew = \"\"\r\n\r\n[t]\r\nx = 6\r\n\r\n");

    EXPECT_EQ(Ini_PutInt(nullptr, "s", "a", 1), INI_ERR_NULL_STORE);
    EXPECT_EQ(Ini_PutDouble(nullptr, "s", "a", 1), INI_ERR_NULL_STORE);
    EXPECT_EQ(Ini_PutRawString(nullptr, "s", "a", "x"), INI_ERR_NULL_STORE);
    int i = 0;
    double d = 0;
    EXPECT_EQ(Ini_GetInt(nullptr, "s", "a", &i), INI_ERR_NULL_STORE);
    EXPECT_EQ(Ini_GetDouble(nullptr, "s", "a", &d), INI_ERR_NULL_STORE);
}

TEST(IniLookup, FindsEveryItemOfALargeSortedStore)
{
    // Names differing in case, in punctuation between 'Z' and 'a', and in bytes
    // above 0x7F, put in random order: binary search must agree with the sort.
    std::vector<std::string> names;
    for (int i = 0; i < 600; ++i) {
        std::string name = "n" + std::to_string(i * 7919 % 1000);
        name += "_[`aZ\xE4\x80"[i % 7];
        if (i % 3 == 0)
            name[0] = 'N';
        names.push_back(name);
    }
    std::mt19937 random(42);
    std::shuffle(names.begin(), names.end(), random);
    StorePtr store(Ini_New(1));
    for (size_t i = 0; i < names.size(); ++i) {
        Ini_PutInt(store.get(), i % 2 ? "Odd" : "even", names[i].c_str(), static_cast<int>(i));
    }
    StorePtr reread = StoreFromText(TextOf(store.get()), 1);
    for (size_t i = 0; i < names.size(); ++i) {
        int value = -1;
        ASSERT_EQ(Ini_GetInt(reread.get(), i % 2 ? "ODD" : "Even", names[i].c_str(), &value), 1) << names[i];
        EXPECT_EQ(value, static_cast<int>(i));
    }
}
