// Writing settings files: the exact text, round trips of awkward values, and the
// replacement of the target that never loses the old file, not even when the
// writer is killed.
#include "tests/ini/IniTestSupport.h"

#include "ini/IniFileIo.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <random>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

TEST(IniWrite, SettingsFileText)
{
    TempDir dir;
    const std::string path = dir.Path("tlx1steuerung.ini"), a79(79, 'a'), b80(80, 'b');
    StorePtr store(Ini_New(1));
    Ini_PutInt(store.get(), "TLX1", "adresse", 3);
    Ini_PutRawString(store.get(), "TLX1", "einheit", "  V  ");
    for (const auto &[name, value] :
         {std::pair{"vmin", 0.0}, {"vmax", 10.0}, {"einheitmin", 0.0}, {"einheitmax", 100.0}})
        Ini_PutDouble(store.get(), "TLX1", name, value);
    // Values longer than 80 characters go in pieces.
    Ini_PutRawString(store.get(), "TLX1", "genau80", b80.c_str());
    Ini_PutRawString(store.get(), "TLX1", "lang", (" " + a79 + b80 + " c ").c_str());
    ASSERT_EQ(Ini_WriteToFile(store.get(), path.c_str()), 0);
    EXPECT_EQ(ReadBytes(path),
              "[TLX1]\r\nadresse = 3\r\neinheit = \"  V  \"\r\neinheitmax = 100\r\neinheitmin = 0\r\ngenau80 = \"" +
                  b80 + "\"\r\nlang Line0001 = \" " + a79 + "\"\r\nlang Line0002 = \"" + b80 +
                  "\"\r\nlang Line0003 = \" c \"\r\nvmax = 10\r\nvmin = 0\r\n\r\n");
    EXPECT_TRUE(dir.TempFiles().empty());
    // Reading drops the blanks around the whole value, not those at the edges of its pieces.
    StorePtr reread(Ini_New(1));
    ASSERT_EQ(Ini_ReadFromFile(reread.get(), path.c_str()), 0);
    EXPECT_EQ(RawString(reread.get(), "TLX1", "einheit"), "V");
    EXPECT_EQ(RawString(reread.get(), "TLX1", "lang"), a79 + b80 + " c");

    testing::internal::CaptureStdout();  // a null path writes to standard output
    EXPECT_EQ(Ini_WriteToFile(store.get(), nullptr), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), ReadBytes(path));
    StorePtr empty(Ini_New(1));
    ASSERT_EQ(Ini_WriteToFile(empty.get(), path.c_str()), 0);
    EXPECT_EQ(ReadBytes(path), "");
    EXPECT_EQ(Ini_WriteToFile(nullptr, path.c_str()), INI_ERR_NULL_STORE);
}

TEST(IniWrite, AwkwardValuesSurviveARoundTrip)
{
    std::string cp1252;
    for (int c = 0x80; c <= 0xFF; ++c)
        cp1252 += char(c);
    // clang-format off
    const std::string values[] = {
        "inner  blanks stay", "\"quoted\"", "\"", "a \"b\" c", "x = y ; z", ";starts like a comment",
        "[looks like a header]", "", std::string(200, 'q'), std::string(78, '-') + "a b" + std::string(100, '='),
        cp1252, "Ger\xE4t \xB0" "C",
    };
    // clang-format on
    TempDir dir;
    const std::string path = dir.Path("round.ini");
    StorePtr store(Ini_New(1));
    for (size_t i = 0; i < std::size(values); ++i)
        Ini_PutRawString(store.get(), "Sektion \xC4", ("wert" + std::to_string(i)).c_str(), values[i].c_str());
    ASSERT_EQ(Ini_WriteToFile(store.get(), path.c_str()), 0);
    StorePtr reread(Ini_New(1));
    ASSERT_EQ(Ini_ReadFromFile(reread.get(), path.c_str()), 0);
    for (size_t i = 0; i < std::size(values); ++i)
        EXPECT_EQ(RawString(reread.get(), "sektion \xC4", "WERT" + std::to_string(i)), values[i]) << i;
    EXPECT_EQ(ReadBytes(path), TextOf(reread.get()));  // the second write is the same file
}

