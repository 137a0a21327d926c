// Port failures that a simulator cannot produce: failed flushes, failed or short writes, an
// output queue that never empties. The serial calls are linked with --wrap so that one of them
// can be made to fail; otherwise they pass through to the real service on a pseudo-terminal.
#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "driver/okvtlx1.h"
#include "platform/rs232/rs232.h"
#include "tests/rs232/pty_pair.h"

namespace {

enum class Stoerung { Keine, FlushIn, FlushOut, WriteFehler, WriteKurz, QueueVoll };
Stoerung gStoerung = Stoerung::Keine;
int gFlushOutAufrufe = 0;

}  // namespace

// Mangled names of FlushInQ(int), FlushOutQ(int), ComWrt(int, const char*, int), GetOutQLen(int).
extern "C" {
int __real__Z8FlushInQi(int port);
int __real__Z9FlushOutQi(int port);
int __real__Z6ComWrtiPKci(int port, const char *buf, int count);
int __real__Z10GetOutQLeni(int port);

int __wrap__Z8FlushInQi(int port)
{
    return gStoerung == Stoerung::FlushIn ? COM_ERR_IO : __real__Z8FlushInQi(port);
}
int __wrap__Z9FlushOutQi(int port)
{
    ++gFlushOutAufrufe;
    return gStoerung == Stoerung::FlushOut ? COM_ERR_IO : __real__Z9FlushOutQi(port);
}
int __wrap__Z6ComWrtiPKci(int port, const char *buf, int count)
{
    if (gStoerung == Stoerung::WriteFehler)
        return COM_ERR_IO;
    if (gStoerung == Stoerung::WriteKurz)
        return __real__Z6ComWrtiPKci(port, buf, count - 1);
    return __real__Z6ComWrtiPKci(port, buf, count);
}
int __wrap__Z10GetOutQLeni(int port)
{
    return gStoerung == Stoerung::QueueVoll ? 5 : __real__Z10GetOutQLeni(port);
}
}

namespace {

constexpr int kPort = 7;

class PortFault : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.Ok());
        pty.MapTo(kPort);
        ASSERT_EQ(OKVTLX1_Open(kPort), 0);
        ASSERT_EQ(OKVTLX1_Timeout(kPort, 0.1), 0);
    }
    void TearDown() override
    {
        gStoerung = Stoerung::Keine;
        OKVTLX1_Close(kPort);
    }
    PtyPair pty;
};

TEST_F(PortFault, FlushInOutStopsAtTheInputQueue)
{
    gFlushOutAufrufe = 0;
    gStoerung = Stoerung::FlushIn;
    EXPECT_EQ(FlushInOut(kPort), -124066);
    EXPECT_EQ(gFlushOutAufrufe, 0);
    gStoerung = Stoerung::FlushOut;
    EXPECT_EQ(FlushInOut(kPort), -123067);
}

