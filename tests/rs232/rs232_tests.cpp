// The serial service on a pseudo-terminal and over the network: line settings, exclusive open,
// bounded waits, lost devices, the COM map and the reasons of failed opens.
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <termios.h>

#include "driver/okvtlx1.h"
#include "platform/rs232/commap.h"
#include "platform/rs232/rs232.h"
#include "tests/rs232/loopback_server.h"
#include "tests/rs232/pty_pair.h"

// The settings the service asks for; linked in with --wrap=tcsetattr. A pseudo-terminal keeps
// 8 bits without parity whatever is asked, so size and parity are checked here.
termios gAsked{};
extern "C" int __real_tcsetattr(int fd, int when, const termios *tio);
extern "C" int __wrap_tcsetattr(int fd, int when, const termios *tio)
{
    gAsked = *tio;
    return __real_tcsetattr(fd, when, tio);
}

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}
int OpenBus(int port)
{
    return OpenComConfig(port, "", 9600, 1, 7, 1, 512, 512);
}

class Rs232 : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.Ok());
        pty.MapTo(1);
        ASSERT_EQ(OpenBus(1), 0);
    }
    void TearDown() override { CloseCom(1); }
    PtyPair pty;
};

TEST_F(Rs232, OpensSevenOddOneRawAt9600WithoutFlowControl)
{
    EXPECT_EQ(cfgetospeed(&gAsked), B9600);
    EXPECT_EQ(cfgetispeed(&gAsked), B9600);
    EXPECT_EQ(gAsked.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | CLOCAL | CREAD),
              static_cast<tcflag_t>(CS7 | PARENB | PARODD | CLOCAL | CREAD));
    EXPECT_EQ(gAsked.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP), 0u);
    EXPECT_EQ(gAsked.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(gAsked.c_oflag & OPOST, 0u);
}

// Every byte passes unchanged both ways; a flush discards stale bytes, also the rest of an answer
// the service already fetched along with its first byte.
TEST_F(Rs232, PassesEveryByteUnchangedAndFlushDiscardsStaleOnes)
{
    EXPECT_EQ(ComWrt(1, "#3P1R\r", 6), 6);
    EXPECT_EQ(pty.Read(1.0), "#3P1R\r");
    pty.Write(std::string("\x06\r\n\x00\x7F\x80\xFF", 7));
    ASSERT_EQ(SetComTime(1, 0.1), 0);
    for (int expected : {0x06, 0x0D, 0x0A, 0x00, 0x7F, 0x80, 0xFF})
        EXPECT_EQ(ComRdByte(1), expected);

    pty.Write("AB");
    EXPECT_EQ(ComRdByte(1), 'A');
    EXPECT_EQ(FlushInOut(1), 0);
    EXPECT_EQ(ComRdByte(1), COM_ERR_TIMEOUT);
}

// Exclusive open: this process under the same or another number, and another process, are refused
// until the holder closes; the refused opens leave the holder working.
TEST_F(Rs232, SecondOpenOfTheSameDeviceFailsUntilClosed)
{
    pty.MapTo(2);
    EXPECT_EQ(OpenBus(1), COM_ERR_ALREADY_OPEN);
    EXPECT_EQ(OpenBus(2), COM_ERR_IN_USE);
    EXPECT_EQ(OKVTLX1_Open(2), -100002);
    pty.MapTo(3);
    const pid_t child = fork();
    if (child == 0)
        _exit(OpenBus(3) == COM_ERR_IN_USE ? 0 : 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ComWrt(1, "#1IDR\r", 6), 6);
    EXPECT_EQ(pty.Read(1.0), "#1IDR\r");

    EXPECT_EQ(CloseCom(1), 0);
    EXPECT_EQ(OKVTLX1_Open(2), 0);
    EXPECT_EQ(OKVTLX1_Close(2), 0);
    EXPECT_EQ(OKVTLX1_Close(2), -103003);
    EXPECT_EQ(OpenBus(1), 0);
}

// A read waits the time-out, through signals, and no longer; a byte arriving ends it at once, and
// a hang-up is a lost device at once, not a time-out; every later call says so without waiting.
TEST_F(Rs232, ReadWaitsTheTimeOutAndNoLonger)
{
    EXPECT_EQ(SetComTime(1, std::nan("")), COM_ERR_ARGUMENT);
    struct sigaction sa {
    }, old{};
    sa.sa_handler = [](int) {};  // no SA_RESTART: poll returns EINTR
    ASSERT_EQ(sigaction(SIGALRM, &sa, &old), 0);
    itimerval every20ms{{0, 20000}, {0, 20000}}, off{};
    setitimer(ITIMER_REAL, &every20ms, nullptr);
    ASSERT_EQ(SetComTime(1, 0.2), 0);
    auto start = Clock::now();
    EXPECT_EQ(ComRdByte(1), COM_ERR_TIMEOUT);
    const double waited = Seconds(start);
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &old, nullptr);
    EXPECT_GE(waited, 0.2);
    EXPECT_LT(waited, 0.4);

    std::thread late([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pty.Write("A");
    });
    ASSERT_EQ(SetComTime(1, 2.0), 0);
    start = Clock::now();
    EXPECT_EQ(ComRdByte(1), 'A');
    late.join();
    pty.CloseMaster();
    EXPECT_EQ(ComRdByte(1), COM_ERR_LOST);
    EXPECT_EQ(std::tuple(ComLost(1), FlushInQ(1), ComWrt(1, "x", 1), ComRdByte(1)),
              std::tuple(1, COM_ERR_LOST, COM_ERR_LOST, COM_ERR_LOST));
    EXPECT_LT(Seconds(start), 1.0);
}

