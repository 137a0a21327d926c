#include "app/TLX1Steuerung.h"

#include "app/TLX1Befehlszeile.h"
#include "app/TLX1Com.h"
#include "app/TLX1Diagramm.h"
#include "app/TLX1Func.h"
#include "app/TLX1Hilfe.h"
#include "app/TLX1Konfig.h"
#include "app/TLX1Schnittstellen.h"
#include "app/TLX1SchnittstellenFenster.h"
#include "app/TLX1Strecke.h"
#include "app/TLX1Vergleich.h"
#include "error/OKV_errorV3.h"
#include "platform/rs232/commap.h"
#include "platform/userint/userint.h"
#include "record/Protokoll.h"
#include "ui/TLX1Steuerung.h"

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <utility>

int panelHandle = 0;
int konfigpanelHandle = 0;
int aboutpanelHandle = 0;

static constexpr const char *VERSION = "V 1.1";
static constexpr const char *DATUM = "08/2008";

// The callbacks this program provides, by the names the panel catalogue gives. A control whose
// callback is not listed here stays without one.
// clang-format off
static constexpr CallbackEntry CALLBACKS[] = {
    {"Callback_MainAndKonfig_Panel",            nullptr, Callback_MainAndKonfig_Panel, nullptr},
    {"Callback_Menu_Beenden",                   nullptr, nullptr, Callback_Menu_Beenden},
    {"Callback_Menu_Skalieren",                 nullptr, nullptr, Callback_Menu_Skalieren},
    {"Callback_Menu_Info",                      nullptr, nullptr, Callback_Menu_Info},
    {"Callback_Info_Button_Ok",                 Callback_Info_Button_Ok, nullptr, nullptr},
    {"Callback_Konfig_Button_Ok",               Callback_Konfig_Button_Ok, nullptr, nullptr},
    {"Callback_Konfig_Button_Abbruch",          Callback_Konfig_Button_Abbruch, nullptr, nullptr},
    {"Callback_Konfig_Button_AufStandardwerte", Callback_Konfig_Button_AufStandardwerte, nullptr, nullptr},
    {"Callback_Main_Togglebutton_Verbinden",    Callback_Main_Togglebutton_Verbinden, nullptr, nullptr},
    {"Callback_Main_Timer",                     Callback_Main_Timer, nullptr, nullptr},
    {"Callback_Main_MultipleControls_Graphzoom", Callback_Main_MultipleControls_Graphzoom, nullptr, nullptr},
    {"Callback_Main_Numeric_Sollwert",          Callback_Main_Numeric_Sollwert, nullptr, nullptr},
    {"Callback_Main_Numeric_Stellwert",         Callback_Main_Numeric_Stellwert, nullptr, nullptr},
    {"Callback_Main_Ring_Betriebsart",          Callback_Main_Ring_Betriebsart, nullptr, nullptr},
    {"Callback_Main_ButtonLesen",               Callback_Main_ButtonLesen, nullptr, nullptr},
    {"Callback_Main_Button_Schreiben",          Callback_Main_Button_Schreiben, nullptr, nullptr},
    {"Callback_Main_Numerics_Parametereingabe", Callback_Main_Numerics_Parametereingabe, nullptr, nullptr},
    {"Callback_Main_Button_Scann",              Callback_Main_Button_Scann, nullptr, nullptr},
    {"Callback_Main_Button_IDLesen",            Callback_Main_Button_IDLesen, nullptr, nullptr},
    {"Callback_Menu_Laden",                     nullptr, nullptr, Callback_Menu_Laden},
    {"Callback_Menu_Speichern",                 nullptr, nullptr, Callback_Menu_Speichern},
    {"Callback_Menu_Vergleichen",               nullptr, nullptr, Callback_Menu_Vergleichen},
    {"Callback_Menu_Schnittstellen",            nullptr, nullptr, Callback_Menu_Schnittstellen},
    {"Callback_Schnittstellen_Ok",              Callback_Schnittstellen_Ok, nullptr, nullptr},
    {"Callback_Schnittstellen_Abbruch",         Callback_Schnittstellen_Abbruch, nullptr, nullptr},
    {"Callback_Schnittstellen_Panel",           nullptr, Callback_Schnittstellen_Panel, nullptr},
    {"Callback_Menu_Handbuch",                  nullptr, nullptr, Callback_Menu_Handbuch},
    {"Callback_Main_Diagramm",                  Callback_Main_Diagramm, nullptr, nullptr},
    {"Callback_Menu_AufzeichnungSpeichern",     nullptr, nullptr, Callback_Menu_AufzeichnungSpeichern},
    {"Callback_Menu_BildSpeichern",             nullptr, nullptr, Callback_Menu_BildSpeichern},
    {"Callback_Menu_AufzeichnungStarten",       nullptr, nullptr, Callback_Menu_AufzeichnungStarten},
    {"Callback_Menu_AufzeichnungBeenden",       nullptr, nullptr, Callback_Menu_AufzeichnungBeenden},
    {"Callback_Menu_Strecke",                   nullptr, nullptr, Callback_Menu_Strecke},
    {"Callback_Analyse_Panel",                  nullptr, Callback_Analyse_Panel, nullptr},
    {"Callback_Analyse_Starten",                Callback_Analyse_Starten, nullptr, nullptr},
    {"Callback_Analyse_TauC",                   Callback_Analyse_TauC, nullptr, nullptr},
    {"Callback_Analyse_Uebernehmen",            Callback_Analyse_Uebernehmen, nullptr, nullptr},
    {"Callback_Analyse_Schliessen",             Callback_Analyse_Schliessen, nullptr, nullptr},
};
// clang-format on
static constexpr int CALLBACK_ANZAHL = static_cast<int>(std::size(CALLBACKS));
static_assert(CALLBACK_ANZAHL == 38);

