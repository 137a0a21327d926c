// The settings file: what a run stores, what the next run restores, and how odd files are taken.
#include "AppFixture.h"

TEST_F(AppTest, SettingsSurviveARestart)
{
    // Items of other sections and unknown items are not kept.
    writeIni("[Andere]\r\nx = 1\r\n[TLX1]\r\nfremd = 3\r\n");
    run([] {
        UiTest_PickRingValue(panelHandle, PANEL_PORT, 3);
        UiTest_PickRingValue(panelHandle, PANEL_ADRESSE, 9);
        scale(0, 10, 0, 100, "%");
        UiTest_Enter(panelHandle, PANEL_GRAPHZOOMMIN, 20.0);
        UiTest_Enter(panelHandle, PANEL_GRAPHZOOMMAX, 80.0);
        quit();
    });
    // The zoom limits are stored in volts.
    EXPECT_EQ(ini(), "[TLX1]\r\nadresse = 9\r\ncomport = 3\r\neinheit = \"%\"\r\neinheitmax = 100\r\n"
                     "einheitmin = 0\r\nvmax = 10\r\nvmin = 0\r\nzoommax = 8\r\nzoommin = 2\r\n\r\n");
    run([] {
        EXPECT_EQ(integer(panelHandle, PANEL_PORT), 3);
        EXPECT_EQ(integer(panelHandle, PANEL_ADRESSE), 9);
        EXPECT_EQ(num(konfigpanelHandle, KONFIGPNL_SKALMAX_UMGERECHNET), 100.0);
        EXPECT_EQ(text(konfigpanelHandle, KONFIGPNL_SKAL_EINHEIT), "%");
        EXPECT_DOUBLE_EQ(num(panelHandle, PANEL_GRAPHZOOMMIN), 20.0);
        EXPECT_DOUBLE_EQ(num(panelHandle, PANEL_GRAPHZOOMMAX), 80.0);
        EXPECT_EQ(axisName(), "Istwert [%]");
        quit();
    });
    EXPECT_NE(ini().find("zoommax = 8\r\nzoommin = 2\r\n"), std::string::npos) << ini();
}

// Odd files start the program without a crash: rings outside their values are left alone, the unit
// is cut to five characters or left empty, and a scaling that divides by zero or holds infinities
// gives decimals a display can show.
TEST_F(AppTest, OddSettingsFiles)
{
    const struct { const char *file; int port, adresse; const char *label; int decimals; } cases[] = {
        {"[TLX1]\ncomport = 0\nadresse = 0\neinheit = \"bar\"\n", 1, 1, "[bar]", 3},
        {"[TLX1]\ncomport = 9\nadresse = 10\neinheit = \"bar\"\n", 1, 1, "[bar]", 3},
        {"[TLX1]\ncomport = 2x\nadresse = 9\neinheit = \"mbar/s\"\n", 1, 9, "[mbar/]", 3},
        {"[TLX1]\ncomport = 8\nvmax = 10\n", 8, 1, "[]", 3},
        {"[TLX1]\nvmin = 5\nvmax = 5\n", 1, 1, "[]", 0},                         // infinite span
        {"[TLX1]\nvmin = 0\nvmax = 0\n", 1, 1, "[]", 0},                         // NaN span
        {"[TLX1]\neinheitmin = 3\neinheitmax = 3\n", 1, 1, "[]", 15},            // zero span
        {"[TLX1]\nvmax = 1e400\nzoommin = nan\neinheitmax = -Inf\n", 1, 1, "[]", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        writeIni(c.file);
        EXPECT_EQ(run([&] {
                      EXPECT_EQ(integer(panelHandle, PANEL_PORT), c.port);
                      EXPECT_EQ(integer(panelHandle, PANEL_ADRESSE), c.adresse);
                      EXPECT_EQ(text(panelHandle, PANEL_SOLLWERTEINHEIT), c.label);
                      EXPECT_EQ(precision(PANEL_SOLLWERT), c.decimals);
                      quit();
                  }),
                  0);
    }
    EXPECT_NE(ini().find("einheit = \"\"\r\n"), std::string::npos) << ini();
}
