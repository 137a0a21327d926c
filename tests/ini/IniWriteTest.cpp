// Writing settings files: the exact text, round trips of awkward values, and the
// replacement of the target that never loses the old file.
#include "tests/ini/IniTestSupport.h"

#include "ini/IniFileIo.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

TEST(IniWrite, SettingsFileText)
{
    TempDir dir;
    const std::string path = dir.Path("tlx1steuerung.ini");
    StorePtr store(Ini_New(1));
    Ini_PutInt(store.get(), "TLX1", "adresse", 3);
    Ini_PutInt(store.get(), "TLX1", "comport", 1);
    Ini_PutDouble(store.get(), "TLX1", "vmin", 0);
    Ini_PutDouble(store.get(), "TLX1", "vmax", 10);
    Ini_PutDouble(store.get(), "TLX1", "einheitmin", 0);
    Ini_PutDouble(store.get(), "TLX1", "einheitmax", 100);
    Ini_PutRawString(store.get(), "TLX1", "einheit", "V");
    Ini_PutDouble(store.get(), "TLX1", "zoommin", 2);
    Ini_PutDouble(store.get(), "TLX1", "zoommax", 8);
    ASSERT_EQ(Ini_WriteToFile(store.get(), path.c_str()), 0);
    EXPECT_EQ(ReadBytes(path), "[TLX1]\r\nadresse = 3\r\ncomport = 1\r\neinheit = \"V\"\r\neinheitmax = 100\r\n"
                               "einheitmin = 0\r\nvmax = 10\r\nvmin = 0\r\nzoommax = 8\r\nzoommin = 2\r\n\r\n");
    EXPECT_TRUE(dir.TempFiles().empty());

    StorePtr empty(Ini_New(1));
    ASSERT_EQ(Ini_WriteToFile(empty.get(), path.c_str()), 0);
    EXPECT_EQ(ReadBytes(path), "");
    EXPECT_EQ(Ini_WriteToFile(nullptr, path.c_str()), INI_ERR_NULL_STORE);
}

TEST(IniWrite, LongValueInPiecesOfEighty)
{
    const std::string value = std::string(80, 'a') + std::string(80, 'b') + std::string(40, 'c');
    StorePtr store(Ini_New(1));
    Ini_PutRawString(store.get(), "s", "lang", value.c_str());
    Ini_PutRawString(store.get(), "s", "genau80", std::string(80, 'x').c_str());
    const std::string text = TextOf(store.get());
    EXPECT_EQ(text, "[s]\r\ngenau80 = \"" + std::string(80, 'x') + "\"\r\nlang Line0001 = \"" + std::string(80, 'a') +
                        "\"\r\nlang Line0002 = \"" + std::string(80, 'b') + "\"\r\nlang Line0003 = \"" +
                        std::string(40, 'c') + "\"\r\n\r\n");
    char buffer[256];
    EXPECT_EQ(Ini_GetRawStringIntoBuffer(StoreFromText(text, 1).get(), "s", "lang", buffer, sizeof buffer), 1);
    EXPECT_EQ(buffer, value);
}

TEST(IniWrite, AwkwardValuesSurviveARoundTrip)
{
    std::string cp1252;
    for (int c = 0x80; c <= 0xFF; ++c)
        cp1252 += static_cast<char>(c);
    const std::string values[] = {
        "inner  blanks stay", "\"quoted\"", "\"", "a \"b\" c", "x = y ; z", ";starts like a comment",
        "[looks like a header]", "", std::string(200, 'q'), std::string(78, '-') + "a b" + std::string(100, '='),
        cp1252, "Ger\xE4t \xB0" "C",
    };
    TempDir dir;
    const std::string path = dir.Path("round.ini");
    StorePtr store(Ini_New(1));
    for (size_t i = 0; i < std::size(values); ++i)
        Ini_PutRawString(store.get(), "Sektion \xC4", ("wert" + std::to_string(i)).c_str(), values[i].c_str());
    ASSERT_EQ(Ini_WriteToFile(store.get(), path.c_str()), 0);
    StorePtr reread(Ini_New(1));
    ASSERT_EQ(Ini_ReadFromFile(reread.get(), path.c_str()), 0);
    for (size_t i = 0; i < std::size(values); ++i) {
        char buffer[512];
        EXPECT_EQ(Ini_GetRawStringIntoBuffer(reread.get(), "sektion \xC4", ("WERT" + std::to_string(i)).c_str(), buffer,
                                             sizeof buffer), 1);
        EXPECT_EQ(buffer, values[i]) << i;
    }
    EXPECT_EQ(ReadBytes(path), TextOf(reread.get())); // the second write is the same file
}