// Every failure leaves the old file byte for byte and no temporary file.
TEST(IniReplace, FailuresLeaveTheTargetUnchanged)
{
    TempDir dir;
    const std::string target = dir.Path("tlx1steuerung.ini"), old = "[TLX1]\r\nadresse = 1\r\n\r\n";
    WriteBytes(target, old);
    StorePtr store(Ini_New(1));
    // More than one 16384-byte buffer, so that the writer writes several times.
    for (int i = 0; i < 800; ++i)
        Ini_PutRawString(store.get(), "neu", ("item" + std::to_string(i)).c_str(), std::string(60, 'n').c_str());
    // A target in no folder, and a target that is a folder, fail the write test.
    std::filesystem::create_directory(dir.Path("sub"));
    EXPECT_EQ(Ini_WriteToFile(store.get(), dir.Path("sub").c_str()), INI_ERR_ACCESS_DENIED);
    EXPECT_EQ(Ini_WriteToFile(store.get(), dir.Path("sub/no/x.ini").c_str()), INI_ERR_ACCESS_DENIED);
    // Operation, the call that fails, its errno, and the result.
    const std::tuple<IniFileIoOp, int, int, int> injected[] = {
        {INIFILEIO_WRITE, 1, ENOSPC, INI_ERR_DISK_FULL},
        {INIFILEIO_WRITE, 2, EDQUOT, INI_ERR_DISK_FULL},
        {INIFILEIO_WRITE, 1, EACCES, INI_ERR_ACCESS_DENIED},
        {INIFILEIO_WRITE, 2, ENOMEM, INI_ERR_OUT_OF_MEMORY},
        {INIFILEIO_WRITE, 3, EIO, INI_ERR_IO},
        {INIFILEIO_SYNC, 1, EIO, INI_ERR_IO},
        {INIFILEIO_SYNC, 1, ENOSPC, INI_ERR_DISK_FULL},
        {INIFILEIO_RENAME, 1, ENOENT, INI_ERR_NOT_FOUND},
        {INIFILEIO_RENAME, 1, EACCES, INI_ERR_ACCESS_DENIED},
        {INIFILEIO_RENAME, 1, ENAMETOOLONG, INI_ERR_INVALID_PATH},
        {INIFILEIO_RENAME, 1, EXDEV, INI_ERR_IO},
    };
    for (const auto &[op, countdown, errorNumber, result] : injected) {
        IniFileIo_TestFailAfter(op, countdown, errorNumber);
        EXPECT_EQ(Ini_WriteToFile(store.get(), target.c_str()), result) << op << " " << errorNumber;
        IniFileIo_TestFailAfter(op, 0, 0);
        EXPECT_EQ(ReadBytes(target), old);
        EXPECT_TRUE(dir.TempFiles().empty());
    }
    for (int n = 0; n < 1000; ++n)
        WriteBytes(dir.Path("ini$$" + std::to_string(n) + ".TMP"), "");
    EXPECT_EQ(Ini_WriteToFile(store.get(), target.c_str()), INI_ERR_NO_TEMP_NAME);
    EXPECT_EQ(ReadBytes(target), old);
    std::filesystem::remove(dir.Path("ini$$0.TMP"));
    // A file that can be opened for writing in a folder where no file can be created.
    if (access("/proc/self/comm", W_OK) == 0) {
        EXPECT_EQ(Ini_WriteToFile(store.get(), "/proc/self/comm"), INI_ERR_CREATE_TEMP);
    }

    // A failed directory sync comes after the rename: the new text is in place, but
    // its durability is not confirmed, and the caller hears about it.
    IniFileIo_TestFailAfter(INIFILEIO_SYNC, 2, EIO);
    EXPECT_EQ(Ini_WriteToFile(store.get(), target.c_str()), INI_ERR_IO);
    IniFileIo_TestFailAfter(INIFILEIO_SYNC, 0, 0);
    EXPECT_EQ(ReadBytes(target), TextOf(store.get()));
    EXPECT_EQ(dir.TempFiles().size(), 999u);

    // Files of the pattern left by killed writers more than a minute ago go before a name is chosen;
    // other names, folders and links stay.
    const std::string others[] = {"ini$$01.TMP", "ini$$1000.TMP", "ini$$x.TMP", "ini$$5.tmp"};
    for (const std::string &name : others)
        WriteBytes(dir.Path(name), "");
    std::filesystem::remove(dir.Path("ini$$7.TMP"));
    std::filesystem::create_directory(dir.Path("ini$$7.TMP"));
    const auto old_ = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(2);
    for (const auto &entry : std::filesystem::directory_iterator(dir.path))
        std::filesystem::last_write_time(entry.path(), old_);
    EXPECT_EQ(Ini_WriteToFile(store.get(), target.c_str()), 0);
    std::vector<std::string> left = dir.TempFiles();
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"ini$$01.TMP", "ini$$1000.TMP", "ini$$7.TMP", "ini$$x.TMP"}));
    EXPECT_TRUE(std::filesystem::exists(dir.Path("ini$$5.tmp")));
}

