// tlx1ctl end to end: the tool runs as a child process against tlx1sim on a pseudo-terminal,
// and each test reads what it printed, its exit status and what the module received.
#include "app/Parameterdatei.h"
#include "sim/Ser2netProcess.h"
#include "sim/SimProcess.h"
#include "tests/rs232/pty_pair.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

using tlx1sim::Ser2netProcess;
using tlx1sim::SimProcess;
using Args = std::vector<std::string>;

const std::string kKeineAntwort = "Keine Antwort vom Ger\u00e4t";  // UTF-8 on the terminal
constexpr char kSatz[] = "P1=2.5\nI1=0.1\nD1=0\nmin1=0.5\nmax1=9.5\nanfangssoll1=1.25\n"
                         "anstiegszeit1=20\nbetriebsart1=1\n";

std::string Inhalt(const std::string &pfad)
{
    std::ifstream f(pfad, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

std::vector<std::string> Zeilen(const std::string &text)
{
    std::vector<std::string> zeilen;
    for (std::size_t a = 0, nl; (nl = text.find('\n', a)) != std::string::npos; a = nl + 1)
        zeilen.push_back(text.substr(a, nl - a));
    return zeilen;
}

// The state folder the tool's service record goes to (XDG_STATE_HOME of every run).
std::string gZustand = testing::TempDir() + "tlx1ctl_state_" + std::to_string(getpid());
std::string Protokoll()
{
    return Inhalt(gZustand + "/tlx1steuerung/protokoll.csv");
}
struct Aufraeumen {
    ~Aufraeumen() { std::filesystem::remove_all(gZustand); }
} gAufraeumen;

struct Ergebnis {
    int status = -1;  // exit status; -1 when it ended otherwise
    std::string out, err;
};

// Runs tlx1ctl with its standard streams on files, in the folder `ordner` when one is given.
// `timeout` bounds every run: after `sekunden` it sends `signal`, which ends a run that hangs with a
// status the tests never expect; a run that outlives the signal by 10 s is killed, so no test waits
// without bound.
Ergebnis Starte(const Args &args, const std::string &eingabe = "", const char *signal = "KILL", int sekunden = 30,
                const std::string &ordner = "")
{
    const auto q = [](const std::string &s) { return " '" + s + "'"; };
    const std::string basis = testing::TempDir() + "tlx1ctl_" + std::to_string(getpid());
    std::ofstream(basis + ".in", std::ios::binary) << eingabe;
    std::string befehl = (ordner.empty() ? "" : "cd" + q(ordner) + " && ") + "XDG_STATE_HOME='" + gZustand +
                         "' timeout --preserve-status -k 10 -s " + std::string(signal) + " " +
                         std::to_string(sekunden) + q(TLX1CTL_PATH);
    for (const std::string &a : args)
        befehl += q(a);
    const int st =
        std::system((befehl + " <" + q(basis + ".in") + " >" + q(basis + ".out") + " 2>" + q(basis + ".err")).c_str());
    Ergebnis r{WIFEXITED(st) ? WEXITSTATUS(st) : -1, Inhalt(basis + ".out"), Inhalt(basis + ".err")};
    for (const char *endung : {".in", ".out", ".err"})
        std::remove((basis + endung).c_str());
    return r;
}

Ergebnis Starte(const SimProcess &sim, Args args, const std::string &eingabe = "")
{
    args.insert(args.end(), {"--device", sim.devicePath()});
    return Starte(args, eingabe);
}

// Simulated modules without the plant, so values stay as stored.
class Tlx1ctl : public ::testing::Test {
protected:
    SimProcess sim{{"--plant", "off"}};
};

// Each command's output and what it sent; a module fault gives its number and text and exit 1.
TEST_F(Tlx1ctl, CommandsTalkToTheModuleAndReportItsFaults)
{
    sim.command("set 1 status 0x3F");
    sim.command("set 1 P1 -12.5");
    // clang-format off
    const struct { const char *fault; Args args; std::string out, err; } faelle[] = {
        {"none", {"id"}, "OKV-TLX1-SIM\n", ""},
        {"none", {"status"}, "0x3F 63\n", ""},
        {"none", {"get", "P1"}, "-12.5\n", ""},
        {"none", {"set", "P1", "-12345.6"}, "", ""},
        {"none", {"set", "soll1", "2,5"}, "", ""},                   // a comma is a decimal point too
        {"none", {"set", "max1", "7.5", "--address", "9"}, "", ""},  // to all modules: nobody answers
        {"none", {"set", "P1", "100000"}, "", "500025 Parameter au\u00dferhalb der Grenzwerte\n"},  // not sent
        {"none", {"get", "P1", "--address", "4"}, "", "403052 " + kKeineAntwort + "\n"},  // no module there
        {"nak", {"set", "P1", "1"}, "", "402040 Fehlermeldung (NAK) vom Ger\u00e4t erhalten\n"},
        // A failed read-set prints no half set.
        {"nak", {"read-set"}, "", "402050 Fehlermeldung (NAK) vom Ger\u00e4t erhalten\nread-set: P1 nicht gelesen\n"},
        {"wrongaddr", {"id"}, "", "404014 Fehlerhafte Antwort vom Ger\u00e4t\n"},
    };
    // clang-format on
    for (const auto &f : faelle) {
        sim.command(std::string("fault ") + f.fault);
        const Ergebnis r = Starte(sim, f.args);
        EXPECT_EQ(r.status, f.err.empty() ? 0 : 1) << f.args[0] << r.err;
        EXPECT_EQ(r.out, f.out) << f.args[0];
        EXPECT_EQ(r.err, f.err) << f.args[0];
    }
    const Args erwartet = {"#1IDR",      "#1STR", "#1P1R",       "#1P1W-12346", "#1S1W2.500",
                           "#9H1W7.500", "#4P1R", "#1P1W1.0000", "#1P1R",       "#1IDR"};
    sim.waitForFrames(erwartet.size());
    EXPECT_EQ(sim.received(), erwartet);
}

// Calls that make no sense exit 2 with the usage line and send nothing; --help explains each command.
TEST_F(Tlx1ctl, UsageErrorsSendNothingAndEveryCommandHasHelp)
{
    const std::pair<Args, std::string> faelle[] = {
        {{}, ""},
        {{"frobnicate"}, ""},
        {{"get"}, ""},
        {{"get", "P1", "I1"}, ""},
        {{"set", "P1", "nan"}, ""},
        {{"id", "--address", "10"}, ""},
        {{"id", "--bogus"}, ""},
        {{"get", "P1", "--rate", "5"}, ""},
        {{"monitor", "--count", "0"}, ""},
        {{"monitor", "--rate", "1000"}, ""},
        {{"scan", "--address", "2"}, ""},
        {{"monitor", "--values", "istwert1,frobnicate"}, ""},
        {{"monitor", "--values", "soll1,soll1"}, ""},
        {{"step"}, ""},
        {{"step", "--to", "11"}, ""},
        {{"step", "--to", "5", "--duration", "1"}, ""},
        {{"identify", "--output", "x"}, ""},
        {{"identify", "--output", "5", "--tau-c", "0"}, ""},
        {{"monitor", "--header=1"}, ""},
        {{"identify", "--output", "5", "--address", "9"}, ""},
        {{"write-set"}, "P1=1\n"},                              // seven names missing
        {{"write-set"}, std::string(kSatz) + "soll1=3\n"},      // not in the set
        {{"write-set"}, std::string(kSatz) + "P1=3\n"},         // twice
        {{"write-set", "-"}, std::string("P1 2.5\n") + kSatz},  // no '='
        {{"diff", "-"}, "P1=1\n"},                              // a set to compare needs all eight
        // Names the module does not know or cannot write.
        {{"get", "foo"}, ""},
        {{"set", "foo", "1"}, ""},
        {{"set", "istwert1", "1"}, ""},
    };
    for (const auto &[args, eingabe] : faelle) {
        const Ergebnis r = Starte(sim, args, eingabe);
        EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args) << eingabe;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("Aufruf: tlx1ctl"), std::string::npos) << r.err;
        // A wrong name lists the valid ones: every name for get, the writable ones for set.
        if (args.size() > 1 && (args[1] == "foo" || args[1] == "istwert1")) {
            EXPECT_NE(r.err.find("g\u00fcltige Namen: P1 I1 D1 soll1 "), std::string::npos) << r.err;
            EXPECT_EQ(r.err.find("istwert2") != std::string::npos, args[0] == "get") << r.err;
        }
    }
    EXPECT_EQ(Starte({"id", "--port", "0"}).status, 2);
    for (const Args &args : {Args{"show", "a.tlx", "--device", "/dev/null"}, Args{"show"},
                             Args{"log", "--since", "gestern"}, Args{"log", "--since", "2026-13-01"}, Args{"log", "x"}})
        EXPECT_EQ(Starte(args).status, 2) << ::testing::PrintToString(args);
    EXPECT_EQ(Starte({"id", "--port", "1", "--device", "/dev/null"}).status, 2);
    usleep(200 * 1000);
    EXPECT_TRUE(sim.received().empty());
    for (const char *befehl : {"scan", "id", "status", "get", "set", "read-set", "write-set", "monitor", "step",
                               "identify", "show", "diff", "log"}) {
        const Ergebnis r = Starte({befehl, "--help"});
        EXPECT_EQ(r.status, 0) << befehl;
        EXPECT_EQ(r.out.rfind(std::string("Aufruf: tlx1ctl ") + befehl, 0), 0u) << r.out;
        EXPECT_GT(Zeilen(r.out).size(), 2u) << befehl;
    }
    EXPECT_NE(Starte({"--help"}).out.find("monitor [--rate HZ] [--count N]"), std::string::npos);
}

