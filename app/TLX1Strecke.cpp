#include "app/TLX1Strecke.h"

#include "app/TLX1Analyse.h"
#include "app/TLX1Com.h"
#include "app/TLX1Func.h"
#include "app/TLX1Steuerung.h"
#include "driver/okvtlx1.h"
#include "error/OKV_errorV3.h"
#include "platform/userint/userint.h"
#include "ui/TLX1Steuerung.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

int analysepanelHandle = 0;
Streckentest test;
Reglereinstellung vorschlag{EINSTELLUNG_KEIN_MODELL, NAN, NAN, NAN, NAN, NAN, NAN, NAN};

// A span of the dialog's chart that holds `punkte` points and labels its divisions in whole seconds.
int Spanne(int punkte)
{
    for (int spanne : {100, 200, 300, 600, 1200, 1800, 3000, 6000})
        if (punkte <= spanne)
            return spanne;
    return std::clamp(punkte, 2, 100000);
}

bool Laeuft(void)
{
    return test.phase == ANALYSE_VORLAUF || test.phase == ANALYSE_AUFNAHME;
}

// The text of a test's code: its own refusals, or a driver code as the error display shows it.
std::string CodeText(int code)
{
    if (const char *text = AnalyseText(code))
        return text;
    return std::to_string(-code) + " " + OKV_Fehlermeldung(code);
}

void Status(const std::string &text)
{
    SetCtrlVal(analysepanelHandle, ANALYSEPNL_STATUS, text.c_str());
}

// The inputs may change only while no test runs; the close button cancels a running one.
void Bedienung(bool laeuft)
{
    for (int control : {ANALYSEPNL_STELLNEU, ANALYSEPNL_DAUER, ANALYSEPNL_STARTEN, ANALYSEPNL_TAUC})
        SetCtrlAttribute(analysepanelHandle, control, ATTR_DIMMED, laeuft);
    SetCtrlAttribute(analysepanelHandle, ANALYSEPNL_SCHLIESSEN, ATTR_LABEL_TEXT,
                     laeuft ? "Abbrechen"
                            : "Schlie\xDF"
                              "en");
    SetCtrlAttribute(analysepanelHandle, ANALYSEPNL_UEBERNEHMEN, ATTR_DIMMED,
                     laeuft || vorschlag.zustand != EINSTELLUNG_OK);
}

void ErgebnisLeeren(void)
{
    vorschlag.zustand = EINSTELLUNG_KEIN_MODELL;
    for (int control :
         {ANALYSEPNL_K, ANALYSEPNL_T, ANALYSEPNL_L, ANALYSEPNL_R2, ANALYSEPNL_P, ANALYSEPNL_I, ANALYSEPNL_D})
        SetCtrlVal(analysepanelHandle, control, NAN);
    SetCtrlVal(analysepanelHandle, ANALYSEPNL_REGEL, "");
}

// After a failure or a cancel: what became of the module. A restore that failed is shown in a popup
// too, since the module may now run without its controller.
void Wiederhergestellt(const std::string &was)
{
    if (test.fehlerWiederherstellen == 0) {
        Status(was + " Betriebsart und Stellgr\xF6\xDF"
                     "e sind wiederhergestellt.");
        return;
    }
    char alt[96];
    std::snprintf(alt, sizeof alt,
                  "Betriebsart %.0f, Stellgr\xF6\xDF"
                  "e %.3f V",
                  test.alteBetriebsart, test.alteStellgroesse);
    Status(was + " Das Modul konnte nicht wiederhergestellt werden.");
    const std::string text = was +
                             "\n\nBetriebsart und Stellgr\xF6\xDF"
                             "e konnten nicht wiederhergestellt werden:\n" +
                             CodeText(test.fehlerWiederherstellen) +
                             "\n\nBitte am Modul pr\xFC"
                             "fen und von Hand wiederherstellen (vorher: " +
                             alt + ").";
    MessagePopup("Strecke identifizieren", text.c_str());
}

void VorschlagZeigen(void)
{
    double tauC = 0.0;
    GetCtrlVal(analysepanelHandle, ANALYSEPNL_TAUC, &tauC);
    vorschlag = SimcEinstellung(test.modell, tauC);
    const bool gut = vorschlag.zustand == EINSTELLUNG_OK;
    SetCtrlVal(analysepanelHandle, ANALYSEPNL_P, gut ? vorschlag.p : NAN);
    SetCtrlVal(analysepanelHandle, ANALYSEPNL_I, gut ? vorschlag.i : NAN);
    SetCtrlVal(analysepanelHandle, ANALYSEPNL_D, gut ? vorschlag.d : NAN);
    char text[200];
    if (gut)
        std::snprintf(text, sizeof text, "Vorschlag nach %s f\xFCr einen PI-Regler: Kc = %.4g, Ti = %.3g s",
                      kEinstellregel, vorschlag.kc, vorschlag.tauI);
    else if (vorschlag.zustand == EINSTELLUNG_AUSSER_BEREICH)
        std::snprintf(text, sizeof text,
                      "Vorschlag nach %s: P oder I l\xE4gen au\xDF"
                      "erhalb -99999 bis 99999",
                      kEinstellregel);
    else
        std::snprintf(text, sizeof text, "Kein Vorschlag: das Modell hat keine brauchbaren Kennwerte");
    SetCtrlVal(analysepanelHandle, ANALYSEPNL_REGEL, text);
    Bedienung(false);
}

