#include "app/TLX1Diagramm.h"

#include "analysis/Aufzeichnung.h"
#include "app/TLX1Com.h"
#include "app/TLX1Func.h"
#include "app/TLX1Konfig.h"
#include "app/TLX1Steuerung.h"
#include "platform/text/textformat.h"
#include "platform/userint/userint.h"
#include "ui/TLX1Steuerung.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <string>
#include <vector>

namespace {

// ---- the traces ----------------------------------------------------------------------------------

// The setpoint the module holds as far as the program knows (volts); NaN while unknown.
double sollwert = NAN;

// ---- steps ---------------------------------------------------------------------------------------

// A step of the list with the panel's parameter set at the moment it was written.
struct Sprungeintrag {
    double uhrzeit;            // system clock, s since 1970
    Sprungkennwerte k;         // zustand SPRUNG_LAEUFT while it runs
    double satz[SATZ_ANZAHL];  // PanelSatzVolt
    int vomModul;              // the panel's set came from this module
};

constexpr double kSprungFenster = 60.0;  // s: the figures are final after this at the latest

Sprungverfolgung verfolgung;
std::deque<Sprungeintrag> spruenge;  // newest first

double Systemzeit(void)
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// A voltage difference in the user unit.
double Differenz(double volt)
{
    return Umrechnen_VoltZuBenutzereinheit(volt) - Umrechnen_VoltZuBenutzereinheit(0.0);
}

int Stellen(void)
{
    int stellen = 3;
    GetCtrlAttribute(panelHandle, PANEL_SOLLWERT, ATTR_PRECISION, &stellen);
    return stellen;
}

std::string Zahl(double wert, int stellen)
{
    if (!std::isfinite(wert))
        return "nicht erreicht";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", stellen, wert);
    // "-0.000" reads like a deviation below zero.
    if (text[0] == '-' && std::strspn(text + 1, "0.") == std::strlen(text + 1))
        return text + 1;
    return text;
}

const char *Zustandstext(int zustand)
{
    switch (zustand) {
    case SPRUNG_LAEUFT: return "l\xE4uft";
    case SPRUNG_FERTIG: return "fertig";
    case SPRUNG_UNTERBROCHEN: return "unvollst\xE4ndig: neuer Sollwert";
    case SPRUNG_VERBINDUNG: return "unvollst\xE4ndig: Verbindung beendet";
    case SPRUNG_LUECKE:
        return "unvollst\xE4ndig: L\xFC"
               "cke in den Messwerten";
    case SPRUNG_ZU_KLEIN: return "zu klein";
    default: return "";
    }
}

std::string Sprungtext(const Sprungkennwerte &k, int stellen)
{
    return Zahl(Umrechnen_VoltZuBenutzereinheit(k.anfangswert), stellen) + " auf " +
           Zahl(Umrechnen_VoltZuBenutzereinheit(k.zielwert), stellen);
}

// The figures beside the chart: the newest step.
void NotizZeigen(void)
{
    if (spruenge.empty()) {
        SetStripChartNote(panelHandle, PANEL_STRIPCHART, "");
        return;
    }
    const Sprungkennwerte &k = spruenge.front().k;
    const int stellen = Stellen();
    std::string text = "Sprung " + Sprungtext(k, stellen) + " " + gKonfig.einheit;
    if (k.zustand == SPRUNG_LAEUFT) {
        text += "\nl\xE4uft ...";
    } else if (k.zustand != SPRUNG_FERTIG) {
        text += std::string("\n") + Zustandstext(k.zustand) + " (keine Kennwerte)";
    } else {
        text += "\nAnstiegszeit " + Zahl(k.anstiegszeit, 2) + (std::isfinite(k.anstiegszeit) ? " s" : "");
        text += "\n\xDC"
                "berschwingen " +
                Zahl(k.ueberschwingen, 1) + (std::isfinite(k.ueberschwingen) ? " %" : "");
        text += "\nAusregelzeit " + Zahl(k.ausregelzeit, 2) + (std::isfinite(k.ausregelzeit) ? " s" : "");
        text += "\nbleibende Abweichung " + Zahl(Differenz(k.bleibendeAbweichung), stellen) + " " + gKonfig.einheit;
    }
    SetStripChartNote(panelHandle, PANEL_STRIPCHART, text.c_str());
}

// The list below the controls: a header row, then one row per step, newest first.
void ListeZeigen(void)
{
    const std::string e = gKonfig.einheit;
    std::string t = "Zeit\tSprung [" + e +
                    "]\tAnstiegszeit [s]\t\xDC"
                    "berschwingen [%]\tAusregelzeit [s]\t"
                    "bleibende Abweichung [" +
                    e + "]\tP\tI\tD\tmin [V]\tmax [V]\tAnstieg [" + e + "/s]\tParametersatz\tZustand\n";
    const int stellen = Stellen();
    for (const Sprungeintrag &s : spruenge) {
        char zeit[16] = "";
        const std::time_t sekunden = static_cast<std::time_t>(s.uhrzeit);
        std::tm ortszeit{};
        if (localtime_r(&sekunden, &ortszeit))
            std::strftime(zeit, sizeof zeit, "%H:%M:%S", &ortszeit);
        const Sprungkennwerte &k = s.k;
        const bool fertig = k.zustand == SPRUNG_FERTIG;
        auto kennwert = [&](double wert, int stellen) { return fertig ? Zahl(wert, stellen) : std::string("\x96"); };
        t += std::string(zeit) + "\t" + Sprungtext(k, stellen) + "\t" + kennwert(k.anstiegszeit, 2) + "\t" +
             kennwert(k.ueberschwingen, 1) + "\t" + kennwert(k.ausregelzeit, 2) + "\t" +
             kennwert(Differenz(k.bleibendeAbweichung), stellen) + "\t" + Zahl(s.satz[0], 4) + "\t" +
             Zahl(s.satz[1], 4) + "\t" + Zahl(s.satz[2], 4) + "\t" + Zahl(s.satz[4], 3) + "\t" + Zahl(s.satz[5], 3) +
             "\t" + Zahl(Umrechnen_VoltZuBenutzereinheit(s.satz[6]), 3) + "\t" +
             (s.vomModul ? "vom Modul" : "aus dem Fenster") + "\t" + Zustandstext(k.zustand) + "\n";
    }
    SetCtrlVal(panelHandle, PANEL_SPRUENGE, t.c_str());
}

// The step that ran has ended (or was cut short): its figures replace the running entry.
void SprungBeendet(void)
{
    if (!spruenge.empty() && spruenge.front().k.zustand == SPRUNG_LAEUFT)
        spruenge.front().k = verfolgung.ergebnis;
    NotizZeigen();
    ListeZeigen();
}

// ---- recordings ----------------------------------------------------------------------------------

Aufzeichnung aufzeichnung;
std::string aufzeichnungName;       // file name without the folder (Windows-1252)
int aufzeichnungFehlerGezeigt = 0;  // the current failure was shown; the next success clears it

std::string Dateiname(const char *pfad)
{
    const char *name = std::strrchr(pfad, '/');
    return Cp1252AusUtf8(name ? name + 1 : pfad);
}

void AufzeichnungAnzeigen(const char *zusatz)
{
    std::string text;
    if (aufzeichnung.fd >= 0)
        text = "Aufzeichnung: " + aufzeichnungName + zusatz;
    SetCtrlVal(panelHandle, PANEL_AUFZEICHNUNG, text.c_str());
}

Aufzeichnungspunkt Punkt(double zeit, double sollV, double istV)
{
    const auto t = std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::duration<double>(zeit)));
    return {t, Umrechnen_VoltZuBenutzereinheit(sollV), Umrechnen_VoltZuBenutzereinheit(istV), sollV, istV};
}

