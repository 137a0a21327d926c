#include "app/TLX1Hilfe.h"

#include "app/TLX1Konfig.h"
#include "app/TLX1SchnittstellenFenster.h"
#include "app/TLX1Steuerung.h"
#include "platform/desktop/desktop.h"
#include "platform/text/textformat.h"
#include "platform/userint/userint.h"
#include "ui/TLX1Steuerung.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

// ---- the operator manual ------------------------------------------------------------------------

static constexpr const char *HANDBUCH_TITEL = "TLX-1 Steuerung \x96 Handbuch";
// Where the manual is looked for below an installation's prefix: the program's own data (always
// installed), then the documentation folder (which minimal systems may leave out).
static constexpr const char *INSTALLIERT[] = {"/share/tlx1steuerung/handbuch.md",
                                              "/share/doc/tlx1steuerung/handbuch.md"};

// Places set by a test; empty: the usual ones.
static std::vector<std::string> testOrte;

static std::vector<std::string> HandbuchOrte(void)
{
    if (!testOrte.empty())
        return testOrte;
    std::vector<std::string> orte;
    const std::string programm = ProgrammOrdner();
    for (const char *ort : INSTALLIERT) {
        if (!programm.empty())
            orte.push_back(programm + "/.." + ort);
        orte.push_back(std::string("/usr") + ort);
    }
    // Run from a build folder inside the source tree (build/app, build/tests/app): the tree's docs/.
    if (!programm.empty())
        for (std::string hoch = "/.."; hoch.size() <= 9; hoch += "/..")
            orte.push_back(programm + hoch + "/docs/handbuch.md");
    return orte;
}

void Handbuch_OrteSetzen(const char *const *orte, int anzahl)
{
    testOrte.clear();
    for (int i = 0; orte != nullptr && i < anzahl; ++i)
        testOrte.emplace_back(orte[i]);
}

int Handbuch_Zeigen(void)
{
    const std::vector<std::string> orte = HandbuchOrte();
    for (const std::string &ort : orte)
        if (ShowHelpFile(HANDBUCH_TITEL, ort.c_str()) == 0)
            return 0;
    std::string text = "Das Bedienhandbuch (handbuch.md) wurde an keinem dieser Orte gefunden:\n\n";
    for (const std::string &ort : orte)
        text += Cp1252AusUtf8(ort) + "\n";
    text += "\nDas Paket tlx1steuerung installiert es nach /usr/share/tlx1steuerung/; wer es dort "
            "gel\xF6scht hat,\ninstalliert das Paket erneut oder kopiert docs/handbuch.md mit dem Ordner "
            "docs/bilder dorthin.\nDas Programm arbeitet auch ohne Handbuch weiter.";
    MessagePopup("Handbuch nicht gefunden", text.c_str());
    return -1;
}

void Callback_Menu_Handbuch(int, int, void *, int)
{
    Handbuch_Zeigen();
}

// ---- tooltips -----------------------------------------------------------------------------------

// The unit a field's value is in.
enum Einheit {
    OHNE,           // none, or shown in the meaning
    VOLT,           // always volts
    SKALIERT,       // the scaling's unit
    SKALIERT_JE_S,  // the scaling's unit per second
};

struct Feldhilfe {
    int control;
    const char *bedeutung;
    Einheit einheit;
};

