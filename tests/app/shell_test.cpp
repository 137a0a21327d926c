// The program's shell: start-up, the about box, the ways of quitting, the scaling dialog's buttons,
// the error display and which events the callbacks act on.
#include "AppFixture.h"

#include "app/TLX1Befehlszeile.h"
#include "app/TLX1Com.h"
#include "app/TLX1Func.h"
#include "tlx1_version.h"

TEST_F(AppTest, FirstStartShowsTheDesignedPanelsAndWritesTheDefaults)
{
    EXPECT_EQ(run([] {
                  EXPECT_TRUE(UiTest_IsVisible(panelHandle));
                  EXPECT_FALSE(UiTest_IsVisible(konfigpanelHandle));
                  EXPECT_TRUE(UiTest_Popups().empty()) << "a missing settings file is not reported";
                  EXPECT_EQ(LoadIni(), -802109);
                  // No file, no scaling applied: the designed texts and decimals stay; the slope is in V/s.
                  EXPECT_EQ(text(panelHandle, PANEL_ANSTEIGSZEITEINHEIT), "[V/s]");
                  EXPECT_EQ(axisName(), "Istwert [V]");
                  EXPECT_EQ(precision(PANEL_SOLLWERT), 3);
                  EXPECT_EQ(precision(PANEL_IANTEIL), 4);
                  // The about box is modal: the main panel takes no input until its "OK".
                  UiTest_ChooseMenuItem(panelHandle, MENUBAR_MENU_BER);
                  EXPECT_EQ(text(aboutpanelHandle, ABOUTPANEL_VERSION), "V 1.1");
                  EXPECT_EQ(text(aboutpanelHandle, ABOUTPANEL_DATUM), "08/2008");
                  EXPECT_EQ(text(aboutpanelHandle, ABOUTPANEL_PROGRAMMVERSION), "Programmversion " TLX1_VERSION);
                  EXPECT_EQ(UiTest_Press(panelHandle, PANEL_LESEN), UIE_BLOCKED_BY_POPUP);
                  EXPECT_EQ(UiTest_Press(aboutpanelHandle, ABOUTPANEL_OK), 0);
                  EXPECT_EQ(UiTest_TopPopup(), 0);
                  quit();
              }),
              0);
    // Items sorted, unit quoted, CR LF.
    EXPECT_EQ(ini(), "[TLX1]\r\nadresse = 1\r\ncomport = 1\r\neinheit = \"V\"\r\neinheitmax = 10\r\n"
                     "einheitmin = 0\r\nvmax = 10\r\nvmin = 0\r\nzoommax = 10\r\nzoommin = 0\r\n\r\n");

    // A folder in the file's place can be neither read nor replaced: told apart from a missing file,
    // and still no message and exit code 0.
    std::filesystem::remove(dir_ / "tlx1steuerung.ini");
    std::filesystem::create_directory(dir_ / "tlx1steuerung.ini");
    EXPECT_EQ(run([] {
                  EXPECT_EQ(LoadIni(), -801110);
                  EXPECT_EQ(WriteIni(), -800108);
                  EXPECT_TRUE(UiTest_Popups().empty());
                  quit();
              }),
              0);
}

