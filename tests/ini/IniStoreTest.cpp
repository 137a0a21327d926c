// Reading and querying settings: line ends, section headers, item lines, long
// values, sorting, read failures, number conversions, updates and lookups.
#include "tests/ini/IniTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cmath>
#include <random>
#include <sys/stat.h>
#include <tuple>

using Lines = std::vector<std::string>;

static Lines LinesOf(const std::string &text, int piece)
{
    Memory memory{text, piece};
    LineFile *reader = LineFile_New(Memory::Read, &memory);
    Lines lines;
    char buffer[INI_MAX_LINE + 1];
    for (int length = 0, endOfFile = 0;
         LineFile_ReadNonEmpty(reader, buffer, INI_MAX_LINE, &length, &endOfFile) == 0 && !endOfFile;)
        lines.emplace_back(buffer, size_t(length));
    LineFile_Dispose(reader);
    return lines;
}

TEST(IniLineReader, SplitsAtEveryLineEndWhereverTheChunksEnd)
{
    const std::string longLine(300, 'x');
    // The CR as the last byte of the first 2048-byte chunk, the LF as the first of the next.
    const std::string atBoundary = std::string(2041, 'k') + "=12345";
    const std::pair<std::string, Lines> cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\n\rb", {"a", "b"}},
        {"a\rb\nc", {"a", "b", "c"}},
        {std::string("a\0b\0\0c", 6), {"a", "b", "c"}},
        {"a\r\n\r\n \t \r\n\n\rb", {"a", "b"}},  // blank lines are skipped
        {"last line without end", {"last line without end"}},
        {"\r\n\r\n", {}},
        {longLine + "\r\nnext\r\n", {longLine.substr(0, 255), "next"}},
        {longLine + "\rnext", {longLine.substr(0, 255), "next"}},
        {"  indented\t\r\n", {"  indented\t"}},
        {atBoundary + "\r\nnext\r\n", {atBoundary.substr(0, 255), "next"}},
        {std::string(2046, '\n') + "a\r\nb", {"a", "b"}},
    };
    for (const auto &[text, lines] : cases)
        for (int piece : {1, 3, INI_READ_CHUNK})  // line ends split over read calls
            EXPECT_EQ(LinesOf(text, piece), lines) << "piece " << piece << " text " << text.substr(0, 40);
}

TEST(IniRead, FailuresKeepWhatWasRead)
{
    const std::string text = "[a]\r\nx=1\r\n[b]\r\ny=2\r\n[c";
    Memory failing{text, INI_READ_CHUNK, text.size()};
    StorePtr store(Ini_New(1));
    EXPECT_EQ(ReadVia(store.get(), Memory::Read, &failing), INI_ERR_READING);
    EXPECT_EQ(TextOf(store.get()), "[a]\r\nx = 1\r\n\r\n[b]\r\ny = 2\r\n\r\n");

    TempDir dir;
    StorePtr empty(Ini_New(1));
    EXPECT_EQ(Ini_ReadFromFile(empty.get(), dir.Path("missing.ini").c_str()), INI_ERR_OPEN_FOR_READING);
    EXPECT_EQ(Ini_ReadFromFile(empty.get(), nullptr), INI_ERR_OPEN_FOR_READING);
    mkfifo(dir.Path("fifo.ini").c_str(), 0600);
    for (const std::string &notAFile : {dir.path, dir.Path("fifo.ini")})  // only regular files are read
        EXPECT_EQ(Ini_ReadFromFile(empty.get(), notAFile.c_str()), INI_ERR_OPEN_FOR_READING) << notAFile;
    EXPECT_EQ(TextOf(empty.get()), "");
    EXPECT_EQ(Ini_ReadFromFile(nullptr, dir.Path("missing.ini").c_str()), INI_ERR_NULL_STORE);
}

