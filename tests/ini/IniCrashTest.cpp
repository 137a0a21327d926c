// Crash consistency: a process rewriting the settings file is killed at random
// moments; the file must always hold one complete version.
#include "tests/ini/IniTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
StorePtr Version(int sections, int items, const char *marker)
{
    StorePtr store(Ini_New(1));
    for (int s = 0; s < sections; ++s)
        for (int i = 0; i < items; ++i)
            Ini_PutRawString(store.get(), ("sektion" + std::to_string(s)).c_str(), ("item" + std::to_string(i)).c_str(),
                             (std::string(marker) + std::string(static_cast<size_t>(i % 90), '.')).c_str());
    Ini_PutRawString(store.get(), "TLX1", "version", marker);
    return store;
}
} // namespace

TEST(IniCrash, KilledWriterLeavesOneCompleteVersion)
{
    TempDir dir;
    const std::string target = dir.Path("tlx1steuerung.ini");
    StorePtr small = Version(1, 3, "klein");
    StorePtr large = Version(12, 50, "gross"); // about 50 KB, several buffer flushes
    const std::string texts[2] = {TextOf(small.get()), TextOf(large.get())};
    ASSERT_EQ(Ini_WriteToFile(small.get(), target.c_str()), 0);

    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> delayMicroseconds(0, 12000);
    int seen[2] = {0, 0};
    for (int kill = 0; kill < 200; ++kill) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;) {
                Ini_WriteToFile(large.get(), target.c_str());
                Ini_WriteToFile(small.get(), target.c_str());
            }
        }
        usleep(static_cast<useconds_t>(delayMicroseconds(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);

        const std::string bytes = ReadBytes(target);
        const int which = bytes == texts[0] ? 0 : (bytes == texts[1] ? 1 : -1);
        ASSERT_NE(which, -1) << "after kill " << kill << " the file holds " << bytes.size() << " bytes of neither version";
        ++seen[which];
        StorePtr reread(Ini_New(1));
        ASSERT_EQ(Ini_ReadFromFile(reread.get(), target.c_str()), 0);
        char version[8];
        Ini_GetRawStringIntoBuffer(reread.get(), "TLX1", "version", version, sizeof version);
        EXPECT_STREQ(version, which == 0 ? "klein" : "gross");

        // A kill may leave the one temporary file it was writing, never more.
        const auto leftovers = dir.TempFiles();
        ASSERT_LE(leftovers.size(), 1u);
        for (const auto &name : leftovers)
            std::filesystem::remove(dir.Path(name));
    }
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
}