// A failure of the running recording: shown once until the file takes rows again.
void AufzeichnungFehler(int rc, const std::string &grund)
{
    if (rc == 0) {
        if (aufzeichnungFehlerGezeigt)
            AufzeichnungAnzeigen("");
        aufzeichnungFehlerGezeigt = 0;
        return;
    }
    if (aufzeichnungFehlerGezeigt)
        return;
    aufzeichnungFehlerGezeigt = 1;
    AufzeichnungAnzeigen(" (Schreibfehler)");
    const std::string text = "Die Aufzeichnung in \"" + aufzeichnungName +
                             "\" kann nicht geschrieben werden.\n\nGrund:\t" + grund +
                             "\n\nDie Messwerte gehen nicht verloren: das Programm h\xE4lt sie fest und schreibt "
                             "sie, sobald die Datei sie wieder annimmt.";
    MessagePopup("Aufzeichnung", text.c_str());
}

// Asks for a file to save into ("Speichern"); false when the operator cancelled.
bool DateiWaehlen(const char *muster, const char *titel, char pfad[MAX_PATHNAME_LEN])
{
    pfad[0] = '\0';
    return FileSelectPopup(Dateiordner(), muster, "", titel, VAL_SAVE_BUTTON, 0, 1, 1, 1, pfad) != VAL_NO_FILE_SELECTED;
}

