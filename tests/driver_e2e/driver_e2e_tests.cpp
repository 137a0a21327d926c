// The driver against the module simulator over a pseudo-terminal: the bytes on the line, each
// command's result and each error code a misbehaving module causes.
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "driver/okvtlx1.h"
#include "tests/support/SimProcess.h"

using tlx1test::SimProcess;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kPort = 1;
constexpr double kUntouched = -12345.0;

class DriverE2E : public ::testing::Test {
 protected:
  void start(const std::vector<std::string>& args = {}) {
    sim_ = std::make_unique<SimProcess>(args, kPort);
    ASSERT_EQ(OKVTLX1_Open(kPort), 0);
    open_ = true;
    ASSERT_EQ(OKVTLX1_Timeout(kPort, 1.0), 0);
  }
  void TearDown() override {
    if (open_) OKVTLX1_Close(kPort);
  }
  SimProcess& sim() { return *sim_; }

 private:
  std::unique_ptr<SimProcess> sim_;
  bool open_ = false;
};

// Results of the four commands against one address, in the order identification, parameter
// write, parameter read, status.
struct Codes {
  int id, write, read, status;
  bool operator==(const Codes&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Codes& c) {
  return os << "{id " << c.id << ", write " << c.write << ", read " << c.read << ", status " << c.status << "}";
}

// Runs all four commands; a failed read or status must leave the caller's variable alone.
Codes runAll(int address) {
  char id[32] = {};
  double value = kUntouched;
  int status = -1;
  Codes c{};
  c.id = OKVTLX1_IDLesen(kPort, address, id);
  c.write = OKVTLX1_ParameterSchreiben(kPort, address, "P1", 2.5);
  c.read = OKVTLX1_ParameterLesen(kPort, address, "P1", &value);
  c.status = OKVTLX1_StatusLesen(kPort, address, &status);
  if (c.read != 0) {
    EXPECT_EQ(value, kUntouched);
  }
  if (c.status != 0) {
    EXPECT_EQ(status, -1);
  }
  return c;
}

double seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

}  // namespace

TEST_F(DriverE2E, IdentificationStatusAndEveryNameRead) {
  start({"--module", "3=OKV-TLX1-E2E", "--module", "0=OKV-TLX1-NULL", "--plant", "off"});
  sim().command("set 3 status 0x3F");
  char id[32];
  ASSERT_EQ(OKVTLX1_IDLesen(kPort, 3, id), 0);
  EXPECT_STREQ(id, "OKV-TLX1-E2E");
  int status = -1;
  ASSERT_EQ(OKVTLX1_StatusLesen(kPort, 3, &status), 0);
  EXPECT_EQ(status, 63);

  const char* names[] = {"P1", "I1", "D1", "soll1", "anfangssoll1", "max1", "min1", "betriebsart1",
                         "anstiegszeit1", "stellgroesse1", "istwert1", "P2", "I2", "D2", "soll2",
                         "anfangssoll2", "max2", "min2", "betriebsart2", "anstiegszeit2",
                         "stellgroesse2", "istwert2"};
  static_assert(std::size(names) == 22);
  // A distinct value per name shows each name reaches its own parameter.
  for (std::size_t i = 0; i < std::size(names); ++i)
    sim().command("set 3 " + std::string(names[i]) + " " + std::to_string(i) + ".25");
  for (std::size_t i = 0; i < std::size(names); ++i) {
    double value = kUntouched;
    EXPECT_EQ(OKVTLX1_ParameterLesen(kPort, 3, names[i], &value), 0) << names[i];
    EXPECT_EQ(value, static_cast<double>(i) + 0.25) << names[i];
  }
  // The module may send any number; the driver hands it on unchecked.
  sim().command("set 3 P1 -123456.5");
  double value = 0;
  EXPECT_EQ(OKVTLX1_ParameterLesen(kPort, 3, "P1", &value), 0);
  EXPECT_EQ(value, -123456.5);

  // Address 0 is a valid address digit for reading and status.
  EXPECT_EQ(OKVTLX1_ParameterLesen(kPort, 0, "istwert1", &value), 0);
  EXPECT_EQ(OKVTLX1_StatusLesen(kPort, 0, &status), 0);
  EXPECT_TRUE(sim().waitForFrame("#0V5R"));
  EXPECT_TRUE(sim().waitForFrame("#0STR"));
}

