// The simulator seen from the line: raw bytes in, raw bytes out, no driver involved.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "sim/SimProcess.h"

using tlx1sim::SimProcess;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

// A bare raw serial port on the simulator's line.
struct Port {
  // The simulator has already put the line into raw mode.
  explicit Port(const std::string& path) : fd(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
  ~Port() { close(fd); }

  // Sends frame (CR added) and returns what comes back within waitMs. Once `expected` bytes have
  // arrived it waits only 20 ms more, for stray bytes behind them.
  std::string exchange(const std::string& frame, std::size_t expected = 0, int waitMs = 200) {
    tcflush(fd, TCIOFLUSH);
    if (write(fd, (frame + "\r").data(), frame.size() + 1) != static_cast<ssize_t>(frame.size() + 1)) return "<write>";
    sent = Clock::now();
    std::string in;
    char buf[256];
    for (auto end = sent + std::chrono::milliseconds(waitMs); Clock::now() < end;) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 5) <= 0) continue;
      const ssize_t n = read(fd, buf, sizeof buf);
      if (n <= 0) break;
      lastByte = Clock::now();
      if (in.size() < expected && in.size() + n >= expected) end = std::min(end, lastByte + 20ms);
      in.append(buf, static_cast<std::size_t>(n));
    }
    return in;
  }
  double ms() const { return std::chrono::duration<double, std::milli>(lastByte - sent).count(); }

  int fd;
  Clock::time_point sent, lastByte;  // when the frame went out, when the last byte came in
};

const std::string ACK = "\x06";
const std::string NAK = "\x15";

}  // namespace

TEST(Simulator, AnswersRefusesAndStoresLikeAModuleAndBroadcastsReachEveryone) {
  SimProcess sim({"--module", "1", "--module", "3=OKV-TLX1-B", "--module", "6", "--fault", "silent@6"});
  Port port(sim.devicePath());
  ASSERT_GE(port.fd, 0);
  for (const char* frame :
       {"#1S1W10.001", "#1S1W-0.5",  "#1M1W0",  "#1M1W2.5", "#1M1W4",  "#1F1W1000.1", "#1F1W-0.1", "#1P1W100000",
        "#1H1W11",     "#1V5W1.000", "#1P1W",   "#1P1W1e3", "#1P1W 2", "#1P1W2.",     "#1P1W.5",   "#1P1W--1",
        "#1P1R5",      "#1IDW",      "#1STW00", "#1XYR",    "#1P3R",   "#1P",         "#1"})
    EXPECT_EQ(port.exchange(frame, 1), NAK) << frame;
  EXPECT_EQ(sim.command("get 1 soll1"), "0.000");  // refused values change nothing
  EXPECT_EQ(sim.command("get 1 betriebsart1"), "1");
  sim.command("set 3 status 0x3f");
  // Written texts read back as written, per module (module 1 keeps its default P1).
  // clang-format off
  const std::pair<std::string, std::string> cases[] = {
      {"#1IDR", ACK + "#1OKV-TLX1-SIM\r"}, {"#3IDR", ACK + "#3OKV-TLX1-B\r"}, {"#3STR", ACK + "#3STR$3F\r"},
      {"#1STR", ACK + "#1STR$00\r"},       {"#3P1W2.5000", ACK},             {"#3P1R", ACK + "#3P1R2.5000\r"},
      {"#3P2W-12346", ACK},                {"#3P2R", ACK + "#3P2R-12346\r"}, {"#1P1R", ACK + "#1P1R1.0000\r"},
      {"#3M2W3", ACK},                     {"#3M2R", ACK + "#3M2R3\r"},       {"#2IDR", ""},  // nobody there
      {"#9M1W3", ""},                      {"#9M1R", ""},  // to all: nobody answers
  };
  // clang-format on
  for (const auto& [frame, reply] : cases) EXPECT_EQ(port.exchange(frame, reply.size()), reply) << frame;
  EXPECT_EQ(sim.command("get 1 betriebsart1"), "3");
  EXPECT_EQ(sim.command("get 6 betriebsart1"), "1");  // a silent module hears nothing
  for (const char* bad : {"frobnicate", "set 9 P1 1", "set 1 P9 1", "set 1 status 256", "get 4 P1", "fault sometimes",
                          "fault nak 5", "fault nak 1 min3", "plant maybe", "set 1 analog1 x"})
    EXPECT_EQ(sim.tryCommand(bad).rfind("ERR ", 0), 0u) << bad;
}