void SpeicherFehler(const char *titel, const char *pfad, const std::string &grund)
{
    const std::string text = "Die Datei \"" + Dateiname(pfad) + "\" konnte nicht geschrieben werden.\n\nGrund:\t" +
                             grund + "\n\nEine fr\xFChere Datei dieses Namens ist unver\xE4ndert.";
    MessagePopup(titel, text.c_str());
}

}  // namespace

// ---- the chart -------------------------------------------------------------------------------------

void Diagramm_Beginnen(void)
{
    sollwert = NAN;
    verfolgung = Sprungverfolgung{};
    verfolgung.fenster = kSprungFenster;
    spruenge.clear();
    SetStripChartTraces(panelHandle, PANEL_STRIPCHART, "Istwert\nSollwert", 1 << 1);
    Diagramm_SkalierungUebernehmen();
    AufzeichnungAnzeigen("");
}

void Diagramm_SkalierungUebernehmen(void)
{
    // The conversion of Umrechnen_VoltZuBenutzereinheit, applied by the chart to every kept point.
    const double faktor = (gKonfig.einheitmax - gKonfig.einheitmin) / (gKonfig.vmax - gKonfig.vmin);
    SetStripChartConversion(panelHandle, PANEL_STRIPCHART, gKonfig.vmin, gKonfig.einheitmin, faktor);
    NotizZeigen();
    ListeZeigen();
}

void Diagramm_Istwert(double volt)
{
    const double werte[] = {volt, sollwert};
    PlotStripChartPoints(panelHandle, PANEL_STRIPCHART, werte, 2);

    // Only steps the operator writes are followed: the sample carries the setpoint of the step.
    const double soll = verfolgung.hatPunkt ? verfolgung.letzterSoll : sollwert;
    const int zustand = Sprungverfolgung_Punkt(&verfolgung, {Analyse_Jetzt(), soll, volt});
    if (zustand != SPRUNG_LAEUFT && zustand != SPRUNG_KEINER)
        SprungBeendet();

    if (aufzeichnung.fd >= 0) {
        std::string grund;
        const int rc = Aufzeichnung_Zeile(
            &aufzeichnung, AufzeichnungZeile(Punkt(Systemzeit(), sollwert, volt), gKonfig.einheit), &grund);
        AufzeichnungFehler(rc, grund);
    }
}

void Diagramm_Takt(void)
{
    if (aufzeichnung.fd < 0)
        return;
    std::string grund;
    AufzeichnungFehler(Aufzeichnung_Takt(&aufzeichnung, &grund), grund);
}

void Diagramm_SollwertGeschrieben(double volt, int verbunden)
{
    // The same setpoint once more (Enter in the field again) is no step: a running one goes on.
    const bool gleich = volt == sollwert;
    sollwert = volt;
    if (!verbunden || gleich)
        return;
    const int alt = verfolgung.aktiv ? 1 : 0;
    const int rc = Sprungverfolgung_Sollwert(&verfolgung, Analyse_Jetzt(), volt);
    if (alt)
        SprungBeendet();
    if (!verfolgung.aktiv) {
        if (rc == SPRUNG_ZU_KLEIN || verfolgung.ergebnis.zustand == SPRUNG_ZU_KLEIN)
            SetStripChartNote(panelHandle, PANEL_STRIPCHART,
                              "Sollwert geschrieben: Sprung kleiner als 0.01 V, keine Kennwerte");
        return;
    }
    Sprungeintrag e{};
    e.uhrzeit = Systemzeit();
    e.k = Sprungkennwerte{SPRUNG_LAEUFT, verfolgung.start, verfolgung.anfang, verfolgung.ziel, NAN, NAN, NAN, NAN, 0.0};
    PanelSatzVolt(e.satz);
    e.vomModul = SatzVonDiesemModul();
    spruenge.push_front(e);
    while (spruenge.size() > static_cast<std::size_t>(kSpruengeMax))
        spruenge.pop_back();
    MarkStripChart(panelHandle, PANEL_STRIPCHART);
    NotizZeigen();
    ListeZeigen();
}