// Live polling of the actual value is on: set by a successful connect, cleared by a disconnect and
// by a failed poll.
static unsigned char abfrageAktiv = 0;
// The polling warning has been shown in this program run.
static int warnungGezeigt = 0;

// Writes the settings at the end of a run. When that fails the operator learns where and why, and
// may free the folder and try again, or end without saving instead of losing them unseen.
static void EinstellungenSichern(void)
{
    while (WriteIni() != 0) {
        char text[2 * MAX_PATHNAME_LEN];
        std::snprintf(text, sizeof text,
                      "Die Einstellungen konnten nicht gespeichert werden.\n\n"
                      "Datei:\t%s\nGrund:\t%s\n\n"
                      "Ohne Speichern gelten beim n\xE4"
                      "chsten Start die zuletzt gespeicherten Einstellungen.",
                      Einstellungsdatei_Anzeige(), WriteIni_Grund());
        if (GenericMessagePopup("Einstellungen nicht gespeichert", text, "Erneut versuchen", "Ohne Speichern beenden",
                                nullptr) != 1)
            return;
    }
}

// A connection ended because its device went away; with the automatic reconnect on, the timer
// connects again once that device opens again.
static int wiederverbindenWartet = 0;
static char wiederGeraet[OKV_USERSTRING_LAENGE] = "";
// Seconds between two reconnect attempts at least; an attempt that blocked the program for long
// (a network address that does not answer: up to 3 s) spaces the next ones ten times as far apart,
// so that the window stays usable while the device is away.
static constexpr double WIEDERVERBINDEN_ABSTAND_S = 1.0;
static constexpr double WIEDERVERBINDEN_FAKTOR = 10.0;
static double letzterVersuch = -HUGE_VAL;  // when the last attempt ended
static double abstand = WIEDERVERBINDEN_ABSTAND_S;

static double Systemuhr(void)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
static double (*uhr)(void) = Systemuhr;

void TLX1Steuerung_UhrSetzen(double (*neueUhr)(void))
{
    uhr = neueUhr != nullptr ? neueUhr : Systemuhr;
}

