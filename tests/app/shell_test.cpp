// The program's shell: start-up, the ways of quitting, the scaling dialog's buttons, the error
// display and the serial port the program holds.
#include "AppFixture.h"

#include "app/TLX1Com.h"
#include "app/TLX1Func.h"
#include "driver/okvtlx1.h"

#include <pty.h>
#include <unistd.h>

// The file a first run writes, with the default scaling: items sorted, unit quoted, CR LF.
static const char *const DEFAULT_INI = "[TLX1]\r\nadresse = 1\r\ncomport = 1\r\neinheit = \"V\"\r\n"
                                       "einheitmax = 10\r\neinheitmin = 0\r\nvmax = 10\r\nvmin = 0\r\n"
                                       "zoommax = 10\r\nzoommin = 0\r\n\r\n";

TEST_F(AppTest, FirstStartShowsTheDesignedPanelsAndWritesTheDefaults)
{
    EXPECT_EQ(run([] {
                  EXPECT_TRUE(UiTest_IsVisible(panelHandle));
                  EXPECT_FALSE(UiTest_IsVisible(konfigpanelHandle));
                  EXPECT_TRUE(UiTest_Popups().empty()) << "a missing settings file is not reported";
                  EXPECT_EQ(text(aboutpanelHandle, ABOUTPANEL_VERSION), "V 1.1");
                  EXPECT_EQ(text(aboutpanelHandle, ABOUTPANEL_DATUM), "08/2008");
                  EXPECT_EQ(text(panelHandle, PANEL_TEXT), "");
                  // No file, no scaling applied: the designed texts and decimals stay.
                  EXPECT_EQ(text(panelHandle, PANEL_ANSTEIGSZEITEINHEIT), "[V]");
                  EXPECT_EQ(axisName(), "Istwert [V]");
                  EXPECT_EQ(precision(PANEL_SOLLWERT), 3);
                  EXPECT_EQ(precision(PANEL_IANTEIL), 4);
                  EXPECT_STREQ(gKonfig.einheit, "V");
                  EXPECT_EQ(LoadIni(), -802109);
                  quit();
              }),
              0);
    EXPECT_EQ(ini(), DEFAULT_INI);

    // A folder in the file's place can be neither read nor replaced: told apart from a missing file,
    // and still no message and exit code 0.
    std::filesystem::remove(dir_ / "tlx1steuerung.ini");
    std::filesystem::create_directory(dir_ / "tlx1steuerung.ini");
    EXPECT_EQ(run([] {
                  EXPECT_EQ(LoadIni(), -801110);
                  EXPECT_EQ(WriteIni(), -800108);
                  quit();
              }),
              0);
}

TEST_F(AppTest, EveryWayOfQuittingWritesTheSettings)
{
    const std::pair<const char *, void (*)()> ways[] = {
        {"Beenden", [] { quit(); }},
        {"close main window", [] { UiTest_ClosePanel(panelHandle); }},
        {"close scaling dialog", [] {
             UiTest_ChooseMenuItem(panelHandle, MENUBAR_KONFIG_SKALIERUNG);
             UiTest_ClosePanel(konfigpanelHandle);
         }},
    };
    for (const auto &[name, way] : ways) {
        SCOPED_TRACE(name);
        std::filesystem::remove(dir_ / "tlx1steuerung.ini");
        EXPECT_EQ(run([&] {
                      UiTest_PickRingValue(panelHandle, PANEL_ADRESSE, 7);
                      way();
                  }),
                  0);
        EXPECT_NE(ini().find("adresse = 7\r\n"), std::string::npos) << ini();
    }
}

TEST_F(AppTest, ScalingDialogKeepsWhatWasNotApplied)
{
    writeIni("[TLX1]\nvmin = 0\nvmax = 10\neinheitmin = 0\neinheitmax = 100\neinheit = \"%\"\n");
    run([] {
        // "auf Standardwerte zurücksetzen" then "Abbruch": only the dialog shows the defaults.
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_KONFIG_SKALIERUNG);
        UiTest_Press(konfigpanelHandle, KONFIGPNL_AUFSTANDARDWERTE);
        EXPECT_EQ(gKonfig.einheitmax, 100.0);
        UiTest_Press(konfigpanelHandle, KONFIGPNL_ABBRUCH);
        EXPECT_FALSE(UiTest_IsVisible(konfigpanelHandle));
        EXPECT_STREQ(gKonfig.einheit, "%");
        EXPECT_EQ(text(panelHandle, PANEL_SOLLWERTEINHEIT), "[%]");
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_KONFIG_SKALIERUNG);
        EXPECT_EQ(num(konfigpanelHandle, KONFIGPNL_SKALMAX_UMGERECHNET), 10.0);
        EXPECT_EQ(text(konfigpanelHandle, KONFIGPNL_SKAL_EINHEIT), "V");

        // An edit left with "Abbruch" is shown again and applied by a later "Ok".
        UiTest_Enter(konfigpanelHandle, KONFIGPNL_SKAL_EINHEIT, "mbar");
        UiTest_Press(konfigpanelHandle, KONFIGPNL_ABBRUCH);
        EXPECT_STREQ(gKonfig.einheit, "%");
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_KONFIG_SKALIERUNG);
        EXPECT_EQ(text(konfigpanelHandle, KONFIGPNL_SKAL_EINHEIT), "mbar");
        UiTest_Press(konfigpanelHandle, KONFIGPNL_OK);
        EXPECT_EQ(gKonfig.einheitmax, 10.0);
        EXPECT_EQ(text(panelHandle, PANEL_SOLLWERTEINHEIT), "[mbar]");
        quit();
    });
}

