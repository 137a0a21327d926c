// The settings file: what a run stores, what the next run restores, and how odd files are taken.
#include "AppFixture.h"

#include "app/TLX1Schnittstellen.h"
#include "platform/rs232/commap.h"

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

// Section "Schnittstellen" leaves a run as it came in, every item in its own form (quoted or not,
// long, unknown, unusable) and the nine items of "TLX1" byte for byte; it feeds the COM map. Only
// what the program changed is put anew.
TEST_F(AppTest, SectionSchnittstellenIsKeptAsRead)
{
    const std::string lang(80, 'x');
    const std::string schnittstellen =
        "[Schnittstellen]\r\ncom1 = \"/dev/ttyUSB0\"\r\ncom2 = rfc2217://anlage-7:4001\r\ncom3 = ftp://x\r\n";
    const std::string rest = "com9 = /dev/ttyS8\r\nlang Line0001 = " + lang + "\r\nlang Line0002 = y\r\n";
    const std::string tlx1 = "[TLX1]\r\nadresse = 9\r\ncomport = 3\r\neinheit = \"%\"\r\neinheitmax = 100\r\n"
                             "einheitmin = 0\r\nvmax = 10\r\nvmin = 0\r\nzoommax = 8\r\nzoommin = 2\r\n\r\n";
    writeIni(schnittstellen + rest + "wiederverbinden = ja\r\n\r\n" + tlx1);
    run([] {
        const ComMapping m[] = {ComResolve(1), ComResolve(2), ComResolve(3), ComResolve(4)};
        EXPECT_EQ(std::tuple(m[0].device, m[1].device, m[2].device, m[3].device),
                  std::tuple("/dev/ttyUSB0", "rfc2217://anlage-7:4001", "ftp://x", "/dev/ttyS3"));
        EXPECT_EQ(std::tuple(m[0].source, m[3].source), std::tuple(ComSource::SettingsFile, ComSource::Default));
        EXPECT_EQ(AutomatischWiederverbinden(), 0);
        quit();
    });
    EXPECT_EQ(ini(), schnittstellen + rest + "wiederverbinden = ja\r\n\r\n" + tlx1);

    run([] {
        ComMapSet(2, "/dev/ttyACM0");
        ComMapSet(4, "tcp://10.0.0.9:4001");
        AutomatischWiederverbindenSetzen(1);
        quit();
    });
    EXPECT_EQ(ini(), "[Schnittstellen]\r\ncom1 = \"/dev/ttyUSB0\"\r\ncom2 = \"/dev/ttyACM0\"\r\ncom3 = ftp://x\r\n"
                     "com4 = \"tcp://10.0.0.9:4001\"\r\n" + rest + "wiederverbinden = 1\r\n\r\n" + tlx1);
}