// The recorded response and, when there is a model, its curve over it; the step is marked.
void AntwortZeichnen(void)
{
    ClearStripChart(analysepanelHandle, ANALYSEPNL_DIAGRAMM);
    const int n = static_cast<int>(test.punkte.size());
    SetCtrlAttribute(analysepanelHandle, ANALYSEPNL_DIAGRAMM, ATTR_POINTS_PER_SCREEN, Spanne(n));
    const bool modell = std::isfinite(test.modell.verstaerkung);
    bool markiert = false;
    for (const Messpunkt &p : test.punkte) {
        if (!markiert && p.zeit >= test.sprungzeit) {
            MarkStripChart(analysepanelHandle, ANALYSEPNL_DIAGRAMM);
            markiert = true;
        }
        const double werte[] = {
            p.ist,
            modell ? StreckeAntwort(test.modell, test.sprungzeit, test.alteStellgroesse, test.stellNeu, p.zeit) : NAN};
        PlotStripChartPoints(analysepanelHandle, ANALYSEPNL_DIAGRAMM, werte, 2);
    }
}

void Fertig(void)
{
    const Streckenmodell &m = test.modell;
    SetCtrlVal(analysepanelHandle, ANALYSEPNL_K, m.verstaerkung);
    SetCtrlVal(analysepanelHandle, ANALYSEPNL_T, m.zeitkonstante);
    SetCtrlVal(analysepanelHandle, ANALYSEPNL_L, m.totzeit);
    SetCtrlVal(analysepanelHandle, ANALYSEPNL_R2, m.bestimmtheitsmass);
    AntwortZeichnen();
    switch (m.zustand) {
    case MODELL_OK:
        Status("Test fertig; Betriebsart und Stellgr\xF6\xDF"
               "e sind wiederhergestellt.");
        break;
    case MODELL_ZU_WENIG_PUNKTE: Status("Zu wenige Messwerte nach dem Sprung: kein Modell."); break;
    case MODELL_KEINE_REAKTION:
        Status("Der Istwert hat sich kaum bewegt: kein Modell. Gr\xF6\xDF"
               "eren Sprung oder l\xE4ngere Aufnahme w\xE4hlen.");
        break;
    case MODELL_ZU_KURZ:
        Status("Die Aufnahme war k\xFCrzer als 2 T: K und T sind hochgerechnet (l\xE4nger aufnehmen).");
        break;
    case MODELL_UNGENAU:
        Status("R\xB2 unter 0.9: das Modell beschreibt die Antwort schlecht, Vorschlag mit Vorsicht.");
        break;
    default: break;
    }
    SetCtrlVal(analysepanelHandle, ANALYSEPNL_TAUC, std::isfinite(m.verstaerkung) ? SimcTauCVorgabe(m) : 1.0);
    VorschlagZeigen();
}

}  // namespace

