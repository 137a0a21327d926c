// The program's main routine on the headless panels against tlx1sim, whose pseudo-terminal is
// COM 1; each test runs in a working folder of its own.
#pragma once

#include "app/TLX1Com.h"
#include "platform/userint/userint_view.h"
#include "sim/SimProcess.h"
#include "tests/app/AppFixture.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using Frames = std::vector<std::string>;

class DeviceTest : public AppTest {
protected:
    // Starts the simulator with these options and maps COM 1 to it.
    void startSim(const std::vector<std::string> &args) { sim_ = std::make_unique<tlx1sim::SimProcess>(args, 1); }
    tlx1sim::SimProcess &sim() { return *sim_; }
    // COM `port` names a device that does not exist.
    void missingPort(int port) const
    {
        setenv(("TLX1_COM" + std::to_string(port)).c_str(), (dir_ / "fehlt").c_str(), 1);
    }

    // Frames the simulator received since the last call, oldest first. The simulator logs a frame
    // before it handles its next command, so after the ping's answer every frame is in the log.
    Frames takeReceived()
    {
        sim_->command("ping");
        Frames frames = sim_->received();
        sim_->clearReceived();
        return frames;
    }

    // From now until the end of the run, every text the status line TEXT shows is recorded.
    static Frames &statusLines()
    {
        static Frames shown;
        return shown;
    }
    static void recordStatusLine()
    {
        static UiBackend recorder{};
        recorder.controlChanged = [](int panel, int control) {
            if (panel == panelHandle && control == PANEL_TEXT)
                statusLines().push_back(UiModel_TextValue(panel, control));
        };
        statusLines().clear();
        SetUiBackend(&recorder);  // dropped again by the next run's UiTest_Reset
    }

    static int errorNumber() { return integer(panelHandle, PANEL_FEHLERNUMMER); }  // 0 when cleared
    static int errorLamp() { return integer(panelHandle, PANEL_FEHLERLED); }
    static int dimmed(int c)
    {
        int d = -1;
        GetCtrlAttribute(panelHandle, c, ATTR_DIMMED, &d);
        return d;
    }
    // Connected or not, as the panel shows it: the toggle, the actual value lit, the port ring dimmed.
    static void expectConnected(bool on)
    {
        EXPECT_EQ(std::tuple(integer(panelHandle, PANEL_VERBINDEN), dimmed(PANEL_ISTWERT), dimmed(PANEL_ISTWERTEINHEIT),
                             dimmed(PANEL_PORT), OffenerComPort()),
                  std::tuple(int(on), int(!on), int(!on), int(on), on ? 1 : -1));
    }
    // The eight parameter fields in the order they are read from the module, and their values.
    static constexpr int kFelder[] = {PANEL_PANTEIL,  PANEL_IANTEIL,  PANEL_DANTEIL,      PANEL_ANFANGSSOLLWERT,
                                      PANEL_STELLMIN, PANEL_STELLMAX, PANEL_ANSTIEGSZEIT, PANEL_BETRIEBSART};
    static std::vector<double> felder()
    {
        std::vector<double> v;
        for (int f : kFelder)
            v.push_back(num(panelHandle, f));
        return v;
    }

    std::unique_ptr<tlx1sim::SimProcess> sim_;
};