// A scaling the conversions cannot compute is refused on "Ok" with a message that says why; the
// dialog stays open with the operator's values and nothing is applied.
TEST_F(AppTest, DegenerateScalingIsRefusedWithAMessage)
{
    const struct {
        double vmin, vmax, emin, emax;
        const char *why;
    } cases[] = {
        {5, 5, 0, 100, "Die beiden Spannungswerte sind gleich."},
        {0, 10, 7, 7, "Die beiden Werte in der Einheit sind gleich."},
        {-1e308, 1e308, 0, 1, "nicht berechnen"},
        {0, 1e-300, 0, 1e300, "nicht berechnen"},
    };
    run([&] {
        for (const auto &c : cases) {
            SCOPED_TRACE(c.why);
            UiTest_ClearPopups();
            scale(c.vmin, c.vmax, c.emin, c.emax, "bar");
            const auto popups = UiTest_Popups();
            ASSERT_EQ(popups.size(), 1u);
            EXPECT_EQ(popups[0].title, "Skalierung nicht \xFC" "bernommen");
            EXPECT_NE(popups[0].text.find(c.why), std::string::npos) << popups[0].text;
            EXPECT_TRUE(UiTest_IsVisible(konfigpanelHandle));
            EXPECT_EQ(num(konfigpanelHandle, KONFIGPNL_SKALMIN_VOLT), c.vmin);
            EXPECT_STREQ(gKonfig.einheit, "V");
            EXPECT_EQ(text(panelHandle, PANEL_SOLLWERTEINHEIT), "[V]");
        }
        quit();
    });
}

TEST_F(AppTest, ErrorDisplayShowsNumberTextAndLamp)
{
    const struct {
        int code, lamp;
        const char *text;
        int number;
    } cases[] = {{-403011, 1, "Keine Antwort vom Ger\xE4t", 403011}, {0, 0, "", 0}, {-6000, 1, "", 6000}};
    run([&] {
        for (const auto &c : cases) {
            FehlerZeigen(c.code);
            EXPECT_EQ(integer(panelHandle, PANEL_FEHLERLED), c.lamp) << c.code;
            EXPECT_EQ(text(panelHandle, PANEL_FEHLERSTRING), c.text) << c.code;
            EXPECT_EQ(integer(panelHandle, PANEL_FEHLERNUMMER), c.number) << c.code;
        }
        quit();
    });
}

// The port of the PORT ring is opened once and kept while the ring stays; a port that fails to open
// is let go, so the next action tries again; the main routine closes the port on the way out.
TEST_F(AppTest, PortHolderFollowsThePortRing)
{
    int master = -1, slave = -1;
    char device[256] = {};
    ASSERT_EQ(openpty(&master, &slave, device, nullptr, nullptr), 0);
    close(slave);
    setenv("TLX1_COM1", device, 1);
    setenv("TLX1_COM2", (dir_ / "kein-geraet").c_str(), 1);
    run([] {
        EXPECT_EQ(CloseComPort(), 0);
        EXPECT_EQ(OpenComPort(), 0);
        EXPECT_EQ(OKVTLX1_Open(1), -100002) << "the program holds COM 1";
        EXPECT_EQ(OpenComPort(), 0);
        UiTest_PickRingValue(panelHandle, PANEL_PORT, 2);
        EXPECT_EQ(OpenComPort(), -100002);
        EXPECT_EQ(OKVTLX1_Open(1), 0) << "COM 1 was closed before COM 2 was tried";
        OKVTLX1_Close(1);
        EXPECT_EQ(OpenComPort(), -100002) << "tried again";
        UiTest_PickRingValue(panelHandle, PANEL_PORT, 1);
        EXPECT_EQ(OpenComPort(), 0);
        quit();
    });
    EXPECT_EQ(OKVTLX1_Open(1), 0);
    OKVTLX1_Close(1);
    unsetenv("TLX1_COM1");
    unsetenv("TLX1_COM2");
    close(master);
}

