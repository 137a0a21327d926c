#include "AppFixture.h"

#include <fstream>
#include <sstream>
#include <stdlib.h>
#include <unistd.h>

void AppTest::SetUp()
{
    oldDir_ = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / "tlx1app-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    std::filesystem::current_path(dir_);
}

void AppTest::TearDown()
{
    std::filesystem::current_path(oldDir_);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

int AppTest::runProgram(std::function<void()> script)
{
    UiTest_Reset();
    UiTest_SetRunScript(std::move(script));
    char name[] = "tlx1steuerung";
    char *argv[] = {name, nullptr};
    return TLX1Steuerung_Main(1, argv);
}

std::string AppTest::settingsFile() const
{
    std::ifstream in(dir_ / "tlx1steuerung.ini", std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void AppTest::writeSettingsFile(const std::string &text) const
{
    std::ofstream(dir_ / "tlx1steuerung.ini", std::ios::binary) << text;
}

double AppTest::num(int panel, int control)
{
    double v = -12345.0;
    EXPECT_EQ(GetCtrlVal(panel, control, &v), 0);
    return v;
}

int AppTest::integer(int panel, int control)
{
    int v = -12345;
    EXPECT_EQ(GetCtrlVal(panel, control, &v), 0);
    return v;
}

std::string AppTest::text(int panel, int control)
{
    char buf[512] = {};
    EXPECT_EQ(GetCtrlVal(panel, control, buf, sizeof buf), 0);
    return buf;
}

std::string AppTest::attrText(int panel, int control, int attribute)
{
    std::string v;
    EXPECT_EQ(GetCtrlAttribute(panel, control, attribute, &v), 0);
    return v;
}

int AppTest::precision(int panel, int control)
{
    int v = -1;
    EXPECT_EQ(GetCtrlAttribute(panel, control, ATTR_PRECISION, &v), 0);
    return v;
}

double AppTest::minValue(int panel, int control)
{
    double v = 0;
    EXPECT_EQ(GetCtrlAttribute(panel, control, ATTR_MIN_VALUE, &v), 0);
    return v;
}

double AppTest::maxValue(int panel, int control)
{
    double v = 0;
    EXPECT_EQ(GetCtrlAttribute(panel, control, ATTR_MAX_VALUE, &v), 0);
    return v;
}

void AppTest::applyScaling(double vmin, double vmax, double emin, double emax, const char *unit)
{
    UiTest_ChooseMenuItem(panelHandle, MENUBAR_KONFIG_SKALIERUNG);
    ASSERT_TRUE(UiTest_IsVisible(konfigpanelHandle));
    UiTest_Enter(konfigpanelHandle, KONFIGPNL_SKALMIN_VOLT, vmin);
    UiTest_Enter(konfigpanelHandle, KONFIGPNL_SKALMAX_VOLT, vmax);
    UiTest_Enter(konfigpanelHandle, KONFIGPNL_SKALMIN_UMGERECHNET, emin);
    UiTest_Enter(konfigpanelHandle, KONFIGPNL_SKALMAX_UMGERECHNET, emax);
    UiTest_Enter(konfigpanelHandle, KONFIGPNL_SKAL_EINHEIT, unit);
    UiTest_Press(konfigpanelHandle, KONFIGPNL_OK);
}