TEST_F(Tlx1ctl, WriteSetAndReadSetGoInTransferOrderAndARefusalByTheModuleStopsIt)
{
    const std::string datei = testing::TempDir() + "tlx1ctl_satz_" + std::to_string(getpid()) + ".txt";
    std::ofstream(datei) << "# Satz fuer Anlage 3\r\n\n" << kSatz;
    EXPECT_EQ(Starte(sim, {"write-set", datei}).err, "");
    std::remove(datei.c_str());
    Ergebnis r = Starte(sim, {"read-set"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kSatz);
    const Args erwartet = {"#1P1W2.5000", "#1I1W0.1000", "#1D1W0.0000", "#1S5W1.250", "#1L1W0.500", "#1H1W9.500",
                           "#1F1W20.000", "#1M1W1",      "#1P1R",       "#1I1R",      "#1D1R",      "#1S5R",
                           "#1L1R",       "#1H1R",       "#1F1R",       "#1M1R"};
    sim.waitForFrames(erwartet.size());
    EXPECT_EQ(sim.received(), erwartet);

    // The module refuses min1: the writing stops there and says what was written.
    sim.clearReceived();
    sim.command("fault nak 1 min1");
    r = Starte(sim, {"write-set", "-"}, kSatz);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "402040 Fehlermeldung (NAK) vom Ger\u00e4t erhalten\nwrite-set: abgebrochen bei min1; geschrieben: "
              "P1 I1 D1 anfangssoll1; nicht gesendet: max1 anstiegszeit1 betriebsart1\n");
    sim.waitForFrames(5);
    EXPECT_EQ(sim.received(), (Args{"#1P1W2.5000", "#1I1W0.1000", "#1D1W0.0000", "#1S5W1.250", "#1L1W0.500"}));
}

