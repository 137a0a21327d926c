#include "app/TLX1Func.h"

#include "app/Parameterdatei.h"
#include "app/TLX1Com.h"
#include "app/TLX1Diagramm.h"
#include "app/TLX1Hilfe.h"
#include "app/TLX1Konfig.h"
#include "app/TLX1Schnittstellen.h"
#include "app/TLX1Steuerung.h"
#include "ini/IniStore.h"
#include "platform/desktop/desktop.h"
#include "platform/text/textformat.h"
#include "platform/userint/userint.h"
#include "tlx1_version.h"
#include "ui/TLX1Steuerung.h"

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// ---- scaling and display precision --------------------------------------------------------------

double Umrechnen_VoltZuBenutzereinheit(double volt)
{
    const double faktor = (gKonfig.einheitmax - gKonfig.einheitmin) / (gKonfig.vmax - gKonfig.vmin);
    return (volt - gKonfig.vmin) * faktor + gKonfig.einheitmin;
}

double Umrechnen_BenutzereinheitZuVolt(double wert)
{
    const double faktor = (gKonfig.vmax - gKonfig.vmin) / (gKonfig.einheitmax - gKonfig.einheitmin);
    return (wert - gKonfig.einheitmin) * faktor + gKonfig.vmin;
}

// Gives a numeric control the range from the smaller to the larger of a and b.
static void BereichSetzen(int panel, int control, double a, double b)
{
    if (b < a) {
        const double t = a;
        a = b;
        b = t;
    }
    // Open the lower end first so that the new maximum is never refused for lying below the old
    // minimum.
    SetCtrlAttribute(panel, control, ATTR_MIN_VALUE, -HUGE_VAL);
    SetCtrlAttribute(panel, control, ATTR_MAX_VALUE, b);
    SetCtrlAttribute(panel, control, ATTR_MIN_VALUE, a);
}

// Most decimals a numeric display can show meaningfully for a double.
static constexpr int MAX_NACHKOMMASTELLEN = 15;
// Steps of the module's 12-bit output across 0 V to 10 V.
static constexpr double SCHRITTE_0_BIS_10V = 4095.0;

// Fewest decimals for which one unit of the last decimal is no larger than one step of the span.
// A zero span would ask for infinitely many decimals, an infinite one for minus infinity, a NaN span
// for none at all: the result is clamped to 0..15 and a non-finite value never becomes an int.
static int NachkommastellenAusSpanne(double spanne)
{
    const double stellen = std::ceil(-std::log10(spanne / SCHRITTE_0_BIS_10V));
    if (std::isnan(stellen) || stellen < 0.0)
        return 0;
    if (stellen > MAX_NACHKOMMASTELLEN)
        return MAX_NACHKOMMASTELLEN;
    return static_cast<int>(std::lround(stellen));
}

// The main panel's values that are shown in the user unit and rescaled with the scaling.
// clang-format off
static constexpr std::array SKALIERTE_WERTE = {
    PANEL_ANFANGSSOLLWERT, PANEL_ANSTIEGSZEIT, PANEL_SOLLWERT,
    PANEL_ISTWERT,         PANEL_GRAPHZOOMMIN, PANEL_GRAPHZOOMMAX,
};
// clang-format on
static_assert(SKALIERTE_WERTE.size() == 6);

// Unit labels and their formats.
struct EinheitLabel {
    int control;
    const char *format;
};
// clang-format off
static constexpr std::array<EinheitLabel, 6> EINHEIT_LABELS = {{
    {PANEL_ANFANGSSOLLWERTEINHEI, "[%.5s]"},
    {PANEL_SOLLWERTEINHEIT,       "[%.5s]"},
    {PANEL_ISTWERTEINHEIT,        "[%.5s]"},
    {PANEL_ZOOMMINEINHEIT,        "[%.5s]"},
    {PANEL_ZOOMMAXEINHEIT,        "[%.5s]"},
    {PANEL_ANSTEIGSZEITEINHEIT,   "[%.5s/s]"},
}};
// clang-format on