TEST(Simulator, EachFaultSpoilsTheReplyItsWayForItsAddressOrParameter) {
  SimProcess sim({"--module", "1", "--module", "2"});
  Port port(sim.devicePath());
  sim.command("set 1 status 0x3F");
  // clang-format off
  const struct { const char* fault; std::string status, write; } cases[] = {
      {"none", ACK + "#1STR$3F\r", ACK},        {"silent", "", ""},
      {"nak", NAK, NAK},                          {"can", "\x18", "\x18"},
      {"badack", "\x07#1STR$3F\r", "\x07"},      {"highack", "\x86#1STR$3F\r", "\x86"},
      {"noanswer", ACK, ACK},                     {"cut", ACK + "#1ST", ACK},
      {"wrongaddr", ACK + "#2STR$3F\r", ACK},     {"wrongecho", ACK + "#1TTR$3F\r", ACK},
      {"blank", ACK + "#1STR$3F \r", ACK},        {"highbyte", ACK + "#1ST\xD2$3F\r", "\x86"},
      {"extra", ACK + "#1STR$3F\r\x15#0JUNK\r", ACK + "\x15#0JUNK\r"},
  };
  // clang-format on
  for (const auto& c : cases) {
    sim.command(std::string("fault ") + c.fault + " 1");
    EXPECT_EQ(port.exchange("#1STR", c.status.size()), c.status) << c.fault;
    EXPECT_EQ(port.exchange("#1P1W2", c.write.size()), c.write) << c.fault;
    EXPECT_EQ(port.exchange("#2STR", 10), ACK + "#2STR$00\r") << c.fault << ": only address 1 is faulty";
  }
  // The identification has no echo; the reading of a parameter has.
  sim.command("fault none");
  sim.command("fault wrongecho");
  EXPECT_EQ(port.exchange("#1IDR", 16), ACK + "#1OKV-TLX1-SIM\r");
  EXPECT_EQ(port.exchange("#2P1R", 13), ACK + "#2Q1R1.0000\r");
  sim.command("fault none");
  EXPECT_EQ(port.exchange("#1P1R", 8), ACK + "#1P1R2\r");  // written under badack etc.

  // A fault for one parameter spares the others, channel 2's included.
  sim.command("fault nak 1 min1");
  EXPECT_EQ(port.exchange("#1L1W1.000", 1), NAK);
  EXPECT_EQ(port.exchange("#1L2R", 11), ACK + "#1L2R0.000\r");
  EXPECT_EQ(sim.command("get 1 min1"), "0.000");

  // A late reply comes after the 1.0 s time-out; a hang-up closes the line and removes the link.
  sim.command("fault late");
  EXPECT_EQ(port.exchange("#1STR", 10, 2500), ACK + "#1STR$3F\r");
  EXPECT_GT(port.ms(), 1400.0);
  sim.command("fault hangup");
  EXPECT_EQ(port.exchange("#1IDR", 0, 300), "");
  EXPECT_TRUE(sim.waitForHangup());
  EXPECT_LT(Port(sim.devicePath()).fd, 0);
  EXPECT_EQ(sim.command("ping"), "");  // still takes commands
}

// With 9600-baud pacing an exchange takes the wire time. The plant: setpoint steps give visible,
// bounded responses within a few seconds.
TEST(SimulatorPlant, PacedLineSetpointRampModesOutputLimitsAndPowerOnSetpoint) {
  SimProcess sim({"--pace", "--turnaround", "2", "--module", "1", "--module", "2", "--module", "3", "--cmd",
                  "set 2 anstiegszeit1 1", "--cmd", "set 3 max1 2", "--cmd", "set 3 anfangssoll1 6", "--cmd",
                  "set 3 anstiegszeit1 0", "--cmd", "reset 3"});
  Port port(sim.devicePath());
  EXPECT_EQ(port.exchange("#1V5R", 12, 500), ACK + "#1V5R0.000\r");  // the actual value with 3 decimals
  // 6 bytes in, ACK and 11 bytes out at 1.04 ms each, plus 2 ms turnaround: 20.75 ms.
  EXPECT_GT(port.ms(), 20.0);
  EXPECT_LT(port.ms(), 100.0);                 // loose: the machine may be busy
  EXPECT_EQ(sim.command("get 3 soll1"), "6");  // the power-on setpoint
  EXPECT_EQ(port.exchange("#1S1W5.000", 1), ACK);
  EXPECT_EQ(port.exchange("#2S1W5.000", 1), ACK);
  for (const char* c : {"set 1 betriebsart2 3", "set 1 stellgroesse2 8", "set 2 betriebsart2 2", "set 2 analog2 2"})
    sim.command(c);
  std::this_thread::sleep_for(std::chrono::seconds(3));
  const double fast = std::stod(sim.command("get 1 istwert1"));
  const double ramped = std::stod(sim.command("get 2 istwert1"));  // setpoint rising at 1 V/s
  EXPECT_NEAR(fast, 4.5, 1.0);
  EXPECT_LT(ramped, fast - 0.5);
  EXPECT_GT(ramped, 0.5);
  EXPECT_NEAR(std::stod(sim.command("get 1 istwert2")), 8 * (1 - std::exp(-1.5)), 0.4);  // manual output
  EXPECT_EQ(sim.command("get 1 stellgroesse2"), "8");                 // manual output reads as written
  EXPECT_NEAR(std::stod(sim.command("get 2 istwert2")), 1.75, 0.75);  // analogue setpoint 2 V
  EXPECT_EQ(sim.command("get 3 stellgroesse1"), "2.000");             // held at max
  EXPECT_LT(std::stod(sim.command("get 3 istwert1")), 2.0);
}
