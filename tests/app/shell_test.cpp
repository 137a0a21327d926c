// The program's shell: start-up, the ways of quitting, the about box, the scaling dialog's buttons,
// the error display and the serial port the program holds.
#include "AppFixture.h"

#include "app/TLX1Com.h"
#include "app/TLX1Func.h"
#include "driver/okvtlx1.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

TEST_F(AppTest, FirstStartShowsDefaultsAndCreatesTheSettingsFile)
{
    ASSERT_TRUE(settingsFile().empty());
    const int rc = runProgram([] {
        EXPECT_TRUE(UiTest_IsVisible(panelHandle));
        EXPECT_FALSE(UiTest_IsVisible(konfigpanelHandle));
        EXPECT_FALSE(UiTest_IsVisible(aboutpanelHandle));
        EXPECT_TRUE(UiTest_Popups().empty()) << "a missing settings file is not reported";
        EXPECT_EQ(text(aboutpanelHandle, ABOUTPANEL_VERSION), "V 1.1");
        EXPECT_EQ(text(aboutpanelHandle, ABOUTPANEL_DATUM), "08/2008");
        EXPECT_EQ(text(panelHandle, PANEL_TEXT), "");
        EXPECT_EQ(text(panelHandle, PANEL_SOLLWERTEINHEIT), "[V]");
        // Without a file the scaling is not applied: the panels keep their designed texts.
        EXPECT_EQ(text(panelHandle, PANEL_ANSTEIGSZEITEINHEIT), "[V]");
        EXPECT_EQ(attrText(panelHandle, PANEL_STRIPCHART, ATTR_YNAME), "Istwert [V]");
        EXPECT_EQ(precision(panelHandle, PANEL_SOLLWERT), 3);
        EXPECT_EQ(precision(panelHandle, PANEL_IANTEIL), 4);
        EXPECT_EQ(text(konfigpanelHandle, KONFIGPNL_SKAL_EINHEIT), "V");
        EXPECT_EQ(gKonfig.vmax, 10.0);
        EXPECT_STREQ(gKonfig.einheit, "V");
        // No file yet: the file system tells a missing file from an unreadable one.
        EXPECT_EQ(LoadIni(), -802109);
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_BEENDEN);
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(settingsFile(), "[TLX1]\r\n"
                              "adresse = 1\r\n"
                              "comport = 1\r\n"
                              "einheit = \"V\"\r\n"
                              "einheitmax = 10\r\n"
                              "einheitmin = 0\r\n"
                              "vmax = 10\r\n"
                              "vmin = 0\r\n"
                              "zoommax = 10\r\n"
                              "zoommin = 0\r\n"
                              "\r\n");
}

// Every way out of the event loop writes the settings and ends with 0.
TEST_F(AppTest, EveryWayOfQuittingWritesTheSettings)
{
    const std::vector<std::pair<const char *, std::function<void()>>> ways = {
        {"menu Beenden", [] { UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_BEENDEN); }},
        {"close main window", [] { UiTest_ClosePanel(panelHandle); }},
        {"close scaling dialog", [] {
             UiTest_ChooseMenuItem(panelHandle, MENUBAR_KONFIG_SKALIERUNG);
             UiTest_ClosePanel(konfigpanelHandle);
         }},
    };
    for (const auto &[name, quit] : ways) {
        SCOPED_TRACE(name);
        std::filesystem::remove(dir_ / "tlx1steuerung.ini");
        EXPECT_EQ(runProgram([&] {
                      UiTest_PickRingValue(panelHandle, PANEL_ADRESSE, 7);
                      quit();
                  }),
                  0);
        EXPECT_NE(settingsFile().find("adresse = 7\r\n"), std::string::npos) << settingsFile();
    }
}

TEST_F(AppTest, UnreadableOrUnwritableSettingsFileStillStartsAndEndsWithZero)
{
    // A folder in the file's place can be neither read as a file nor replaced.
    std::filesystem::create_directory(dir_ / "tlx1steuerung.ini");
    EXPECT_EQ(runProgram([] {
                  EXPECT_EQ(LoadIni(), -801110);
                  EXPECT_EQ(WriteIni(), -800108);
                  EXPECT_EQ(text(panelHandle, PANEL_SOLLWERTEINHEIT), "[V]");
                  UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_BEENDEN);
              }),
              0);
    EXPECT_TRUE(std::filesystem::is_directory(dir_ / "tlx1steuerung.ini"));
}