// Controls whose decimals follow the scaling.
static constexpr std::array SKALIERTE_STELLEN = {PANEL_ANFANGSSOLLWERT, PANEL_SOLLWERT, PANEL_ISTWERT};

void NeueSkalierungSetzen(void)
{
    // Values in volts under the scaling still in force.
    std::array<double, SKALIERTE_WERTE.size()> volt{};
    for (std::size_t i = 0; i < SKALIERTE_WERTE.size(); ++i) {
        double wert = 0.0;
        GetCtrlVal(panelHandle, SKALIERTE_WERTE[i], &wert);
        volt[i] = Umrechnen_BenutzereinheitZuVolt(wert);
    }

    GetCtrlVal(konfigpanelHandle, KONFIGPNL_SKALMIN_VOLT, &gKonfig.vmin);
    GetCtrlVal(konfigpanelHandle, KONFIGPNL_SKALMAX_VOLT, &gKonfig.vmax);
    GetCtrlVal(konfigpanelHandle, KONFIGPNL_SKALMIN_UMGERECHNET, &gKonfig.einheitmin);
    GetCtrlVal(konfigpanelHandle, KONFIGPNL_SKALMAX_UMGERECHNET, &gKonfig.einheitmax);
    GetCtrlVal(konfigpanelHandle, KONFIGPNL_SKAL_EINHEIT, gKonfig.einheit, sizeof gKonfig.einheit);

    const double lo = Umrechnen_VoltZuBenutzereinheit(0.0);
    const double hi = Umrechnen_VoltZuBenutzereinheit(10.0);
    BereichSetzen(panelHandle, PANEL_ANFANGSSOLLWERT, lo, hi);
    BereichSetzen(panelHandle, PANEL_ANSTIEGSZEIT, lo, Umrechnen_VoltZuBenutzereinheit(1000.0));
    BereichSetzen(panelHandle, PANEL_SOLLWERT, lo, hi);
    BereichSetzen(panelHandle, PANEL_GRAPHZOOMMIN, lo, hi);
    BereichSetzen(panelHandle, PANEL_GRAPHZOOMMAX, lo, hi);

    std::array<double, SKALIERTE_WERTE.size()> neu{};
    for (std::size_t i = 0; i < SKALIERTE_WERTE.size(); ++i) {
        neu[i] = Umrechnen_VoltZuBenutzereinheit(volt[i]);
        SetCtrlVal(panelHandle, SKALIERTE_WERTE[i], neu[i]);
    }

    char text[32];
    for (const EinheitLabel &label : EINHEIT_LABELS) {
        std::snprintf(text, sizeof text, label.format, gKonfig.einheit);
        SetCtrlVal(panelHandle, label.control, text);
    }

    double zoomMin = neu[4], zoomMax = neu[5];
    if (zoomMax < zoomMin) {
        zoomMin = neu[5];
        zoomMax = neu[4];
    }
    SetAxisScalingMode(panelHandle, PANEL_STRIPCHART, VAL_LEFT_YAXIS, VAL_MANUAL, zoomMin, zoomMax);
    std::snprintf(text, sizeof text, "Istwert [%.5s]", gKonfig.einheit);
    SetCtrlAttribute(panelHandle, PANEL_STRIPCHART, ATTR_YNAME, text);

    const int stellen = NachkommastellenAusSpanne(hi >= lo ? hi - lo : lo - hi);
    for (int control : SKALIERTE_STELLEN)
        SetCtrlAttribute(panelHandle, control, ATTR_PRECISION, stellen);
    // Ranges and units in the tooltips follow.
    Feldhilfe_Setzen();
    // The chart converts its kept points, so no false step appears; the step list follows.
    Diagramm_SkalierungUebernehmen();
}

// Thresholds of |v| at which the gains lose one decimal, starting from 4.
static constexpr std::array<double, 4> GAIN_SCHWELLEN = {10.0, 100.0, 1000.0, 10000.0};
static constexpr std::array GAIN_FELDER = {PANEL_PANTEIL, PANEL_IANTEIL, PANEL_DANTEIL};