TEST_F(PortFault, EachCommandReportsItsOwnCode)
{
    const struct {
        Stoerung stoerung;
        int id, schreiben, lesen, status;
    } cases[] = {
        {Stoerung::FlushIn,     -124066, -112037, -112047, -124066},
        {Stoerung::FlushOut,    -123067, -112037, -112047, -123067},
        {Stoerung::WriteFehler, -101007, -101038, -101048, -101058},
        {Stoerung::WriteKurz,   -114008, -101039, -114049, -114059},
        {Stoerung::QueueVoll,   -114008, -101039, -114049, -114059},  // after the time-out
    };
    for (const auto &c : cases) {
        gStoerung = c.stoerung;
        char id[32] = "";
        double value = 0.0;
        int status = 0;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(OKVTLX1_IDLesen(kPort, 1, id), c.id);
        EXPECT_EQ(OKVTLX1_ParameterSchreiben(kPort, 1, "soll1", 5.0), c.schreiben);
        EXPECT_EQ(OKVTLX1_ParameterSchreiben(kPort, 9, "soll1", 5.0), c.schreiben);
        EXPECT_EQ(OKVTLX1_ParameterLesen(kPort, 1, "istwert1", &value), c.lesen);
        EXPECT_EQ(OKVTLX1_StatusLesen(kPort, 1, &status), c.status);
        // Five commands, each bounded by the 0.1 s time-out at most once.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    }
}

// Runs `befehl` while the module's side waits for the command frame and then sends `reply`.
template <class Befehl>
int MitAntwort(const PtyPair &pty, const std::string &reply, Befehl befehl)
{
    std::thread modul([&] {
        pty.Read(2.0);
        pty.Write(reply);
    });
    const int rc = befehl();
    modul.join();
    return rc;
}

// Answers of exactly the longest length are taken. Reading stops at that length: without a CR
// by then the answer is wrong at once (its check fails), not a wait for more bytes.
TEST_F(PortFault, AnswersAreReadUpToTheirLongestLength)
{
    ASSERT_EQ(OKVTLX1_Timeout(kPort, 1.0), 0);
    const std::string ack(1, '\x06');
    const std::string zahl13 = "-12345.678901";  // 13 characters: a 19-byte answer
    char id[32] = "";
    double value = 0.0;
    int status = -1;

    EXPECT_EQ(MitAntwort(pty, ack + "#3P1R" + zahl13 + "\r",
                         [&] { return OKVTLX1_ParameterLesen(kPort, 3, "P1", &value); }),
              0);
    EXPECT_EQ(value, -12345.678901);
    EXPECT_EQ(MitAntwort(pty, ack + "#3P1R" + zahl13 + "0\r",
                         [&] { return OKVTLX1_ParameterLesen(kPort, 3, "P1", &value); }),
              -404055);

    const std::string text26(26, 'T');
    EXPECT_EQ(MitAntwort(pty, ack + "#4" + text26 + "\r",
                         [&] { return OKVTLX1_IDLesen(kPort, 4, id); }),
              0);
    EXPECT_EQ(id, text26);
    EXPECT_EQ(MitAntwort(pty, ack + "#4" + text26 + "T",
                         [&] { return OKVTLX1_IDLesen(kPort, 4, id); }),
              -404014);
    EXPECT_EQ(MitAntwort(pty, ack + "#3P1R" + zahl13 + "0",
                         [&] { return OKVTLX1_ParameterLesen(kPort, 3, "P1", &value); }),
              -404055);
    // A correct status answer has 9 bytes; 14 are read at most.
    EXPECT_EQ(MitAntwort(pty, ack + "#3STR$3F      ",
                         [&] { return OKVTLX1_StatusLesen(kPort, 3, &status); }),
              -404065);
    EXPECT_EQ(status, -1);
}

// The acknowledge and every answer byte count as signed: 0x80 and above fail the command; a zero
// byte ends the answer text early.
TEST_F(PortFault, HighAndZeroBytesInTheAnswer)
{
    ASSERT_EQ(OKVTLX1_Timeout(kPort, 1.0), 0);
    const std::string ack(1, '\x06');
    char id[32] = "";
    double value = 0.0;
    int status = -1;
    EXPECT_EQ(MitAntwort(pty, "\x86", [&] { return OKVTLX1_IDLesen(kPort, 4, id); }), -403011);
    EXPECT_EQ(MitAntwort(pty, "\x80", [&] { return OKVTLX1_ParameterSchreiben(kPort, 4, "P1", 1.0); }),
              -403042);
    EXPECT_EQ(MitAntwort(pty, ack + "#4P1R1\xB0\r",
                         [&] { return OKVTLX1_ParameterLesen(kPort, 4, "P1", &value); }),
              -404054);
    EXPECT_EQ(MitAntwort(pty, ack + "#4STR$\xFF" "3\r",
                         [&] { return OKVTLX1_StatusLesen(kPort, 4, &status); }),
              -404064);
    EXPECT_EQ(MitAntwort(pty, ack + std::string("#4OKV\0TLX1\r", 11),
                         [&] { return OKVTLX1_IDLesen(kPort, 4, id); }),
              -404014);
    EXPECT_EQ(MitAntwort(pty, ack + "#4P1R7.5\r",
                         [&] { return OKVTLX1_ParameterLesen(kPort, 4, "P1", &value); }),
              0);
    EXPECT_EQ(value, 7.5);
}

}  // namespace