// Each case: the rule, a file text, and the text the store writes after reading it (unsorted).
TEST(IniRead, LineRules)
{
    // clang-format off
    const std::tuple<const char *, std::string, std::string> cases[] = {
        {"blanks around a header", "  [ sec ]  \r\nk=v", "[sec]\r\nk = v\r\n\r\n"},
        {"broken headers keep the current section", "[a]\r\nx=1\r\n[b] junk\r\ny=2\r\n[c\r\nz=3\r\n[]\r\nw=4\r\n[  ]\r\nv=5",
         "[a]\r\nx = 1\r\ny = 2\r\nz = 3\r\nw = 4\r\nv = 5\r\n\r\n"},
        {"the last ] closes the header", "[a]b]\r\nk=v", "[a]b]\r\nk = v\r\n\r\n"},
        {"items before the first header are dropped", "x=1\r\n[s]\r\ny=2", "[s]\r\ny = 2\r\n\r\n"},
        {"comments", "[s]\r\n;x=1\r\n   ; y=2\r\nz=3", "[s]\r\nz = 3\r\n\r\n"},
        {"empty name or value, no separator", "[s]\r\nx=\r\n  =v\r\nnovalue\r\ny =  \t\r\nok=1", "[s]\r\nok = 1\r\n\r\n"},
        {"two quotes are an empty quoted value", "[s]\r\nq = \"\"", "[s]\r\nq = \"\"\r\n\r\n"},
        {"= and ; later in the value", "[s]\r\na = b=c ; d", "[s]\r\na = b=c ; d\r\n\r\n"},
        {"quotes only at both ends count", "[s]\r\na = x\"y\"\r\nb = \"\r\nc = \" z \"",
         "[s]\r\na = x\"y\"\r\nb = \"\r\nc = \"z\"\r\n\r\n"}, // blanks inside the quotes go
        {"Windows-1252 bytes pass through", "[Ger\xE4t]\r\n\xC4nderung = \xB0" "C\xA0", "[Ger\xE4t]\r\n\xC4nderung = \xB0" "C\xA0\r\n\r\n"},
        // Long values: pieces " Line<digits>" are joined from a number 1 on.
        {"a run from number 1", "[s]\r\nv Line0001 = \"ab\"\r\nv Line0002 = \"cd\"\r\nv Line0003 = \"e\"", "[s]\r\nv = \"abcde\"\r\n\r\n"},
        {"numbers other than 1 continue any run", "[s]\r\nv Line1 = a\r\nw Line0007 = b\r\nx Line0 = c\r\ny=d",
         "[s]\r\nv = abc\r\ny = d\r\n\r\n"},
        {"a new number 1 starts a new run", "[s]\r\na Line0001 = 1\r\na Line0002 = 2\r\nb Line01 = 3\r\nb Line0002 = 4",
         "[s]\r\na = 12\r\nb = 34\r\n\r\n"},
        {"pieces without a number 1 before them stay", "[s]\r\nv Line0002 = a\r\nv Line0001 = b\r\nw=c\r\nv Line0002 = d",
         "[s]\r\nv Line0002 = a\r\nv = b\r\nw = c\r\nv Line0002 = d\r\n\r\n"},
        {"only \" Line\" with digits counts", "[s]\r\nv Line = a\r\nvLine0001 = b\r\nv Line1x = c",
         "[s]\r\nv Line = a\r\nvLine0001 = b\r\nv Line1x = c\r\n\r\n"},
        {"the first piece decides the quoting", "[s]\r\nv Line0001 = a\r\nv Line0002 = \"b\"", "[s]\r\nv = ab\r\n\r\n"},
    };
    // clang-format on
    for (const auto &[rule, text, written] : cases)
        EXPECT_EQ(TextOf(StoreFromText(text).get()), written) << rule;
}

TEST(IniRead, AutomaticSortingOrdersSectionsAndItems)
{
    StorePtr store =
        StoreFromText("[b]\r\nzoommax=1\r\nEinheitMax=2\r\neinheit=3\r\nadresse=4\r\n[A]\r\nk=1\r\n[a_]\r\nk=2", 1);
    EXPECT_EQ(TextOf(store.get()), "[A]\r\nk = 1\r\n\r\n[a_]\r\nk = 2\r\n\r\n[b]\r\nadresse = 4\r\neinheit = 3\r\n"
                                   "EinheitMax = 2\r\nzoommax = 1\r\n\r\n");
    // Reading appends, also a section whose name is already there, and keeps the order.
    StorePtr twice = StoreFromText("[b]\r\nx=1\r\n[c]\r\ny=2", 1);
    const std::string more = "[a]\r\nz=1\r\n[B]\r\nw=0";
    Memory memory{more};
    ASSERT_EQ(ReadVia(twice.get(), Memory::Read, &memory), 0);
    EXPECT_EQ(TextOf(twice.get()), "[a]\r\nz = 1\r\n\r\n[b]\r\nx = 1\r\n\r\n[B]\r\nw = 0\r\n\r\n[c]\r\ny = 2\r\n\r\n");
    EXPECT_EQ(RawString(twice.get(), " C ", "Y"), "2");
}

