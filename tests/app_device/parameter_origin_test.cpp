// Where the panel's parameter set came from, what "Schreiben" asks before it overwrites a module, the
// comparison with a file, and the service record of every write.
#include "DeviceFixture.h"

#include <regex>

namespace {

// The origin as one comparable value: kind, port and address of a module, and whether it is the
// module the rings select now.
std::tuple<int, int, int, int> origin()
{
    int port = 0, adresse = 0;
    const int art = SatzHerkunft(&port, &adresse);
    return art == HERKUNFT_MODUL ? std::tuple(art, port, adresse, SatzVonDiesemModul()) : std::tuple(art, 0, 0, 0);
}

const Frames kReads{"#1P1R", "#1I1R", "#1D1R", "#1S5R", "#1L1R", "#1H1R", "#1F1R", "#1M1R"};

}  // namespace

// Defaults at start; "Lesen" makes it this module's set, which it stays only at that address; a loaded
// file; a successful "Schreiben" (after the question) makes it the module's it went to.
TEST_F(DeviceTest, TheOriginOfThePanelsSetFollowsEveryPath)
{
    startSim({"--plant", "off", "--module", "1", "--module", "2"});
    run([&] {
        const auto datei = (dir_ / "satz.tlx").string();
        const std::pair<std::function<void()>, std::tuple<int, int, int, int>> schritte[] = {
            {[] {}, {HERKUNFT_VORGABE, 0, 0, 0}},
            {[] { UiTest_Press(panelHandle, PANEL_LESEN); }, {HERKUNFT_MODUL, 1, 1, 1}},
            {[] { UiTest_PickRingValue(panelHandle, PANEL_ADRESSE, 2); }, {HERKUNFT_MODUL, 1, 1, 0}},
            {[] { UiTest_PickRingValue(panelHandle, PANEL_ADRESSE, 1); }, {HERKUNFT_MODUL, 1, 1, 1}},
            {[&] {
                 UiTest_AnswerNextFilePopup(VAL_NEW_FILE_SELECTED, datei.c_str());
                 UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_PARAMETE_2);
                 UiTest_AnswerNextFilePopup(VAL_EXISTING_FILE_SELECTED, datei.c_str());
                 UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_PARAMETE);
             },
             {HERKUNFT_DATEI, 0, 0, 0}},
            {[] {
                 UiTest_PickRingValue(panelHandle, PANEL_ADRESSE, 2);
                 UiTest_Enter(panelHandle, PANEL_PANTEIL, 4.0);
                 UiTest_AnswerNextMessagePopup(1);
                 UiTest_Press(panelHandle, PANEL_SCHREIBEN);
             },
             {HERKUNFT_MODUL, 1, 2, 1}},
            {[] {  // a failed "Lesen" changes nothing
                 UiTest_PickRingValue(panelHandle, PANEL_ADRESSE, 9);
                 UiTest_Press(panelHandle, PANEL_LESEN);
             },
             {HERKUNFT_MODUL, 1, 2, 0}},
        };
        for (std::size_t i = 0; i < std::size(schritte); ++i) {
            schritte[i].first();
            EXPECT_EQ(origin(), schritte[i].second) << "step " << i;
        }
        EXPECT_EQ(sim().command("get 2 P1"), "4.0000");
        quit();
    });
}