TEST_F(AppTest, AboutBoxIsAModalPopupUntilOk)
{
    runProgram([] {
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_MENU_BER);
        EXPECT_EQ(UiTest_TopPopup(), aboutpanelHandle);
        EXPECT_EQ(text(aboutpanelHandle, ABOUTPANEL_VERSION), "V 1.1");
        UiTest_Press(aboutpanelHandle, ABOUTPANEL_OK);
        EXPECT_EQ(UiTest_TopPopup(), 0);
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_BEENDEN);
    });
}

// Only callbacks that work are handed to the toolkit; the shell's own are all there.
TEST_F(AppTest, ShellCallbacksAreProvided)
{
    runProgram([] {
        const std::vector<std::string> missing = MissingCallbackNames();
        for (const char *name : {"Callback_MainAndKonfig_Panel", "Callback_Menu_Beenden", "Callback_Menu_Skalieren",
                                 "Callback_Menu_Info", "Callback_Info_Button_Ok", "Callback_Konfig_Button_Ok",
                                 "Callback_Konfig_Button_Abbruch", "Callback_Konfig_Button_AufStandardwerte"})
            EXPECT_EQ(std::count(missing.begin(), missing.end(), name), 0) << name;
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_BEENDEN);
    });
}

TEST_F(AppTest, DefaultsThenAbbruchChangesNothingButTheDialog)
{
    writeSettingsFile("[TLX1]\r\nvmin = 0\r\nvmax = 10\r\neinheitmin = 0\r\neinheitmax = 100\r\neinheit = \"%\"\r\n");
    runProgram([] {
        UiTest_Enter(panelHandle, PANEL_SOLLWERT, 40.0);
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_KONFIG_SKALIERUNG);
        UiTest_Press(konfigpanelHandle, KONFIGPNL_AUFSTANDARDWERTE);
        EXPECT_EQ(num(konfigpanelHandle, KONFIGPNL_SKALMAX_UMGERECHNET), 10.0);
        EXPECT_EQ(text(konfigpanelHandle, KONFIGPNL_SKAL_EINHEIT), "V");
        EXPECT_EQ(gKonfig.einheitmax, 100.0) << "the defaults are not applied before Ok";
        EXPECT_STREQ(gKonfig.einheit, "%");
        UiTest_Press(konfigpanelHandle, KONFIGPNL_ABBRUCH);
        EXPECT_FALSE(UiTest_IsVisible(konfigpanelHandle));
        EXPECT_EQ(gKonfig.einheitmax, 100.0);
        EXPECT_EQ(num(panelHandle, PANEL_SOLLWERT), 40.0);
        EXPECT_EQ(text(panelHandle, PANEL_SOLLWERTEINHEIT), "[%]");
        // Opened again, the dialog shows the defaults, not gKonfig.
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_KONFIG_SKALIERUNG);
        EXPECT_EQ(num(konfigpanelHandle, KONFIGPNL_SKALMAX_UMGERECHNET), 10.0);
        EXPECT_EQ(text(konfigpanelHandle, KONFIGPNL_SKAL_EINHEIT), "V");
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_BEENDEN);
    });
}

TEST_F(AppTest, UnappliedEditsAreShownAgainAndAppliedByALaterOk)
{
    runProgram([] {
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_KONFIG_SKALIERUNG);
        UiTest_Enter(konfigpanelHandle, KONFIGPNL_SKALMAX_UMGERECHNET, 1000.0);
        UiTest_Enter(konfigpanelHandle, KONFIGPNL_SKAL_EINHEIT, "mbar");
        UiTest_Press(konfigpanelHandle, KONFIGPNL_ABBRUCH);
        EXPECT_EQ(gKonfig.einheitmax, 10.0);
        EXPECT_EQ(text(panelHandle, PANEL_SOLLWERTEINHEIT), "[V]");

        UiTest_ChooseMenuItem(panelHandle, MENUBAR_KONFIG_SKALIERUNG);
        EXPECT_EQ(num(konfigpanelHandle, KONFIGPNL_SKALMAX_UMGERECHNET), 1000.0);
        EXPECT_EQ(text(konfigpanelHandle, KONFIGPNL_SKAL_EINHEIT), "mbar");
        UiTest_Press(konfigpanelHandle, KONFIGPNL_OK);
        EXPECT_EQ(gKonfig.einheitmax, 1000.0);
        EXPECT_EQ(text(panelHandle, PANEL_SOLLWERTEINHEIT), "[mbar]");
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_BEENDEN);
    });
}