static StorePtr StoreWithValue(const char *value)
{
    StorePtr store(Ini_New(1));
    Ini_PutRawString(store.get(), "TLX1", "wert", value);
    return store;
}

TEST(IniGetInt, AcceptsOnlyPlainDecimalIntegers)
{
    const int bad = INI_ERR_INVALID_INTEGER;
    // Text, result, and the variable afterwards (it starts as 99).
    const std::tuple<const char *, int, int> cases[] = {
        {" 42 ", 1, 42},
        {"+7", 1, 7},
        {"-2147483648", 1, INT32_MIN},
        {"2147483647", 1, INT32_MAX},
        {"000000000000042", 1, 42},
        {"\t-0\t", 1, 0},
        {"2147483648", bad, 99},
        {"-2147483649", bad, 99},
        {"99999999999999999999", bad, 99},
        {"12ab", bad, 99},
        {"- 1", bad, 99},
        {"0x10", bad, 99},
        {"+-1", bad, 99},
        {"1 2", bad, 99},
        {"1.0", bad, 99},
        {"+", bad, 99},
        {"", 0, 99},
        {" \t ", 0, 99},
    };
    for (const auto &[text, result, expected] : cases) {
        int value = 99;
        EXPECT_EQ(Ini_GetInt(StoreWithValue(text).get(), "tlx1", "WERT", &value), result) << text;
        EXPECT_EQ(value, expected) << text;
    }
}