TEST_F(AppTest, EveryWayOfQuittingWritesTheSettings)
{
    const std::pair<const char *, void (*)()> ways[] = {
        {"Beenden", quit},
        {"close main window", [] { UiTest_ClosePanel(panelHandle); }},
        {"close scaling dialog",
         [] {
             UiTest_ChooseMenuItem(panelHandle, MENUBAR_KONFIG_SKALIERUNG);
             UiTest_ClosePanel(konfigpanelHandle);
         }},
    };
    for (const auto &entry : ways) {
        std::filesystem::remove(dir_ / "tlx1steuerung.ini");
        EXPECT_EQ(run([&] {
                      UiTest_PickRingValue(panelHandle, PANEL_ADRESSE, 7);
                      entry.second();
                  }),
                  0);
        EXPECT_NE(ini().find("adresse = 7\r\n"), std::string::npos) << entry.first << ": " << ini();
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
            scale(c.vmin, c.vmax, c.emin, c.emax, "bar");
            const std::vector<std::string> m = messages();
            ASSERT_EQ(m.size(), 1u) << c.why;
            EXPECT_EQ(m[0].rfind("Skalierung nicht \xFC"
                                 "bernommen|",
                                 0),
                      0u)
                << m[0];
            EXPECT_NE(m[0].find(c.why), std::string::npos) << m[0];
            EXPECT_TRUE(UiTest_IsVisible(konfigpanelHandle)) << c.why;
            EXPECT_EQ(num(konfigpanelHandle, KONFIGPNL_SKALMIN_VOLT), c.vmin) << c.why;
            EXPECT_EQ(text(panelHandle, PANEL_SOLLWERTEINHEIT), "[V]") << c.why;
        }
        EXPECT_STREQ(gKonfig.einheit, "V");
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

// Control callbacks act on the commit only and the panel callback on the close only: focus changes
// and stray events must not reach the module, tidy fields, touch the scaling or end the program.
// COM 1 is missing, so any device action would light the error lamp.
TEST_F(AppTest, CallbacksIgnoreEventsThatAreNotTheirs)
{
    setenv("TLX1_COM1", (dir_ / "kein-geraet").c_str(), 1);
    // clang-format off
    const CtrlCallbackPtr geraet[] = {
        Callback_Main_Togglebutton_Verbinden, Callback_Main_Numeric_Sollwert, Callback_Main_Numeric_Stellwert,
        Callback_Main_ButtonLesen,            Callback_Main_Button_Schreiben, Callback_Main_Button_Scann,
        Callback_Main_Button_IDLesen,
    };
    // clang-format on
    run([&] {
        SetCtrlVal(panelHandle, PANEL_VERBINDEN, 1);
        SetCtrlVal(panelHandle, PANEL_IANTEIL, 0.0);
        SetCtrlVal(panelHandle, PANEL_GRAPHZOOMMAX, 5.0);
        SetCtrlVal(konfigpanelHandle, KONFIGPNL_SKALMAX_UMGERECHNET, 100.0);
        DisplayPanel(konfigpanelHandle);
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_MENU_BER);
        for (int event : {EVENT_GOT_FOCUS, EVENT_LOST_FOCUS, EVENT_TIMER_TICK, EVENT_CLOSE}) {
            for (CtrlCallbackPtr cb : geraet)
                EXPECT_EQ(cb(panelHandle, PANEL_LESEN, event, nullptr, 0, 0), 0) << event;
            Callback_Main_Numerics_Parametereingabe(panelHandle, PANEL_IANTEIL, event, nullptr, 0, 0);
            Callback_Main_MultipleControls_Graphzoom(panelHandle, PANEL_GRAPHZOOMZURUECK, event, nullptr, 0, 0);
            Callback_Konfig_Button_Ok(konfigpanelHandle, KONFIGPNL_OK, event, nullptr, 0, 0);
            Callback_Konfig_Button_Abbruch(konfigpanelHandle, KONFIGPNL_ABBRUCH, event, nullptr, 0, 0);
            Callback_Info_Button_Ok(aboutpanelHandle, ABOUTPANEL_OK, event, nullptr, 0, 0);
        }
        EXPECT_EQ(integer(panelHandle, PANEL_FEHLERLED), 0);
        EXPECT_EQ(num(panelHandle, PANEL_IANTEIL), 0.0);
        EXPECT_EQ(num(panelHandle, PANEL_GRAPHZOOMMAX), 5.0);
        EXPECT_EQ(gKonfig.einheitmax, 10.0);
        EXPECT_TRUE(UiTest_IsVisible(konfigpanelHandle));
        EXPECT_EQ(UiTest_TopPopup(), aboutpanelHandle);
        RemovePopup(1);
        EXPECT_TRUE(messages().empty());
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

// The command line is read before any window exists: the version and the help end the run, an
// unknown option or a stray argument is refused, the toolkit's own options pass.
TEST(Befehlszeile, VersionHelpUnknownOptionsAndTheToolkitsOwn)
{
    const struct {
        std::vector<std::string> args;
        int result;
        const char *out, *err;
    } cases[] = {
        {{"--version"}, 0, "tlx1steuerung " TLX1_VERSION "\n", ""},
        {{"--help"}, 0, "--benutzereinstellungen", ""},
        {{"-h"}, 0, "Aufruf: tlx1steuerung", ""},
        {{"--bogus"}, 2, "", "tlx1steuerung: unbekannte Option --bogus\n"},
        {{"datei.tlx"}, 2, "", "unerwartetes Argument datei.tlx"},
        {{"-style"}, 2, "", "-style braucht einen Wert"},
        {{"-platform", "offscreen", "--style=fusion", "-reverse", "--benutzereinstellungen"}, -1, "", ""},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), "tlx1steuerung");
        std::vector<char *> argv;
        for (std::string &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_EQ(Befehlszeile_Pruefen(static_cast<int>(args.size()), argv.data()), c.result) << args[1];
        const std::string out = testing::internal::GetCapturedStdout();
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(out.find(c.out), std::string::npos) << out;
        EXPECT_NE(err.find(c.err), std::string::npos) << err;
        EXPECT_EQ(out.empty(), c.out[0] == '\0') << out;
        EXPECT_EQ(Befehlszeile_Benutzereinstellungen(static_cast<int>(args.size()), argv.data()),
                  args.back() == "--benutzereinstellungen");
    }
}