int TLX1Steuerung_Main(int argc, char *argv[])
{
    // A run starts disconnected and has not shown the polling warning yet.
    abfrageAktiv = 0;
    warnungGezeigt = 0;
    EinstellungsortWaehlen(Befehlszeile_Benutzereinstellungen(argc, argv));
    wiederverbindenWartet = 0;
    letzterVersuch = -HUGE_VAL;
    abstand = WIEDERVERBINDEN_ABSTAND_S;
    OKV_Fehleruserstring(nullptr);
    Protokoll_Starten("tlx1steuerung");
    SatzHerkunftSetzen(HERKUNFT_VORGABE, nullptr);
    if (InitUserInterface(argc, argv) == 0)
        return -1;
    TLX1Steuerung_PanelDateiRegistrieren();
    InstallCallbackTable(CALLBACKS, CALLBACK_ANZAHL);

    if ((panelHandle = LoadPanel(0, TLX1STEUERUNG_UIR, PANEL)) < 0)
        return -1;
    if ((aboutpanelHandle = LoadPanel(panelHandle, TLX1STEUERUNG_UIR, ABOUTPANEL)) < 0)
        return -1;
    if ((konfigpanelHandle = LoadPanel(panelHandle, TLX1STEUERUNG_UIR, KONFIGPNL)) < 0)
        return -1;
    if ((schnittstellenpanelHandle = LoadPanel(panelHandle, TLX1STEUERUNG_UIR, SCHNITTPNL)) < 0)
        return -1;
    if (Strecke_PanelLaden(panelHandle) < 0)
        return -1;
    // Each window shows up on the desktop by itself with this toolkit; nothing to switch.

    PanelsInitialisieren(VERSION, DATUM);
    Diagramm_Beginnen();
    LoadIni();  // a missing or unreadable file leaves the defaults; the operator is not told
    ComRingBeschriften();
    SetPrecision();
    DisplayPanel(panelHandle);
    RunUserInterface();

    // A plant test still running gives the module its mode and output back before the port closes.
    Strecke_Abbrechen();
    Diagramm_Beenden();
    CloseComPort();
    EinstellungenSichern();
    return 0;  // also when the operator ended without saving
}

int Callback_MainAndKonfig_Panel(int, int event, void *, int, int)
{
    if (event == EVENT_CLOSE)
        QuitUserInterface(0);
    return 0;
}

void Callback_Menu_Beenden(int, int, void *, int)
{
    QuitUserInterface(0);
}

void Callback_Menu_Skalieren(int, int, void *, int)
{
    DisplayPanel(konfigpanelHandle);
}

void Callback_Menu_Info(int, int, void *, int)
{
    InstallPopup(aboutpanelHandle);
}

int Callback_Info_Button_Ok(int, int, int event, void *, int, int)
{
    if (event == EVENT_COMMIT)
        RemovePopup(0);
    return 0;
}

// What is wrong with the scaling on the dialog, or null when it can be applied.
static const char *SkalierungsFehler(void)
{
    static constexpr const char *TEXTE[] = {
        nullptr,
        "Die Skalierung enth\xE4lt einen Wert, der keine endliche Zahl ist.\n"
        "Bitte vier g\xFCltige Zahlen eingeben.",
        "Die beiden Spannungswerte sind gleich.\n"
        "F\xFCr die Umrechnung werden zwei verschiedene Spannungswerte ben\xF6tigt.",
        "Die beiden Werte in der Einheit sind gleich.\n"
        "F\xFCr die Umrechnung werden zwei verschiedene Werte ben\xF6tigt.",
        "Mit diesen Werten l\xE4sst sich die Skalierung nicht berechnen:\n"
        "Die Umrechnung \xFC"
        "berschreitet den darstellbaren Zahlenbereich.",
    };
    static_assert(std::size(TEXTE) == KONFIG_NICHT_BERECHENBAR + 1);
    double vmin = 0.0, vmax = 0.0, emin = 0.0, emax = 0.0;
    GetCtrlVal(konfigpanelHandle, KONFIGPNL_SKALMIN_VOLT, &vmin);
    GetCtrlVal(konfigpanelHandle, KONFIGPNL_SKALMAX_VOLT, &vmax);
    GetCtrlVal(konfigpanelHandle, KONFIGPNL_SKALMIN_UMGERECHNET, &emin);
    GetCtrlVal(konfigpanelHandle, KONFIGPNL_SKALMAX_UMGERECHNET, &emax);
    return TEXTE[KonfigPruefen(vmin, vmax, emin, emax)];
}

