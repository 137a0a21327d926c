#include "app/TLX1Vergleich.h"

#include "app/Parameterdatei.h"
#include "app/TLX1Com.h"
#include "app/TLX1Func.h"
#include "app/TLX1Konfig.h"
#include "app/TLX1Steuerung.h"
#include "driver/okvtlx1.h"
#include "error/OKV_errorV3.h"
#include "platform/text/textformat.h"
#include "platform/userint/userint.h"
#include "ui/TLX1Steuerung.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <string>

static constexpr int BROADCAST = 9;

static constexpr const char *BETRIEBSARTEN[] = {"Digitaler Sollwert", "Analoger Sollwert", "Stellbetrieb"};

// The rows of the tables in the panel's order top to bottom (indices into PARAMETERFELDER).
static constexpr int ZEILEN[SATZ_ANZAHL] = {0, 1, 2, 4, 5, 3, 6, 7};

// Equal when a write sends both as the same text; a value the driver refuses equals nothing.
static bool GleichGesendet(int i, double voltA, double voltB)
{
    char a[32], b[32];
    return OKVTLX1_WertText(PARAMETERFELDER[i].name, voltA, a, sizeof a) == 0 &&
           OKVTLX1_WertText(PARAMETERFELDER[i].name, voltB, b, sizeof b) == 0 && std::string(a) == b;
}

// A value in the panel's unit without the noise of the unit conversion ("45", not "45.000000000000007").
static std::string Zahl(double wert)
{
    if (!std::isfinite(wert))
        return ZahlText(wert);
    const double gerundet = std::round(wert * 1e9) / 1e9;
    return ZahlText(std::isfinite(gerundet) ? gerundet : wert);
}

// A value of row i as the panel shows it; `volt`: the value is in the module's unit.
static std::string Wert(int i, double wert, bool volt)
{
    if (PARAMETERFELDER[i].control == PANEL_BETRIEBSART && (wert == 1.0 || wert == 2.0 || wert == 3.0))
        return BETRIEBSARTEN[static_cast<int>(wert) - 1];
    if (volt && PARAMETERFELDER[i].skaliert)
        wert = Umrechnen_VoltZuBenutzereinheit(wert);
    return Zahl(wert);
}

// The parameter's name with the unit the panel shows it in.
static std::string Name(int i)
{
    const ParameterFeld &f = PARAMETERFELDER[i];
    const std::string einheit(gKonfig.einheit, strnlen(gKonfig.einheit, sizeof gKonfig.einheit));
    if (f.control == PANEL_ANFANGSSOLLWERT)
        return std::string(f.text) + " [" + einheit + "]";
    if (f.control == PANEL_ANSTIEGSZEIT)
        return std::string(f.text) + " [" + einheit + "/s]";
    if (f.control == PANEL_STELLMIN || f.control == PANEL_STELLMAX)
        return std::string(f.text) + " [V]";
    return f.text;
}

void PanelSatz(double werte[8])
{
    for (int i = 0; i < SATZ_ANZAHL; ++i)
        GetCtrlVal(panelHandle, PARAMETERFELDER[i].control, &werte[i]);
}

static int Ring(int control)
{
    int wert = 0;
    GetCtrlVal(panelHandle, control, &wert);
    return wert;
}

// "an Adresse 3 (COM 1)"
static std::string Modulort(void)
{
    return "an Adresse " + std::to_string(Ring(PANEL_ADRESSE)) + " (COM " + std::to_string(Ring(PANEL_PORT)) + ")";
}

// "403052 Keine Antwort vom Ger\xE4t"
static std::string CodeText(int code)
{
    return std::to_string(-code) + " " + OKV_Fehlermeldung(code);
}

// Where the panel's set came from, to finish "Der Parametersatz im Fenster ...".
static std::string Herkunft(void)
{
    int port = 0, adresse = 0;
    switch (SatzHerkunft(&port, &adresse)) {
    case HERKUNFT_DATEI: return std::string("stammt aus der Datei \"") + SatzHerkunftDatei() + "\"";
    case HERKUNFT_MODUL:
        return "stammt vom Modul an Adresse " + std::to_string(adresse) + " (COM " + std::to_string(port) + ")";
    case HERKUNFT_VORSCHLAG: return "enth\xE4lt P, I und D aus dem Vorschlag von \"Strecke identifizieren\"";
    default: return "enth\xE4lt die Vorgabewerte des Programms";
    }
}

// The table of the panel's values: a header and one tab-separated line per parameter.
static std::string PanelTabelle(const double panel[8])
{
    std::string t = "Parameter\tFenster\n";
    for (int i : ZEILEN)
        t += Name(i) + "\t" + Wert(i, panel[i], false) + "\n";
    return t;
}

static bool Schreiben(const std::string &text)
{
    return GenericMessagePopup("Parametersatz schreiben?", text.c_str(), "Schreiben", "Abbrechen", nullptr) == 1;
}