// The module holds tuned values: "Schreiben" of the defaults first reads it and lists what would change
// in the panel's unit; "Abbrechen" sends nothing more; "Schreiben" goes on as ever and names what the
// module rounded; then the set is the module's and goes straight through. A set the module already
// holds is not written; "alle" is always asked.
TEST_F(DeviceTest, SchreibenAsksBeforeItOverwritesTheModule)
{
    startSim({"--plant", "off", "--cmd", "set 1 P1 2.0000", "--cmd", "set 1 anstiegszeit1 10.000"});
    run([&] {
        scale(0, 10, 0, 100, "%");
        takeReceived();
        messages();
        UiTest_AnswerNextMessagePopup(2);
        UiTest_Press(panelHandle, PANEL_SCHREIBEN);
        EXPECT_EQ(takeReceived(), kReads) << "cancelled: the module was only read";
        std::vector<UiTestPopup> popups = UiTest_Popups();
        ASSERT_EQ(popups.size(), 1u);
        EXPECT_EQ(popups[0].title, "Parametersatz schreiben?");
        EXPECT_EQ(popups[0].text, "Der Parametersatz im Fenster enth\xE4lt die Vorgabewerte des Programms.\n"
                                  "Schreiben \xE4ndert am Modul an Adresse 1 (COM 1):\n\n"
                                  "Parameter\tModul\tFenster\n"
                                  "P-Anteil\t2\t0\n"
                                  "max. Anstiegsgeschwindigkeit [%/s]\t100\t10000\n");
        EXPECT_EQ(popups[0].buttons, (std::vector<std::string>{"Schreiben", "Abbrechen"}));
        EXPECT_EQ(std::tuple(sim().command("get 1 P1"), text(panelHandle, PANEL_TEXT), errorLamp()),
                  std::tuple("2.0000", "", 0));

        UiTest_Enter(panelHandle, PANEL_PANTEIL, 12.34567);
        UiTest_AnswerNextMessagePopup(1);
        UiTest_Press(panelHandle, PANEL_SCHREIBEN);
        const Frames writes{"#1P1W12.346", "#1I1W1.0000", "#1D1W0.0000", "#1S5W0.000",
                            "#1L1W0.000",  "#1H1W10.000", "#1F1W1000.0", "#1M1W1"};
        Frames erwartet = kReads;
        erwartet.insert(erwartet.end(), writes.begin(), writes.end());
        erwartet.insert(erwartet.end(), kReads.begin(), kReads.end());
        EXPECT_EQ(takeReceived(), erwartet) << "accepted: the write exactly as without the question";
        EXPECT_EQ(text(panelHandle, PANEL_TEXT), "Parametersatz geschrieben und gepr\xFC"
                                                 "ft; gerundet: P-Anteil 12.34567 -> 12.346");
        UiTest_ClearPopups();
        UiTest_Press(panelHandle, PANEL_SCHREIBEN);
        Frames zweites = writes;
        zweites.insert(zweites.end(), kReads.begin(), kReads.end());
        EXPECT_EQ(takeReceived(), zweites);
        EXPECT_EQ(UiTest_Popups().size(), 0u) << "the set is this module's now";

        // Saved and loaded again: it comes from a file, but the module holds it already.
        const auto datei = (dir_ / "satz.tlx").string();
        UiTest_AnswerNextFilePopup(VAL_NEW_FILE_SELECTED, datei.c_str());
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_PARAMETE_2);
        UiTest_AnswerNextFilePopup(VAL_EXISTING_FILE_SELECTED, datei.c_str());
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_PARAMETE);
        UiTest_ClearPopups();
        UiTest_Press(panelHandle, PANEL_SCHREIBEN);
        EXPECT_EQ(takeReceived(), kReads);
        EXPECT_EQ(std::tuple(text(panelHandle, PANEL_TEXT), UiTest_Popups().size(), std::get<0>(origin())),
                  std::tuple("Das Modul hat diesen Parametersatz schon; nichts geschrieben", 0u, HERKUNFT_MODUL));

        UiTest_PickRingValue(panelHandle, PANEL_ADRESSE, 9);
        UiTest_Press(panelHandle, PANEL_SCHREIBEN);  // unanswered: the last button, "Abbrechen"
        EXPECT_EQ(takeReceived(), Frames{});
        ASSERT_EQ(UiTest_Popups().size(), 1u);
        EXPECT_EQ(lines(UiTest_Popups()[0].text).at(0),
                  "Der Parametersatz des Fensters geht an alle Module am Bus (Adresse \"alle\").");
        EXPECT_EQ(lines(UiTest_Popups()[0].text).at(4), "P-Anteil\t12.346");
        UiTest_AnswerNextMessagePopup(1);
        UiTest_Press(panelHandle, PANEL_SCHREIBEN);
        Frames anAlle;
        for (const std::string &f : writes)
            anAlle.push_back("#9" + f.substr(2));
        EXPECT_EQ(takeReceived(), anAlle);
        EXPECT_EQ(std::tuple(text(panelHandle, PANEL_TEXT), errorLamp()),
                  std::tuple("an alle Module geschrieben (ohne R\xFC"
                             "ckmeldung)",
                             0));
        quit();
    });
}