// The terminal is left as it was found: settings and exclusive flag after a close, settings also
// when the process exits with the port open.
TEST_F(Rs232, LineSettingsArePutBackOnCloseAndAtExit)
{
    CloseCom(1);
    termios vorher{};
    ASSERT_EQ(tcgetattr(pty.Master(), &vorher), 0);  // a fresh pseudo-terminal: cooked, echo, 38400
    ASSERT_EQ(OpenBus(1), 0);
    termios roh{};
    tcgetattr(pty.Master(), &roh);
    EXPECT_EQ(roh.c_lflag & ECHO, 0u);
    EXPECT_EQ(CloseCom(1), 0);
    termios nachher{};
    tcgetattr(pty.Master(), &nachher);
    EXPECT_TRUE(SameLineSettings(vorher, nachher));
    int exklusiv = -1;
    const int fd = open(pty.Slave().c_str(), O_RDWR | O_NOCTTY);
    EXPECT_EQ(std::tuple(fd >= 0, ioctl(fd, TIOCGEXCL, &exklusiv), exklusiv), std::tuple(true, 0, 0));
    close(fd);

    const pid_t kind = fork();
    if (kind == 0)
        exit(OpenBus(1) == 0 ? 0 : 1);  // exits with the port open
    int status = 0;
    ASSERT_EQ(waitpid(kind, &status, 0), kind);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    tcgetattr(pty.Master(), &nachher);
    EXPECT_TRUE(SameLineSettings(vorher, nachher));
    ASSERT_EQ(OpenBus(1), 0);
}

// COM n: the environment before the settings file's entry before /dev/ttyS<n-1>; an empty variable
// or entry counts as none.
TEST(ComMap, EnvironmentThenSettingsFileThenDefault)
{
    const struct {
        const char *env, *eintrag, *geraet;
        ComSource quelle;
    } faelle[] = {
        {nullptr, nullptr, "/dev/ttyS4", ComSource::Default},
        {nullptr, "/dev/ttyUSB0", "/dev/ttyUSB0", ComSource::SettingsFile},
        {"/dev/ttyACM1", "/dev/ttyUSB0", "/dev/ttyACM1", ComSource::Environment},
        {"", "rfc2217://10.1.2.3:4001", "rfc2217://10.1.2.3:4001", ComSource::SettingsFile},
        {"tcp://h:1", nullptr, "tcp://h:1", ComSource::Environment},
        {"", "", "/dev/ttyS4", ComSource::Default},
    };
    for (const auto &f : faelle) {
        f.env != nullptr ? setenv("TLX1_COM5", f.env, 1) : unsetenv("TLX1_COM5");
        ComMapSet(5, f.eintrag != nullptr ? f.eintrag : "");
        const ComMapping m = ComResolve(5);
        EXPECT_EQ(std::tuple(m.device, m.source), std::tuple(f.geraet, f.quelle)) << (f.env ? f.env : "-");
    }
    unsetenv("TLX1_COM5");
    EXPECT_EQ(ComMapEntry(5), "");
    EXPECT_EQ(ComResolve(0).device, "");
    EXPECT_EQ(std::string(ComSourceName(ComSource::Environment)) + ComSourceName(ComSource::SettingsFile) +
                  ComSourceName(ComSource::Default),
              "UmgebungEinstellungsdateiVorgabe");
}

