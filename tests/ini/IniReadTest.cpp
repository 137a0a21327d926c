// Reading settings files: line ends, section headers, item lines, long values,
// sorting and read failures.
#include "tests/ini/IniTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using Lines = std::vector<std::string>;

TEST(IniLineReader, SplitsAtEveryLineEndWhereverTheChunksEnd)
{
    const std::string longLine(300, 'x');
    struct Case {
        std::string text;
        Lines lines;
    } cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\n\rb", {"a", "b"}},
        {"a\rb\nc", {"a", "b", "c"}},
        {std::string("a\0b\0\0c", 6), {"a", "b", "c"}},
        {"a\r\n\r\n \t \r\n\n\rb", {"a", "b"}},      // blank lines are skipped
        {"last line without end", {"last line without end"}},
        {"\r\n\r\n", {}},
        {longLine + "\r\nnext\r\n", {longLine.substr(0, 255), "next"}},
        {longLine + "\rnext", {longLine.substr(0, 255), "next"}},
        {"  indented\t\r\n", {"  indented\t"}},
    };
    for (const Case &c : cases)
        for (int piece : {1, 2, 3, 7, INI_READ_CHUNK}) // line ends split over read calls
            EXPECT_EQ(LinesOf(c.text, piece), c.lines) << "piece " << piece << " text " << c.text.substr(0, 40);
}

TEST(IniLineReader, LineEndOnTheChunkBoundary)
{
    // The CR is the last byte of the first 2048-byte chunk, the LF the first of the next.
    const std::string first = std::string(2047 - 6, 'k') + "=12345";
    EXPECT_EQ(LinesOf(first + "\r\nnext\r\n", INI_READ_CHUNK), (Lines{first.substr(0, 255), "next"}));
    const std::string shortLines = std::string(2046, '\n') + "a\r\nb";
    EXPECT_EQ(LinesOf(shortLines, INI_READ_CHUNK), (Lines{"a", "b"}));
}

TEST(IniLineReader, ReadErrorIsReportedAndKeepsWhatWasRead)
{
    struct Failing {
        int calls = 0;
    } failing;
    auto read = [](void *data, int, int *bytesRead, char *buffer) {
        if (++static_cast<Failing *>(data)->calls > 1)
            return static_cast<int>(INI_ERR_READING);
        const char text[] = "[a]\r\nx=1\r\n[b]\r\ny=2\r\n[c";
        std::memcpy(buffer, text, sizeof text - 1);
        *bytesRead = sizeof text - 1;
        return 0;
    };
    StorePtr store(Ini_New(1));
    LineFile *reader = LineFile_New(read, &failing);
    auto source = [](void *data, char *buffer, int max, int *endOfFile) {
        int length = 0;
        return LineFile_ReadNonEmpty(static_cast<LineFile *>(data), buffer, max, &length, endOfFile);
    };
    EXPECT_EQ(Ini_ReadGeneric(store.get(), source, reader), INI_ERR_READING);
    LineFile_Dispose(reader);
    EXPECT_EQ(TextOf(store.get()), "[a]\r\nx = 1\r\n\r\n[b]\r\ny = 2\r\n\r\n");
}

TEST(IniRead, FileFailures)
{
    TempDir dir;
    StorePtr store(Ini_New(1));
    EXPECT_EQ(Ini_ReadFromFile(store.get(), dir.Path("missing.ini").c_str()), INI_ERR_OPEN_FOR_READING);
    EXPECT_EQ(Ini_ReadFromFile(store.get(), nullptr), INI_ERR_OPEN_FOR_READING);
    EXPECT_EQ(Ini_ReadFromFile(store.get(), dir.path().c_str()), INI_ERR_READING); // a directory opens, but cannot be read
    EXPECT_EQ(TextOf(store.get()), "");
    EXPECT_EQ(Ini_ReadFromFile(nullptr, dir.Path("missing.ini").c_str()), INI_ERR_NULL_STORE);
}