void Diagramm_SollwertGelesen(double volt)
{
    sollwert = volt;
}

void Diagramm_VerbindungBeendet(void)
{
    if (Sprungverfolgung_Abbrechen(&verfolgung, SPRUNG_VERBINDUNG) != SPRUNG_KEINER)
        SprungBeendet();
    // After a new connect the next step starts from a fresh actual value.
    verfolgung = Sprungverfolgung{};
    verfolgung.fenster = kSprungFenster;
}

void Diagramm_Beenden(void)
{
    if (aufzeichnung.fd < 0)
        return;
    std::string grund;
    if (Aufzeichnung_Beenden(&aufzeichnung, &grund) != 0) {
        const std::string text =
            "Die Aufzeichnung \"" + aufzeichnungName + "\" wurde nicht vollst\xE4ndig geschrieben.\n\nGrund:\t" + grund;
        MessagePopup("Aufzeichnung", text.c_str());
    }
}

int Diagramm_Sprungzahl(void)
{
    return static_cast<int>(spruenge.size());
}

const Sprungkennwerte *Diagramm_Sprung(int index)
{
    return index >= 0 && index < Diagramm_Sprungzahl() ? &spruenge[static_cast<std::size_t>(index)].k : nullptr;
}

// ---- callbacks -------------------------------------------------------------------------------------

int Callback_Main_Diagramm(int, int control, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    if (control == PANEL_ANHALTEN) {
        int angehalten = 0;
        GetCtrlVal(panelHandle, PANEL_ANHALTEN, &angehalten);
        SetStripChartPaused(panelHandle, PANEL_STRIPCHART, angehalten);
        return 0;
    }
    int punkte = 200;
    GetCtrlVal(panelHandle, PANEL_ZEITSPANNE, &punkte);
    SetCtrlAttribute(panelHandle, PANEL_STRIPCHART, ATTR_POINTS_PER_SCREEN, punkte);
    // Five divisions, one point per 0.1 s.
    const double sekunden = punkte * 0.1 / 5.0;
    char name[32];
    if (sekunden < 60.0)
        std::snprintf(name, sizeof name, "%g s / div", sekunden);
    else
        std::snprintf(name, sizeof name, "%g min / div", sekunden / 60.0);
    SetCtrlAttribute(panelHandle, PANEL_STRIPCHART, ATTR_XNAME, name);
    return 0;
}

void Callback_Menu_AufzeichnungSpeichern(int, int, void *, int)
{
    std::vector<ChartPoint> punkte;
    GetStripChartHistory(panelHandle, PANEL_STRIPCHART, &punkte);
    if (punkte.empty()) {
        MessagePopup("Aufzeichnung speichern", "Das Diagramm enth\xE4lt noch keine Messwerte.\n"
                                               "Messwerte kommen, solange das Programm mit dem Modul verbunden ist.");
        return;
    }
    char pfad[MAX_PATHNAME_LEN];
    if (!DateiWaehlen("*.csv", "Aufzeichnung speichern", pfad))
        return;
    std::string inhalt(kAufzeichnungKopf);
    inhalt += "\n";
    for (const ChartPoint &p : punkte)
        inhalt += AufzeichnungZeile(Punkt(p.time, p.raw[1], p.raw[0]), gKonfig.einheit);
    std::string grund;
    if (DateiErsetzen(pfad, inhalt, &grund) != 0) {
        SpeicherFehler("Aufzeichnung nicht gespeichert", pfad, grund);
        return;
    }
    const std::string text = std::to_string(punkte.size()) + " Messpunkte gespeichert in " + Dateiname(pfad);
    SetCtrlVal(panelHandle, PANEL_TEXT, text.c_str());
}