void SetPrecision(void)
{
    for (int control : GAIN_FELDER) {
        double wert = 0.0;
        GetCtrlVal(panelHandle, control, &wert);
        int stellen = 4;
        for (double schwelle : GAIN_SCHWELLEN)
            if (std::fabs(wert) >= schwelle)
                --stellen;
        SetCtrlAttribute(panelHandle, control, ATTR_PRECISION, stellen);
    }
}

// ---- settings file ------------------------------------------------------------------------------

static constexpr const char *INI_SEKTION = "TLX1";

static constexpr int FEHLER_INI_SCHREIBEN = -800108;
static constexpr int FEHLER_INI_LESEN = -801110;
static constexpr int FEHLER_INI_NICHT_GEFUNDEN = -802109;

// Sets a ring from an integer item when the item is there, is an integer and lies in first..last.
static void RingAusIni(IniStore *ini, const char *item, int control, int first, int last)
{
    int wert = 0;
    if (Ini_GetInt(ini, INI_SEKTION, item, &wert) > 0 && wert >= first && wert <= last)
        SetCtrlVal(panelHandle, control, wert);
}

// A double item into *wert unless it is absent or blank, or its number is not finite or beyond the
// range of doubles (nan, inf, 1e400, 1e-400): such a number counts as absent. Otherwise the value is
// taken as the store read it. True when *wert was set.
static bool ZahlAusIni(IniStore *ini, const char *item, double *wert)
{
    double gelesen = 0.0;
    const int ergebnis = Ini_GetDouble(ini, INI_SEKTION, item, &gelesen);
    if (ergebnis == 0)
        return false;
    // Too small a number comes back as zero or subnormal with the store's "invalid number".
    const int art = std::fpclassify(gelesen);
    if (art != FP_NORMAL && !(art == FP_ZERO && ergebnis > 0))
        return false;
    *wert = gelesen;
    return true;
}

// Sets a numeric field from a double item that ZahlAusIni takes.
static void FeldAusIni(IniStore *ini, const char *item, int control)
{
    double wert = 0.0;
    if (ZahlAusIni(ini, item, &wert))
        SetCtrlVal(panelHandle, control, wert);
}

// Where the settings live: the per-user folder ("" in the current folder), the file's path, and the
// folder of the file dialogs.
static char iniOrdner[MAX_PATHNAME_LEN] = "";
static char iniDatei[MAX_PATHNAME_LEN] = "tlx1steuerung.ini";
static char dateiOrdner[MAX_PATHNAME_LEN] = "";
static char iniAnzeige[MAX_PATHNAME_LEN] = "";
static char schreibGrund[256] = "";

// The per-user folder; its parents too, as the desktop's conventions ask, readable only by the user.
static constexpr unsigned ORDNER_MODUS = 0700;

static void Kopieren(char *ziel, std::size_t groesse, const std::string &text)
{
    std::snprintf(ziel, groesse, "%s", text.c_str());
}

void EinstellungsortWaehlen(int proBenutzer)
{
    iniOrdner[0] = '\0';
    dateiOrdner[0] = '\0';
    Kopieren(iniDatei, sizeof iniDatei, TLX1_INI_DATEI);
    if (proBenutzer) {
        const std::string konfig = KonfigurationsOrdner();
        // Without a home folder there is no per-user place: the current folder is the only one left.
        if (!konfig.empty()) {
            const std::string ordner = konfig + "/tlx1steuerung";
            Kopieren(iniOrdner, sizeof iniOrdner, ordner);
            Kopieren(iniDatei, sizeof iniDatei, ordner + "/" + TLX1_INI_DATEI);
            // A failure here shows when the settings are written at the end.
            OrdnerAnlegen(ordner, ORDNER_MODUS);
        }
        // The dialog takes Windows-1252 like every text of the window.
        Kopieren(dateiOrdner, sizeof dateiOrdner, Cp1252AusUtf8(DokumenteOrdner()));
    }
    std::string anzeige = iniDatei;
    if (anzeige[0] != '/') {
        char cwd[MAX_PATHNAME_LEN];
        if (getcwd(cwd, sizeof cwd) != nullptr)
            anzeige = std::string(cwd) + "/" + anzeige;
    }
    Kopieren(iniAnzeige, sizeof iniAnzeige, Cp1252AusUtf8(anzeige));
}