// "Vergleichen..." shows module, panel and file side by side in the panel's unit, differences marked,
// and reads the module again on "Modul lesen"; a file that cannot be read is an error popup.
TEST_F(DeviceTest, VergleichenShowsModulePanelAndFile)
{
    startSim({"--plant", "off"});
    const auto datei = (dir_ / "satz.tlx").string();
    run([&] {
        UiTest_Enter(panelHandle, PANEL_PANTEIL, 3.0);
        UiTest_AnswerNextFilePopup(VAL_NEW_FILE_SELECTED, datei.c_str());
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_PARAMETE_2);
        scale(0, 10, 0, 100, "%");
        UiTest_Enter(panelHandle, PANEL_DANTEIL, 0.5);
        UiTest_ClearPopups();
        UiTest_AnswerNextFilePopup(VAL_EXISTING_FILE_SELECTED, datei.c_str());
        UiTest_AnswerNextMessagePopup(1);  // "Modul lesen"
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_VERGLEICHEN);
        // (the second box stays unanswered: "Schlie\xDF" "en")
        std::vector<std::string> tabellen;
        for (const UiTestPopup &p : UiTest_Popups())
            if (p.kind == UiTestPopup::MESSAGE) {
                EXPECT_EQ(p.title, "Parametersatz vergleichen");
                EXPECT_EQ(p.buttons, (std::vector<std::string>{"Modul lesen", "Schlie\xDF"
                                                                              "en"}));
                const std::vector<std::string> z = lines(p.text);
                tabellen.push_back(z.size() > 5 ? p.text.substr(p.text.find("Parameter\t")) : p.text);
            }
        ASSERT_EQ(tabellen.size(), 2u);
        EXPECT_EQ(tabellen[0], "Parameter\tModul\tFenster\tDatei\t\n"
                               "P-Anteil\t1\t3\t3\t*\n"
                               "I-Anteil\t1\t1\t1\t\n"
                               "D-Anteil\t0\t0.5\t0\t*\n"
                               "min. Stellgr\xF6\xDF"
                               "e [V]\t0\t0\t0\t\n"
                               "max. Stellgr\xF6\xDF"
                               "e [V]\t10\t10\t10\t\n"
                               "Sollwert beim Einschalten [%]\t0\t0\t0\t\n"
                               "max. Anstiegsgeschwindigkeit [%/s]\t100\t10000\t10000\t*\n"
                               "Betriebsart\tDigitaler Sollwert\tDigitaler Sollwert\tDigitaler Sollwert\t\n");
        EXPECT_EQ(tabellen[1], tabellen[0]);
        EXPECT_EQ(takeReceived().size(), 16u) << "read at the start and on \"Modul lesen\"";

        UiTest_ClearPopups();
        UiTest_AnswerNextFilePopup(VAL_EXISTING_FILE_SELECTED, (dir_ / "fehlt.tlx").c_str());
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_VERGLEICHEN);
        EXPECT_EQ(messages(), (Frames{"Fehler #308103|Fehler beim \xD6"
                                      "ffnen der Datei"}));
        EXPECT_EQ(takeReceived(), Frames{});
        quit();
    });
}

// Every value the window writes is a line of the service record, with the module's identification once
// "ID lesen" has read it and the driver's code; a record that cannot be written stops no write and is
// reported once.
TEST_F(DeviceTest, EveryWriteIsEnteredInTheServiceRecord)
{
    startSim({"--plant", "off"});
    run([&] {
        UiTest_Enter(panelHandle, PANEL_SOLLWERT, 2.5);
        UiTest_Press(panelHandle, PANEL_IDLESEN);
        UiTest_Enter(panelHandle, PANEL_STELLWERT, 1.25);
        sim().command("fault nak 1 P1");
        UiTest_AnswerNextMessagePopup(1);
        UiTest_Press(panelHandle, PANEL_SCHREIBEN);
        EXPECT_EQ(errorNumber(), 402040);
        quit();
    });
    std::vector<std::string> zeilen = lines(record());
    ASSERT_EQ(zeilen.size(), 4u) << record();
    EXPECT_TRUE(std::regex_match(zeilen[1].substr(0, zeilen[1].find(',')),
                                 std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)")))
        << zeilen[1];
    for (std::string &z : zeilen)
        z = z.substr(z.find(',') + 1);
    const std::string geraet = sim().devicePath();
    EXPECT_EQ(zeilen, (Frames{"programm,geraet,adresse,modul_id,parameter,wert,ergebnis",
                              "tlx1steuerung," + geraet + ",1,,soll1,2.500,0",
                              "tlx1steuerung," + geraet + ",1,OKV-TLX1-SIM,stellgroesse1,1.250,0",
                              "tlx1steuerung," + geraet + ",1,OKV-TLX1-SIM,P1,0.0000,-402040"}));

    // The state folder's place is taken by a file: the writes go on, the operator hears of it once.
    writeFile("kein-ordner", "");
    setenv("XDG_STATE_HOME", (dir_ / "kein-ordner").c_str(), 1);
    run([&] {
        takeReceived();
        messages();
        UiTest_Enter(panelHandle, PANEL_SOLLWERT, 1.0);
        UiTest_Enter(panelHandle, PANEL_SOLLWERT, 2.0);
        EXPECT_EQ(takeReceived(), (Frames{"#1S1W1.000", "#1S1W2.000"}));
        EXPECT_EQ(
            std::tuple(errorLamp(), messages()),
            std::tuple(0, Frames{"Protokoll|Protokoll nicht schreibbar: " + (dir_ / "kein-ordner").string() +
                                 "/tlx1steuerung/protokoll.csv: ein Teil des Pfades ist kein Verzeichnis\n\n"
                                 "Die Werte wurden trotzdem an das Modul gesendet; sie fehlen nur im Protokoll."}));
        quit();
    });
}
