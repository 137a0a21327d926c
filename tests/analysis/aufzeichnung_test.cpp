// CSV recordings: written, read back, and what a failing disk leaves.
#include "analysis/Aufzeichnung.h"

#include "platform/fileio/fileio.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Inhalt(const std::string &pfad)
{
    std::ifstream f(pfad, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

std::vector<std::string> Zeilen(const std::string &text)
{
    std::vector<std::string> z;
    std::istringstream ein(text);
    for (std::string zeile; std::getline(ein, zeile);)
        z.push_back(zeile);
    return z;
}

Aufzeichnungspunkt Punkt(int i)
{
    return {std::chrono::system_clock::time_point(std::chrono::milliseconds(1796000000000LL + 100 * i)), 50.0 + i,
            49.5 + i * 0.25, 5.0 + i / 10.0, 4.95 + i * 0.025};
}

// A running recording: header, one row per point in the agreed form, read back to the same numbers;
// a unit with a comma is quoted, a Windows-1252 unit arrives as UTF-8.
TEST(Aufzeichnung, RunningRecordingReadsBack)
{
    const std::string pfad = testing::TempDir() + "aufzeichnung_" + std::to_string(getpid()) + ".csv";
    Aufzeichnung a;
    std::string grund;
    ASSERT_EQ(Aufzeichnung_Starten(&a, pfad.c_str(), kAufzeichnungKopf, &grund), 0) << grund;
    const char *einheiten[] = {"%", "\260C", "m,s"};  // "\260" is the degree sign, Windows-1252
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(Aufzeichnung_Zeile(&a, AufzeichnungZeile(Punkt(i), einheiten[i]), &grund), 0) << grund;
    // Each row is in the file as soon as it is taken, before the end.
    EXPECT_EQ(Zeilen(Inhalt(pfad)).size(), 4u);
    ASSERT_EQ(Aufzeichnung_Beenden(&a, &grund), 0) << grund;

    const std::vector<std::string> z = Zeilen(Inhalt(pfad));
    ASSERT_EQ(z.size(), 4u);
    EXPECT_EQ(z[0], "zeit,sollwert,istwert,einheit,sollwert_V,istwert_V");
    const std::regex form(
        R"((\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.(\d{3})[+-]\d\d:\d\d),([-\d.]+),([-\d.]+),(.*),([-\d.]+),([-\d.]+))");
    const char *erwartet[] = {"%", "\302\260C", "\"m,s\""};  // the degree sign in UTF-8
    for (int i = 0; i < 3; ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(z[i + 1], m, form)) << z[i + 1];
        EXPECT_EQ(m[2], i == 0 ? "000" : i == 1 ? "100" : "200");
        EXPECT_EQ(std::stod(m[3]), Punkt(i).sollwert);
        EXPECT_EQ(std::stod(m[4]), Punkt(i).istwert);
        EXPECT_EQ(m[5], erwartet[i]);
        EXPECT_EQ(std::stod(m[6]), Punkt(i).sollwertV);
        EXPECT_EQ(std::stod(m[7]), Punkt(i).istwertV);
    }
    std::remove(pfad.c_str());
}

// A disk that refuses rows: the reason is said, the rows wait and go out once the disk takes them
// again; a recording that cannot be created says why.
TEST(Aufzeichnung, FailuresLoseNothingAlreadyRecorded)
{
    const std::string pfad = testing::TempDir() + "aufzeichnung_voll_" + std::to_string(getpid()) + ".csv";
    Aufzeichnung a;
    std::string grund;
    ASSERT_EQ(Aufzeichnung_Starten(&a, pfad.c_str(), "zeit,istwert1", &grund), 0);
    ASSERT_EQ(Aufzeichnung_Zeile(&a, "a,1\n", &grund), 0);
    const int datei = dup(a.fd);
    const int voll = open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(voll, 0);
    dup2(voll, a.fd);  // the disk is full from here on
    EXPECT_EQ(Aufzeichnung_Zeile(&a, "b,2\n", &grund), -1);
    EXPECT_EQ(grund, "Die Aufzeichnung kann nicht weitergeschrieben werden. Der Datentr\xE4ger ist voll.");
    EXPECT_EQ(Aufzeichnung_Zeile(&a, "c,3\n", &grund), -1);
    EXPECT_EQ(a.offen, "b,2\nc,3\n");
    dup2(datei, a.fd);  // room again
    EXPECT_EQ(Aufzeichnung_Zeile(&a, "d,4\n", &grund), 0);
    EXPECT_EQ(Aufzeichnung_Beenden(&a, &grund), 0);
    EXPECT_EQ(Inhalt(pfad), "zeit,istwert1\na,1\nb,2\nc,3\nd,4\n");
    close(voll);
    close(datei);

    EXPECT_EQ(Aufzeichnung_Starten(&a, (testing::TempDir() + "fehlt/x.csv").c_str(), "k", &grund), -1);
    EXPECT_EQ(grund, "Die Aufzeichnung kann nicht angelegt werden. Der Ordner existiert nicht.");
    EXPECT_EQ(a.fd, -1);
    const std::string fifo = pfad + ".fifo";  // no reader: refused at once, not waited for
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(Aufzeichnung_Starten(&a, fifo.c_str(), "k", &grund), -1);
    EXPECT_EQ(grund, "Die Aufzeichnung kann nicht angelegt werden. Das ist keine gew\xF6hnliche Datei.");
    std::remove(fifo.c_str());
    std::remove(pfad.c_str());
}

// A one-shot export replaces the file whole or leaves the earlier one as it was.
TEST(Aufzeichnung, ExportReplacesWholeOrNotAtAll)
{
    const std::string pfad = testing::TempDir() + "export_" + std::to_string(getpid()) + ".csv";
    std::string grund;
    ASSERT_EQ(DateiErsetzen(pfad.c_str(), "alt\n", &grund), 0) << grund;
    const std::string gross(3 << 20, 'x');  // more than one write
    ASSERT_EQ(DateiErsetzen(pfad.c_str(), gross, &grund), 0) << grund;
    EXPECT_EQ(Inhalt(pfad), gross);

    FileIO_FailWriteAfter(2, ENOSPC);  // the second piece does not fit
    EXPECT_EQ(DateiErsetzen(pfad.c_str(), "neu\n" + gross, &grund), -1);
    FileIO_FailWriteAfter(0, 0);
    EXPECT_EQ(grund, "Die Datei kann nicht gespeichert werden. Der Datentr\xE4ger ist voll.");
    EXPECT_EQ(Inhalt(pfad), gross);
    EXPECT_EQ(DateiErsetzen(testing::TempDir().c_str(), "x", &grund), -1);  // a folder of that name
    EXPECT_FALSE(grund.empty());
    std::remove(pfad.c_str());
}

}  // namespace