// Control callbacks act on the commit only and the panel callback on the close only: focus changes
// and stray events must not reach the module, touch the scaling or end the program. The port of
// COM 1 is missing, so any device action would light the error lamp.
TEST_F(AppTest, CallbacksIgnoreEventsThatAreNotTheirs)
{
    setenv("TLX1_COM1", (dir_ / "kein-geraet").c_str(), 1);
    const CtrlCallbackPtr geraet[] = {
        Callback_Main_Togglebutton_Verbinden, Callback_Main_Numeric_Sollwert, Callback_Main_Numeric_Stellwert,
        Callback_Main_ButtonLesen,            Callback_Main_Button_Schreiben, Callback_Main_Button_Scann,
        Callback_Main_Button_IDLesen,
    };
    run([&] {
        SetCtrlVal(panelHandle, PANEL_VERBINDEN, 1);
        SetCtrlVal(panelHandle, PANEL_IANTEIL, 0.0);
        SetCtrlVal(panelHandle, PANEL_STELLMIN, 8.0);
        SetCtrlVal(panelHandle, PANEL_STELLMAX, 2.0);
        SetCtrlVal(panelHandle, PANEL_GRAPHZOOMMAX, 5.0);
        SetCtrlVal(konfigpanelHandle, KONFIGPNL_SKALMAX_UMGERECHNET, 100.0);
        DisplayPanel(konfigpanelHandle);
        for (int event : {EVENT_GOT_FOCUS, EVENT_LOST_FOCUS, EVENT_TIMER_TICK, EVENT_CLOSE}) {
            SCOPED_TRACE(event);
            for (CtrlCallbackPtr cb : geraet)
                EXPECT_EQ(cb(panelHandle, PANEL_LESEN, event, nullptr, 0, 0), 0);
            EXPECT_EQ(integer(panelHandle, PANEL_FEHLERLED), 0);
            Callback_Main_Numerics_Parametereingabe(panelHandle, PANEL_IANTEIL, event, nullptr, 0, 0);
            Callback_Main_Numerics_Parametereingabe(panelHandle, PANEL_STELLMIN, event, nullptr, 0, 0);
            EXPECT_EQ(num(panelHandle, PANEL_IANTEIL), 0.0);
            EXPECT_EQ(num(panelHandle, PANEL_STELLMIN), 8.0);
            Callback_Main_MultipleControls_Graphzoom(panelHandle, PANEL_GRAPHZOOMZURUECK, event, nullptr, 0, 0);
            EXPECT_EQ(num(panelHandle, PANEL_GRAPHZOOMMAX), 5.0);
            Callback_Konfig_Button_Ok(konfigpanelHandle, KONFIGPNL_OK, event, nullptr, 0, 0);
            Callback_Konfig_Button_Abbruch(konfigpanelHandle, KONFIGPNL_ABBRUCH, event, nullptr, 0, 0);
            EXPECT_EQ(gKonfig.einheitmax, 10.0);
            EXPECT_TRUE(UiTest_IsVisible(konfigpanelHandle));
            Callback_Menu_Info(0, MENUBAR_MENU_BER, nullptr, panelHandle);
            Callback_Info_Button_Ok(aboutpanelHandle, ABOUTPANEL_OK, event, nullptr, 0, 0);
            EXPECT_EQ(UiTest_TopPopup(), aboutpanelHandle);
            RemovePopup(1);
        }
        EXPECT_TRUE(UiTest_Popups().empty());
        // The same set-up does notice a commit; "Lesen" adjusts the gains' decimals even when it fails.
        SetCtrlVal(panelHandle, PANEL_PANTEIL, 150.0);
        Callback_Main_ButtonLesen(panelHandle, PANEL_LESEN, EVENT_COMMIT, nullptr, 0, 0);
        EXPECT_EQ(integer(panelHandle, PANEL_FEHLERLED), 1);
        EXPECT_EQ(precision(PANEL_PANTEIL), 2);
        quit();
    });
    unsetenv("TLX1_COM1");

    // Only the close event of the main or the scaling window ends the event loop.
    for (int event : {EVENT_GOT_FOCUS, EVENT_LOST_FOCUS, EVENT_COMMIT, EVENT_CLOSE}) {
        UiTest_SetRunScript([event] { Callback_MainAndKonfig_Panel(panelHandle, event, nullptr, 0, 0); });
        EXPECT_EQ(RunUserInterface(), event == EVENT_CLOSE ? 0 : -1) << event;
    }
}

// The about box is modal: the main panel takes no input until its "OK" removes it.
TEST_F(AppTest, AboutBoxIsModalUntilItsOk)
{
    run([] {
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_MENU_BER);
        EXPECT_EQ(UiTest_TopPopup(), aboutpanelHandle);
        EXPECT_EQ(UiTest_Press(panelHandle, PANEL_LESEN), UIE_BLOCKED_BY_POPUP);
        EXPECT_EQ(UiTest_Press(aboutpanelHandle, ABOUTPANEL_OK), 0);
        EXPECT_EQ(UiTest_TopPopup(), 0);
        EXPECT_FALSE(UiTest_IsVisible(aboutpanelHandle));
        quit();
    });
}
