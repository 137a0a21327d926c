// The driver's exchange over a pseudo-terminal, with the test playing a scripted module.
#include <chrono>
#include <cmath>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "driver/okvtlx1.h"
#include "tests/rs232/pty_pair.h"

namespace {

constexpr int kPort = 6;

class Exchange : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.Ok());
        pty.MapTo(kPort);
        ASSERT_EQ(OKVTLX1_Open(kPort), 0);
        ASSERT_EQ(OKVTLX1_Timeout(kPort, 0.2), 0);
    }
    void TearDown() override { OKVTLX1_Close(kPort); }

    // Runs `command` while the module answers the next frame with `reply`; returns that frame.
    template <class Command>
    std::string Module(const std::string &reply, Command command)
    {
        std::string frame;
        std::thread module([&] {
            frame = pty.Read(2.0);
            if (!reply.empty())
                pty.Write(reply);
        });
        command();
        module.join();
        return frame;
    }

    PtyPair pty;
};

TEST_F(Exchange, EachCommandSendsItsFrameAndTakesTheAnswer)
{
    int rc = 1;
    EXPECT_EQ(Module("\x06", [&] { rc = OKVTLX1_ParameterSchreiben(kPort, 3, "P1", 2.5); }),
              "#3P1W2.5000\r");
    EXPECT_EQ(rc, 0);

    double value = 0.0;
    EXPECT_EQ(Module("\x06#3P1R12.5\r",
                     [&] { rc = OKVTLX1_ParameterLesen(kPort, 3, "P1", &value); }),
              "#3P1R\r");
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(value, 12.5);

    int status = -1;
    EXPECT_EQ(Module("\x06#0STR$3F\r", [&] { rc = OKVTLX1_StatusLesen(kPort, 0, &status); }),
              "#0STR\r");
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(status, 63);

    char id[32] = "";
    EXPECT_EQ(Module("\x06#4OKV-TLX1-2CH\r", [&] { rc = OKVTLX1_IDLesen(kPort, 4, id); }),
              "#4IDR\r");
    EXPECT_EQ(rc, 0);
    EXPECT_STREQ(id, "OKV-TLX1-2CH");
}

TEST_F(Exchange, EveryWrongAcknowledgeOrAnswerHasItsCodeAndLeavesTheResult)
{
    const struct {
        std::string reply;
        int code;
    } cases[] = {
        {"\x15", -402050},
        {"\x18", -405051},
        {"X", -404053},
        {"\x86", -403052},            // 0x80 and above counts as no answer
        {"", -403052},                // silent module: time-out
        {"\x06#3P1R1\xB2.5\r", -404054},
        {"\x06#3P1R12", -404054},     // answer stops halfway
        {"\x06#3I1R12.5\r", -404055},
        {"\x06#3P1R12.5 \r", -404055},
        {"\x06#3P1R12345678901234\r", -404055},  // no CR within 19 bytes
    };
    for (const auto &c : cases) {
        double value = -7.0;
        int rc = 0;
        Module(c.reply, [&] { rc = OKVTLX1_ParameterLesen(kPort, 3, "P1", &value); });
        EXPECT_EQ(rc, c.code) << c.reply;
        EXPECT_EQ(value, -7.0) << c.reply;
    }
}

TEST_F(Exchange, CodesBelongToTheCommandThatFailed)
{
    int rc = 0;
    char id[32] = "alt";
    Module("\x06", [&] { rc = OKVTLX1_IDLesen(kPort, 1, id); });
    EXPECT_EQ(rc, -404013);
    Module("\x06#1OKV TLX1\r", [&] { rc = OKVTLX1_IDLesen(kPort, 1, id); });
    EXPECT_EQ(rc, -404014);
    EXPECT_STREQ(id, "alt");
    Module("\x15", [&] { rc = OKVTLX1_IDLesen(kPort, 1, id); });
    EXPECT_EQ(rc, -402009);

    int status = -1;
    Module("\x18", [&] { rc = OKVTLX1_StatusLesen(kPort, 1, &status); });
    EXPECT_EQ(rc, -405061);
    Module("\x06#1STR3F\r", [&] { rc = OKVTLX1_StatusLesen(kPort, 1, &status); });
    EXPECT_EQ(rc, -404065);
    EXPECT_EQ(status, -1);

    Module("\x07", [&] { rc = OKVTLX1_ParameterSchreiben(kPort, 1, "soll1", 5.0); });
    EXPECT_EQ(rc, -404043);
    Module("\x15", [&] { rc = OKVTLX1_ParameterSchreiben(kPort, 1, "soll1", 5.0); });
    EXPECT_EQ(rc, -402040);
    Module("", [&] { rc = OKVTLX1_ParameterSchreiben(kPort, 1, "soll1", 5.0); });
    EXPECT_EQ(rc, -403042);
}

TEST_F(Exchange, BroadcastWriteReturnsOnceSentWithoutReading)
{
    int rc = 1;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Module("", [&] { rc = OKVTLX1_ParameterSchreiben(kPort, 9, "soll1", 5.0); }),
              "#9S1W5.000\r");
    EXPECT_EQ(rc, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
}

TEST_F(Exchange, StaleBytesAreFlushedAndRefusedValuesNeverSent)
{
    pty.Write("\x06#3P1R99\r");  // left over from an earlier exchange
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    double value = 0.0;
    int rc = 1;
    Module("\x06#3P1R12.5\r", [&] { rc = OKVTLX1_ParameterLesen(kPort, 3, "P1", &value); });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(value, 12.5);

    EXPECT_EQ(OKVTLX1_ParameterSchreiben(kPort, 3, "P1", std::nan("")), -500025);
    EXPECT_EQ(OKVTLX1_ParameterSchreiben(kPort, 3, "max1", 10.0001), -500030);
    EXPECT_EQ(OKVTLX1_ParameterSchreiben(kPort, 3, "istwert1", 1.0), -401035);
    EXPECT_EQ(pty.Read(0.05), "");
}

}  // namespace
