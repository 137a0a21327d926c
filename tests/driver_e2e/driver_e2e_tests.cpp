// The driver against the module simulator over a pseudo-terminal: each command's result on a real
// exchange and each error code a misbehaving module causes.
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "driver/okvtlx1.h"
#include "sim/SimProcess.h"

using tlx1sim::SimProcess;
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

// Results of identification, parameter write, parameter read and status at one address.
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
  const Codes c{OKVTLX1_IDLesen(kPort, address, id), OKVTLX1_ParameterSchreiben(kPort, address, "P1", 2.5),
                OKVTLX1_ParameterLesen(kPort, address, "P1", &value), OKVTLX1_StatusLesen(kPort, address, &status)};
  EXPECT_EQ(c.read == 0 ? kUntouched : value, kUntouched);
  EXPECT_EQ(c.status == 0 ? -1 : status, -1);
  return c;
}

double seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// clang-format off
const char* const kNames[] = {"P1", "I1", "D1", "soll1", "anfangssoll1", "max1", "min1", "betriebsart1",
                              "anstiegszeit1", "stellgroesse1", "istwert1", "P2", "I2", "D2", "soll2",
                              "anfangssoll2", "max2", "min2", "betriebsart2", "anstiegszeit2",
                              "stellgroesse2", "istwert2"};
// clang-format on
static_assert(std::size(kNames) == 22);

}  // namespace

TEST_F(DriverE2E, EachCommandSucceedsAndEveryNameReachesItsOwnParameter) {
  start({"--module", "3=OKV-TLX1-E2E", "--module", "0=OKV-TLX1-NULL", "--plant", "off"});
  sim().command("set 3 status 0x3F");
  char id[32];
  ASSERT_EQ(OKVTLX1_IDLesen(kPort, 3, id), 0);
  EXPECT_STREQ(id, "OKV-TLX1-E2E");
  int status = -1;
  ASSERT_EQ(OKVTLX1_StatusLesen(kPort, 3, &status), 0);
  EXPECT_EQ(status, 63);

  // A distinct value per name, set in the module and read, then written and fetched from the module.
  for (std::size_t i = 0; i < std::size(kNames); ++i) {
    const std::string name = kNames[i];
    sim().command("set 3 " + name + " " + std::to_string(i) + ".25");
    double value = kUntouched;
    EXPECT_EQ(OKVTLX1_ParameterLesen(kPort, 3, kNames[i], &value), 0) << name;
    EXPECT_EQ(value, static_cast<double>(i) + 0.25) << name;
    if (name.starts_with("istwert")) continue;
    const double written = name.starts_with("betriebsart") ? 3.0 : 0.5 + 0.25 * static_cast<double>(i);
    EXPECT_EQ(OKVTLX1_ParameterSchreiben(kPort, 3, kNames[i], written), 0) << name;
    EXPECT_EQ(std::stod(sim().command("get 3 " + name)), written) << name;
  }
  // The module may send any number; the driver hands it on unchecked.
  sim().command("set 3 P1 -123456.5");
  double value = 0;
  EXPECT_EQ(OKVTLX1_ParameterLesen(kPort, 3, "P1", &value), 0);
  EXPECT_EQ(value, -123456.5);

  // Address 0 is a valid address digit for reading and status.
  sim().command("ping");  // every frame so far is logged once its answer is here
  sim().clearReceived();
  EXPECT_EQ(OKVTLX1_ParameterLesen(kPort, 0, "istwert1", &value), 0);
  EXPECT_EQ(OKVTLX1_StatusLesen(kPort, 0, &status), 0);
  EXPECT_EQ(OKVTLX1_IDLesen(kPort, 3, id), 0);
  EXPECT_EQ(OKVTLX1_ParameterSchreiben(kPort, 3, "P1", 2.5), 0);
  sim().command("ping");
  EXPECT_EQ(sim().received(), (std::vector<std::string>{"#0V5R", "#0STR", "#3IDR", "#3P1W2.5000"}));
}

