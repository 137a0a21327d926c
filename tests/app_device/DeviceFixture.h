// The program's main routine on the headless panels against tlx1sim, whose pseudo-terminal is
// COM 1; each test runs in a working folder of its own.
#pragma once

#include "tests/app/AppFixture.h"
#include "tests/support/SimProcess.h"

#include <memory>
#include <string>
#include <vector>

using Frames = std::vector<std::string>;

class DeviceTest : public AppTest {
 protected:
    void TearDown() override;

    // Starts the simulator with these options and maps COM 1 to it.
    tlx1test::SimProcess &startSim(const std::vector<std::string> &args);
    tlx1test::SimProcess &sim() { return *sim_; }

    // Frames the simulator received since the last call, oldest first.
    Frames takeReceived();

    // From now until the end of the run, every text the status line TEXT shows is recorded.
    static void recordStatusLine();
    static Frames statusLines();

    // The error display's number (0 when cleared) and lamp; a control's dimmed state.
    static int errorNumber() { return integer(panelHandle, PANEL_FEHLERNUMMER); }
    static int errorLamp() { return integer(panelHandle, PANEL_FEHLERLED); }
    static int dimmed(int control);

    std::unique_ptr<tlx1test::SimProcess> sim_;
};
