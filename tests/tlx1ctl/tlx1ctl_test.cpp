// tlx1ctl end to end: the tool runs as a child process against tlx1sim on a pseudo-terminal,
// and each test reads what it printed, its exit status and what the module received.
#include "app/Parameterdatei.h"
#include "tests/support/SimProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using tlx1test::SimProcess;
using Clock = std::chrono::steady_clock;

constexpr char kKeineAntwort[] = "Keine Antwort vom Ger\u00e4t";  // UTF-8 on the terminal

struct Ergebnis {
    int status = -1;  // exit status; -1 when killed or timed out
    std::string out;
    std::string err;
    double sekunden = 0.0;
};

// tlx1ctl as a child process with its three standard streams on pipes. Every wait is bounded;
// a child still running at the end is killed.
class Tool {
 public:
    Tool(const std::vector<std::string> &args, const std::string &eingabe = "")
    {
        std::vector<std::string> alle = {TLX1CTL_PATH};
        alle.insert(alle.end(), args.begin(), args.end());
        std::vector<char *> argv;
        for (std::string &a : alle)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int ein[2], aus[2], fehl[2];
        if (pipe2(ein, O_CLOEXEC) != 0 || pipe2(aus, O_CLOEXEC) != 0 || pipe2(fehl, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        start_ = Clock::now();
        pid_ = fork();
        if (pid_ == 0) {
            dup2(ein[0], 0);
            dup2(aus[1], 1);
            dup2(fehl[1], 2);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(ein[0]);
        close(aus[1]);
        close(fehl[1]);
        fd_[0] = aus[0];
        fd_[1] = fehl[0];
        // Inputs are small; a pipe holds them whole.
        if (!eingabe.empty() && write(ein[1], eingabe.data(), eingabe.size()) < 0)
            ADD_FAILURE() << "write to child";
        close(ein[1]);
    }
    ~Tool()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        for (const int fd : fd_)
            if (fd >= 0)
                close(fd);
    }

    // Waits at most timeoutMs until stdout holds n complete lines.
    bool warteAufZeilen(std::size_t n, int timeoutMs)
    {
        const auto frist = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (static_cast<std::size_t>(std::count(r_.out.begin(), r_.out.end(), '\n')) < n)
            if (!lesen(frist))
                return false;
        return true;
    }

    void signal(int sig) { kill(pid_, sig); }

    // Waits at most timeoutMs for the child to close its output and end; kills it otherwise.
    Ergebnis ende(int timeoutMs = 20000)
    {
        const auto frist = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (lesen(frist)) {
        }
        int st = 0;
        while (waitpid(pid_, &st, WNOHANG) == 0) {
            if (Clock::now() >= frist) {
                ADD_FAILURE() << "tlx1ctl did not end in time";
                return r_;  // the destructor kills it
            }
            usleep(5000);
        }
        pid_ = -1;
        r_.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
        r_.sekunden = std::chrono::duration<double>(Clock::now() - start_).count();
        return r_;
    }

 private:
    // Reads what is there from stdout and stderr; false once both are closed or at the deadline.
    bool lesen(Clock::time_point frist)
    {
        const auto rest = std::chrono::duration_cast<std::chrono::milliseconds>(frist - Clock::now());
        if ((fd_[0] < 0 && fd_[1] < 0) || rest.count() <= 0)
            return false;
        pollfd fds[2] = {{fd_[0], POLLIN, 0}, {fd_[1], POLLIN, 0}};
        if (poll(fds, 2, static_cast<int>(rest.count())) <= 0)
            return false;
        std::string *ziel[2] = {&r_.out, &r_.err};
        for (int i = 0; i < 2; ++i) {
            if (fd_[i] < 0 || fds[i].revents == 0)
                continue;
            char buf[4096];
            const ssize_t n = read(fd_[i], buf, sizeof buf);
            if (n > 0) {
                ziel[i]->append(buf, static_cast<std::size_t>(n));
            } else {
                close(fd_[i]);
                fd_[i] = -1;
            }
        }
        return true;
    }

    pid_t pid_ = -1;
    int fd_[2] = {-1, -1};  // the child's stdout and stderr
    Clock::time_point start_;
    Ergebnis r_;
};

Ergebnis Starte(const std::vector<std::string> &args, const std::string &eingabe = "")
{
    Tool tool(args, eingabe);
    return tool.ende();
}

std::vector<std::string> Zeilen(const std::string &text)
{
    std::vector<std::string> zeilen;
    std::size_t anfang = 0;
    for (std::size_t nl; (nl = text.find('\n', anfang)) != std::string::npos; anfang = nl + 1)
        zeilen.push_back(text.substr(anfang, nl - anfang));
    return zeilen;
}

// Simulated modules without the plant, so values stay as stored.
class Tlx1ctl : public ::testing::Test {
 protected:
    std::vector<std::string> mitGeraet(std::vector<std::string> args) const
    {
        args.push_back("--device");
        args.push_back(sim.devicePath());
        return args;
    }

    SimProcess sim{{"--plant", "off"}};
};

constexpr char kSatz[] = "P1=2.5\nI1=0.1\nD1=0\nmin1=0.5\nmax1=9.5\nanfangssoll1=1.25\n"
                         "anstiegszeit1=20\nbetriebsart1=1\n";

TEST_F(Tlx1ctl, IdStatusGetAndSetTalkToTheModule)
{
    sim.command("set 1 status 0x3F");
    sim.command("set 1 P1 -12.5");
    const std::vector<std::pair<std::vector<std::string>, std::string>> faelle = {
        {{"id"}, "OKV-TLX1-SIM\n"},
        {{"status"}, "0x3F 63\n"},
        {{"get", "P1"}, "-12.5\n"},
        {{"set", "P1", "-12345.6"}, ""},
        {{"set", "soll1", "2,5"}, ""},                   // a comma is a decimal point too
        {{"set", "max1", "7.5", "--address", "9"}, ""},  // to all modules: nobody answers
    };
    for (const auto &[args, ausgabe] : faelle) {
        const Ergebnis r = Starte(mitGeraet(args));
        EXPECT_EQ(r.status, 0) << args[0] << r.err;
        EXPECT_EQ(r.out, ausgabe) << args[0];
    }
    const std::vector<std::string> erwartet = {"#1IDR", "#1STR", "#1P1R", "#1P1W-12346",
                                               "#1S1W2.500", "#9H1W7.500"};
    sim.waitForFrames(erwartet.size());
    EXPECT_EQ(sim.received(), erwartet);
}

TEST_F(Tlx1ctl, OutOfRangeSetIsRefusedBeforeAnythingIsSent)
{
    const Ergebnis r = Starte(mitGeraet({"set", "P1", "100000"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "500025 Parameter au\u00dferhalb der Grenzwerte\n");
    const Ergebnis nurLesen = Starte(mitGeraet({"set", "istwert1", "1"}));
    EXPECT_EQ(nurLesen.status, 1);
    EXPECT_EQ(nurLesen.err, "401035 Unzul\u00e4ssiger Parameter\n");
    usleep(200 * 1000);
    EXPECT_TRUE(sim.received().empty());
}

TEST_F(Tlx1ctl, ModuleFaultsGiveNumberAndTextAndExitOne)
{
    // Address 4 has no module: the read times out after 1.0 s.
    Ergebnis r = Starte(mitGeraet({"get", "P1", "--address", "4"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, std::string("403052 ") + kKeineAntwort + "\n");
    EXPECT_EQ(r.out, "");
    EXPECT_GT(r.sekunden, 0.9);

    sim.command("fault nak");
    r = Starte(mitGeraet({"set", "P1", "1"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "402040 Fehlermeldung (NAK) vom Ger\u00e4t erhalten\n");

    r = Starte(mitGeraet({"read-set"}));  // never half a set
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "402050 Fehlermeldung (NAK) vom Ger\u00e4t erhalten\nread-set: P1 nicht gelesen\n");

    sim.command("fault wrongaddr");
    r = Starte(mitGeraet({"id"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "404014 Fehlerhafte Antwort vom Ger\u00e4t\n");
    EXPECT_EQ(r.out, "");
}

TEST_F(Tlx1ctl, ReadSetPrintsTheEightValuesInParameterSetOrder)
{
    for (const char *c : {"P1 2.5", "I1 0.1", "D1 0", "min1 0.5", "max1 9.5", "anfangssoll1 1.25",
                          "anstiegszeit1 20", "betriebsart1 1"})
        sim.command(std::string("set 1 ") + c);
    const Ergebnis r = Starte(mitGeraet({"read-set"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kSatz);
    // Read from the module in transfer order, as the window program reads it.
    const std::vector<std::string> erwartet = {"#1P1R", "#1I1R", "#1D1R", "#1S5R",
                                               "#1L1R", "#1H1R", "#1F1R", "#1M1R"};
    sim.waitForFrames(erwartet.size());
    EXPECT_EQ(sim.received(), erwartet);
}

TEST_F(Tlx1ctl, WriteSetWritesInTransferOrderAndRoundTrips)
{
    const std::string datei = testing::TempDir() + "tlx1ctl_satz_" + std::to_string(getpid()) + ".txt";
    std::ofstream(datei) << "# Satz fuer Anlage 3\r\n\n" << kSatz;
    Ergebnis r = Starte(mitGeraet({"write-set", datei}));
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> erwartet = {
        "#1P1W2.5000", "#1I1W0.1000", "#1D1W0.0000", "#1S5W1.250",
        "#1L1W0.500",  "#1H1W9.500",  "#1F1W20.000", "#1M1W1"};
    sim.waitForFrames(erwartet.size());
    EXPECT_EQ(sim.received(), erwartet);

    r = Starte(mitGeraet({"read-set"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kSatz);
    std::remove(datei.c_str());
}

TEST_F(Tlx1ctl, WriteSetStopsAtTheFailingNameAndSaysWhich)
{
    std::string satz = kSatz;
    satz.replace(satz.find("anfangssoll1=1.25"), 17, "anfangssoll1=11");  // above 10 V
    const Ergebnis r = Starte(mitGeraet({"write-set", "-"}), satz);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Zeilen(r.err).at(0), "500029 Parameter au\u00dferhalb der Grenzwerte");
    EXPECT_NE(r.err.find("abgebrochen bei anfangssoll1; geschrieben: P1 I1 D1;"), std::string::npos)
        << r.err;
    usleep(200 * 1000);
    const std::vector<std::string> erwartet = {"#1P1W2.5000", "#1I1W0.1000", "#1D1W0.0000"};
    EXPECT_EQ(sim.received(), erwartet);
}

TEST_F(Tlx1ctl, UsageErrorsExitTwoAndSendNothing)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> faelle = {
        {{}, ""},
        {{"frobnicate"}, ""},
        {{"get"}, ""},
        {{"get", "P1", "I1"}, ""},
        {{"set", "P1", "abc"}, ""},
        {{"set", "P1", "nan"}, ""},
        {{"set", "P1", "1.5x"}, ""},
        {{"id", "--port", "0"}, ""},
        {{"id", "--port", "1", "--device", "/dev/null"}, ""},
        {{"id", "--address", "10"}, ""},
        {{"id", "--bogus"}, ""},
        {{"get", "P1", "--rate", "5"}, ""},
        {{"monitor", "--count", "0"}, ""},
        {{"monitor", "--rate", "1000"}, ""},
        {{"scan", "--address", "2"}, ""},
        {{"write-set"}, "P1=1\n"},                                      // seven names missing
        {{"write-set"}, std::string(kSatz) + "soll1=3\n"},              // not in the set
        {{"write-set"}, std::string(kSatz) + "P1=3\n"},                 // twice
        {{"write-set"}, std::string("P1 2.5\n") + kSatz},               // no '='
        {{"write-set", "-"}, std::string("P1=zwei\n") + kSatz},         // no number
    };
    for (const auto &[args, eingabe] : faelle) {
        const bool mitPort = std::find(args.begin(), args.end(), "--port") != args.end();
        const Ergebnis r = Starte(mitPort ? args : mitGeraet(args), eingabe);
        const std::string fall = ::testing::PrintToString(args) + " " + eingabe;
        EXPECT_EQ(r.status, 2) << fall << r.err;
        EXPECT_EQ(r.out, "") << fall;
        EXPECT_NE(r.err.find("Aufruf: tlx1ctl"), std::string::npos) << fall << r.err;
    }
    usleep(200 * 1000);
    EXPECT_TRUE(sim.received().empty());
}

TEST_F(Tlx1ctl, EveryCommandHasHelp)
{
    for (const char *befehl : {"scan", "id", "status", "get", "set", "read-set", "write-set", "monitor"}) {
        const Ergebnis r = Starte({befehl, "--help"});
        EXPECT_EQ(r.status, 0) << befehl;
        EXPECT_EQ(r.out.rfind(std::string("Aufruf: tlx1ctl ") + befehl, 0), 0u) << r.out;
        EXPECT_GT(Zeilen(r.out).size(), 2u) << befehl;
    }
    const Ergebnis r = Starte({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("monitor [--rate HZ] [--count N]"), std::string::npos);
}

std::string DateiInhalt(const std::string &pfad)
{
    std::ifstream f(pfad, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

TEST(Tlx1ctlDatei, SaveStoresTheModulesSetAndLoadMovesItToAnotherModule)
{
    // Module 1 holds the window's design values, so the file must be the reference record.
    SimProcess sim({"--plant", "off", "--module", "1", "--module", "2"});
    for (const char *c : {"P1 0", "I1 1", "D1 0", "min1 0", "max1 10", "anfangssoll1 0",
                          "anstiegszeit1 1000", "betriebsart1 1"})
        sim.command(std::string("set 1 ") + c);
    const std::string datei = testing::TempDir() + "tlx1ctl_" + std::to_string(getpid()) + ".tlx";
    std::ofstream(datei) << "earlier file";
    Ergebnis r = Starte({"save", datei, "--device", sim.devicePath()});
    EXPECT_EQ(r.status, 0) << r.err;
    unsigned char referenz[PARAMETERDATEI_GROESSE] = {
        'o', 'k', 'v', ' ', 't', 'l', 'x', '1', ' ', 'p', 'a', 'r', 'a', 'm', 'e', 't',
        'e', 'r', 'd', 'a', 't', 'e', 'i', 0, 0, 0, 0, 0, 0, 0, 0, 0, 2};
    const std::pair<int, unsigned char> gesetzt[] = {
        {54, 0xf0}, {55, 0x3f}, {78, 0x24}, {79, 0x40}, {93, 0x40}, {94, 0x8f}, {95, 0x40},
        {102, 0xf0}, {103, 0x3f}, {118, 0x24}, {119, 0x40}, {134, 0x24}, {135, 0x40},
        {150, 0x24}, {151, 0x40}, {152, 'V'}};
    for (const auto &[stelle, wert] : gesetzt)
        referenz[stelle] = wert;
    EXPECT_EQ(DateiInhalt(datei), std::string(reinterpret_cast<char *>(referenz), sizeof referenz));

    r = Starte({"load", datei, "--address", "2", "--device", sim.devicePath()});
    EXPECT_EQ(r.status, 0) << r.err;
    const Ergebnis eins = Starte({"read-set", "--device", sim.devicePath()});
    const Ergebnis zwei = Starte({"read-set", "--address", "2", "--device", sim.devicePath()});
    EXPECT_EQ(zwei.out, eins.out);
    EXPECT_NE(zwei.out.find("anstiegszeit1=1000\n"), std::string::npos) << zwei.out;

    // A module that does not answer: nothing saved, the earlier file as it was.
    sim.command("fault silent");
    const std::string vorher = DateiInhalt(datei);
    r = Starte({"save", datei, "--device", sim.devicePath()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Zeilen(r.err).at(0), std::string("403052 ") + kKeineAntwort);
    EXPECT_EQ(DateiInhalt(datei), vorher);
    sim.command("fault none");
    r = Starte({"save", "/nonexistent/a.tlx", "--device", sim.devicePath()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Zeilen(r.err).at(0), "308101 Fehler beim \u00d6ffnen der Datei");
    std::remove(datei.c_str());
}

TEST(Tlx1ctlDatei, LoadConvertsFromTheFilesUnitAndRefusesBadFilesBeforeSending)
{
    SimProcess sim({"--plant", "off"});
    const std::string pfad = testing::TempDir() + "tlx1ctl_" + std::to_string(getpid()) + ".tlx";
    // 0..10 V shown as 20..120 "%": 70 % is 5 V, a slope of 220 %/s is 20 V/s (offset included).
    Parameterdatei datei{{2.5, 0.1, 0, 0.5, 9.5, 70, 220, 3}, 20, 120, {0, 10, 20, 120, "%"}};
    unsigned char bytes[PARAMETERDATEI_GROESSE];
    Parameterdatei_Kodieren(&datei, bytes);
    const std::string gut(reinterpret_cast<char *>(bytes), sizeof bytes);
    std::ofstream(pfad, std::ios::binary) << gut;
    Ergebnis r = Starte({"load", pfad, "--device", sim.devicePath()});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> erwartet = {
        "#1P1W2.5000", "#1I1W0.1000", "#1D1W0.0000", "#1S5W5.000",
        "#1L1W0.500",  "#1H1W9.500",  "#1F1W20.000", "#1M1W3"};
    sim.waitForFrames(erwartet.size());
    EXPECT_EQ(sim.received(), erwartet);
    sim.clearReceived();

    std::string andererTyp = gut, version3 = gut;
    andererTyp[23] = 'x';
    version3[32] = 3;
    const std::pair<std::string, std::string> faelle[] = {
        {gut.substr(0, 35), "304104 Fehler beim Lesen der Datei"},
        {gut.substr(0, 159), "304107 Fehler beim Lesen der Datei"},
        {andererTyp, "302105 Die Datei ist nicht vom richtigen Typ"},
        {version3, "303106 Die Datei hat die falsche Versionsnummer"},
    };
    for (const auto &[inhalt, fehler] : faelle) {
        std::ofstream(pfad, std::ios::binary | std::ios::trunc) << inhalt;
        r = Starte({"load", pfad, "--device", sim.devicePath()});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(Zeilen(r.err).at(0), fehler);
    }
    std::remove(pfad.c_str());
    r = Starte({"load", pfad, "--device", sim.devicePath()});
    EXPECT_EQ(Zeilen(r.err).at(0), "308103 Fehler beim \u00d6ffnen der Datei");
    usleep(200 * 1000);
    EXPECT_TRUE(sim.received().empty());
}

TEST(Tlx1ctlPort, PortNumberUsesTheSameMappingAsTheWindowProgram)
{
    SimProcess sim({}, 7);  // TLX1_COM7 -> the simulator
    const Ergebnis r = Starte({"id", "--port", "7"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "OKV-TLX1-SIM\n");
    unsetenv("TLX1_COM7");
}

TEST(Tlx1ctlPort, AFailedOpenSaysWhy)
{
    Ergebnis r = Starte({"id", "--device", "/nonexistent/ttyUSB9"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Zeilen(r.err).at(0), "100002 Fehler beim \u00f6ffnen der seriellen Schnittstelle");
    EXPECT_NE(r.err.find("nicht gefunden"), std::string::npos) << r.err;

    r = Starte({"id", "--device", "/etc/hostname"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("keine serielle Schnittstelle"), std::string::npos) << r.err;

    // Another program holds the port.
    SimProcess sim;
    const int fd = open(sim.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    r = Starte({"id", "--device", sim.devicePath()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("von einem anderen Programm benutzt"), std::string::npos) << r.err;
    close(fd);

    // No permission (root is never refused, so only without it).
    if (geteuid() != 0) {
        struct stat st{};
        ASSERT_EQ(stat(sim.ptyPath().c_str(), &st), 0);
        ASSERT_EQ(chmod(sim.ptyPath().c_str(), 0), 0);
        r = Starte({"id", "--device", sim.devicePath()});
        chmod(sim.ptyPath().c_str(), st.st_mode & 07777);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("keine Berechtigung"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("dialout"), std::string::npos) << r.err;
    }
    r = Starte({"id", "--device", sim.devicePath()});
    EXPECT_EQ(r.status, 0) << r.err;  // free again: the trial open took nothing with it
}

TEST(Tlx1ctlScan, OneLinePerAddressWithTextOrError)
{
    SimProcess sim({"--plant", "off", "--module", "2=OKV-TLX1-A", "--module", "5=ABC-100"});
    const Ergebnis r = Starte({"scan", "--device", sim.devicePath()});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string still = std::string(" - 403011 ") + kKeineAntwort;
    const std::vector<std::string> erwartet = {
        "1" + still, "2 TLX-1 OKV-TLX1-A", "3" + still, "4" + still,
        "5 anderes ABC-100", "6" + still, "7" + still, "8" + still};
    EXPECT_EQ(Zeilen(r.out), erwartet);
}

TEST(Tlx1ctlMonitor, CountLinesAtTheAskedRate)
{
    SimProcess sim;
    const Ergebnis r = Starte({"monitor", "--count", "20", "--rate", "20", "--device", sim.devicePath()});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> zeilen = Zeilen(r.out);
    ASSERT_EQ(zeilen.size(), 20u) << r.out;
    const std::regex form(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d,-?\d+(\.\d+)?)");
    for (const std::string &z : zeilen)
        EXPECT_TRUE(std::regex_match(z, form)) << z;
    EXPECT_EQ(r.out.back(), '\n');
    // 19 periods of 50 ms, the start-up and one exchange around it.
    EXPECT_GT(r.sekunden, 0.9);
    EXPECT_LT(r.sekunden, 1.6);
    EXPECT_TRUE(sim.waitForFrames(20));
}

TEST(Tlx1ctlMonitor, SigintOrSigtermEndItCleanlyAfterTheCurrentLine)
{
    // The paced case has reads (about 20 ms at 9600 baud) longer than the 10 ms period.
    const std::vector<std::pair<std::vector<std::string>, int>> faelle = {
        {{}, SIGINT}, {{}, SIGTERM}, {{"--pace"}, SIGINT}};
    for (const auto &[simOptionen, sig] : faelle) {
        SimProcess sim(simOptionen);
        Tool tool({"monitor", "--rate", "100", "--device", sim.devicePath()});
        ASSERT_TRUE(tool.warteAufZeilen(3, 5000));
        tool.signal(sig);
        const Ergebnis r = tool.ende(3000);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.back(), '\n');
        EXPECT_EQ(r.err, "");
    }
}

TEST(Tlx1ctlMonitor, AFailedReadEndsWithItsError)
{
    SimProcess sim;
    Tool tool({"monitor", "--rate", "50", "--device", sim.devicePath()});
    ASSERT_TRUE(tool.warteAufZeilen(2, 5000));
    sim.command("fault silent");
    const Ergebnis r = tool.ende(5000);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, std::string("403052 ") + kKeineAntwort + "\n");
    EXPECT_EQ(r.out.back(), '\n');
}

}  // namespace