void Callback_Menu_BildSpeichern(int, int, void *, int)
{
    char pfad[MAX_PATHNAME_LEN];
    if (!DateiWaehlen("*.png", "Diagramm als Bild speichern", pfad))
        return;
    std::string png;
    if (GetCtrlImagePng(panelHandle, PANEL_STRIPCHART, &png) != 0) {
        MessagePopup("Bild nicht gespeichert", "Das Diagramm ist nicht zu sehen und kann daher nicht als Bild "
                                               "gespeichert werden.");
        return;
    }
    std::string grund;
    if (DateiErsetzen(pfad, png, &grund) != 0) {
        SpeicherFehler("Bild nicht gespeichert", pfad, grund);
        return;
    }
    const std::string text = "Diagramm gespeichert in " + Dateiname(pfad);
    SetCtrlVal(panelHandle, PANEL_TEXT, text.c_str());
}

void Callback_Menu_AufzeichnungStarten(int, int, void *, int)
{
    if (aufzeichnung.fd >= 0) {
        const std::string text = "Es l\xE4uft schon eine Aufzeichnung in \"" + aufzeichnungName +
                                 "\".\n\nSie beenden und eine neue Datei beginnen?";
        if (GenericMessagePopup("Aufzeichnung starten", text.c_str(), "Neue Aufzeichnung", "Abbrechen", nullptr) != 1)
            return;
    }
    char pfad[MAX_PATHNAME_LEN];
    if (!DateiWaehlen("*.csv", "Aufzeichnung starten", pfad))
        return;
    Diagramm_Beenden();
    std::string grund;
    if (Aufzeichnung_Starten(&aufzeichnung, pfad, kAufzeichnungKopf, &grund) != 0) {
        const std::string text =
            "Die Datei \"" + Dateiname(pfad) + "\" kann nicht angelegt werden.\n\nGrund:\t" + grund;
        MessagePopup("Aufzeichnung nicht gestartet", text.c_str());
        AufzeichnungAnzeigen("");
        return;
    }
    aufzeichnungName = Dateiname(pfad);
    aufzeichnungFehlerGezeigt = 0;
    AufzeichnungAnzeigen("");
}

void Callback_Menu_AufzeichnungBeenden(int, int, void *, int)
{
    if (aufzeichnung.fd < 0) {
        MessagePopup("Aufzeichnung beenden", "Es l\xE4uft keine Aufzeichnung.");
        return;
    }
    std::string grund;
    if (Aufzeichnung_Beenden(&aufzeichnung, &grund) == 0) {
        const std::string text = "Aufzeichnung beendet: " + aufzeichnungName;
        SetCtrlVal(panelHandle, PANEL_TEXT, text.c_str());
        AufzeichnungAnzeigen("");
        return;
    }
    AufzeichnungAnzeigen("");
    std::string text =
        "Die Aufzeichnung \"" + aufzeichnungName + "\" wurde nicht vollst\xE4ndig geschrieben.\n\nGrund:\t" + grund;
    if (aufzeichnung.offen.empty()) {
        MessagePopup("Aufzeichnung beenden", text.c_str());
        return;
    }
    // What the file did not take is still here: it may go into another file.
    text += "\n\nDie letzten Messwerte fehlen in der Datei. Sie k\xF6nnen sie in eine andere Datei speichern.";
    while (GenericMessagePopup("Aufzeichnung beenden", text.c_str(), "Anderswo speichern...", "Verwerfen", nullptr) ==
           1) {
        char pfad[MAX_PATHNAME_LEN];
        if (!DateiWaehlen("*.csv", "Fehlende Messwerte speichern", pfad))
            continue;
        if (DateiErsetzen(pfad, std::string(kAufzeichnungKopf) + "\n" + aufzeichnung.offen, &grund) == 0) {
            aufzeichnung.offen.clear();
            return;
        }
        text = "Auch \"" + Dateiname(pfad) + "\" konnte nicht geschrieben werden.\n\nGrund:\t" + grund;
    }
    aufzeichnung.offen.clear();
}