// Each case: file text, and the text the store writes after reading it (unsorted).
TEST(IniRead, LineRules)
{
    const std::string y300(300, 'y');
    struct Case {
        const char *rule;
        std::string text;
        std::string written;
    } cases[] = {
        {"blanks around a header", "  [ sec ]  \r\nk=v", "[sec]\r\nk = v\r\n\r\n"},
        {"broken headers keep the current section",
         "[a]\r\nx=1\r\n[b] junk\r\ny=2\r\n[c\r\nz=3\r\n[]\r\nw=4\r\n[  ]\r\nv=5",
         "[a]\r\nx = 1\r\ny = 2\r\nz = 3\r\nw = 4\r\nv = 5\r\n\r\n"},
        {"the last ] closes the header", "[a]b]\r\nk=v", "[a]b]\r\nk = v\r\n\r\n"},
        {"items before the first header are dropped", "x=1\r\n[s]\r\ny=2", "[s]\r\ny = 2\r\n\r\n"},
        {"only items, no header", "x=1\r\ny=2\r\n", ""},
        {"comments", "[s]\r\n;x=1\r\n   ; y=2\r\nz=3", "[s]\r\nz = 3\r\n\r\n"},
        {"empty name or value, no separator", "[s]\r\nx=\r\n  =v\r\nnovalue\r\ny =  \t\r\nok=1", "[s]\r\nok = 1\r\n\r\n"},
        {"two quotes are an empty quoted value", "[s]\r\nq = \"\"", "[s]\r\nq = \"\"\r\n\r\n"},
        {"= and ; later in the value", "[s]\r\na = b=c ; d", "[s]\r\na = b=c ; d\r\n\r\n"},
        {"quotes only at both ends count", "[s]\r\na = x\"y\"\r\nb = \"\r\nc = \" z \"",
         "[s]\r\na = x\"y\"\r\nb = \"\r\nc = \"z\"\r\n\r\n"},   // blanks inside the quotes go
        {"a section read twice is kept twice", "[s]\r\na=1\r\n[S]\r\nb=2", "[s]\r\na = 1\r\n\r\n[S]\r\nb = 2\r\n\r\n"},
        {"Windows-1252 bytes pass through", "[Ger\xE4t]\r\n\xC4nderung = \xB0" "C\xA0", "[Ger\xE4t]\r\n\xC4nderung = \xB0" "C\xA0\r\n\r\n"},
        {"a 300-character line keeps 255 characters", "[s]\r\nx = " + y300 + "\r\nz=1",
         "[s]\r\nx Line0001 = " + y300.substr(0, 80) + "\r\nx Line0002 = " + y300.substr(0, 80) +
             "\r\nx Line0003 = " + y300.substr(0, 80) + "\r\nx Line0004 = " + y300.substr(0, 11) + "\r\nz = 1\r\n\r\n"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TextOf(StoreFromText(c.text).get()), c.written) << c.rule;
}

TEST(IniRead, LongValuePiecesAreJoined)
{
    struct Case {
        const char *rule;
        std::string text;
        std::string written;
    } cases[] = {
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
    for (const Case &c : cases)
        EXPECT_EQ(TextOf(StoreFromText(c.text).get()), c.written) << c.rule;
}

TEST(IniRead, AutomaticSortingOrdersSectionsAndItems)
{
    StorePtr store = StoreFromText("[b]\r\nzoommax=1\r\nEinheitMax=2\r\neinheit=3\r\nadresse=4\r\n[A]\r\nk=1\r\n[a_]\r\nk=2", 1);
    EXPECT_EQ(TextOf(store.get()), "[A]\r\nk = 1\r\n\r\n[a_]\r\nk = 2\r\n\r\n[b]\r\nadresse = 4\r\neinheit = 3\r\n"
                                   "EinheitMax = 2\r\nzoommax = 1\r\n\r\n");
    // Reading appends, also to a section name already there, and keeps the order.
    StorePtr twice = StoreFromText("[b]\r\nx=1\r\n[c]\r\ny=2", 1);
    ASSERT_EQ(ReadText(twice.get(), "[a]\r\nz=1\r\n[B]\r\nw=0"), 0);
    EXPECT_EQ(TextOf(twice.get()), "[a]\r\nz = 1\r\n\r\n[b]\r\nx = 1\r\n\r\n[B]\r\nw = 0\r\n\r\n[c]\r\ny = 2\r\n\r\n");
    int value = 0;
    EXPECT_EQ(Ini_GetInt(twice.get(), " C ", "Y", &value), 1);
    EXPECT_EQ(value, 2);
    EXPECT_EQ(Ini_GetInt(twice.get(), "A", "z", &value), 1);
    EXPECT_EQ(value, 1);
}