// Targets that are no plain file: the writer's test creates and truncates nothing; a link stays and
// the file it points to is replaced (with its permission bits); everything else is refused.
TEST(IniReplace, LinksFifosAndFoldersStayWhatTheyAre)
{
    namespace fs = std::filesystem;
    TempDir dir;
    fs::create_directory(dir.Path("anderswo"));
    WriteBytes(dir.Path("anderswo/geteilt.ini"), "alt");
    fs::permissions(dir.Path("anderswo/geteilt.ini"), fs::perms(0640));
    fs::create_symlink("anderswo/geteilt.ini", dir.Path("link.ini"));
    fs::create_symlink("link.ini", dir.Path("kette.ini"));
    fs::create_symlink("anderswo/fehlt.ini", dir.Path("lose.ini"));
    fs::create_symlink("schleife.ini", dir.Path("schleife.ini"));
    mkfifo(dir.Path("fifo.ini").c_str(), 0600);
    fs::create_directory(dir.Path("ordner.ini"));
    StorePtr store = StoreFromText("[TLX1]\r\nneu = 1\r\n", 1);
    // clang-format off
    const std::pair<const char *, int> faelle[] = {
        {"lose.ini", INI_ERR_ACCESS_DENIED}, {"schleife.ini", INI_ERR_ACCESS_DENIED},
        {"fifo.ini", INI_ERR_ACCESS_DENIED}, {"ordner.ini", INI_ERR_ACCESS_DENIED},
        {"link.ini", INI_OK},                {"kette.ini", INI_OK},
    };
    // clang-format on
    for (const auto &[name, result] : faelle)
        EXPECT_EQ(Ini_WriteToFile(store.get(), dir.Path(name).c_str()), result) << name;
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.Path("anderswo/fehlt.ini"))));
    EXPECT_TRUE(fs::is_fifo(dir.Path("fifo.ini")));
    EXPECT_TRUE(fs::is_empty(dir.Path("ordner.ini")));
    for (const char *name : {"link.ini", "kette.ini", "lose.ini", "schleife.ini"})
        EXPECT_TRUE(fs::is_symlink(dir.Path(name))) << name;
    EXPECT_EQ(ReadBytes(dir.Path("anderswo/geteilt.ini")), TextOf(store.get()));
    EXPECT_EQ(fs::status(dir.Path("anderswo/geteilt.ini")).permissions(), fs::perms(0640));
    EXPECT_TRUE(dir.TempFiles().empty());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path("anderswo")), fs::directory_iterator()), 1);
}

TEST(IniCrash, KilledWriterLeavesOneCompleteVersion)
{
    TempDir dir;
    const std::string target = dir.Path("tlx1steuerung.ini");
    StorePtr versions[2] = {StoreFromText("[TLX1]\r\nversion = klein\r\n", 1), StorePtr(Ini_New(1))};
    for (int i = 0; i < 600; ++i)  // about 50 KB, several buffer flushes
        Ini_PutRawString(versions[1].get(), ("sektion" + std::to_string(i % 12)).c_str(),
                         ("item" + std::to_string(i)).c_str(), std::string(size_t(i % 90), '.').c_str());
    const std::string texts[2] = {TextOf(versions[0].get()), TextOf(versions[1].get())};
    ASSERT_EQ(Ini_WriteToFile(versions[0].get(), target.c_str()), 0);
    std::mt19937 random(20261206);
    int seen[2] = {0, 0};
    for (int kill = 0; kill < 200; ++kill) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            for (int v = 1;; v ^= 1)
                Ini_WriteToFile(versions[v].get(), target.c_str());
        usleep(useconds_t(random() % 12000));
        ::kill(child, SIGKILL);
        ASSERT_EQ(waitpid(child, nullptr, 0), child);
        const std::string bytes = ReadBytes(target);
        const int which = bytes == texts[0] ? 0 : bytes == texts[1] ? 1 : -1;
        ASSERT_NE(which, -1) << "after kill " << kill << " the file holds " << bytes.size()
                             << " bytes of neither version";
        ++seen[which];
        // A kill may leave the one temporary file it was writing, never more.
        const auto leftovers = dir.TempFiles();
        ASSERT_LE(leftovers.size(), 1u);
        for (const auto &name : leftovers)
            std::filesystem::remove(dir.Path(name));
    }
    EXPECT_TRUE(seen[0] > 0 && seen[1] > 0)
        << "old version seen " << seen[0] << " times, new " << seen[1];  // both were hit
}