std::string Datei(const Parameterdatei &d)
{
    unsigned char bytes[PARAMETERDATEI_GROESSE];
    Parameterdatei_Kodieren(&d, bytes);
    return std::string(reinterpret_cast<char *>(bytes), sizeof bytes);
}

TEST(Tlx1ctlDatei, LoadAndSaveMoveTheSetThroughAFileAndFailuresChangeNothing)
{
    SimProcess sim({"--plant", "off", "--module", "2"});
    const std::string pfad = testing::TempDir() + "tlx1ctl_" + std::to_string(getpid()) + ".tlx";
    // 0..10 V shown as 20..120 "%": 70 % is 5 V, a slope of 220 %/s is 20 V/s (offset included).
    std::string datei = Datei({"", 0, {2.5, 0.1, 0, 0.5, 9.5, 70, 220, 3}, 20, 120, {0, 10, 20, 120, "%"}});
    std::ofstream(pfad, std::ios::binary) << datei;
    EXPECT_EQ(Starte(sim, {"load", pfad, "--address", "2"}).err, "");
    const Args erwartet = {"#2P1W2.5000", "#2I1W0.1000", "#2D1W0.0000", "#2S5W5.000",
                           "#2L1W0.500",  "#2H1W9.500",  "#2F1W20.000", "#2M1W3"};
    sim.waitForFrames(erwartet.size());
    EXPECT_EQ(sim.received(), erwartet);
    // Saved as the window saves it under its default scaling: volts, the chart's full range.
    EXPECT_EQ(Starte(sim, {"save", pfad, "--address", "2"}).err, "");
    EXPECT_EQ(Inhalt(pfad), Datei({"", 0, {2.5, 0.1, 0, 0.5, 9.5, 5, 20, 3}, 0, 10, {0, 10, 0, 10, "V"}}));

    // A file of another type is refused before anything is sent; a silent module saves nothing.
    datei[23] = 'x';
    std::ofstream(pfad, std::ios::binary | std::ios::trunc) << datei;
    sim.waitForFrames(erwartet.size() + 8);  // the save's reads are logged before the log is cleared
    sim.clearReceived();
    Ergebnis r = Starte(sim, {"load", pfad, "--address", "2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Zeilen(r.err).at(0), "302105 Die Datei ist nicht vom richtigen Typ");
    EXPECT_TRUE(sim.received().empty());
    sim.command("fault silent");
    r = Starte(sim, {"save", pfad, "--address", "2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Zeilen(r.err).at(0), "403052 " + kKeineAntwort);
    EXPECT_EQ(Inhalt(pfad), datei);
    std::remove(pfad.c_str());
}

// A set with one value the driver would refuse, or a file that cannot be taken, sends nothing at all:
// every value is converted and checked before the first frame.
TEST(Tlx1ctlDatei, RefusedSetsSendNothing)
{
    SimProcess sim({"--plant", "off"});
    const std::string pfad = testing::TempDir() + "tlx1ctl_abgelehnt_" + std::to_string(getpid()) + ".tlx";
    const auto satz = [](const std::string &alt, const std::string &neu) {
        std::string s = kSatz;
        return s.replace(s.find(alt), alt.size(), neu);
    };
    const Parameterdatei gut{"", 0, {2.5, 0.1, 0, 0.5, 9.5, 5, 20, 1}, 0, 10, {0, 10, 0, 10, "V"}};
    const auto datei = [&](auto aendern) {
        Parameterdatei d = gut;
        aendern(d);
        return Datei(d);
    };
    // clang-format off
    const struct { const char *fall; Args args; std::string eingabe, inhalt, fehler; } faelle[] = {
        {"max1 above 10 V", {"write-set"}, satz("max1=9.5", "max1=11"), "", "500030 Parameter au\u00dferhalb der Grenzwerte"},
        {"mode 2.5", {"write-set"}, satz("betriebsart1=1", "betriebsart1=2.5"), "", "500032 Parameter au\u00dferhalb der Grenzwerte"},
        {"mode 7", {"load", pfad}, "", datei([](Parameterdatei &d) { d.satz.betriebsart = 7; }),
         "500032 Parameter au\u00dferhalb der Grenzwerte"},
        // 0..10 V shown as 0..1: a slope of 200 per second is 2000 V/s.
        {"slope beyond 1000 V/s", {"load", pfad}, "",
         datei([](Parameterdatei &d) {
             d.satz = {2.5, 0.1, 0, 0.5, 9.5, 0.5, 200, 1};
             d.konfig = {0, 10, 0, 1, "x"};
         }),
         "500033 Parameter au\u00dferhalb der Grenzwerte"},
        {"scaling not finite", {"load", pfad}, "", datei([](Parameterdatei &d) { d.konfig.vmax = INFINITY; }),
         "304108 Fehler beim Lesen der Datei"},
        {"FIFO", {"load", pfad}, "", "|", "308103 Fehler beim \u00d6ffnen der Datei"},
    };
    // clang-format on
    for (const auto &f : faelle) {
        std::remove(pfad.c_str());
        if (f.inhalt == "|")
            mkfifo(pfad.c_str(), 0600);
        else if (!f.inhalt.empty())
            std::ofstream(pfad, std::ios::binary) << f.inhalt;
        const Ergebnis r = Starte(sim, f.args, f.eingabe);
        EXPECT_EQ(r.status, 1) << f.fall << r.err;
        EXPECT_EQ(Zeilen(r.err).at(0), f.fehler) << f.fall;
    }
    std::remove(pfad.c_str());
    usleep(200 * 1000);
    EXPECT_TRUE(sim.received().empty()) << ::testing::PrintToString(sim.received());
}

// SIGINT, SIGTERM or SIGHUP while a set is written: the set is finished and the tool says so with
// status 128 + N; a second signal of the same kind ends it at once, naming what was written.
TEST(Tlx1ctlSignal, ASetIsFinishedBeforeASignalEndsTheTool)
{
    // 9600 baud and a slow module: the set takes about a second.
    SimProcess sim({"--plant", "off", "--pace", "--turnaround", "100"});
    const Args alle = {"#1P1W2.5000", "#1I1W0.1000", "#1D1W0.0000", "#1S5W1.250",
                       "#1L1W0.500",  "#1H1W9.500",  "#1F1W20.000", "#1M1W1"};
    const std::string eingabe = testing::TempDir() + "tlx1ctl_signal_" + std::to_string(getpid()) + ".txt";
    const std::string fehler = eingabe + ".err";
    std::ofstream(eingabe) << kSatz;
    // clang-format off
    const struct { std::vector<int> signale; int status; std::string meldung; } faelle[] = {
        {{SIGINT}, 130, "Parametersatz vollst\u00e4ndig geschrieben, abgebrochen durch Signal 2\n"},
        {{SIGHUP}, 129, "Parametersatz vollst\u00e4ndig geschrieben, abgebrochen durch Signal 1\n"},
        {{SIGTERM, SIGTERM}, 143, "write-set: abgebrochen durch Signal 15 bei "},
    };
    // clang-format on
    for (const auto &f : faelle) {
        sim.clearReceived();
        posix_spawn_file_actions_t umleitung;
        posix_spawn_file_actions_init(&umleitung);
        posix_spawn_file_actions_addopen(&umleitung, 2, fehler.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<std::string> args = {TLX1CTL_PATH, "write-set", eingabe, "--device", sim.devicePath()};
        std::vector<char *> argv;
        for (std::string &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t kind = -1;
        ASSERT_EQ(posix_spawn(&kind, TLX1CTL_PATH, &umleitung, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&umleitung);
        // Once the first frame is out the set is being written; the signals come one by one.
        EXPECT_TRUE(sim.waitForFrames(1, 10000));
        for (int sig : f.signale) {
            kill(kind, sig);
            usleep(250 * 1000);
        }
        int st = 0;
        for (int i = 0; i < 100 && waitpid(kind, &st, WNOHANG) == 0; ++i)
            usleep(100 * 1000);
        if (waitpid(kind, &st, WNOHANG) == 0) {  // never: the tool hangs
            kill(kind, SIGKILL);
            waitpid(kind, &st, 0);
        }
        EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == f.status) << f.status << " " << st;
        const std::string err = Inhalt(fehler);
        EXPECT_EQ(err.substr(0, f.meldung.size()), f.meldung) << err;
        const Args gesendet = sim.received();
        if (f.signale.size() == 1) {
            sim.waitForFrames(alle.size());
            EXPECT_EQ(sim.received(), alle);
        } else {
            // Ended in the middle: what it names as written is what the module received before.
            ASSERT_LT(gesendet.size(), alle.size()) << err;
            EXPECT_NE(err.find("; geschrieben: P1"), std::string::npos) << err;
            EXPECT_NE(err.find("; nicht gesendet: "), std::string::npos) << err;
            EXPECT_EQ(gesendet, Args(alle.begin(), alle.begin() + static_cast<std::ptrdiff_t>(gesendet.size())));
        }
    }
    std::remove(eingabe.c_str());
    std::remove(fehler.c_str());
}

TEST(Tlx1ctlPort, PortNumberMapsAsInTheWindowAndAFailedOpenSaysWhy)
{
    SimProcess sim({}, 7);  // TLX1_COM7 -> the simulator
    const int fd = open(sim.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);  // another program holds the port
    const std::pair<std::string, std::string> faelle[] = {{"/nonexistent/ttyUSB9", "nicht gefunden"},
                                                          {"/etc/hostname", "keine serielle Schnittstelle"},
                                                          {sim.devicePath(), "von einem anderen Programm benutzt"}};
    for (const auto &[geraet, grund] : faelle) {
        const Ergebnis r = Starte({"id", "--device", geraet});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(Zeilen(r.err).at(0), "100002 Fehler beim \u00f6ffnen der seriellen Schnittstelle");
        EXPECT_NE(r.err.find(grund), std::string::npos) << r.err;
    }
    close(fd);
    struct stat st {};
    if (geteuid() != 0 && stat(sim.ptyPath().c_str(), &st) == 0) {  // root is never refused
        ASSERT_EQ(chmod(sim.ptyPath().c_str(), 0), 0);
        const std::string err = Starte(sim, {"id"}).err;
        chmod(sim.ptyPath().c_str(), st.st_mode & 07777);
        EXPECT_NE(err.find("keine Berechtigung"), std::string::npos) << err;
        EXPECT_NE(err.find("dialout"), std::string::npos) << err;
    }
    const Ergebnis r = Starte({"id", "--port", "7"});  // the failed opens took nothing with them
    EXPECT_EQ(r.out, "OKV-TLX1-SIM\n") << r.err;
    unsetenv("TLX1_COM7");

    // Without the environment, COM n is the entry of the settings file in the current folder or
    // of --settings; the simulator reached through ser2net answers in both network forms.
    const std::string ordner = testing::TempDir();
    const std::string einstellungen = ordner + "tlx1steuerung.ini";
    std::ofstream(einstellungen) << "[Schnittstellen]\ncom2 = " << sim.devicePath() << "\n";
    EXPECT_EQ(Starte({"id", "--port", "2"}, "", "KILL", 30, ordner).out, "OKV-TLX1-SIM\n");
    EXPECT_EQ(Starte({"id", "--port", "2", "--settings", einstellungen}).out, "OKV-TLX1-SIM\n");
    std::remove(einstellungen.c_str());
    const Ergebnis fehlt = Starte({"id", "--port", "2", "--settings", einstellungen});
    EXPECT_EQ(std::tuple(fehlt.status, fehlt.err),
              std::tuple(1, "802109 INI-Datei nicht gefunden\nEinstellungsdatei: " + einstellungen + "\n"));
    if (!Ser2netProcess::available())
        GTEST_SKIP() << "ser2net is not installed (make deps installs it)";
    Ser2netProcess server(sim.devicePath());
    for (const std::string &adresse : {server.tcpAddress(), server.rfc2217Address()}) {
        // ser2net lets go of the device a moment after the last client left: until then it says so.
        Ergebnis id = Starte({"id", "--device", adresse});
        for (int versuch = 0; versuch < 30 && id.err.find("belegt oder nicht verf") != std::string::npos; ++versuch) {
            usleep(100 * 1000);
            id = Starte({"id", "--device", adresse});
        }
        EXPECT_EQ(id.out, "OKV-TLX1-SIM\n") << adresse << id.err;
    }
}

// ports: the devices the system knows (path, by-id name, maker, product, serial number) and COM 1 to
// 8 as the window maps them, each with its source.
TEST(Tlx1ctlPort, PortsListsDevicesAndTheComMapWithItsSources)
{
    const std::string einstellungen = testing::TempDir() + "tlx1ctl_ports_" + std::to_string(getpid()) + ".ini";
    std::ofstream(einstellungen) << "[Schnittstellen]\ncom2 = rfc2217://anlage-7:4001\ncom3 = /dev/ttyUSB7\n";
    setenv("TLX1_COM3", "/dev/ttyACM0", 1);
    const Ergebnis r = Starte({"ports", "--settings", einstellungen});
    unsetenv("TLX1_COM3");
    std::remove(einstellungen.c_str());
    EXPECT_EQ(r.status, 0) << r.err;
    Args com;
    for (const std::string &z : Zeilen(r.out)) {
        if (z.starts_with("COM"))
            com.push_back(z);
        else  // a device: five fields, "-" where the system knows nothing
            EXPECT_TRUE(z.starts_with("/dev/") && std::count(z.begin(), z.end(), '\t') == 4) << z;
    }
    EXPECT_EQ(com, (Args{"COM1\t/dev/ttyS0\tVorgabe", "COM2\trfc2217://anlage-7:4001\tEinstellungsdatei",
                         "COM3\t/dev/ttyACM0\tUmgebung", "COM4\t/dev/ttyS3\tVorgabe", "COM5\t/dev/ttyS4\tVorgabe",
                         "COM6\t/dev/ttyS5\tVorgabe", "COM7\t/dev/ttyS6\tVorgabe", "COM8\t/dev/ttyS7\tVorgabe"}));
}

// The terminal tlx1ctl was pointed at is left as it was found: after the command ends, and when
// SIGINT, SIGTERM or SIGHUP end it while it waits for an answer.
TEST(Tlx1ctlPort, TheTerminalIsLeftAsItWasFound)
{
    for (int signal : {0, SIGINT, SIGTERM, SIGHUP}) {
        PtyPair pty;  // nobody answers on it
        termios vorher{};
        ASSERT_EQ(tcgetattr(pty.Master(), &vorher), 0);
        const pid_t kind = fork();
        if (kind == 0) {
            const int leer = open("/dev/null", O_RDWR);
            dup2(leer, STDOUT_FILENO);
            dup2(leer, STDERR_FILENO);
            execl(TLX1CTL_PATH, TLX1CTL_PATH, "id", "--device", pty.Slave().c_str(), static_cast<char *>(nullptr));
            _exit(127);
        }
        if (signal != 0) {
            // Sent once the port is open, i.e. the terminal went raw.
            termios jetzt{};
            for (int i = 0; i < 5000 && tcgetattr(pty.Master(), &jetzt) == 0 && (jetzt.c_lflag & ECHO) != 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            EXPECT_EQ(jetzt.c_lflag & ECHO, 0u) << signal;
            kill(kind, signal);
        }
        int status = 0;
        ASSERT_EQ(waitpid(kind, &status, 0), kind);
        if (signal == 0)
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
        else
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
        termios nachher{};
        ASSERT_EQ(tcgetattr(pty.Master(), &nachher), 0);
        EXPECT_TRUE(SameLineSettings(vorher, nachher)) << signal;
    }
}

TEST(Tlx1ctlScan, OneLinePerAddressWithTextOrError)
{
    // Only address 4 is silent, so the scan waits for one time-out.
    SimProcess sim({"--plant", "off", "--module", "1", "--module", "2=OKV-TLX1-A", "--module", "3", "--module",
                    "5=ABC-100", "--module", "6", "--module", "7", "--module", "8"});
    const Ergebnis r = Starte(sim, {"scan"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string tlx = " TLX-1 OKV-TLX1-SIM";
    EXPECT_EQ(Zeilen(r.out), (Args{"1" + tlx, "2 TLX-1 OKV-TLX1-A", "3" + tlx, "4 - 403011 " + kKeineAntwort,
                                   "5 anderes ABC-100", "6" + tlx, "7" + tlx, "8" + tlx}));
}

// CSV lines at the asked rate; SIGINT or SIGTERM end it cleanly after the current line, a failed read
// with its error.
TEST(Tlx1ctlMonitor, CountLinesAtTheAskedRateUntilASignalOrAFailedRead)
{
    SimProcess sim;
    const auto start = std::chrono::steady_clock::now();
    Ergebnis r = Starte(sim, {"monitor", "--count", "20", "--rate", "20"});
    const std::chrono::duration<double> dauer = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(Zeilen(r.out).size(), 20u) << r.out;
    const std::regex form(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d,-?\d+(\.\d+)?)");
    for (const std::string &z : Zeilen(r.out))
        EXPECT_TRUE(std::regex_match(z, form)) << z;
    // 19 periods of 50 ms, the start-up and one exchange around it.
    EXPECT_GT(dauer.count(), 0.9);
    EXPECT_LT(dauer.count(), 1.6);

    // The paced case has reads (about 20 ms at 9600 baud) longer than the 10 ms period.
    const std::pair<Args, const char *> faelle[] = {{{}, "INT"}, {{}, "TERM"}, {{"--pace"}, "INT"}};
    // The paced line cannot give 100 Hz and says so once; an unpaced one may on a loaded machine.
    const std::regex rate(R"((tlx1ctl: Rate 100 Hz nicht erreichbar, erreicht \d+(\.\d)? Hz\n)?)");
    for (const auto &[simOptionen, sig] : faelle) {
        SimProcess s(simOptionen);
        r = Starte({"monitor", "--rate", "100", "--device", s.devicePath()}, "", sig, 1);
        EXPECT_EQ(r.status, 0) << sig << r.err;
        EXPECT_GT(Zeilen(r.out).size(), 2u) << sig;
        EXPECT_TRUE(r.out.ends_with('\n')) << sig;
        EXPECT_TRUE(std::regex_match(r.err, rate)) << r.err;
        if (!simOptionen.empty()) {
            EXPECT_FALSE(r.err.empty());
        }
    }
    r = Starte(sim, {"monitor", "--count", "2", "--header", "--values", "soll1,istwert1,betriebsart1"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> z = Zeilen(r.out);
    ASSERT_EQ(z.size(), 3u);
    EXPECT_EQ(z[0], "zeit,soll1,istwert1,betriebsart1");
    EXPECT_TRUE(std::regex_match(z[1], std::regex(R"([-+:.T\d]+,0,-?\d+(\.\d+)?,1)"))) << z[1];
    sim.command("fault silent");
    r = Starte(sim, {"monitor"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "403052 " + kKeineAntwort + "\n");
}

// A setpoint step and a plant test on the paced simulator, as at commissioning: the figures and the
// model are the simulator's (P 1, I 1 on a plant of gain 1 and 2 s), the recordings read back, and
// a test stopped by SIGTERM puts the module back.
TEST(Tlx1ctlAnalyse, StepAndIdentifyOnThePacedSimulator)
{
    SimProcess sim({"--pace"});
    const std::string csv = testing::TempDir() + "tlx1ctl_step_" + std::to_string(getpid()) + ".csv";
    Ergebnis r = Starte(sim, {"step", "--to", "5", "--csv", csv});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::regex zahl(R"(\d+(\.\d+)?)");
    const auto wert = [&](const std::string &name) {
        for (const std::string &z : Zeilen(r.out))
            if (z.rfind(name + "=", 0) == 0 && std::regex_match(z.substr(name.size() + 1), zahl))
                return std::stod(z.substr(name.size() + 1));
        ADD_FAILURE() << name << " missing in " << r.out;
        return -1.0;
    };
    EXPECT_EQ(Zeilen(r.out).size(), 4u) << r.out;
    // sim/README.md: 3.7 V after 2 s, a peak near 5.3 V after 5 s, settled within about 10 s.
    EXPECT_GT(wert("anstiegszeit_s"), 1.5);
    EXPECT_LT(wert("anstiegszeit_s"), 3.5);
    EXPECT_GT(wert("ueberschwingen_prozent"), 2.0);
    EXPECT_LT(wert("ueberschwingen_prozent"), 12.0);
    EXPECT_GT(wert("ausregelzeit_s"), 4.0);
    EXPECT_LT(wert("ausregelzeit_s"), 12.0);
    EXPECT_LT(std::fabs(wert("bleibende_abweichung")), 0.1);
    const std::vector<std::string> zeilen = Zeilen(Inhalt(csv));
    ASSERT_GT(zeilen.size(), 50u);
    EXPECT_EQ(zeilen[0], "zeit,soll1,istwert1");
    EXPECT_TRUE(std::regex_match(zeilen[1], std::regex(R"([-+:.T\d]+,0,0)"))) << zeilen[1];
    EXPECT_TRUE(std::regex_match(zeilen.back(), std::regex(R"([-+:.T\d]+,5,\d\.\d+)"))) << zeilen.back();
    std::remove(csv.c_str());

    r = Starte(sim, {"identify", "--output", "2", "--duration", "40"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NEAR(wert("strecke_verstaerkung"), 1.0, 0.05);
    EXPECT_NEAR(wert("strecke_zeitkonstante_s"), 2.0, 0.2);
    EXPECT_LT(wert("strecke_totzeit_s"), 0.2);
    EXPECT_GT(wert("bestimmtheitsmass"), 0.99);
    EXPECT_GT(wert("P1"), 0.0);
    EXPECT_GT(wert("I1"), 0.0);
    EXPECT_EQ(wert("D1"), 0.0);
    EXPECT_NE(r.err.find("SIMC"), std::string::npos);
    EXPECT_EQ(sim.command("get 1 betriebsart1"), "1");

    sim.clearReceived();
    r = Starte({"identify", "--output", "8", "--device", sim.devicePath()}, "", "TERM", 3);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("abgebrochen"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    std::vector<std::string> schreiben;
    for (const std::string &f : sim.received())
        if (f.find('W') != std::string::npos)
            schreiben.push_back(f);
    ASSERT_EQ(schreiben.size(), 5u) << ::testing::PrintToString(sim.received());
    EXPECT_EQ(schreiben[0], schreiben[3]);  // the output held, then put back ...
    EXPECT_EQ(schreiben[2], "#1V1W8.000");
    EXPECT_EQ(schreiben[4], "#1M1W1");  // ... and the mode
}

// show prints a file's set as write-set takes it; diff holds a file or a read-set text against the
// module: exit 0 equal, 1 different (one line each, module value first), 2 for every failure.
TEST(Tlx1ctlVergleich, ShowAndDiffHoldAFileAgainstTheModule)
{
    SimProcess sim({"--plant", "off"});
    const std::string pfad = testing::TempDir() + "tlx1ctl_diff_" + std::to_string(getpid()) + ".tlx";
    // 0..10 V shown as 20..120 "%": 70 % is 5 V, 220 %/s is 20 V/s.
    std::string datei = Datei({"", 0, {2.5, 0.1, 0, 0.5, 9.5, 70, 220, 3}, 20, 120, {0, 10, 20, 120, "%"}});
    std::ofstream(pfad, std::ios::binary) << datei;
    const Ergebnis show = Starte({"show", pfad});
    EXPECT_EQ(show.out,
              "# Parametersatzdatei " + pfad +
                  "\n# Skalierung: 0 V bis 10 V entspricht 20 bis 120 %\n"
                  "# Zoom: 20 bis 120 %\n# Werte in Volt (Anstiegsgeschwindigkeit in V/s)\n"
                  "P1=2.5\nI1=0.1\nD1=0\nmin1=0.5\nmax1=9.5\nanfangssoll1=5\nanstiegszeit1=20\nbetriebsart1=3\n");
    EXPECT_EQ(Starte(sim, {"write-set", "-"}, show.out).status, 0);
    sim.command("set 1 P1 2.0000");
    const std::string text = testing::TempDir() + "tlx1ctl_diff_" + std::to_string(getpid()) + ".txt";
    std::ofstream(text)
        << "P1=2\nI1=0.1\nD1=0\nmin1=0.5\nmax1=9.5\nanfangssoll1=5\nanstiegszeit1=20.0004\nbetriebsart1=3\n";

    // clang-format off
    const struct { Args args; std::string eingabe; int status; std::string out, err; } faelle[] = {
        {{"diff", pfad}, "", 1, "P1 2 -> 2.5\n", ""},
        {{"diff", text}, "", 0, "", ""},  // 20.0004 goes out as 20.000, as the module has it
        {{"diff", "-"}, std::string(kSatz), 1, "P1 2 -> 2.5\nanfangssoll1 5 -> 1.25\nbetriebsart1 3 -> 1\n", ""},
        {{"diff", pfad + ".fehlt"}, "", 2, "", "tlx1ctl: " + pfad + ".fehlt: kann nicht ge\u00f6ffnet werden: nicht gefunden\n"},
        {{"diff", pfad, "--address", "2"}, "", 2, "", "403052 " + kKeineAntwort + "\ndiff: P1 nicht gelesen\n"},
    };
    // clang-format on
    for (const auto &f : faelle) {
        const Ergebnis r = Starte(sim, f.args, f.eingabe);
        EXPECT_EQ(std::tie(r.status, r.out, r.err), std::tie(f.status, f.out, f.err)) << f.args[1];
    }
    for (const auto &[offset, fehler] : {std::pair(32, "303106 Die Datei hat die falsche Versionsnummer"),
                                         std::pair(23, "302105 Die Datei ist nicht vom richtigen Typ")}) {
        datei[offset] = 3;
        std::ofstream(pfad, std::ios::binary | std::ios::trunc) << datei;
        for (const Args &args : {Args{"show", pfad}, Args{"diff", pfad, "--device", sim.devicePath()}}) {
            const Ergebnis r = Starte(args);
            EXPECT_EQ(r.status, args[0] == "show" ? 1 : 2);
            EXPECT_EQ(Zeilen(r.err).at(0), fehler);
        }
    }
    EXPECT_EQ(Starte({"diff", pfad, "--device", "/nonexistent/tty"}).status, 2);
    std::remove(pfad.c_str());
    std::remove(text.c_str());
}

// Two tlx1ctl run against two modules at once, each writing value after value: the record gets one
// header and every line whole; log filters by address and time; an unwritable record stops no write
// and is reported once.
TEST(Tlx1ctlProtokoll, ProgramsAppendWholeLinesAtOnceAndLogFiltersThem)
{
    std::filesystem::remove_all(gZustand);
    SimProcess a({"--plant", "off"}), b({"--plant", "off", "--module", "2"});
    const auto schleife = [](const std::string &geraet, const std::string &adresse) {
        return "(for i in $(seq 30); do XDG_STATE_HOME='" + gZustand +
               "' timeout 10 '" TLX1CTL_PATH "' set P1 $i "
               "--device '" +
               geraet + "' --address " + adresse + " || exit 1; done)";
    };
    ASSERT_EQ(std::system((schleife(a.devicePath(), "1") + " & " + schleife(b.devicePath(), "2") + " & wait").c_str()),
              0);
    const std::vector<std::string> zeilen = Zeilen(Protokoll());
    ASSERT_EQ(zeilen.size(), 61u);
    EXPECT_EQ(zeilen[0], "zeit,programm,geraet,adresse,modul_id,parameter,wert,ergebnis");
    const std::regex form(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d,tlx1ctl,[^,]+,([12]),,P1,(\d+)\.0+,0)");
    int jeAdresse[3] = {};
    for (std::size_t i = 1; i < zeilen.size(); ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(zeilen[i], m, form)) << zeilen[i];
        EXPECT_EQ(std::stoi(m[2]), ++jeAdresse[std::stoi(m[1])]) << "each program's lines in its order";
    }

    const Ergebnis log = Starte({"log", "--address", "2", "--since", "2020-01-01T00:00"});
    EXPECT_EQ(log.status, 0);
    ASSERT_EQ(Zeilen(log.out).size(), 31u);
    EXPECT_NE(Zeilen(log.out)[30].find(",2,,P1,30.000,0"), std::string::npos);
    EXPECT_EQ(Starte({"log", "--since", "2999-01-01"}).out, zeilen[0] + "\n");

    // A file where the state folder should be.
    const std::string zustand = gZustand;
    gZustand += "/tlx1steuerung/protokoll.csv";
    const Ergebnis r = Starte(a, {"write-set"}, kSatz);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "tlx1ctl: Protokoll nicht schreibbar: " + gZustand +
                         "/tlx1steuerung/protokoll.csv: ein Teil des Pfades ist kein Verzeichnis\n");
    EXPECT_EQ(a.command("get 1 betriebsart1"), "1");
    gZustand = zustand;
    EXPECT_EQ(Zeilen(Protokoll()).size(), 61u);
    std::filesystem::remove_all(gZustand);
}

}  // namespace