// clang-format off
static constexpr Feldhilfe HAUPTFENSTER[] = {
    {PANEL_PANTEIL,          "P-Anteil: Verst\xE4rkung des Proportionalanteils (zum Modul mit Schreiben)", OHNE},
    {PANEL_IANTEIL,          "I-Anteil: Verst\xE4rkung des Integralanteils; 0 wird zu 0.0001 (zum Modul mit Schreiben)", OHNE},
    {PANEL_DANTEIL,          "D-Anteil: Verst\xE4rkung des Differentialanteils (zum Modul mit Schreiben)", OHNE},
    {PANEL_STELLMIN,         "Untere Grenze der Stellgr\xF6\xDF" "e (zum Modul mit Schreiben)", VOLT},
    {PANEL_STELLMAX,         "Obere Grenze der Stellgr\xF6\xDF" "e (zum Modul mit Schreiben)", VOLT},
    {PANEL_ANFANGSSOLLWERT,  "Sollwert, mit dem das Modul nach dem Einschalten regelt (zum Modul mit Schreiben)", SKALIERT},
    {PANEL_ANSTIEGSZEIT,     "Wie schnell sich der Sollwert h\xF6" "chstens \xE4ndert (zum Modul mit Schreiben)", SKALIERT_JE_S},
    {PANEL_BETRIEBSART,      "Betriebsart: Digitaler Sollwert (Sollwert \xFC" "ber den Bus), Analoger Sollwert\n"
                             "(Sollwert vom Analogeingang), Stellbetrieb (Stellgr\xF6\xDF" "e von Hand)", OHNE},
    {PANEL_LESEN,            "Holt den Parametersatz des gew\xE4hlten Moduls in die Felder", OHNE},
    {PANEL_SCHREIBEN,        "Sendet die Felder als Parametersatz an das gew\xE4hlte Modul und pr\xFC" "ft ihn", OHNE},
    {PANEL_VERBINDEN,        "\xD6" "ffnet die Schnittstelle und fragt den Istwert zehnmal je Sekunde ab;\n"
                             "noch einmal gedr\xFC" "ckt, trennt es. Mit der Tastatur: Leertaste", OHNE},
    {PANEL_STELLWERT,        "Stellgr\xF6\xDF" "e f\xFC" "r den Stellbetrieb; Enter schreibt sie sofort auf das Modul", VOLT},
    {PANEL_SOLLWERT,         "Sollwert; Enter schreibt ihn sofort auf das Modul", SKALIERT},
    {PANEL_ISTWERT,          "Der zuletzt gelesene Istwert, w\xE4hrend einer Verbindung", SKALIERT},
    {PANEL_GRAPHZOOMMIN,     "Unteres Ende der Achse des Diagramms", SKALIERT},
    {PANEL_GRAPHZOOMMAX,     "Oberes Ende der Achse des Diagramms", SKALIERT},
    {PANEL_GRAPHZOOMZURUECK, "Stellt die Achse des Diagramms wieder auf 0 bis 10 V am TLX-1", OHNE},
    {PANEL_ADRESSE,          "Adresse des Moduls, mit dem gearbeitet wird; \"alle\" (9) nur zum Schreiben", OHNE},
    {PANEL_PORT,             "Serielle Schnittstelle; w\xE4hrend einer Verbindung gesperrt", OHNE},
    {PANEL_SCANN,            "Fragt die Adressen 1 bis 8 nach ihrer Kennung; die Lampen zeigen das Ergebnis.\n"
                             "W\xE4hrend der Suche beendet es die Suche", OHNE},
    {PANEL_IDLESEN,          "Liest die Kennung des gew\xE4hlten Moduls", OHNE},
    {PANEL_FEHLERLED,        "Leuchtet, wenn die letzte Aktion mit dem Modul fehlschlug", OHNE},
    {PANEL_FEHLERNUMMER,     "Nummer des letzten Fehlers (Handbuch, Kapitel Fehlernummern)", OHNE},
    {PANEL_FEHLERSTRING,     "Text des letzten Fehlers", OHNE},
    {PANEL_IDSTRING,         "Die zuletzt gelesene Kennung eines TLX-1", OHNE},
    {PANEL_ZEITSPANNE,       "Wie viel das Diagramm zeigt; behalten wird die letzte Stunde", OHNE},
    {PANEL_ANHALTEN,         "H\xE4lt das Diagramm an, w\xE4hrend weiter gemessen wird; dann bl\xE4ttern Ziehen\n"
                             "und Mausrad zur\xFC" "ck. Weiter zeigt wieder die neuesten Punkte", OHNE},
    {PANEL_SPRUENGE,         "Die letzten 20 Sollwertspr\xFCnge mit ihren Kennwerten und dem Parametersatz dabei", OHNE},
};
static constexpr Feldhilfe SKALIERUNG[] = {
    {KONFIGPNL_SKALMIN_VOLT,        "Erste Spannung am TLX-1", VOLT},
    {KONFIGPNL_SKALMAX_VOLT,        "Zweite Spannung am TLX-1", VOLT},
    {KONFIGPNL_SKALMIN_UMGERECHNET, "Wert, als der die erste Spannung erscheint", OHNE},
    {KONFIGPNL_SKALMAX_UMGERECHNET, "Wert, als der die zweite Spannung erscheint", OHNE},
    {KONFIGPNL_SKAL_EINHEIT,        "Name der Einheit, h\xF6" "chstens 5 Zeichen", OHNE},
    {KONFIGPNL_AUFSTANDARDWERTE,    "Tr\xE4gt 0 bis 10 V als 0 bis 10 V ein; \xFC" "bernommen wird erst mit Ok", OHNE},
    {KONFIGPNL_ABBRUCH,             "Schlie\xDFt das Fenster, ohne etwas zu \xE4ndern (Esc)", OHNE},
    {KONFIGPNL_OK,                  "\xDC" "bernimmt die Skalierung (Enter)", OHNE},
};
static constexpr Feldhilfe SCHNITTSTELLEN[] = {
    {SCHNITTPNL_WIEDERVERBINDEN, "Verbindet nach einer verlorenen Verbindung von selbst wieder, sobald das Ger\xE4t\n"
                                 "zur\xFC" "ck ist (h\xF6" "chstens einmal je Sekunde)", OHNE},
    {SCHNITTPNL_ABBRUCH,         "Schlie\xDF" "t das Fenster, ohne etwas zu \xE4ndern (Esc)", OHNE},
    {SCHNITTPNL_OK,              "\xDC" "bernimmt die Zuordnung; gespeichert wird sie beim Beenden (Enter)", OHNE},
};
// clang-format on

