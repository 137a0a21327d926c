// The service record on its own: where it lives, how a line is made, and programs appending at once.
#include "record/Protokoll.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdlib.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

class Record : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string d = (std::filesystem::temp_directory_path() / "tlx1record-XXXXXX").string();
        ASSERT_NE(mkdtemp(d.data()), nullptr);
        dir_ = d;
        setenv("XDG_STATE_HOME", (dir_ + "/state").c_str(), 1);
        Protokoll_Starten("test");
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::vector<std::string> lines() const
    {
        std::ifstream f(dir_ + "/state/tlx1steuerung/protokoll.csv");
        std::vector<std::string> v;
        for (std::string l; std::getline(f, l);)
            v.push_back(l);
        return v;
    }
    static int mode(const std::string &p)
    {
        struct stat st {};
        return stat(p.c_str(), &st) == 0 ? int(st.st_mode & 07777) : -1;
    }
    std::string dir_;
};

TEST_F(Record, ThePathFollowsXdgStateHomeOrTheHomeFolder)
{
    const char *h = getenv("HOME");
    const std::string home = h ? h : "";
    const std::pair<const char *, std::string> faelle[] = {
        {"/var/x/", "/var/x/tlx1steuerung/protokoll.csv"},
        {"relativ", home + "/.local/state/tlx1steuerung/protokoll.csv"},  // only absolute paths count
        {"", home + "/.local/state/tlx1steuerung/protokoll.csv"},
    };
    setenv("HOME", "/home/bediener", 1);
    for (const auto &[xdg, pfad] : faelle) {
        setenv("XDG_STATE_HOME", xdg, 1);
        const std::string erwartet = pfad.rfind(home, 0) == 0 ? "/home/bediener" + pfad.substr(home.size()) : pfad;
        EXPECT_EQ(Protokoll_Pfad(), erwartet) << xdg;
    }
    setenv("HOME", home.c_str(), 1);
}

// Folders 0700, the file 0600 with its header; a comma or a quote is quoted, a line break escaped, so
// every record stays one line; an identification is used until a failed read forgets it.
TEST_F(Record, LinesAreWholeCsvRecordsWithTheModulesIdentification)
{
    Protokoll_Kennung("/dev/a", 3, "OKV-TLX1-B");
    EXPECT_EQ(Protokoll_Eintragen("/dev/a", 3, "P1", "2.5000", 0), 0);
    EXPECT_EQ(Protokoll_Eintragen("/dev/b", 3, "P1", "1.0000", 0), 0);  // another device: not that module
    Protokoll_Kennung("/dev/a", 3, nullptr);
    EXPECT_EQ(Protokoll_Eintragen("/dev/a", 3, "P1", "2.5000", 0), 0);
    EXPECT_EQ(Protokoll_Eintragen("/dev/x,\"y\"\nz", 9, "soll1", "11", -500028), 0);

    const std::vector<std::string> z = lines();
    ASSERT_EQ(z.size(), 5u);
    EXPECT_EQ(z[0], PROTOKOLL_KOPF);
    const std::vector<std::vector<std::string>> erwartet = {
        {"test", "/dev/a", "3", "OKV-TLX1-B", "P1", "2.5000", "0"},
        {"test", "/dev/b", "3", "", "P1", "1.0000", "0"},
        {"test", "/dev/a", "3", "", "P1", "2.5000", "0"},
        {"test", "/dev/x,\"y\"\\x0Az", "9", "", "soll1", "11", "-500028"},
    };
    for (std::size_t i = 1; i < z.size(); ++i) {
        std::string f[8];
        ASSERT_TRUE(Protokoll_Felder(z[i], f)) << z[i];
        EXPECT_EQ(std::vector<std::string>(f + 1, f + 8), erwartet[i - 1]);
    }
    EXPECT_EQ(std::tuple(mode(dir_ + "/state"), mode(dir_ + "/state/tlx1steuerung"),
                         mode(dir_ + "/state/tlx1steuerung/protokoll.csv")),
              std::tuple(0700, 0700, 0600));
    EXPECT_EQ(Protokoll_Meldung(), "");
}

// Four programs create the record at the same moment and append long lines: one header, no line mixed.
TEST_F(Record, ProgramsAppendingAtOnceNeverMixTheirLines)
{
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    std::vector<pid_t> kinder;
    for (int k = 0; k < 4; ++k) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(start[1]);
            char c;
            const bool los = read(start[0], &c, 1) == 0;  // all start when the pipe closes
            const std::string wert(3000, char('a' + k));
            int fehler = 0;
            for (int i = 0; los && i < 100; ++i)
                fehler |= Protokoll_Eintragen("/dev/k", k, "P1", wert.c_str(), i);
            _exit(los && fehler == 0 ? 0 : 1);
        }
        kinder.push_back(pid);
    }
    close(start[0]);
    close(start[1]);
    for (pid_t pid : kinder) {
        int status = -1;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::vector<std::string> z = lines();
    ASSERT_EQ(z.size(), 401u);
    EXPECT_EQ(z[0], PROTOKOLL_KOPF);
    int naechste[4] = {};
    for (std::size_t i = 1; i < z.size(); ++i) {
        std::string f[8];
        ASSERT_TRUE(Protokoll_Felder(z[i], f)) << z[i].substr(0, 80);
        const int k = std::stoi(f[3]);
        ASSERT_TRUE(k >= 0 && k < 4);
        EXPECT_EQ(f[6], std::string(3000, char('a' + k)));
        EXPECT_EQ(std::stoi(f[7]), naechste[k]++);
    }
}

}  // namespace
