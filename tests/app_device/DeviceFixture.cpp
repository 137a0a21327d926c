#include "DeviceFixture.h"

#include "platform/userint/userint_view.h"

#include <cstdlib>

void DeviceTest::TearDown()
{
    sim_.reset();
    unsetenv("TLX1_COM1");
    AppTest::TearDown();
}

tlx1test::SimProcess &DeviceTest::startSim(const std::vector<std::string> &args)
{
    sim_ = std::make_unique<tlx1test::SimProcess>(args, 1);
    return *sim_;
}

Frames DeviceTest::takeReceived()
{
    // The simulator logs a frame before it handles the next command, so after the ping's answer
    // every frame of the action just done is in the log.
    sim_->command("ping");
    Frames frames = sim_->received();
    sim_->clearReceived();
    return frames;
}

static Frames gStatusLines;

static void StatusLineChanged(int panel, int control)
{
    if (panel == panelHandle && control == PANEL_TEXT)
        gStatusLines.push_back(UiModel_TextValue(panel, control));
}

void DeviceTest::recordStatusLine()
{
    static const UiBackend recorder = [] {
        UiBackend b{};
        b.controlChanged = StatusLineChanged;
        return b;
    }();
    gStatusLines.clear();
    SetUiBackend(&recorder);  // dropped again by the next run's UiTest_Reset
}

Frames DeviceTest::statusLines()
{
    return gStatusLines;
}

int DeviceTest::dimmed(int control)
{
    int d = -1;
    EXPECT_EQ(GetCtrlAttribute(panelHandle, control, ATTR_DIMMED, &d), 0);
    return d;
}