int Strecke_PanelLaden(int parent)
{
    analysepanelHandle = LoadPanel(parent, TLX1STEUERUNG_UIR, ANALYSEPNL);
    test = Streckentest{};
    if (analysepanelHandle > 0) {
        // clang-format off
        static constexpr struct { int control; const char *text; } kHilfe[] = {
            {ANALYSEPNL_STELLALT,    "Die Stellgr\xF6\xDF" "e des Moduls jetzt; von ihr aus springt der Test"},
            {ANALYSEPNL_STELLNEU,    "Der Wert, auf den die Stellgr\xF6\xDF" "e springt (innerhalb min1 bis max1 des Moduls)"},
            {ANALYSEPNL_DAUER,       "H\xF6" "chstens so lange wird nach dem Sprung aufgezeichnet; kommt der Istwert\n"
                                     "fr\xFC" "her zur Ruhe, endet der Test fr\xFC" "her"},
            {ANALYSEPNL_STARTEN,     "Fragt noch einmal nach und beginnt dann den Test"},
            {ANALYSEPNL_K,           "Verst\xE4rkung K: \xC4nderung des Istwerts je Volt Stellgr\xF6\xDF" "e"},
            {ANALYSEPNL_T,           "Zeitkonstante T des Modells erster Ordnung"},
            {ANALYSEPNL_L,           "Totzeit L: so lange, bis der Istwert auf den Sprung antwortet"},
            {ANALYSEPNL_R2,          "Bestimmtheitsma\xDF R\xB2: 1 hei\xDFt, das Modell trifft jeden Messpunkt"},
            {ANALYSEPNL_TAUC,        "Wie schnell der geschlossene Regelkreis werden soll: gr\xF6\xDF" "er regelt ruhiger,\n"
                                     "kleiner schneller; Enter rechnet den Vorschlag neu"},
            {ANALYSEPNL_P,           "Vorgeschlagener P-Anteil (SIMC nach Skogestad)"},
            {ANALYSEPNL_I,           "Vorgeschlagener I-Anteil (SIMC nach Skogestad)"},
            {ANALYSEPNL_D,           "Vorgeschlagener D-Anteil: 0 beim PI-Regler"},
            {ANALYSEPNL_UEBERNEHMEN, "Tr\xE4gt P, I und D in die Felder des Hauptfensters ein; zum Modul erst mit Schreiben"},
            {ANALYSEPNL_SCHLIESSEN,  "Schlie\xDF" "t das Fenster; w\xE4hrend des Tests bricht es ihn ab (Esc)"},
        };
        // clang-format on
        for (const auto &h : kHilfe)
            SetCtrlAttribute(analysepanelHandle, h.control, ATTR_TOOLTIP, h.text);
        SetStripChartTraces(analysepanelHandle, ANALYSEPNL_DIAGRAMM, "Istwert\nModell", 0);
        SetAxisScalingMode(analysepanelHandle, ANALYSEPNL_DIAGRAMM, VAL_LEFT_YAXIS, VAL_AUTOSCALE, 0.0, 0.0);
    }
    return analysepanelHandle;
}

int Strecke_Laeuft(void)
{
    return Laeuft() ? 1 : 0;
}

void Strecke_Istwert(double volt)
{
    if (!Laeuft())
        return;
    const int vorher = test.phase;
    const int phase = Streckentest_Punkt(&test, Analyse_Jetzt(), volt);
    ProtokollFehlerZeigen();
    if (phase == ANALYSE_AUFNAHME && vorher == ANALYSE_VORLAUF)
        MarkStripChart(analysepanelHandle, ANALYSEPNL_DIAGRAMM);
    if (Laeuft()) {
        const double werte[] = {volt, NAN};
        PlotStripChartPoints(analysepanelHandle, ANALYSEPNL_DIAGRAMM, werte, 2);
        char text[160];
        if (phase == ANALYSE_VORLAUF)
            std::snprintf(text, sizeof text,
                          "Vorlauf: Stellgr\xF6\xDF"
                          "e %.3f V wird gehalten ...",
                          test.alteStellgroesse);
        else
            std::snprintf(text, sizeof text,
                          "Aufnahme nach dem Sprung auf %.3f V: %.1f s (h\xF6"
                          "chstens %.0f s) ...",
                          test.stellNeu, Analyse_Jetzt() - test.sprungzeit, test.dauer);
        Status(text);
        return;
    }
    if (phase == ANALYSE_FERTIG) {
        Fertig();
        return;
    }
    Wiederhergestellt("Der Test ist gescheitert: " + CodeText(test.fehler) + ".");
    Bedienung(false);
}

void Strecke_Abbrechen(void)
{
    if (!Laeuft())
        return;
    Streckentest_Abbrechen(&test);
    ProtokollFehlerZeigen();
    Wiederhergestellt("Der Test wurde abgebrochen.");
    Bedienung(false);
}

void Callback_Menu_Strecke(int, int, void *, int)
{
    int verbunden = 0, adresse = 0;
    GetCtrlVal(panelHandle, PANEL_VERBINDEN, &verbunden);
    GetCtrlVal(panelHandle, PANEL_ADRESSE, &adresse);
    const int port = OffenerComPort();
    if (!verbunden || port < 0) {
        MessagePopup("Strecke identifizieren", "Der Test braucht die Verbindung zum Modul.\n"
                                               "Bitte zuerst \"verbinden\" dr\xFC"
                                               "cken.");
        return;
    }
    if (adresse < 1 || adresse > 8) {
        MessagePopup("Strecke identifizieren", "Der Test braucht ein einzelnes Modul: bitte eine Adresse von 1 bis 8 "
                                               "w\xE4hlen, nicht \"alle\".");
        return;
    }
    double stell = 0.0, lo = 0.0, hi = 10.0;
    for (const auto &[name, wert] :
         {std::pair{"stellgroesse1", &stell}, std::pair{"min1", &lo}, std::pair{"max1", &hi}})
        if (const int code = OKVTLX1_ParameterLesen(port, adresse, name, wert); code != 0) {
            FehlerZeigen(code);
            return;
        }
    if (!Laeuft()) {
        test = Streckentest{};
        ErgebnisLeeren();
        Status("");
        ClearStripChart(analysepanelHandle, ANALYSEPNL_DIAGRAMM);
        SetCtrlVal(analysepanelHandle, ANALYSEPNL_STELLALT, stell);
        SetCtrlAttribute(analysepanelHandle, ANALYSEPNL_STELLNEU, ATTR_MIN_VALUE, -HUGE_VAL);
        SetCtrlAttribute(analysepanelHandle, ANALYSEPNL_STELLNEU, ATTR_MAX_VALUE, hi);
        SetCtrlAttribute(analysepanelHandle, ANALYSEPNL_STELLNEU, ATTR_MIN_VALUE, lo);
        // A step of a fifth of the output range, upward where there is room.
        const double hub = (hi - lo) / 5.0;
        SetCtrlVal(analysepanelHandle, ANALYSEPNL_STELLNEU, stell + hub <= hi ? stell + hub : stell - hub);
        Bedienung(false);
    }
    InstallPopup(analysepanelHandle);
}

