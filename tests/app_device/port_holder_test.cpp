// The port holder: which serial calls OpenComPort, CloseComPort and the device operations make.
// The serial service's open, close and time-out calls are linked with --wrap so that each call is
// logged and the time-out setting can be made to fail.
#include "DeviceFixture.h"

#include "platform/rs232/rs232.h"

static Frames gAufrufe;
static bool gTimeoutFehler = false;

// Mangled names of OpenComConfig(int, const char*, int, int, int, int, int, int), CloseCom(int),
// SetComTime(int, double).
extern "C" {
int __real__Z13OpenComConfigiPKciiiiii(int, const char *, int, int, int, int, int, int);
int __real__Z8CloseComi(int);
int __real__Z10SetComTimeid(int, double);

int __wrap__Z13OpenComConfigiPKciiiiii(int port, const char *n, int b, int p, int d, int s, int in, int out)
{
    gAufrufe.push_back("open " + std::to_string(port));
    return __real__Z13OpenComConfigiPKciiiiii(port, n, b, p, d, s, in, out);
}
int __wrap__Z8CloseComi(int port) { return gAufrufe.push_back("close " + std::to_string(port)), __real__Z8CloseComi(port); }
int __wrap__Z10SetComTimeid(int port, double seconds)
{
    gAufrufe.push_back("time " + std::to_string(port) + " " + std::to_string(seconds));
    return gTimeoutFehler ? COM_ERR_ARGUMENT : __real__Z10SetComTimeid(port, seconds);
}
}

static Frames aufrufe() { return std::exchange(gAufrufe, {}); }

TEST_F(DeviceTest, OpenComPortFollowsThePortRing)
{
    startSim({"--plant", "off"});
    sim().mapToPort(2);
    missingPort(3);
    run([&] {
        aufrufe();
        EXPECT_EQ(CloseComPort(), 0);
        EXPECT_EQ(aufrufe(), Frames{}) << "nothing open, nothing to close";
        EXPECT_EQ(OpenComPort(), 0);
        EXPECT_EQ(aufrufe(), (Frames{"open 1", "time 1 1.000000"}));
        EXPECT_EQ(OpenComPort(), 0);
        EXPECT_EQ(IDLesen(), 0);
        EXPECT_EQ(aufrufe(), Frames{}) << "the port already open is kept and used";

        UiTest_PickRingValue(panelHandle, PANEL_PORT, 2);
        EXPECT_EQ(OpenComPort(), 0);
        EXPECT_EQ(aufrufe(), (Frames{"close 1", "open 2", "time 2 1.000000"}));
        EXPECT_EQ(CloseComPort(), 0);
        EXPECT_EQ(aufrufe(), Frames{"close 2"});

        // Not connected: each action opens the ring's port for itself and closes it again.
        UiTest_PickRingValue(panelHandle, PANEL_PORT, 1);
        EXPECT_EQ(IDLesen(), 0);
        EXPECT_EQ(aufrufe(), (Frames{"open 1", "time 1 1.000000", "close 1"}));

        // A failed open leaves no port; the scan then changes neither LEDs nor texts.
        UiTest_PickRingValue(panelHandle, PANEL_PORT, 3);
        SetCtrlVal(panelHandle, PANEL_LED2, 1);
        SetCtrlVal(panelHandle, PANEL_IDSTRING, "alt");
        EXPECT_EQ(TLX1Scann(), -100002);
        EXPECT_EQ(aufrufe(), Frames{"open 3"});
        EXPECT_EQ(std::tuple(OffenerComPort(), integer(panelHandle, PANEL_LED2), text(panelHandle, PANEL_IDSTRING)),
                  std::tuple(-1, 1, "alt"));

        // A failed time-out leaves the port open and recorded; the next action uses it as it is.
        UiTest_PickRingValue(panelHandle, PANEL_PORT, 1);
        gTimeoutFehler = true;
        EXPECT_EQ(IDLesen(), -111004);
        EXPECT_EQ(aufrufe(), (Frames{"open 1", "time 1 1.000000"}));
        gTimeoutFehler = false;
        EXPECT_EQ(IDLesen(), 0);
        EXPECT_EQ(aufrufe(), Frames{});
        EXPECT_EQ(OffenerComPort(), 1);
        CloseComPort();
        quit();
    });
}