TEST(IniWrite, BlanksAroundAValueAreWrittenButNotReadBack)
{
    StorePtr store(Ini_New(1));
    Ini_PutRawString(store.get(), "s", "einheit", "  V  ");
    Ini_PutRawString(store.get(), "s", "lang", (" " + std::string(79, 'a') + " b ").c_str());
    char buffer[16];
    EXPECT_EQ(Ini_GetRawStringIntoBuffer(store.get(), "s", "einheit", buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "  V  ");
    const std::string text = TextOf(store.get());
    EXPECT_EQ(text, "[s]\r\neinheit = \"  V  \"\r\nlang Line0001 = \" " + std::string(79, 'a') +
                        "\"\r\nlang Line0002 = \" b \"\r\n\r\n");
    StorePtr reread = StoreFromText(text, 1);
    EXPECT_EQ(Ini_GetRawStringIntoBuffer(reread.get(), "s", "einheit", buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "V");
    // A long value loses the blanks around the whole value, not those at the edges of its pieces.
    char lang[128];
    EXPECT_EQ(Ini_GetRawStringIntoBuffer(reread.get(), "s", "lang", lang, sizeof lang), 1);
    EXPECT_EQ(std::string(lang), std::string(79, 'a') + " b");
}

TEST(IniWrite, NullPathWritesToStandardOutput)
{
    TempDir dir;
    const std::string path = dir.Path("stdout.txt");
    StorePtr store(Ini_New(1));
    Ini_PutInt(store.get(), "s", "a", 1);
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, STDOUT_FILENO);
    const int result = Ini_WriteToFile(store.get(), nullptr);
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(fd);
    close(saved);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadBytes(path), "[s]\r\na = 1\r\n\r\n");
}

// Every failure leaves the old file byte for byte and no temporary file.
class IniReplaceFailure : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteBytes(target, old);
        // More than one 16384-byte buffer, so that the writer writes several times.
        for (int i = 0; i < 800; ++i)
            Ini_PutRawString(store.get(), "neu", ("item" + std::to_string(i)).c_str(), std::string(60, 'n').c_str());
    }
    void TearDown() override
    {
        for (int op = 0; op < INIFILEIO_OP_COUNT; ++op)
            IniFileIo_TestFailAfter(static_cast<IniFileIoOp>(op), 0, 0);
    }
    void ExpectUnchanged()
    {
        EXPECT_EQ(ReadBytes(target), old);
        EXPECT_TRUE(dir.TempFiles().empty());
    }
    TempDir dir;
    const std::string target = dir.Path("tlx1steuerung.ini");
    const std::string old = "[TLX1]\r\nadresse = 1\r\n\r\n";
    StorePtr store{Ini_New(1)};
};

TEST_F(IniReplaceFailure, TargetThatCannotBeWritten)
{
    EXPECT_EQ(Ini_WriteToFile(store.get(), dir.Path("no/such/dir/x.ini").c_str()), INI_ERR_ACCESS_DENIED);
    const std::string directory = dir.Path("a directory");
    std::filesystem::create_directory(directory);
    EXPECT_EQ(Ini_WriteToFile(store.get(), directory.c_str()), INI_ERR_ACCESS_DENIED);
    EXPECT_TRUE(std::filesystem::is_directory(directory));
    EXPECT_EQ(Ini_WriteToFile(store.get(), (target + "/below a file").c_str()), INI_ERR_ACCESS_DENIED);
    ExpectUnchanged();
}