const char *Einstellungsdatei(void)
{
    return iniDatei;
}

const char *Einstellungsdatei_Anzeige(void)
{
    return iniAnzeige;
}

const char *Dateiordner(void)
{
    return dateiOrdner;
}

const char *WriteIni_Grund(void)
{
    return schreibGrund;
}

// The operator's words for why the file `pfad` could not be written: from errno where the system
// gave one, else from what stands at the path (the store refuses anything but a regular file without
// an errno), else from the INI store's result.
static const char *SchreibGrund(int fehler, int iniErgebnis, const char *pfad)
{
    struct stat info;
    if (fehler == 0 && stat(pfad, &info) == 0 && !S_ISREG(info.st_mode))
        fehler = S_ISDIR(info.st_mode) ? EISDIR : -1;
    if (fehler == -1)
        return "An der Stelle der Datei steht keine gew\xF6hnliche Datei (z. B. eine Pipe).";
    switch (fehler) {
    case EACCES:
    case EPERM: return "Keine Schreibberechtigung f\xFCr den Ordner oder die Datei.";
    case EROFS: return "Das Dateisystem ist schreibgesch\xFCtzt.";
    case ENOSPC: return "Kein Platz mehr auf dem Datentr\xE4ger.";
    case EDQUOT: return "Das Speicherkontingent ist ersch\xF6pft.";
    case ENOENT: return "Der Ordner existiert nicht.";
    case ENOTDIR: return "Ein Teil des Pfades ist kein Ordner, sondern eine Datei.";
    case EISDIR: return "An der Stelle der Datei steht ein Ordner.";
    case ENAMETOOLONG:
    case ELOOP: return "Der Pfad ist ung\xFCltig.";
    case EIO: return "Ein-/Ausgabefehler des Datentr\xE4gers.";
    default: break;
    }
    switch (iniErgebnis) {
    case INI_ERR_ACCESS_DENIED: return "Die Datei kann nicht geschrieben werden.";
    case INI_ERR_DISK_FULL: return "Kein Platz mehr auf dem Datentr\xE4ger.";
    case INI_ERR_NOT_FOUND: return "Der Ordner existiert nicht.";
    case INI_ERR_OUT_OF_MEMORY: return "Zu wenig Arbeitsspeicher.";
    default: return "Ein-/Ausgabefehler beim Schreiben.";
    }
}

// Puts a double item, unless it is not finite: the file never holds nan or inf, and the next start
// keeps its default for it.
static void ZahlInIni(IniStore *ini, const char *item, double wert)
{
    if (std::isfinite(wert))
        Ini_PutDouble(ini, INI_SEKTION, item, wert);
}