TEST_F(DriverE2E, WritesSendTheModuleItsOwnNumberText) {
  start({"--module", "3", "--plant", "off"});
  struct Case {
    const char* name;
    double value;
    const char* text;
  } cases[] = {
      {"P1", 2.5, "2.5000"},          {"P1", 9.99996, "10.0000"},     {"I1", 10, "10.000"},
      {"D1", -12345.6, "-12346"},     {"P2", 99999, "99999"},         {"I2", -9999.95, "-10000.0"},
      {"D2", 0, "0.0000"},            {"soll1", 5, "5.000"},          {"soll2", 10, "10.000"},
      {"anfangssoll1", 2.5, "2.500"}, {"anfangssoll2", 0, "0.000"},   {"max1", 10, "10.000"},
      {"max2", 0, "0.000"},           {"min1", 0.1234, "0.123"},      {"min2", 9.9999, "10.000"},
      {"betriebsart1", 2, "2"},       {"betriebsart2", 3, "3"},       {"anstiegszeit1", 1000, "1000.0"},
      {"anstiegszeit2", 999.999, "1000.00"}, {"anstiegszeit1", 99.5, "99.500"},
      {"stellgroesse1", 7.5, "7.500"}, {"stellgroesse2", 0.001, "0.001"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OKVTLX1_ParameterSchreiben(kPort, 3, c.name, c.value), 0) << c.name << " " << c.value;
    // The module stores the text as written and answers it byte for byte.
    EXPECT_EQ(sim().command(std::string("get 3 ") + c.name), c.text) << c.name << " " << c.value;
  }
  sim().command("ping");
  const std::vector<std::string> rx = sim().received();
  ASSERT_EQ(rx.size(), std::size(cases));
  EXPECT_EQ(rx[0], "#3P1W2.5000");
  EXPECT_EQ(rx[15], "#3M1W2");
  EXPECT_EQ(rx[17], "#3F1W1000.0");
}

TEST_F(DriverE2E, RefusedCommandsSendNothing) {
  start();
  double value = kUntouched;
  int status = -1;
  char id[32];
  EXPECT_EQ(OKVTLX1_ParameterSchreiben(kPort, 1, "P1", 100000), -500025);
  EXPECT_EQ(OKVTLX1_ParameterSchreiben(kPort, 1, "betriebsart1", 2.5), -500032);
  EXPECT_EQ(OKVTLX1_ParameterSchreiben(kPort, 1, "soll1", std::nan("")), -500028);
  EXPECT_EQ(OKVTLX1_ParameterSchreiben(kPort, 1, "istwert1", 1), -401035);
  EXPECT_EQ(OKVTLX1_ParameterSchreiben(kPort, 0, "P1", 1), -400024);
  EXPECT_EQ(OKVTLX1_ParameterLesen(kPort, 9, "istwert1", &value), -400044);
  EXPECT_EQ(OKVTLX1_ParameterLesen(kPort, 1, "p1", &value), -401045);
  EXPECT_EQ(OKVTLX1_StatusLesen(kPort, 9, &status), -400056);
  EXPECT_EQ(OKVTLX1_IDLesen(kPort, 9, id), -400005);
  EXPECT_EQ(OKVTLX1_IDLesen(kPort, 0, id), -400005);
  EXPECT_EQ(OKVTLX1_DeviceFunction(kPort, 1), -401016);
  EXPECT_EQ(value, kUntouched);
  EXPECT_EQ(status, -1);
  sim().command("ping");
  EXPECT_TRUE(sim().received().empty());
  EXPECT_EQ(sim().command("get 1 P1"), "1.0000");
}

// Faults that spoil a reply without a time-out; each gives the code of its own check.
TEST_F(DriverE2E, EachFaultGivesItsCode) {
  start({"--module", "1", "--module", "2"});
  struct Case {
    const char* fault;
    Codes codes;
  } cases[] = {
      {"none",      {0, 0, 0, 0}},
      {"nak",       {-402009, -402040, -402050, -402060}},
      {"can",       {-405010, -405041, -405051, -405061}},
      {"badack",    {-404012, -404043, -404053, -404063}},
      {"highack",   {-403011, -403042, -403052, -403062}},
      {"wrongaddr", {-404014, 0, -404055, -404065}},
      {"wrongecho", {0, 0, -404055, -404065}},  // the identification repeats no command bytes
      {"blank",     {-404014, 0, -404055, -404065}},
      {"highbyte",  {-404013, -403042, -404054, -404064}},
      {"extra",     {0, 0, 0, 0}},  // stray bytes after the reply are the next command's to flush
  };
  for (const Case& c : cases) {
    sim().command(std::string("fault ") + c.fault + " 1");
    EXPECT_EQ(runAll(1), c.codes) << c.fault;
    EXPECT_EQ(runAll(2), (Codes{0, 0, 0, 0})) << c.fault << ": the fault is limited to address 1";
  }
}