// A scaling whose conversions would divide by zero or leave the range of doubles is refused on "Ok"
// with a message; the dialog stays open with the operator's values and nothing is applied.
TEST_F(AppTest, DegenerateScalingIsRefusedWithAMessage)
{
    struct Fall {
        double vmin, vmax, emin, emax;
        const char *words;   // what the message must name
    };
    const Fall faelle[] = {
        {5, 5, 0, 100, "Spannungswerte sind gleich"},
        {0, 10, 7, 7, "Werte in der Einheit sind gleich"},
        {-1e308, 1e308, 0, 1, "nicht berechnen"},
        {0, 1e-300, 0, 1e300, "nicht berechnen"},
    };
    runProgram([&] {
        for (const Fall &f : faelle) {
            SCOPED_TRACE(f.words);
            UiTest_ClearPopups();
            applyScaling(f.vmin, f.vmax, f.emin, f.emax, "bar");
            const std::vector<UiTestPopup> popups = UiTest_Popups();
            ASSERT_EQ(popups.size(), 1u);
            EXPECT_EQ(popups[0].title, "Skalierung nicht \xFC" "bernommen");
            EXPECT_NE(popups[0].text.find(f.words), std::string::npos) << popups[0].text;
            EXPECT_TRUE(UiTest_IsVisible(konfigpanelHandle));
            EXPECT_EQ(num(konfigpanelHandle, KONFIGPNL_SKALMIN_VOLT), f.vmin);
            EXPECT_EQ(num(konfigpanelHandle, KONFIGPNL_SKALMAX_UMGERECHNET), f.emax);
            EXPECT_EQ(gKonfig.vmax, 10.0);
            EXPECT_STREQ(gKonfig.einheit, "V");
            EXPECT_EQ(text(panelHandle, PANEL_SOLLWERTEINHEIT), "[V]");
        }
        // Mended values are then taken.
        UiTest_ClearPopups();
        applyScaling(0, 10, 0, 1, "bar");
        EXPECT_TRUE(UiTest_Popups().empty());
        EXPECT_FALSE(UiTest_IsVisible(konfigpanelHandle));
        EXPECT_STREQ(gKonfig.einheit, "bar");
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_BEENDEN);
    });
}

TEST_F(AppTest, ErrorDisplayShowsNumberTextAndLamp)
{
    runProgram([] {
        FehlerZeigen(-403011);
        EXPECT_EQ(integer(panelHandle, PANEL_FEHLERLED), 1);
        EXPECT_EQ(text(panelHandle, PANEL_FEHLERSTRING), "Keine Antwort vom Ger\xE4t");
        EXPECT_EQ(integer(panelHandle, PANEL_FEHLERNUMMER), 403011);

        FehlerZeigen(0);
        EXPECT_EQ(integer(panelHandle, PANEL_FEHLERLED), 0);
        EXPECT_EQ(text(panelHandle, PANEL_FEHLERSTRING), "");
        EXPECT_EQ(integer(panelHandle, PANEL_FEHLERNUMMER), 0);

        // Kind -6 has no text but still lights the lamp.
        FehlerZeigen(-6000);
        EXPECT_EQ(integer(panelHandle, PANEL_FEHLERLED), 1);
        EXPECT_EQ(text(panelHandle, PANEL_FEHLERSTRING), "");
        EXPECT_EQ(integer(panelHandle, PANEL_FEHLERNUMMER), 6000);
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_BEENDEN);
    });
}

// The port holder opens the port of the PORT ring once, keeps it while the ring does not change,
// and lets go of a port that fails to open so the next action tries again.
TEST_F(AppTest, PortHolderFollowsThePortRing)
{
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    close(slave);
    setenv("TLX1_COM1", name, 1);
    setenv("TLX1_COM2", (dir_ / "kein-geraet").c_str(), 1);

    runProgram([] {
        EXPECT_EQ(CloseComPort(), 0) << "nothing open";
        EXPECT_EQ(OpenComPort(), 0);
        EXPECT_EQ(OKVTLX1_Open(1), -100002) << "the program holds COM 1";
        EXPECT_EQ(OpenComPort(), 0) << "same ring value: nothing reopened";

        UiTest_PickRingValue(panelHandle, PANEL_PORT, 2);
        EXPECT_EQ(OpenComPort(), -100002);
        EXPECT_EQ(OKVTLX1_Open(1), 0) << "COM 1 was closed before COM 2 was tried";
        OKVTLX1_Close(1);
        EXPECT_EQ(OpenComPort(), -100002) << "a failed open is tried again";

        UiTest_PickRingValue(panelHandle, PANEL_PORT, 1);
        EXPECT_EQ(OpenComPort(), 0);
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_BEENDEN);
    });
    // The main routine closed the port on the way out.
    EXPECT_EQ(OKVTLX1_Open(1), 0);
    OKVTLX1_Close(1);
    unsetenv("TLX1_COM1");
    unsetenv("TLX1_COM2");
    close(master);
}