TEST(Rs232Open, RefusesMissingOrUnsuitableDevicesAndPortsNotOpen)
{
    const struct {
        const char *geraet;
        int rc;
        const char *grund;
    } faelle[] = {
        {"/nonexistent/tty", COM_ERR_DEVICE, "/nonexistent/tty nicht gefunden"},
        {"/dev/null", COM_ERR_SETTINGS, "/dev/null ist keine serielle Schnittstelle"},  // no terminal
        {"/tmp", COM_ERR_SETTINGS, "/tmp ist keine serielle Schnittstelle"},
        {"ftp://host:21", COM_ERR_DEVICE, "ftp://host:21 ist weder ein Ger\xE4tepfad"},
        {"tcp://127.0.0.1", COM_ERR_DEVICE, "tcp://127.0.0.1 ist weder"},
        {"rfc2217://[::1:4001", COM_ERR_DEVICE, "rfc2217://[::1:4001 ist weder"},
    };
    for (const auto &f : faelle) {
        ComMapSet(4, f.geraet);
        EXPECT_EQ(OpenBus(4), f.rc) << f.geraet;
        EXPECT_EQ(ComOpenFailure(4).rfind(f.grund, 0), 0u) << ComOpenFailure(4);
    }
    ComMapSet(4, "");
    EXPECT_EQ(OKVTLX1_Open(4), -100002);  // /dev/ttyS3 does not exist here
    EXPECT_EQ(OpenBus(0), COM_ERR_PORT_NUMBER);
    EXPECT_EQ(OpenBus(COM_MAX_PORT + 1), COM_ERR_PORT_NUMBER);
    EXPECT_EQ(ComRdByte(5), COM_ERR_NOT_OPEN);
    EXPECT_EQ(OKVTLX1_Timeout(5, 1.0), -111004);
    EXPECT_EQ(FlushInOut(5), -124066);
}

// The network forms: every byte passes both ways (0xFF and CR included, escaped on the Telnet
// side), the output queue drains, and a server that goes away is a lost device at once.
TEST(Rs232Network, BytesPassBothWaysAndAServerGoingAwayIsALostDevice)
{
    for (auto art : {LoopbackServer::Art::Roh, LoopbackServer::Art::Rfc2217}) {
        LoopbackServer server(art);
        SCOPED_TRACE(server.Adresse());
        ASSERT_EQ(OpenComConfig(6, server.Adresse().c_str(), 9600, 1, 7, 1, 512, 512), 0) << ComOpenFailure(6);
        EXPECT_EQ(std::tuple(ComOpenDevice(6), ComOpenFailure(6)), std::tuple(server.Adresse(), ""));
        ASSERT_EQ(SetComTime(6, 2.0), 0);
        const std::string bytes("#1\xFF\r\0\x7F\r\n\xFF\xFF", 10);
        EXPECT_EQ(ComWrt(6, bytes.data(), int(bytes.size())), int(bytes.size()));
        EXPECT_EQ(GetOutQLen(6) >= 0, true);
        std::string zurueck;
        for (int c; zurueck.size() < bytes.size() && (c = ComRdByte(6)) >= 0;)
            zurueck += char(c);
        EXPECT_EQ(zurueck, bytes);
        EXPECT_EQ(std::tuple(FlushInQ(6), FlushOutQ(6), GetOutQLen(6)), std::tuple(0, 0, 0));

        server.Auflegen();
        const auto start = Clock::now();
        EXPECT_EQ(ComRdByte(6), COM_ERR_LOST);
        EXPECT_LT(Seconds(start), 1.0);
        EXPECT_EQ(ComLost(6), 1);
        EXPECT_EQ(CloseCom(6), 0);
        EXPECT_EQ(std::tuple(ComLost(6), ComOpenDevice(6)), std::tuple(0, ""));
    }
}

// A network device that cannot be used says why: nobody listening, a server that does not confirm
// 7 data bits, a server without the COM port option.
TEST(Rs232Network, RefusalsSayWhy)
{
    int frei = socket(AF_INET, SOCK_STREAM, 0);  // a port nobody listens on
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t laenge = sizeof a;
    ASSERT_EQ(bind(frei, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
    getsockname(frei, reinterpret_cast<sockaddr *>(&a), &laenge);
    const std::string niemand = "tcp://127.0.0.1:" + std::to_string(ntohs(a.sin_port));
    LoopbackServer achtBit(LoopbackServer::Art::Rfc2217Datenbits8), ohne(LoopbackServer::Art::OhneComport);
    const struct {
        std::string geraet;
        int rc;
        std::string grund;
    } faelle[] = {
        {niemand, COM_ERR_DEVICE, niemand + " lehnt die Verbindung ab"},
        {achtBit.Adresse(), COM_ERR_SETTINGS,
         achtBit.Adresse() +
             ": der Server best\xE4tigt die Leitungseinstellungen nicht: 7 Datenbits (meldet 8 Datenbits)"},
        {ohne.Adresse(), COM_ERR_SETTINGS, ohne.Adresse() + ": der Server beherrscht die COM-Port-Steuerung"},
    };
    for (const auto &f : faelle) {
        const auto start = Clock::now();
        EXPECT_EQ(OpenComConfig(6, f.geraet.c_str(), 9600, 1, 7, 1, 512, 512), f.rc) << f.geraet;
        EXPECT_LT(Seconds(start), COM_OPEN_TIMEOUT + 0.5);
        EXPECT_EQ(ComOpenFailure(6).rfind(f.grund, 0), 0u) << ComOpenFailure(6);
    }
    close(frei);
}

}  // namespace