TEST(IniGetDouble, InfinityNamesAndStrtodRules)
{
    const double inf = HUGE_VAL;
    const int bad = INI_ERR_INVALID_DOUBLE;
    // Text, result, and the variable afterwards (it starts as 99).
    // clang-format off
    const std::tuple<const char *, int, double> cases[] = {
        {"inf", 1, inf}, {"+Inf", 1, inf}, {"-INF", 1, -inf}, {"infinity", 1, inf}, {"1e3", 1, 1000.0},
        {" 2.5", 1, 2.5}, {"0x1p3", 1, 8.0}, {"-0.125", 1, -0.125}, {"1.5x", bad, 1.5}, {"abc", bad, 0.0},
        {"2.5 ", bad, 2.5}, {"1,5", bad, 1.0}, {"1e999", bad, inf}, {"1e-400", bad, 0.0}, {"", 0, 99.0}, {"   ", 0, 99.0},
    };
    // clang-format on
    for (const auto &[text, result, expected] : cases) {
        double value = 99;
        EXPECT_EQ(Ini_GetDouble(StoreWithValue(text).get(), "TLX1", "wert", &value), result) << text;
        EXPECT_EQ(value, expected) << text;
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
    setenv("LOCPATH", dir.path.c_str(), 1);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    StorePtr store(Ini_New(1));
    Ini_PutDouble(store.get(), "TLX1", "vmax", 2.5);
    Ini_PutRawString(store.get(), "TLX1", "komma", "2,5");
    double vmax = 0, komma = 0;
    const int results[2] = {Ini_GetDouble(store.get(), "TLX1", "vmax", &vmax),
                            Ini_GetDouble(store.get(), "TLX1", "komma", &komma)};
    const std::string text = TextOf(store.get());
    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
    EXPECT_EQ(text, "[TLX1]\r\nkomma = \"2,5\"\r\nvmax = 2.5\r\n\r\n");
    EXPECT_EQ(results[0], 1);
    EXPECT_EQ(vmax, 2.5);
    EXPECT_EQ(results[1], INI_ERR_INVALID_DOUBLE);
}

TEST(IniPutDouble, SixteenSignificantDigits)
{
    const std::pair<double, const char *> cases[] = {
        {0.1, "0.1"},
        {10.0, "10"},
        {1.0 / 3.0, "0.3333333333333333"},
        {-0.0, "-0"},
        {1e20, "1e+20"},
        {1e-5, "1e-05"},
        {123456789012345678.0, "1.234567890123457e+17"},
        {HUGE_VAL, "inf"},
    };
    for (const auto &[value, text] : cases) {
        StorePtr store(Ini_New(1));
        Ini_PutDouble(store.get(), "s", "d", value);
        EXPECT_EQ(TextOf(store.get()), std::string("[s]\r\nd = ") + text + "\r\n\r\n");
    }
}

TEST(IniPutAndGetRawString, EmptiesTheBufferCutsAndReplacesByName)
{
    StorePtr store = StoreWithValue("mbar/s");
    char buffer[8] = "garbage";
    EXPECT_EQ(Ini_GetRawStringIntoBuffer(store.get(), "TLX1", "missing", buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(Ini_GetRawStringIntoBuffer(store.get(), "TLX1", "wert", buffer, 4), 1);
    EXPECT_STREQ(buffer, "mba");
    EXPECT_EQ(Ini_GetRawStringIntoBuffer(store.get(), "TLX1", "wert", buffer, 1), 1);
    EXPECT_STREQ(buffer, "");
    // Unlike the number queries, a blank text is found and delivered as it is.
    Ini_PutRawString(store.get(), "TLX1", "blank", "  ");
    EXPECT_EQ(Ini_GetRawStringIntoBuffer(store.get(), "TLX1", "blank", buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "  ");

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

    int i = 0;
    double d = 0;
    for (int result :
         {Ini_PutInt(nullptr, "s", "a", 1), Ini_PutDouble(nullptr, "s", "a", 1),
          Ini_PutRawString(nullptr, "s", "a", "x"), Ini_GetInt(nullptr, "s", "a", &i),
          Ini_GetDouble(nullptr, "s", "a", &d), Ini_GetRawStringIntoBuffer(nullptr, "s", "a", buffer, sizeof buffer)})
        EXPECT_EQ(result, INI_ERR_NULL_STORE);
}

TEST(IniLookup, FindsEveryItemOfALargeSortedStore)
{
    // Names differing in case, in punctuation between 'Z' and 'a', and in bytes
    // above 0x7F, put in random order: binary search must agree with the sort.
    std::vector<std::string> names;
    for (int i = 0; i < 600; ++i)
        names.push_back((i % 3 ? "n" : "N") + std::to_string(i * 7919 % 1000) + "_[`aZ\xE4\x80"[i % 7]);
    std::shuffle(names.begin(), names.end(), std::mt19937(42));
    StorePtr store(Ini_New(1));
    for (size_t i = 0; i < names.size(); ++i)
        Ini_PutInt(store.get(), i % 2 ? "Zahl" : "even", names[i].c_str(), int(i));
    StorePtr reread = StoreFromText(TextOf(store.get()), 1);
    for (size_t i = 0; i < names.size(); ++i)
        ASSERT_EQ(RawString(reread.get(), i % 2 ? "zAHL" : "Even", names[i]), std::to_string(i)) << names[i];
}

// Puts into a sorted section wait at its end until the next lookup or write. The store must then be
// the one that putting each in its place at once gives: the last Put of a name wins in its latest
// spelling, it replaces every older item of that name (also namesakes read from a file), and the
// other items keep their order. The model below does exactly that, one Put at a time.
TEST(IniPut, CollectedPutsGiveTheStoreOfPutsOneByOne)
{
    using Item = std::pair<std::string, std::string>;
    std::vector<Item> model = {{"b", "datei1"}, {"B", "datei2"}, {"d", "datei3"}, {"f", "datei4"}, {"F", "datei5"}};
    StorePtr store = StoreFromText("[s]\nb=datei1\nB=datei2\nd=datei3\nf=datei4\nF=datei5\n", 1);
    const auto folded = [](std::string n) {
        for (char &c : n)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        return n;
    };
    std::mt19937 random(11);
    for (int i = 0; i < 3000; ++i) {  // more than one batch, so some settle on their own
        std::string name(1, "bdfBDFxyXY"[random() % 10]);
        if (random() % 4 != 0)
            name += std::to_string(random() % 400);
        std::erase_if(model, [&](const Item &item) { return folded(item.first) == folded(name); });
        const auto at =
            std::upper_bound(model.begin(), model.end(), folded(name),
                             [&](const std::string &n, const Item &item) { return n < folded(item.first); });
        model.insert(at, {name, std::to_string(i)});
        Ini_PutInt(store.get(), "S", name.c_str(), i);
        if (random() % 700 == 0) {  // a lookup now and then settles what was put so far
            EXPECT_EQ(RawString(store.get(), "s", name), std::to_string(i));
        }
    }
    std::string text = "[s]\r\n";
    for (const auto &[name, value] : model)
        text += name + " = " + value + "\r\n";
    EXPECT_EQ(TextOf(store.get()), text + "\r\n");
}
