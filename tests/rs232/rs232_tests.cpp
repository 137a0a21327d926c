// The serial service on a pseudo-terminal: line settings, exclusive open, bounded waits.
#include <chrono>
#include <cmath>
#include <csignal>
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
double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }
int OpenBus(int port) { return OpenComConfig(port, "", 9600, 1, 7, 1, 512, 512); }

class Rs232 : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pty.Ok()); pty.MapTo(1); ASSERT_EQ(OpenBus(1), 0); }
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
// a hang-up is an error at once, not a time-out.
TEST_F(Rs232, ReadWaitsTheTimeOutAndNoLonger)
{
    EXPECT_EQ(SetComTime(1, std::nan("")), COM_ERR_ARGUMENT);
    struct sigaction sa {}, old {};
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
    EXPECT_EQ(ComRdByte(1), COM_ERR_IO);
    EXPECT_LT(Seconds(start), 1.0);
}

TEST(Rs232Open, RefusesMissingOrUnsuitableDevicesAndPortsNotOpen)
{
    EXPECT_EQ(ComDevicePath(6), "/dev/ttyS5");  // TLX1_COM6 unset
    setenv("TLX1_COM4", "/nonexistent/tty", 1);
    EXPECT_EQ(OKVTLX1_Open(4), -100002);
    setenv("TLX1_COM4", "/dev/null", 1);  // exists, but is no terminal
    EXPECT_EQ(OpenBus(4), COM_ERR_SETTINGS);
    unsetenv("TLX1_COM4");
    EXPECT_EQ(OpenBus(0), COM_ERR_PORT_NUMBER);
    EXPECT_EQ(OpenBus(COM_MAX_PORT + 1), COM_ERR_PORT_NUMBER);
    EXPECT_EQ(ComRdByte(5), COM_ERR_NOT_OPEN);
    EXPECT_EQ(OKVTLX1_Timeout(5, 1.0), -111004);
    EXPECT_EQ(FlushInOut(5), -124066);
}

}  // namespace
