// The settings file: what a run stores, what the next run restores, and how odd files are taken.
#include "AppFixture.h"

#include <cmath>

// Quit through the menu, the operator's usual way.
static void beenden()
{
    UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_BEENDEN);
}

TEST_F(AppTest, SettingsSurviveARestart)
{
    EXPECT_EQ(runProgram([] {
                  UiTest_PickRingValue(panelHandle, PANEL_PORT, 3);
                  UiTest_PickRingValue(panelHandle, PANEL_ADRESSE, 9);
                  applyScaling(0, 10, 0, 100, "%");
                  UiTest_Enter(panelHandle, PANEL_GRAPHZOOMMIN, 20.0);
                  UiTest_Enter(panelHandle, PANEL_GRAPHZOOMMAX, 80.0);
                  beenden();
              }),
              0);
    // Items sorted by name, zoom limits in volts, the unit quoted, CR LF line ends.
    EXPECT_EQ(settingsFile(), "[TLX1]\r\n"
                              "adresse = 9\r\n"
                              "comport = 3\r\n"
                              "einheit = \"%\"\r\n"
                              "einheitmax = 100\r\n"
                              "einheitmin = 0\r\n"
                              "vmax = 10\r\n"
                              "vmin = 0\r\n"
                              "zoommax = 8\r\n"
                              "zoommin = 2\r\n"
                              "\r\n");

    runProgram([] {
        EXPECT_EQ(integer(panelHandle, PANEL_PORT), 3);
        EXPECT_EQ(integer(panelHandle, PANEL_ADRESSE), 9);
        EXPECT_EQ(gKonfig.einheitmax, 100.0);
        EXPECT_STREQ(gKonfig.einheit, "%");
        EXPECT_EQ(num(konfigpanelHandle, KONFIGPNL_SKALMAX_UMGERECHNET), 100.0);
        EXPECT_EQ(text(konfigpanelHandle, KONFIGPNL_SKAL_EINHEIT), "%");
        EXPECT_DOUBLE_EQ(num(panelHandle, PANEL_GRAPHZOOMMIN), 20.0);
        EXPECT_DOUBLE_EQ(num(panelHandle, PANEL_GRAPHZOOMMAX), 80.0);
        EXPECT_EQ(maxValue(panelHandle, PANEL_SOLLWERT), 100.0);
        EXPECT_EQ(text(panelHandle, PANEL_ZOOMMINEINHEIT), "[%]");
        EXPECT_EQ(attrText(panelHandle, PANEL_STRIPCHART, ATTR_YNAME), "Istwert [%]");
        EXPECT_EQ(precision(panelHandle, PANEL_SOLLWERT), 2);
        beenden();
    });
    EXPECT_NE(settingsFile().find("zoommin = 2\r\n"), std::string::npos) << settingsFile();
}

TEST_F(AppTest, OutOfRangeRingValuesAreIgnoredAndTheRestTaken)
{
    const char *dateien[] = {
        "[TLX1]\ncomport = 0\nadresse = 0\neinheit = \"bar\"\n",
        "[TLX1]\ncomport = 9\nadresse = 10\neinheit = \"bar\"\n",
        "[TLX1]\ncomport = 2x\nadresse = -1\neinheit = \"bar\"\n",
    };
    for (const char *datei : dateien) {
        SCOPED_TRACE(datei);
        writeSettingsFile(datei);
        runProgram([] {
            EXPECT_EQ(integer(panelHandle, PANEL_PORT), 1);
            EXPECT_EQ(integer(panelHandle, PANEL_ADRESSE), 1);
            EXPECT_STREQ(gKonfig.einheit, "bar");
            beenden();
        });
    }
}

TEST_F(AppTest, UnitIsCutToFiveCharactersOrLeftEmpty)
{
    writeSettingsFile("[TLX1]\r\neinheit = \"mbar/s\"\r\n");
    runProgram([] {
        EXPECT_STREQ(gKonfig.einheit, "mbar/");
        EXPECT_EQ(text(panelHandle, PANEL_SOLLWERTEINHEIT), "[mbar/]");
        EXPECT_EQ(text(panelHandle, PANEL_ANSTEIGSZEITEINHEIT), "[mbar//s]");
        beenden();
    });
    EXPECT_NE(settingsFile().find("einheit = \"mbar/\"\r\n"), std::string::npos);

    // No unit item at all: the unit is empty and the labels show empty brackets.
    writeSettingsFile("[TLX1]\r\nvmax = 10\r\n");
    runProgram([] {
        EXPECT_STREQ(gKonfig.einheit, "");
        EXPECT_EQ(text(panelHandle, PANEL_SOLLWERTEINHEIT), "[]");
        EXPECT_EQ(attrText(panelHandle, PANEL_STRIPCHART, ATTR_YNAME), "Istwert []");
        beenden();
    });
}

TEST_F(AppTest, OnlyTheNineItemsAreWrittenBack)
{
    writeSettingsFile("[Andere]\r\nx = 1\r\n[TLX1]\r\nfremd = 3\r\nadresse = 4\r\n");
    runProgram(beenden);
    const std::string datei = settingsFile();
    EXPECT_EQ(datei.find("Andere"), std::string::npos);
    EXPECT_EQ(datei.find("fremd"), std::string::npos);
    EXPECT_EQ(datei.rfind("[TLX1]\r\nadresse = 4\r\n", 0), 0u) << datei;
}

// Settings with a scaling that divides by zero, or with values that are not numbers, start the
// program without a crash; the decimals stay within what a display can show.
TEST_F(AppTest, DegenerateScalingInTheFileStartsCleanly)
{
    const struct {
        const char *datei;
        int decimals;
    } faelle[] = {
        {"[TLX1]\nvmin = 5\nvmax = 5\neinheit = \"V\"\n", 0},            // infinite span
        {"[TLX1]\nvmin = 0\nvmax = 0\neinheit = \"V\"\n", 0},            // NaN span
        {"[TLX1]\neinheitmin = 3\neinheitmax = 3\neinheit = \"V\"\n", 15}, // zero span
        {"[TLX1]\nvmax = inf\nzoommin = nan\neinheit = \"V\"\n", 15},
        {"[TLX1]\neinheitmax = -Inf\neinheit = \"V\"\n", 0},
        {"[TLX1]\nvmax = 1e400\neinheit = \"V\"\n", 15},
    };
    for (const auto &f : faelle) {
        SCOPED_TRACE(f.datei);
        writeSettingsFile(f.datei);
        EXPECT_EQ(runProgram([&] {
                      const int stellen = precision(panelHandle, PANEL_SOLLWERT);
                      EXPECT_EQ(stellen, f.decimals);
                      beenden();
                  }),
                  0);
    }
}