int Callback_Konfig_Button_Ok(int, int, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    if (const char *fehler = SkalierungsFehler()) {
        MessagePopup("Skalierung nicht \xFC"
                     "bernommen",
                     fehler);
        return 0;
    }
    NeueSkalierungSetzen();
    HidePanel(konfigpanelHandle);
    return 0;
}

int Callback_Konfig_Button_Abbruch(int, int, int event, void *, int, int)
{
    if (event == EVENT_COMMIT)
        HidePanel(konfigpanelHandle);
    return 0;
}

int Callback_Konfig_Button_AufStandardwerte(int, int, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    const KonfigStruktur angewendet = gKonfig;
    KonfigstrukturAufStandardwerte();
    KonfigStrukturZuGui();
    gKonfig = angewendet;
    return 0;
}

// ---- device actions -----------------------------------------------------------------------------

static constexpr const char *WARNUNG_TITEL = "Info";
static constexpr const char *WARNUNG_TEXT = "Achtung: Das st\xE4ndige Abfragen der Istwerte beansprucht das TLX-1\n"
                                            "st\xE4rker als im Normalbetrieb.\n"
                                            "Es sind daher Abweichungen im Regelverhalten m\xF6glich!\n"
                                            "Au\xDF"
                                            "erdem k\xF6nnen schnelle Schwingungen hier nicht dargestellt werden. ";

// Marks the panel connected or not: the actual value is live only while connected, and the port
// must not change under an open connection.
static void VerbindungAnzeigen(int verbunden)
{
    SetCtrlAttribute(panelHandle, PANEL_ISTWERT, ATTR_DIMMED, !verbunden);
    SetCtrlAttribute(panelHandle, PANEL_ISTWERTEINHEIT, ATTR_DIMMED, !verbunden);
    SetCtrlAttribute(panelHandle, PANEL_PORT, ATTR_DIMMED, verbunden);
}

// Ends the connection: port closed, panel disconnected, polling off; a step that runs is incomplete.
static void VerbindungBeenden(void)
{
    Diagramm_VerbindungBeendet();
    CloseComPort();
    VerbindungAnzeigen(0);
    SetCtrlVal(panelHandle, PANEL_VERBINDEN, 0);
    abfrageAktiv = 0;
}

// Notes a device that went away during the last device operation while connected: the connection
// ends at once (the port is already closed), and waits for that device to come back.
static void VerlustPruefen(void)
{
    if (!abfrageAktiv || VerlorenesGeraet()[0] == '\0')
        return;
    VerbindungBeenden();
    std::snprintf(wiederGeraet, sizeof wiederGeraet, "%s", VerlorenesGeraet());
    wiederverbindenWartet = 1;
}

// Shows a device action's result, then ends a connection whose device went away.
static void Melden(int code)
{
    FehlerZeigen(code);
    VerlustPruefen();
}

// Opens the port of the ring and starts polling; the warning comes with the first connect of a run.
// A failed open is shown and leaves the toggle off (and the port as OpenComPort left it).
static void Verbinden(void)
{
    const int code = OpenComPort();
    FehlerZeigen(code);
    if (code != 0) {
        SetCtrlVal(panelHandle, PANEL_VERBINDEN, 0);
        return;
    }
    SetCtrlVal(panelHandle, PANEL_VERBINDEN, 1);
    VerbindungAnzeigen(1);
    if (!warnungGezeigt) {
        MessagePopup(WARNUNG_TITEL, WARNUNG_TEXT);
        warnungGezeigt = 1;
    }
    abfrageAktiv = 1;
    // A failure here is shown, but the connection stays.
    Melden(SollwertOderStellwertEintragen());
    Diagramm_SollwertGelesen(GelesenerSollwert());
}