TEST_F(IniReplaceFailure, NoFreeTemporaryName)
{
    for (int n = 0; n < 1000; ++n)
        WriteBytes(dir.Path("ini$$" + std::to_string(n) + ".TMP"), "");
    EXPECT_EQ(Ini_WriteToFile(store.get(), target.c_str()), INI_ERR_NO_TEMP_NAME);
    EXPECT_EQ(ReadBytes(target), old);
    std::filesystem::remove(dir.Path("ini$$0.TMP"));
    EXPECT_EQ(Ini_WriteToFile(store.get(), target.c_str()), 0); // the first free number is taken
    EXPECT_FALSE(std::filesystem::exists(dir.Path("ini$$0.TMP")));
}

TEST_F(IniReplaceFailure, TemporaryFileCannotBeCreated)
{
    // A file that can be opened for writing in a folder where no file can be created.
    if (access("/proc/self/comm", W_OK) != 0)
        GTEST_SKIP() << "no /proc";
    EXPECT_EQ(Ini_WriteToFile(store.get(), "/proc/self/comm"), INI_ERR_CREATE_TEMP);
}

TEST_F(IniReplaceFailure, InjectedFailuresGiveTheirCodes)
{
    struct Case {
        IniFileIoOp op;
        int countdown;
        int errorNumber;
        int result;
    } cases[] = {
        {INIFILEIO_WRITE, 1, ENOSPC, INI_ERR_DISK_FULL},    {INIFILEIO_WRITE, 2, EDQUOT, INI_ERR_DISK_FULL},
        {INIFILEIO_WRITE, 1, EACCES, INI_ERR_ACCESS_DENIED}, {INIFILEIO_WRITE, 2, ENOMEM, INI_ERR_OUT_OF_MEMORY},
        {INIFILEIO_WRITE, 3, EIO, INI_ERR_IO},              {INIFILEIO_SYNC, 1, EIO, INI_ERR_IO},
        {INIFILEIO_SYNC, 1, ENOSPC, INI_ERR_DISK_FULL},     {INIFILEIO_RENAME, 1, ENOENT, INI_ERR_NOT_FOUND},
        {INIFILEIO_RENAME, 1, EACCES, INI_ERR_ACCESS_DENIED}, {INIFILEIO_RENAME, 1, ENOSPC, INI_ERR_DISK_FULL},
        {INIFILEIO_RENAME, 1, ENAMETOOLONG, INI_ERR_INVALID_PATH}, {INIFILEIO_RENAME, 1, ENOMEM, INI_ERR_OUT_OF_MEMORY},
        {INIFILEIO_RENAME, 1, EXDEV, INI_ERR_IO},
    };
    for (const Case &c : cases) {
        IniFileIo_TestFailAfter(c.op, c.countdown, c.errorNumber);
        EXPECT_EQ(Ini_WriteToFile(store.get(), target.c_str()), c.result) << c.op << " " << c.errorNumber;
        IniFileIo_TestFailAfter(c.op, 0, 0);
        ExpectUnchanged();
    }
}

TEST_F(IniReplaceFailure, DirectorySyncFailureAfterTheRename)
{
    // The rename has happened: the new text is in place, but its durability is not
    // confirmed, and the caller hears about it.
    IniFileIo_TestFailAfter(INIFILEIO_SYNC, 2, EIO);
    EXPECT_EQ(Ini_WriteToFile(store.get(), target.c_str()), INI_ERR_IO);
    EXPECT_EQ(ReadBytes(target), TextOf(store.get()));
    EXPECT_TRUE(dir.TempFiles().empty());
}