int Callback_Analyse_Starten(int, int, int event, void *, int, int)
{
    if (event != EVENT_COMMIT || Laeuft())
        return 0;
    int adresse = 0;
    GetCtrlVal(panelHandle, PANEL_ADRESSE, &adresse);
    double alt = 0.0, neu = 0.0, dauer = 60.0;
    GetCtrlVal(analysepanelHandle, ANALYSEPNL_STELLALT, &alt);
    GetCtrlVal(analysepanelHandle, ANALYSEPNL_STELLNEU, &neu);
    GetCtrlVal(analysepanelHandle, ANALYSEPNL_DAUER, &dauer);
    char text[400];
    std::snprintf(text, sizeof text,
                  "Das Modul an Adresse %d wird in den Stellbetrieb geschaltet; die Stellgr\xF6\xDF"
                  "e springt von "
                  "%.3f V auf %.3f V. Der Regler ist w\xE4hrend des Tests (h\xF6"
                  "chstens %.0f s) abgeschaltet.\n\n"
                  "Test starten?",
                  adresse, alt, neu, dauer);
    if (GenericMessagePopup("Strecke identifizieren", text, "Test starten", "Abbrechen", nullptr) != 1)
        return 0;
    ErgebnisLeeren();
    ClearStripChart(analysepanelHandle, ANALYSEPNL_DIAGRAMM);
    SetCtrlAttribute(analysepanelHandle, ANALYSEPNL_DIAGRAMM, ATTR_POINTS_PER_SCREEN,
                     Spanne(static_cast<int>((dauer + kVorlaufDauer) * 10.0) + 10));
    const int code = Streckentest_Beginnen(&test, OffenerComPort(), adresse, neu, dauer);
    ProtokollFehlerZeigen();
    if (code == 0) {
        Status("Vorlauf ...");
        Bedienung(true);
        return 0;
    }
    if (test.phase == ANALYSE_FEHLER)
        Wiederhergestellt("Der Test konnte nicht beginnen: " + CodeText(code) + ".");
    else
        Status("Der Test hat nicht begonnen: " + CodeText(code));
    Bedienung(false);
    return 0;
}

int Callback_Analyse_TauC(int, int, int event, void *, int, int)
{
    if (event == EVENT_COMMIT && test.phase == ANALYSE_FERTIG)
        VorschlagZeigen();
    return 0;
}

int Callback_Analyse_Uebernehmen(int, int, int event, void *, int, int)
{
    if (event != EVENT_COMMIT || vorschlag.zustand != EINSTELLUNG_OK)
        return 0;
    SetCtrlVal(panelHandle, PANEL_PANTEIL, vorschlag.p);
    SetCtrlVal(panelHandle, PANEL_IANTEIL, vorschlag.i);
    SetCtrlVal(panelHandle, PANEL_DANTEIL, vorschlag.d);
    SetPrecision();
    // Nothing went to the module: "Schreiben" sends the set, asking first since it is not the module's.
    SatzHerkunftSetzen(HERKUNFT_VORSCHLAG, nullptr);
    SetCtrlVal(panelHandle, PANEL_TEXT,
               "Vorschlag \xFC"
               "bernommen: \"Schreiben\" sendet P, I und D an das Modul");
    RemovePopup(0);
    return 0;
}

int Callback_Analyse_Schliessen(int, int, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    if (Laeuft()) {
        Strecke_Abbrechen();
        return 0;
    }
    RemovePopup(0);
    return 0;
}

int Callback_Analyse_Panel(int, int event, void *, int, int)
{
    if (event != EVENT_CLOSE)
        return 0;
    Strecke_Abbrechen();
    RemovePopup(0);
    return 0;
}