// With the automatic reconnect on: tries once a second at most, and never while a popup waits for
// the operator, to open the device that went away, as long as the PORT ring still names it. An
// attempt that fails shows nothing; the display keeps the loss.
static void WiederVerbindenVersuchen(void)
{
    const double beginn = uhr();
    if (!wiederverbindenWartet || !AutomatischWiederverbinden() || OpenPopupCount() > 0 ||
        beginn - letzterVersuch < abstand)
        return;
    int port = 0;
    GetCtrlVal(panelHandle, PANEL_PORT, &port);
    const bool gleichesGeraet = ComResolve(port).device == wiederGeraet;
    const int code = gleichesGeraet ? OpenComPort() : -1;
    letzterVersuch = uhr();
    abstand = std::fmax(WIEDERVERBINDEN_ABSTAND_S, WIEDERVERBINDEN_FAKTOR * (letzterVersuch - beginn));
    if (code != 0) {
        OKV_Fehleruserstring(nullptr);  // the reason of the failed attempt is not shown
        CloseComPort();
        return;
    }
    wiederverbindenWartet = 0;
    Verbinden();
}

int Callback_Main_Togglebutton_Verbinden(int, int, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    // The operator decides now; a reconnect that was waiting is given up.
    wiederverbindenWartet = 0;
    int verbinden = 0;
    GetCtrlVal(panelHandle, PANEL_VERBINDEN, &verbinden);
    if (!verbinden) {
        Strecke_Abbrechen();
        Diagramm_VerbindungBeendet();
        CloseComPort();
        VerbindungAnzeigen(0);
        abfrageAktiv = 0;
        return 0;
    }
    Verbinden();
    return 0;
}

int Callback_Main_Timer(int, int, int event, void *, int, int)
{
    if (event != EVENT_TIMER_TICK)
        return 0;
    if (!abfrageAktiv) {
        Diagramm_Takt();
        WiederVerbindenVersuchen();
        return 0;
    }
    double volt = 0.0;
    const int code = IstwertLesen(&volt);
    if (code != 0) {
        // A plant test gives the module back its mode and output while the port may still be open.
        Strecke_Abbrechen();
        // No retry: the operator connects again when the module answers again, or the automatic
        // reconnect does when the device came back.
        Melden(code);
        if (abfrageAktiv)
            VerbindungBeenden();
        Diagramm_Takt();
        return 0;
    }
    SetCtrlVal(panelHandle, PANEL_ISTWERT, Umrechnen_VoltZuBenutzereinheit(volt));
    Diagramm_Istwert(volt);
    Strecke_Istwert(volt);
    return 0;
}

int Callback_Main_MultipleControls_Graphzoom(int, int control, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    double lo = 0.0, hi = 0.0;
    if (control == PANEL_GRAPHZOOMZURUECK) {
        lo = Umrechnen_VoltZuBenutzereinheit(0.0);
        hi = Umrechnen_VoltZuBenutzereinheit(10.0);
        SetCtrlVal(panelHandle, PANEL_GRAPHZOOMMIN, lo);
        SetCtrlVal(panelHandle, PANEL_GRAPHZOOMMAX, hi);
    } else {
        SetActiveCtrl(panelHandle, control);  // the operator goes on typing in the same field
        GetCtrlVal(panelHandle, PANEL_GRAPHZOOMMIN, &lo);
        GetCtrlVal(panelHandle, PANEL_GRAPHZOOMMAX, &hi);
        // Only the axis is put in order; the fields keep what was typed.
        if (hi < lo)
            std::swap(lo, hi);
    }
    SetAxisScalingMode(panelHandle, PANEL_STRIPCHART, VAL_LEFT_YAXIS, VAL_MANUAL, lo, hi);
    return 0;
}