int LoadIni(void)
{
    KonfigstrukturAufStandardwerte();

    IniStore *ini = Ini_New(1);
    const int gelesen = Ini_ReadFromFile(ini, iniDatei);
    // The COM map and the reconnect switch come from this file only: none when it cannot be read.
    SchnittstellenAusIni(gelesen < 0 ? nullptr : ini);
    if (gelesen < 0) {
        Ini_Dispose(ini);
        // The store reports every failure to open alike; ask the file system whether the file is there.
        struct stat info;
        const bool fehlt = stat(iniDatei, &info) != 0 && errno == ENOENT;
        return fehlt ? FEHLER_INI_NICHT_GEFUNDEN : FEHLER_INI_LESEN;
    }

    RingAusIni(ini, "comport", PANEL_PORT, 1, 8);
    RingAusIni(ini, "adresse", PANEL_ADRESSE, 1, 9);

    // A scaling that cannot be applied (equal points, a factor beyond doubles) is ignored as a
    // whole, as the scaling dialog refuses it.
    KonfigStruktur skalierung = gKonfig;
    ZahlAusIni(ini, "vmin", &skalierung.vmin);
    ZahlAusIni(ini, "vmax", &skalierung.vmax);
    ZahlAusIni(ini, "einheitmin", &skalierung.einheitmin);
    ZahlAusIni(ini, "einheitmax", &skalierung.einheitmax);
    if (KonfigPruefen(skalierung.vmin, skalierung.vmax, skalierung.einheitmin, skalierung.einheitmax) ==
        KONFIG_BRAUCHBAR)
        gKonfig = skalierung;
    Ini_GetRawStringIntoBuffer(ini, INI_SEKTION, "einheit", gKonfig.einheit, sizeof gKonfig.einheit);

    // The zoom limits are stored in volts; NeueSkalierungSetzen below converts them.
    FeldAusIni(ini, "zoommin", PANEL_GRAPHZOOMMIN);
    FeldAusIni(ini, "zoommax", PANEL_GRAPHZOOMMAX);

    KonfigStrukturZuGui();
    // Back to the identity scaling, so that the panel's values count as volts when the file's
    // scaling is applied.
    KonfigstrukturAufStandardwerte();
    NeueSkalierungSetzen();

    Ini_Dispose(ini);
    return 0;
}

int WriteIni(void)
{
    IniStore *ini = Ini_New(1);

    int adresse = 0, port = 0;
    GetCtrlVal(panelHandle, PANEL_ADRESSE, &adresse);
    GetCtrlVal(panelHandle, PANEL_PORT, &port);
    Ini_PutInt(ini, INI_SEKTION, "adresse", adresse);
    Ini_PutInt(ini, INI_SEKTION, "comport", port);

    ZahlInIni(ini, "vmin", gKonfig.vmin);
    ZahlInIni(ini, "vmax", gKonfig.vmax);
    ZahlInIni(ini, "einheitmin", gKonfig.einheitmin);
    ZahlInIni(ini, "einheitmax", gKonfig.einheitmax);
    char einheit[KONFIG_EINHEIT_MAX + 1] = {};
    std::memcpy(einheit, gKonfig.einheit, KONFIG_EINHEIT_MAX);
    Ini_PutRawString(ini, INI_SEKTION, "einheit", einheit);

    double zoomMin = 0.0, zoomMax = 0.0;
    GetCtrlVal(panelHandle, PANEL_GRAPHZOOMMIN, &zoomMin);
    GetCtrlVal(panelHandle, PANEL_GRAPHZOOMMAX, &zoomMax);
    ZahlInIni(ini, "zoommin", Umrechnen_BenutzereinheitZuVolt(zoomMin));
    ZahlInIni(ini, "zoommax", Umrechnen_BenutzereinheitZuVolt(zoomMax));

    SchnittstellenInIni(ini);

    schreibGrund[0] = '\0';
    // The per-user folder may have gone since the start, or could not be made then.
    int fehler = iniOrdner[0] != '\0' ? OrdnerAnlegen(iniOrdner, ORDNER_MODUS) : 0;
    int ergebnis = INI_ERR_IO;
    if (fehler == 0) {
        errno = 0;
        ergebnis = Ini_WriteToFile(ini, iniDatei);
        fehler = ergebnis < 0 ? errno : 0;
    }
    Ini_Dispose(ini);
    if (fehler == 0 && ergebnis >= 0)
        return 0;
    Kopieren(schreibGrund, sizeof schreibGrund, SchreibGrund(fehler, ergebnis, iniDatei));
    return FEHLER_INI_SCHREIBEN;
}

// ---- panels -------------------------------------------------------------------------------------

void PanelsInitialisieren(const char *version, const char *datum)
{
    SetCtrlVal(aboutpanelHandle, ABOUTPANEL_VERSION, version);
    SetCtrlVal(aboutpanelHandle, ABOUTPANEL_DATUM, datum);
    SetCtrlVal(aboutpanelHandle, ABOUTPANEL_PROGRAMMVERSION, "Programmversion " TLX1_VERSION);
    SetCtrlVal(panelHandle, PANEL_TEXT, "");
    // The windows already show up one by one on the desktop; the unit field must never take more
    // than the record holds.
    SetCtrlAttribute(konfigpanelHandle, KONFIGPNL_SKAL_EINHEIT, ATTR_MAX_ENTRY_LENGTH, KONFIG_EINHEIT_MAX);
    Feldhilfe_Setzen();
    ScanLampenVorbereiten();
}