// A range limit for reading: at most six significant digits, never an exponent.
static std::string Grenze(double wert)
{
    char text[64];
    if (std::fabs(wert) < 1e6)
        std::snprintf(text, sizeof text, "%.6g", wert);
    else
        std::snprintf(text, sizeof text, "%.0f", wert);
    return std::string(text) == "-0" ? "0" : text;
}

static void HilfeSetzen(int panel, const Feldhilfe &feld)
{
    std::string einheit;
    switch (feld.einheit) {
    case OHNE: break;
    case VOLT: einheit = "V"; break;
    case SKALIERT: einheit = gKonfig.einheit; break;
    case SKALIERT_JE_S: einheit = std::string(gKonfig.einheit) + "/s"; break;
    }
    std::string text = feld.bedeutung;
    // A range only where the operator types a number; an indicator's range tells nothing.
    int art = -1;
    double min = 0.0, max = 0.0;
    GetCtrlAttribute(panel, feld.control, ATTR_CTRL_KIND, &art);
    const bool eingabe = art == CTRL_NUMERIC && GetCtrlAttribute(panel, feld.control, ATTR_MIN_VALUE, &min) == 0 &&
                         GetCtrlAttribute(panel, feld.control, ATTR_MAX_VALUE, &max) == 0;
    if (eingabe && std::isfinite(min) && std::isfinite(max))
        text += "\nBereich: " + Grenze(min) + " bis " + Grenze(max) + (einheit.empty() ? "" : " " + einheit);
    else if (!einheit.empty())
        text += "\nEinheit: " + einheit;
    SetCtrlAttribute(panel, feld.control, ATTR_TOOLTIP, text.c_str());
}

void Feldhilfe_Setzen(void)
{
    for (const Feldhilfe &feld : HAUPTFENSTER)
        HilfeSetzen(panelHandle, feld);
    for (const Feldhilfe &feld : SKALIERUNG)
        HilfeSetzen(konfigpanelHandle, feld);
    for (const Feldhilfe &feld : SCHNITTSTELLEN)
        HilfeSetzen(schnittstellenpanelHandle, feld);
    for (int n = 1; n <= 8; ++n) {
        const std::string text = "Ger\xE4t f\xFC"
                                 "r COM " +
                                 std::to_string(n) +
                                 ": aus der Liste w\xE4hlen oder eintippen, z. B. /dev/ttyUSB0,\n"
                                 "/dev/serial/by-id/..., tcp://RECHNER:PORT oder rfc2217://RECHNER:PORT;\n"
                                 "leer: /dev/ttyS" +
                                 std::to_string(n - 1);
        SetCtrlAttribute(schnittstellenpanelHandle, SCHNITTPNL_COM1 + n - 1, ATTR_TOOLTIP, text.c_str());
    }
}