int Callback_Main_Numeric_Sollwert(int, int, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    const int code = SollwertSchreiben();
    if (code == 0) {
        double wert = 0.0;
        GetCtrlVal(panelHandle, PANEL_SOLLWERT, &wert);
        Diagramm_SollwertGeschrieben(Umrechnen_BenutzereinheitZuVolt(wert), abfrageAktiv);
    }
    Melden(code);
    SetActiveCtrl(panelHandle, PANEL_SOLLWERT);
    ProtokollFehlerZeigen();
    return 0;
}

int Callback_Main_Numeric_Stellwert(int, int, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    Melden(StellwertSchreiben());
    SetActiveCtrl(panelHandle, PANEL_STELLWERT);
    ProtokollFehlerZeigen();
    return 0;
}

int Callback_Main_Ring_Betriebsart(int, int, int, void *, int, int)
{
    return 0;
}

int Callback_Main_ButtonLesen(int, int, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    const int code = ParametersatzLesen();
    Melden(code);
    SetPrecision();
    if (code == 0)
        SetCtrlVal(panelHandle, PANEL_TEXT, "Parametersatz gelesen");
    return 0;
}

int Callback_Main_Button_Schreiben(int, int, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    // A set that did not come from this module goes out only once the operator has seen what changes.
    if (SchreibenBestaetigen()) {
        double vorher[SATZ_ANZAHL];
        PanelSatz(vorher);
        const int code = ParametersatzSchreiben();
        Melden(code);
        // The fields then show what the module holds now.
        if (code == 0)
            SchreibenPruefen(vorher);
    }
    // The comparison's and the read-back's reads may have found the device gone too.
    VerlustPruefen();
    ProtokollFehlerZeigen();
    return 0;
}

// What an I gain of exactly zero is turned into: the I field never stays at zero.
static constexpr double I_ANTEIL_MINIMUM = 0.0001;

int Callback_Main_Numerics_Parametereingabe(int, int control, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    SetPrecision();
    double stellmin = 0.0, stellmax = 0.0, i = 0.0;
    switch (control) {
    case PANEL_IANTEIL:
        GetCtrlVal(panelHandle, PANEL_IANTEIL, &i);
        if (i == 0.0)
            SetCtrlVal(panelHandle, PANEL_IANTEIL, I_ANTEIL_MINIMUM);
        break;
    case PANEL_STELLMIN:
    case PANEL_STELLMAX:
        // The limit just edited yields to the other one, so they never cross.
        GetCtrlVal(panelHandle, PANEL_STELLMIN, &stellmin);
        GetCtrlVal(panelHandle, PANEL_STELLMAX, &stellmax);
        if (stellmax < stellmin)
            SetCtrlVal(panelHandle, control, control == PANEL_STELLMIN ? stellmax : stellmin);
        break;
    default: break;
    }
    return 0;
}

int Callback_Main_Button_Scann(int, int, int event, void *, int, int)
{
    if (event == EVENT_COMMIT)
        Melden(TLX1Scann());
    return 0;
}

int Callback_Main_Button_IDLesen(int, int, int event, void *, int, int)
{
    if (event == EVENT_COMMIT)
        Melden(IDLesen());
    return 0;
}

// ---- parameter-set files ------------------------------------------------------------------------

void Callback_Menu_Laden(int, int, void *, int)
{
    if (const int code = LeseParameterAusDatei(); code != 0)
        OKV_Fehlerpopup(code);
}

void Callback_Menu_Speichern(int, int, void *, int)
{
    if (const int code = SchreibeParameterInDatei(); code != 0)
        OKV_Fehlerpopup(code);
}

void Callback_Menu_Vergleichen(int, int, void *, int)
{
    if (const int code = SatzVergleichen(); code != 0)
        OKV_Fehlerpopup(code);
    // Reading the module for the comparison may have found the device gone.
    VerlustPruefen();
}