// ---- parameter-set files ------------------------------------------------------------------------

static constexpr const char *DATEI_MUSTER = "*.tlx";

// The controls of the record's ten values, in file order.
static constexpr std::array DATEI_FELDER = {
    PANEL_PANTEIL,         PANEL_IANTEIL,      PANEL_DANTEIL,     PANEL_STELLMIN,     PANEL_STELLMAX,
    PANEL_ANFANGSSOLLWERT, PANEL_ANSTIEGSZEIT, PANEL_BETRIEBSART, PANEL_GRAPHZOOMMIN, PANEL_GRAPHZOOMMAX,
};
static_assert(DATEI_FELDER.size() == 10);

void LeseParameterAusGUI(Parameterdatei *datei)
{
    if (datei == nullptr)
        return;
    Parametersatz &s = datei->satz;
    // clang-format off
    double *const ziele[] = {&s.P,           &s.I,           &s.D,           &s.min,           &s.max,
                             &s.anfangssoll, &s.anstiegszeit, &s.betriebsart, &datei->zoommin, &datei->zoommax};
    // clang-format on
    static_assert(sizeof ziele / sizeof ziele[0] == DATEI_FELDER.size());
    for (std::size_t i = 0; i < DATEI_FELDER.size(); ++i)
        GetCtrlVal(panelHandle, DATEI_FELDER[i], ziele[i]);
}

void SchreibeParameterInGUI(const Parameterdatei *datei)
{
    if (datei == nullptr)
        return;
    const Parametersatz &s = datei->satz;
    // clang-format off
    const double werte[] = {s.P,           s.I,           s.D,           s.min,          s.max,
                            s.anfangssoll, s.anstiegszeit, s.betriebsart, datei->zoommin, datei->zoommax};
    // clang-format on
    static_assert(sizeof werte / sizeof werte[0] == DATEI_FELDER.size());
    for (std::size_t i = 0; i < DATEI_FELDER.size(); ++i)
        SetCtrlVal(panelHandle, DATEI_FELDER[i], werte[i]);
}

int SchreibeParameterInDatei(void)
{
    char pfad[MAX_PATHNAME_LEN] = "";
    if (FileSelectPopup(dateiOrdner, DATEI_MUSTER, "", "Speichern", VAL_SAVE_BUTTON, 0, 1, 1, 1, pfad) ==
        VAL_NO_FILE_SELECTED)
        return 0;

    Parameterdatei datei{};
    LeseParameterAusGUI(&datei);
    datei.konfig = gKonfig;
    return Parameterdatei_Schreiben(pfad, &datei);
}

int LeseParameterAusDatei(void)
{
    char pfad[MAX_PATHNAME_LEN] = "";
    if (FileSelectPopup(dateiOrdner, DATEI_MUSTER, "", "Laden", VAL_LOAD_BUTTON, 0, 1, 1, 0, pfad) ==
        VAL_NO_FILE_SELECTED)
        return 0;

    Parameterdatei datei{};
    if (const int code = Parameterdatei_Lesen(pfad, &datei); code != 0)
        return code;

    // The whole file is read and checked; only now does anything in the program change.
    gKonfig = datei.konfig;
    KonfigStrukturZuGui();
    // gKonfig already holds the file's scaling, so the panel's numbers are kept and read in its unit;
    // the ranges then admit the stored values.
    NeueSkalierungSetzen();
    SchreibeParameterInGUI(&datei);
    // Again with the same scaling: the chart's axis follows the loaded zoom limits.
    NeueSkalierungSetzen();
    SatzHerkunftSetzen(HERKUNFT_DATEI, pfad);
    return 0;
}
