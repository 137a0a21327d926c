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

int __wrap__Z8FlushInQi(int p)
{
    return gStoerung == Stoerung::FlushIn ? COM_ERR_IO : __real__Z8FlushInQi(p);
}
int __wrap__Z9FlushOutQi(int p)
{
    ++gFlushOutAufrufe;
    return gStoerung == Stoerung::FlushOut ? COM_ERR_IO : __real__Z9FlushOutQi(p);
}
int __wrap__Z6ComWrtiPKci(int p, const char *buf, int n)
{
    return gStoerung == Stoerung::WriteFehler ? COM_ERR_IO
                                              : __real__Z6ComWrtiPKci(p, buf, n - (gStoerung == Stoerung::WriteKurz));
}
int __wrap__Z10GetOutQLeni(int p)
{
    return gStoerung == Stoerung::QueueVoll ? 5 : __real__Z10GetOutQLeni(p);
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

// A failed input flush leaves the output queue alone. The queue that never empties fails after
// the time-out: five commands, each bounded by the 0.1 s time-out at most once.
TEST_F(PortFault, EachCommandReportsItsOwnCode)
{
    // clang-format off
    const struct { Stoerung stoerung; int flush, id, schreiben, lesen, status; } cases[] = {
        {Stoerung::FlushIn,     -124066, -124066, -112037, -112047, -124066},
        {Stoerung::FlushOut,    -123067, -123067, -112037, -112047, -123067},
        {Stoerung::WriteFehler, 0,       -101007, -101038, -101048, -101058},
        {Stoerung::WriteKurz,   0,       -114008, -101039, -114049, -114059},
        {Stoerung::QueueVoll,   0,       -114008, -101039, -114049, -114059},
    };
    // clang-format on
    for (const auto &c : cases) {
        gStoerung = c.stoerung;
        gFlushOutAufrufe = 0;
        EXPECT_EQ(FlushInOut(kPort), c.flush);
        EXPECT_EQ(gFlushOutAufrufe, c.stoerung == Stoerung::FlushIn ? 0 : 1);
        char id[32] = "";
        double value = 0.0;
        int status = 0;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(OKVTLX1_IDLesen(kPort, 1, id), c.id);
        EXPECT_EQ(OKVTLX1_ParameterSchreiben(kPort, 1, "soll1", 5.0), c.schreiben);
        EXPECT_EQ(OKVTLX1_ParameterSchreiben(kPort, 9, "soll1", 5.0), c.schreiben);
        EXPECT_EQ(OKVTLX1_ParameterLesen(kPort, 1, "istwert1", &value), c.lesen);
        EXPECT_EQ(OKVTLX1_StatusLesen(kPort, 1, &status), c.status);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    }
}

enum class Befehl { ID, Lesen, Status };

// The module's side waits for the command frame and then sends `reply`; the driver's result.
int MitAntwort(const PtyPair &pty, Befehl befehl, const std::string &reply)
{
    std::thread modul([&] {
        pty.Read(2.0);
        pty.Write(reply);
    });
    char id[32] = "";
    double value = 0.0;
    int status = 0;
    const int rc = befehl == Befehl::ID      ? OKVTLX1_IDLesen(kPort, 4, id)
                   : befehl == Befehl::Lesen ? OKVTLX1_ParameterLesen(kPort, 4, "P1", &value)
                                             : OKVTLX1_StatusLesen(kPort, 4, &status);
    modul.join();
    return rc;
}

// Answers of exactly the longest length are taken. Reading stops at that length: without a CR by
// then the answer is wrong at once (its check fails) instead of a wait for more bytes (-40401x,
// -40405x after a time-out). A zero byte ends the answer text early.
TEST_F(PortFault, AnswersAreReadUpToTheirLongestLength)
{
    ASSERT_EQ(OKVTLX1_Timeout(kPort, 1.0), 0);
    const std::string ack = "\x06", zahl13 = "-12345.678901", text26(26, 'T');
    const struct {
        Befehl befehl;
        std::string reply;
        int code;
    } cases[] = {
        {Befehl::Lesen, ack + "#4P1R" + zahl13 + "\r", 0},  // 19 bytes
        {Befehl::Lesen, ack + "#4P1R" + zahl13 + "0\r", -404055},
        {Befehl::ID, ack + "#4" + text26 + "\r", 0},  // 29 bytes
        {Befehl::ID, ack + "#4" + text26 + "T", -404014},
        {Befehl::Status, ack + "#4STR$3F      ", -404065},  // 14 bytes read
        {Befehl::ID, ack + std::string("#4OKV\0TLX1\r", 11), -404014},
    };
    for (const auto &c : cases)
        EXPECT_EQ(MitAntwort(pty, c.befehl, c.reply), c.code) << c.reply;
}

}  // namespace