// Faults that spoil a reply without a time-out; each gives the code of its own check.
TEST_F(DriverE2E, EachFaultGivesItsCode) {
  start({"--module", "1", "--module", "2"});
  struct Case {
    const char* fault;
    Codes codes;
    // clang-format off
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
  // clang-format on
  for (const Case& c : cases) {
    sim().command(std::string("fault ") + c.fault + " 1");
    EXPECT_EQ(runAll(1), c.codes) << c.fault;
    EXPECT_EQ(runAll(2), (Codes{0, 0, 0, 0})) << c.fault << ": the fault is limited to address 1";
  }
}

// No reply, or a reply that stops: each costs one 1.0 s time-out. One case each, run side by side.
struct TimeOutCase {
  const char* fault;
  Codes codes;
  int timeOuts;
};

void PrintTo(const TimeOutCase& c, std::ostream* os) {
  *os << c.fault;
}

class DriverTimeOut : public DriverE2E, public ::testing::WithParamInterface<TimeOutCase> {};

TEST_P(DriverTimeOut, CostsOneSecondPerCommandWaitingForIt) {
  start({"--fault", GetParam().fault});
  const auto t0 = Clock::now();
  EXPECT_EQ(runAll(1), GetParam().codes);
  EXPECT_NEAR(seconds(t0), GetParam().timeOuts * 1.0, 0.4);
}

INSTANTIATE_TEST_SUITE_P(Faults, DriverTimeOut,
                         ::testing::Values(TimeOutCase{"silent", {-403011, -403042, -403052, -403062}, 4},
                                           TimeOutCase{"noanswer", {-404013, 0, -404054, -404064}, 3},
                                           TimeOutCase{"cut", {-404013, 0, -404054, -404064}, 3}),
                         [](const auto& info) { return std::string(info.param.fault); });

// Stray bytes after a reply (beginning with a NAK), a NAK's leftovers and a reply that came too
// late are all discarded before the next command.
TEST_F(DriverE2E, FlushDiscardsStaleBytesBeforeEachCommand) {
  start({"--latency", "1300"});
  sim().command("fault extra");
  char id[32];
  double value = 0;
  int status = 0;
  const auto letStraysArrive = [] { std::this_thread::sleep_for(std::chrono::milliseconds(20)); };
  EXPECT_EQ(OKVTLX1_IDLesen(kPort, 1, id), 0);
  letStraysArrive();
  EXPECT_EQ(OKVTLX1_StatusLesen(kPort, 1, &status), 0);
  letStraysArrive();
  EXPECT_EQ(OKVTLX1_ParameterSchreiben(kPort, 1, "P1", 3), 0);
  letStraysArrive();
  EXPECT_EQ(OKVTLX1_ParameterLesen(kPort, 1, "P1", &value), 0);
  EXPECT_EQ(value, 3.0);

  sim().command("fault nak");
  EXPECT_EQ(OKVTLX1_ParameterLesen(kPort, 1, "P1", &value), -402050);
  sim().command("fault none");
  EXPECT_EQ(OKVTLX1_ParameterLesen(kPort, 1, "P1", &value), 0);

  sim().command("fault late");
  EXPECT_EQ(OKVTLX1_IDLesen(kPort, 1, id), -403011);
  sim().command("fault none");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the late reply has come by now
  status = -1;
  EXPECT_EQ(OKVTLX1_StatusLesen(kPort, 1, &status), 0);
  EXPECT_EQ(status, 0);
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

TEST_F(DriverE2E, HangUpMidUseFailsTheCommandAndTheNextOpen) {
  start({"--fault", "hangup"});
  char id[32];
  const auto t0 = Clock::now();
  EXPECT_EQ(OKVTLX1_IDLesen(kPort, 1, id), -403011);
  EXPECT_LT(seconds(t0), 1.5);
  EXPECT_TRUE(sim().waitForHangup());
  EXPECT_EQ(OKVTLX1_Close(kPort), 0);
  EXPECT_EQ(OKVTLX1_Open(kPort), -100002);
}
