#include "DeviceFixture.h"

#include "platform/userint/userint_view.h"

#include <cstdlib>
#include <stdlib.h>

void DeviceTest::SetUp()
{
    oldDir_ = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / "tlx1dev-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    std::filesystem::current_path(dir_);
}

void DeviceTest::TearDown()
{
    sim_.reset();
    unsetenv("TLX1_COM1");
    std::filesystem::current_path(oldDir_);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

int DeviceTest::runProgram(std::function<void()> script)
{
    UiTest_Reset();
    UiTest_SetRunScript(std::move(script));
    char name[] = "tlx1steuerung";
    char *argv[] = {name, nullptr};
    return TLX1Steuerung_Main(1, argv);
}

void DeviceTest::quit()
{
    UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_BEENDEN);
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

int DeviceTest::errorNumber()
{
    return integer(panelHandle, PANEL_FEHLERNUMMER);
}

int DeviceTest::errorLamp()
{
    return integer(panelHandle, PANEL_FEHLERLED);
}

int DeviceTest::dimmed(int control)
{
    int d = -1;
    EXPECT_EQ(GetCtrlAttribute(panelHandle, control, ATTR_DIMMED, &d), 0);
    return d;
}

double DeviceTest::num(int panel, int control)
{
    double v = -12345.0;
    EXPECT_EQ(GetCtrlVal(panel, control, &v), 0);
    return v;
}

int DeviceTest::integer(int panel, int control)
{
    int v = -12345;
    EXPECT_EQ(GetCtrlVal(panel, control, &v), 0);
    return v;
}

std::string DeviceTest::text(int panel, int control)
{
    char buf[512] = {};
    EXPECT_EQ(GetCtrlVal(panel, control, buf, sizeof buf), 0);
    return buf;
}

int DeviceTest::precision(int panel, int control)
{
    int v = -1;
    EXPECT_EQ(GetCtrlAttribute(panel, control, ATTR_PRECISION, &v), 0);
    return v;
}

void DeviceTest::applyScaling(double vmin, double vmax, double emin, double emax, const char *unit)
{
    UiTest_ChooseMenuItem(panelHandle, MENUBAR_KONFIG_SKALIERUNG);
    UiTest_Enter(konfigpanelHandle, KONFIGPNL_SKALMIN_VOLT, vmin);
    UiTest_Enter(konfigpanelHandle, KONFIGPNL_SKALMAX_VOLT, vmax);
    UiTest_Enter(konfigpanelHandle, KONFIGPNL_SKALMIN_UMGERECHNET, emin);
    UiTest_Enter(konfigpanelHandle, KONFIGPNL_SKALMAX_UMGERECHNET, emax);
    UiTest_Enter(konfigpanelHandle, KONFIGPNL_SKAL_EINHEIT, unit);
    UiTest_Press(konfigpanelHandle, KONFIGPNL_OK);
    ASSERT_FALSE(UiTest_IsVisible(konfigpanelHandle)) << "scaling refused";
}
