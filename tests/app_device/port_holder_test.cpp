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
int __wrap__Z8CloseComi(int port)
{
    return gAufrufe.push_back("close " + std::to_string(port)), __real__Z8CloseComi(port);
}
int __wrap__Z10SetComTimeid(int port, double seconds)
{
    gAufrufe.push_back("time " + std::to_string(port) + " " + std::to_string(seconds));
    return gTimeoutFehler ? COM_ERR_ARGUMENT : __real__Z10SetComTimeid(port, seconds);
}
}

static Frames aufrufe()
{
    return std::exchange(gAufrufe, {});
}

static int mitPort(int port, int (*aktion)())
{
    UiTest_PickRingValue(panelHandle, PANEL_PORT, port);
    return aktion();
}

// Each step: its result and the serial calls it made. Not connected, an action opens the ring's
// port for itself and closes it again; a port already open is kept and used. A failed open leaves
// no port and the scan then changes neither LEDs nor texts; a failed time-out leaves the port open
// and recorded, and the next action uses it as it is.
TEST_F(DeviceTest, OpenComPortFollowsThePortRing)
{
    startSim({"--plant", "off"});
    sim().mapToPort(2);
    missingPort(3);
    run([&] {
        const struct {
            std::function<int()> aktion;
            int result;
            Frames aufrufe;
        } steps[] = {
            {CloseComPort, 0, {}},  // nothing open, nothing to close
            {OpenComPort, 0, {"open 1", "time 1 1.000000"}},
            {OpenComPort, 0, {}},
            {IDLesen, 0, {}},
            {[] { return mitPort(2, OpenComPort); }, 0, {"close 1", "open 2", "time 2 1.000000"}},
            {CloseComPort, 0, {"close 2"}},
            {[] { return mitPort(1, IDLesen); }, 0, {"open 1", "time 1 1.000000", "close 1"}},
            {[] { return mitPort(3, TLX1Scann); }, -100002, {"open 3"}},
            {[] {
                 gTimeoutFehler = true;
                 return mitPort(1, IDLesen);
             },
             -111004,
             {"open 1", "time 1 1.000000"}},
            {[] {
                 gTimeoutFehler = false;
                 return IDLesen();
             },
             0,
             {}},
        };
        SetCtrlVal(panelHandle, PANEL_LED2, 1);
        SetCtrlVal(panelHandle, PANEL_TEXT, "bleibt");
        aufrufe();
        for (size_t i = 0; i < std::size(steps); ++i) {
            EXPECT_EQ(steps[i].aktion(), steps[i].result) << "step " << i;
            EXPECT_EQ(aufrufe(), steps[i].aufrufe) << "step " << i;
        }
        EXPECT_EQ(std::tuple(integer(panelHandle, PANEL_LED2), text(panelHandle, PANEL_TEXT), OffenerComPort()),
                  std::tuple(1, "bleibt", 1));
        CloseComPort();
        quit();
    });
}