TEST_F(DriverE2E, FlushDiscardsStaleBytesBeforeEachCommand) {
  start();
  // Each reply carries stray bytes beginning with a NAK; a command that took them for its own
  // acknowledge would fail with -402xxx.
  sim().command("fault extra");
  char id[32];
  double value = 0;
  int status = 0;
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(OKVTLX1_IDLesen(kPort, 1, id), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let the strays arrive
    EXPECT_EQ(OKVTLX1_StatusLesen(kPort, 1, &status), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(OKVTLX1_ParameterLesen(kPort, 1, "P1", &value), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(OKVTLX1_ParameterSchreiben(kPort, 1, "P1", 3), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  // A NAK left over by a refused command does not spoil the next one either.
  sim().command("fault none");
  sim().command("fault nak");
  EXPECT_EQ(OKVTLX1_ParameterLesen(kPort, 1, "P1", &value), -402050);
  sim().command("fault none");
  EXPECT_EQ(OKVTLX1_ParameterLesen(kPort, 1, "P1", &value), 0);
  EXPECT_EQ(value, 3.0);
}

TEST_F(DriverE2E, BroadcastWriteReturnsWithoutReading) {
  start({"--module", "2", "--module", "6"});
  const auto t0 = Clock::now();
  EXPECT_EQ(OKVTLX1_ParameterSchreiben(kPort, 9, "betriebsart1", 1), 0);
  EXPECT_EQ(OKVTLX1_ParameterSchreiben(kPort, 9, "soll1", 5), 0);
  EXPECT_LT(seconds(t0), 0.5) << "a broadcast must not wait for an answer";
  EXPECT_TRUE(sim().waitForFrame("#9M1W1"));
  EXPECT_TRUE(sim().waitForFrame("#9S1W5.000"));
  EXPECT_EQ(sim().command("get 2 soll1"), "5.000");
  EXPECT_EQ(sim().command("get 6 soll1"), "5.000");
}

TEST_F(DriverE2E, BroadcastWriteSucceedsWithNoModuleOnTheBus) {
  start({"--no-modules"});
  const auto t0 = Clock::now();
  EXPECT_EQ(OKVTLX1_ParameterSchreiben(kPort, 9, "soll1", 5), 0);
  EXPECT_LT(seconds(t0), 0.5);
  EXPECT_TRUE(sim().waitForFrame("#9S1W5.000"));
}

// Time-outs: one test per fault kind so CTest can run them side by side.
TEST_F(DriverE2E, SilentModuleTimesOutAfterOneSecond) {
  start({"--fault", "silent"});
  const auto t0 = Clock::now();
  char id[32];
  EXPECT_EQ(OKVTLX1_IDLesen(kPort, 1, id), -403011);
  const double elapsed = seconds(t0);
  EXPECT_GT(elapsed, 0.95);
  EXPECT_LT(elapsed, 1.5);
  double value = kUntouched;
  int status = -1;
  EXPECT_EQ(OKVTLX1_ParameterSchreiben(kPort, 1, "P1", 2.5), -403042);
  EXPECT_EQ(OKVTLX1_ParameterLesen(kPort, 1, "P1", &value), -403052);
  EXPECT_EQ(OKVTLX1_StatusLesen(kPort, 1, &status), -403062);
  EXPECT_EQ(value, kUntouched);
  EXPECT_EQ(status, -1);
}

TEST_F(DriverE2E, AcknowledgeWithoutAnswerIsAWrongAnswer) {
  start({"--fault", "noanswer"});
  EXPECT_EQ(runAll(1), (Codes{-404013, 0, -404054, -404064}));
}

TEST_F(DriverE2E, AnswerCutShortIsAWrongAnswer) {
  start({"--fault", "cut"});
  EXPECT_EQ(runAll(1), (Codes{-404013, 0, -404054, -404064}));
}

TEST_F(DriverE2E, LateAnswerIsNoAnswerAndItsBytesAreFlushed) {
  start({"--fault", "late", "--latency", "1300"});
  char id[32];
  EXPECT_EQ(OKVTLX1_IDLesen(kPort, 1, id), -403011);
  sim().command("fault none");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the late reply has come by now
  int status = -1;
  EXPECT_EQ(OKVTLX1_StatusLesen(kPort, 1, &status), 0);
  EXPECT_EQ(status, 0);
}

TEST_F(DriverE2E, HangUpMidUseFailsTheCommandAndTheNextOpen) {
  start({"--fault", "hangup"});
  char id[32];
  const auto t0 = Clock::now();
  const int code = OKVTLX1_IDLesen(kPort, 1, id);
  EXPECT_EQ(code, -403011);
  EXPECT_LT(seconds(t0), 1.5);
  EXPECT_TRUE(sim().waitForHangup());
  EXPECT_EQ(OKVTLX1_Close(kPort), 0);
  EXPECT_EQ(OKVTLX1_Open(kPort), -100002);
}

TEST(DriverE2EOpen, MissingOrBusyPortIsRefused) {
  setenv("TLX1_COM4", "/nonexistent/tlx1-port", 1);
  EXPECT_EQ(OKVTLX1_Open(4), -100002);

  SimProcess sim({}, 1);
  sim.mapToPort(2);  // COM 1 and COM 2 name the same device
  ASSERT_EQ(OKVTLX1_Open(1), 0);
  EXPECT_EQ(OKVTLX1_Open(1), -100002);  // already open
  EXPECT_EQ(OKVTLX1_Open(2), -100002);  // device in use
  // The holder is not disturbed by the refused opens.
  ASSERT_EQ(OKVTLX1_Timeout(1, 1.0), 0);
  char id[32];
  EXPECT_EQ(OKVTLX1_IDLesen(1, 1, id), 0);
  EXPECT_EQ(OKVTLX1_Close(1), 0);
  // Once closed, the device is free for the other port number.
  EXPECT_EQ(OKVTLX1_Open(2), 0);
  EXPECT_EQ(OKVTLX1_Close(2), 0);
}