int SchreibenBestaetigen(void)
{
    double panel[SATZ_ANZAHL], panelVolt[SATZ_ANZAHL], modul[SATZ_ANZAHL];
    PanelSatz(panel);
    PanelSatzVolt(panelVolt);
    if (Ring(PANEL_ADRESSE) == BROADCAST)
        return Schreiben("Der Parametersatz des Fensters geht an alle Module am Bus (Adresse \"alle\").\n"
                         "Die Module antworten darauf nicht; gepr\xFC"
                         "ft wird nichts.\n\n" +
                         PanelTabelle(panel));
    if (SatzVonDiesemModul())
        return 1;

    if (const int code = ModulSatzLesen(modul); code != 0) {
        const bool weiter = Schreiben("Das Modul " + Modulort() + " konnte nicht gelesen werden:\n" + CodeText(code) +
                                      "\n\nDer Parametersatz im Fenster " + Herkunft() + ".\nTrotzdem schreiben?\n\n" +
                                      PanelTabelle(panel));
        if (!weiter)
            FehlerZeigen(code);
        return weiter;
    }
    FehlerZeigen(0);
    std::string zeilen;
    for (int i : ZEILEN)
        if (!GleichGesendet(i, modul[i], panelVolt[i]))
            zeilen += Name(i) + "\t" + Wert(i, modul[i], true) + "\t" + Wert(i, panel[i], false) + "\n";
    if (zeilen.empty()) {
        SatzHerkunftSetzen(HERKUNFT_MODUL, nullptr);
        SetCtrlVal(panelHandle, PANEL_TEXT, "Das Modul hat diesen Parametersatz schon; nichts geschrieben");
        return 0;
    }
    return Schreiben("Der Parametersatz im Fenster " + Herkunft() + ".\nSchreiben \xE4ndert am Modul " + Modulort() +
                     ":\n\nParameter\tModul\tFenster\n" + zeilen);
}

void SchreibenPruefen(const double vorher[8])
{
    if (Ring(PANEL_ADRESSE) == BROADCAST) {
        // The modules do not answer at address 9, so there is nothing to read back.
        SetCtrlVal(panelHandle, PANEL_TEXT,
                   "an alle Module geschrieben (ohne R\xFC"
                   "ckmeldung)");
        return;
    }
    const int code = ParametersatzLesen();
    FehlerZeigen(code);
    SetPrecision();
    if (code != 0) {
        SetCtrlVal(panelHandle, PANEL_TEXT,
                   "Parametersatz geschrieben, aber nicht gepr\xFC"
                   "ft");
        return;
    }
    double nachher[SATZ_ANZAHL];
    PanelSatz(nachher);
    std::string text = "Parametersatz geschrieben und gepr\xFC"
                       "ft";
    const char *trenner = "; gerundet: ";
    for (int i : ZEILEN) {
        // The volts of a scaled field come back through the conversion: a last-digit difference is no rounding.
        const double toleranz = 1e-9 * std::max({1.0, std::fabs(vorher[i]), std::fabs(nachher[i])});
        if (std::fabs(vorher[i] - nachher[i]) > toleranz) {
            text += trenner + std::string(PARAMETERFELDER[i].text) + " " + ZahlText(vorher[i]) + " -> " +
                    Wert(i, nachher[i], false);
            trenner = ", ";
        }
    }
    SetCtrlVal(panelHandle, PANEL_TEXT, text.c_str());
}

// The file's set in volts (transfer order), converted with the file's own scaling.
static void DateiVolt(const Parameterdatei &datei, double volt[SATZ_ANZAHL])
{
    const Parametersatz &s = datei.satz;
    const double werte[SATZ_ANZAHL] = {s.P, s.I, s.D, s.anfangssoll, s.min, s.max, s.anstiegszeit, s.betriebsart};
    const KonfigStruktur angewendet = gKonfig;
    gKonfig = datei.konfig;
    for (int i = 0; i < SATZ_ANZAHL; ++i)
        volt[i] = PARAMETERFELDER[i].skaliert ? Umrechnen_BenutzereinheitZuVolt(werte[i]) : werte[i];
    gKonfig = angewendet;
}

int SatzVergleichen(void)
{
    char pfad[MAX_PATHNAME_LEN] = "";
    if (FileSelectPopup("", "*.tlx", "", "Vergleichen", VAL_LOAD_BUTTON, 0, 1, 1, 0, pfad) == VAL_NO_FILE_SELECTED)
        return 0;
    Parameterdatei datei{};
    if (const int code = Parameterdatei_Lesen(pfad, &datei); code != 0)
        return code;
    double dateiVolt[SATZ_ANZAHL];
    DateiVolt(datei, dateiVolt);
    const char *name = std::strrchr(pfad, '/');
    name = name != nullptr ? name + 1 : pfad;

    do {
        double panel[SATZ_ANZAHL], panelVolt[SATZ_ANZAHL], modul[SATZ_ANZAHL];
        PanelSatz(panel);
        PanelSatzVolt(panelVolt);
        const int code = ModulSatzLesen(modul);
        std::string text = code == 0 ? "Modul " + Modulort() + ", gelesen um " +
                                           Zeitstempel(std::chrono::system_clock::now()).substr(11, 8)
                                     : "Das Modul " + Modulort() + " konnte nicht gelesen werden:\n" + CodeText(code);
        text += "\nDatei: " + Cp1252AusUtf8(name) +
                "\nAlle Werte in den Einheiten des Fensters; * markiert Abweichungen.\n\n"
                "Parameter\tModul\tFenster\tDatei\t\n";
        for (int i : ZEILEN) {
            const bool gleich = GleichGesendet(i, panelVolt[i], dateiVolt[i]) &&
                                (code != 0 || GleichGesendet(i, modul[i], panelVolt[i]));
            text += Name(i) + "\t" + (code == 0 ? Wert(i, modul[i], true) : "-") + "\t" + Wert(i, panel[i], false) +
                    "\t" + Wert(i, dateiVolt[i], true) + "\t" + (gleich ? "" : "*") + "\n";
        }
        if (GenericMessagePopup("Parametersatz vergleichen", text.c_str(), "Modul lesen",
                                "Schlie\xDF"
                                "en",
                                nullptr) != 1)
            return 0;
    } while (true);
}
