// The serial service on a pseudo-terminal: line settings, exclusive open, bounded waits.
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <termios.h>

#include "driver/okvtlx1.h"
#include "platform/rs232/rs232.h"
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
    EXPECT_EQ(gAsked.c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
    EXPECT_EQ(gAsked.c_cflag & (PARENB | PARODD | CSTOPB | CRTSCTS),
              static_cast<tcflag_t>(PARENB | PARODD));

    termios tio{};
    ASSERT_EQ(tcgetattr(pty.Master(), &tio), 0);  // the master reports the slave's settings
    EXPECT_EQ(cfgetospeed(&tio), B9600);
    EXPECT_EQ(cfgetispeed(&tio), B9600);
    EXPECT_EQ(tio.c_cflag & (PARODD | CSTOPB | CRTSCTS), static_cast<tcflag_t>(PARODD));
    EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
}

TEST_F(Rs232, PassesEveryByteUnchangedBothWays)
{
    const std::string frame = "#3P1R\r";
    EXPECT_EQ(ComWrt(1, frame.data(), 6), 6);
    EXPECT_EQ(pty.Read(1.0), frame);
    EXPECT_GE(GetOutQLen(1), 0);

    pty.Write(std::string("\x06\r\n\x00\x7F\x80\xFF", 7));
    ASSERT_EQ(SetComTime(1, 0.5), 0);
    for (int expected : {0x06, 0x0D, 0x0A, 0x00, 0x7F, 0x80, 0xFF})
        EXPECT_EQ(ComRdByte(1), expected);
}

TEST_F(Rs232, SecondOpenOfTheSameDeviceFailsUntilClosed)
{
    pty.MapTo(2);
    EXPECT_EQ(OpenBus(1), COM_ERR_ALREADY_OPEN);
    EXPECT_EQ(OpenBus(2), COM_ERR_IN_USE);
    EXPECT_EQ(OKVTLX1_Open(2), -100002);

    // Another process is refused too.
    pty.MapTo(3);
    const pid_t child = fork();
    if (child == 0)
        _exit(OpenBus(3) == COM_ERR_IN_USE ? 0 : 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    // Closing releases the device: it opens again, also under another number.
    EXPECT_EQ(CloseCom(1), 0);
    EXPECT_EQ(OKVTLX1_Open(2), 0);
    EXPECT_EQ(OKVTLX1_Close(2), 0);
    EXPECT_EQ(OKVTLX1_Close(2), -103003);
    EXPECT_EQ(OpenBus(1), 0);
}

TEST_F(Rs232, ReadWaitsTheTimeOutAndNoLonger)
{
    ASSERT_EQ(SetComTime(1, 0.15), 0);
    const auto start = Clock::now();
    EXPECT_EQ(ComRdByte(1), COM_ERR_TIMEOUT);
    EXPECT_GE(Seconds(start), 0.15);
    EXPECT_LT(Seconds(start), 0.35);

    // A byte that arrives during the wait ends it at once.
    std::thread late([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pty.Write("A");
    });
    ASSERT_EQ(SetComTime(1, 2.0), 0);
    const auto start2 = Clock::now();
    EXPECT_EQ(ComRdByte(1), 'A');
    EXPECT_LT(Seconds(start2), 1.0);
    late.join();

    ASSERT_EQ(SetComTime(1, 0.0), 0);
    EXPECT_EQ(ComRdByte(1), COM_ERR_TIMEOUT);
}

void NoOp(int) {}

TEST_F(Rs232, SignalDuringAReadDoesNotShortenTheWait)
{
    struct sigaction sa {};
    sa.sa_handler = NoOp;  // no SA_RESTART: poll returns EINTR
    struct sigaction old {};
    ASSERT_EQ(sigaction(SIGALRM, &sa, &old), 0);
    itimerval every20ms{{0, 20000}, {0, 20000}};
    setitimer(ITIMER_REAL, &every20ms, nullptr);

    ASSERT_EQ(SetComTime(1, 0.2), 0);
    const auto start = Clock::now();
    const int rc = ComRdByte(1);
    const double waited = Seconds(start);

    itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &old, nullptr);
    EXPECT_EQ(rc, COM_ERR_TIMEOUT);
    EXPECT_GE(waited, 0.2);
    EXPECT_LT(waited, 0.4);
}

TEST_F(Rs232, FlushDiscardsStaleBytes)
{
    pty.Write("stale");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(FlushInQ(1), 0);
    EXPECT_EQ(FlushOutQ(1), 0);
    EXPECT_EQ(FlushInOut(1), 0);
    ASSERT_EQ(SetComTime(1, 0.1), 0);
    EXPECT_EQ(ComRdByte(1), COM_ERR_TIMEOUT);

    // Never a frame already sent, even one the other side has not read yet.
    EXPECT_EQ(ComWrt(1, "#9M1W1\r", 7), 7);
    EXPECT_EQ(FlushInOut(1), 0);
    EXPECT_EQ(pty.Read(0.5), "#9M1W1\r");

    // Also the rest of an answer already fetched along with its first byte.
    pty.Write("AB");
    EXPECT_EQ(ComRdByte(1), 'A');
    EXPECT_EQ(FlushInQ(1), 0);
    EXPECT_EQ(ComRdByte(1), COM_ERR_TIMEOUT);
}

TEST_F(Rs232, HangUpIsAnErrorNotATimeOut)
{
    ASSERT_EQ(SetComTime(1, 2.0), 0);
    pty.CloseMaster();
    const auto start = Clock::now();
    EXPECT_EQ(ComRdByte(1), COM_ERR_IO);
    EXPECT_LT(Seconds(start), 1.0);
}

TEST(Rs232Open, MissingOrUnsuitableDeviceFails)
{
    setenv("TLX1_COM4", "/nonexistent/tty", 1);
    EXPECT_EQ(OpenBus(4), COM_ERR_DEVICE);
    EXPECT_EQ(OKVTLX1_Open(4), -100002);
    setenv("TLX1_COM4", "/dev/null", 1);  // exists, but is no terminal
    EXPECT_EQ(OpenBus(4), COM_ERR_SETTINGS);
    unsetenv("TLX1_COM4");
    setenv("TLX1_COM200", "", 1);         // empty: falls back to /dev/ttyS199
    EXPECT_EQ(OpenBus(200), COM_ERR_DEVICE);
    EXPECT_EQ(OpenBus(0), COM_ERR_PORT_NUMBER);
    EXPECT_EQ(OpenBus(COM_MAX_PORT + 1), COM_ERR_PORT_NUMBER);
}

TEST(Rs232Open, RefusesSettingsItCannotMakeAndPortsNotOpen)
{
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    pty.MapTo(5);
    EXPECT_EQ(OpenComConfig(5, "", 9601, 1, 7, 1, 512, 512), COM_ERR_ARGUMENT);
    EXPECT_EQ(OpenComConfig(5, "", 9600, 3, 7, 1, 512, 512), COM_ERR_ARGUMENT);
    EXPECT_EQ(ComRdByte(5), COM_ERR_NOT_OPEN);
    EXPECT_EQ(OKVTLX1_Timeout(5, 1.0), -111004);
    EXPECT_EQ(FlushInOut(5), -124066);
    ASSERT_EQ(OpenBus(5), 0);
    EXPECT_EQ(SetComTime(5, std::nan("")), COM_ERR_ARGUMENT);
    EXPECT_EQ(CloseCom(5), 0);
}

}  // namespace
