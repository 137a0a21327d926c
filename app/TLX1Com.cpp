#include "app/TLX1Com.h"

#include "app/TLX1Func.h"
#include "app/TLX1Steuerung.h"
#include "driver/okvtlx1.h"
#include "error/OKV_errorV3.h"
#include "platform/rs232/rs232.h"
#include "platform/text/textformat.h"
#include "platform/userint/userint.h"
#include "record/Protokoll.h"
#include "ui/TLX1Steuerung.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

// Number of the open COM port, -1 when none is open.
static int comPort = -1;

// The device that went away during the last device operation, "" when none did.
static char verlorenesGeraet[OKV_USERSTRING_LAENGE] = "";

// What follows the catalogue text of an open failure or a lost device in the error display.
static constexpr const char *ZUSATZ_FORMAT = " \x96 %s";
static constexpr const char *VERLOREN_FORMAT = " \x96 Verbindung zu %s verloren";

// Time-out of every read and write on the bus, in seconds.
static constexpr double COM_TIMEOUT_S = 1.0;

// ---- error display ------------------------------------------------------------------------------

void FehlerZeigen(int code)
{
    if (code == 0)
        FehlerLoeschen();
    else
        FehlerSetzen(code);
}

void FehlerSetzen(int code)
{
    SetCtrlVal(panelHandle, PANEL_FEHLERLED, 1);
    SetCtrlVal(panelHandle, PANEL_FEHLERSTRING, OKV_Fehlermeldung(code));
    // INT_MIN has no positive counterpart; no real code comes near it, but negating it would overflow.
    SetCtrlVal(panelHandle, PANEL_FEHLERNUMMER, code == INT_MIN ? INT_MAX : -code);
}

void FehlerLoeschen(void)
{
    SetCtrlVal(panelHandle, PANEL_FEHLERLED, 0);
    SetCtrlVal(panelHandle, PANEL_FEHLERSTRING, "");
    SetCtrlVal(panelHandle, PANEL_FEHLERNUMMER, 0);
}

// ---- port holder --------------------------------------------------------------------------------

int OpenComPort(void)
{
    const int alterPort = comPort;
    GetCtrlVal(panelHandle, PANEL_PORT, &comPort);
    if (comPort == alterPort)
        return 0;
    if (alterPort != -1)
        OKVTLX1_Close(alterPort);

    const int code = OKVTLX1_Open(comPort);
    if (code != 0) {
        // The device and the reason follow the catalogue text where this code is shown next.
        char zusatz[OKV_USERSTRING_LAENGE];
        std::snprintf(zusatz, sizeof zusatz, ZUSATZ_FORMAT, ComOpenFailure(comPort).c_str());
        OKV_Fehleruserstring(zusatz);
        comPort = -1;
        return code;
    }
    // A failed time-out setting leaves the port open; the next action uses it as it is.
    return OKVTLX1_Timeout(comPort, COM_TIMEOUT_S);
}

int CloseComPort(void)
{
    if (comPort != -1) {
        OKVTLX1_Close(comPort);
        comPort = -1;
    }
    return 0;
}

// ---- device operations --------------------------------------------------------------------------
// (each brackets its exchange with the port rule described in TLX1Com.h)

int OffenerComPort(void)
{
    return comPort;
}

const char *VerlorenesGeraet(void)
{
    return verlorenesGeraet;
}

// Runs one device exchange under the port rule: opens the port of the PORT ring when none is open
// (a failed open is returned at once) and closes it again afterwards; an open port is used and kept.
// A device that went away closes the port at once, so nothing waits for it any more; a failure then
// reaches the error display with "Verbindung zu <device> verloren" after its text.
template <class Arbeit>
static int MitPort(Arbeit arbeit)
{
    verlorenesGeraet[0] = '\0';
    const bool hierGeoeffnet = (comPort == -1);
    if (hierGeoeffnet) {
        const int code = OpenComPort();
        if (code != 0)
            return code;
    }
    const int code = arbeit();
    if (ComLost(comPort)) {
        std::snprintf(verlorenesGeraet, sizeof verlorenesGeraet, "%s", ComOpenDevice(comPort).c_str());
        if (code != 0) {
            // Room for the whole text; the error library keeps what fits its user string.
            char zusatz[OKV_USERSTRING_LAENGE + 32];
            std::snprintf(zusatz, sizeof zusatz, VERLOREN_FORMAT, verlorenesGeraet);
            OKV_Fehleruserstring(zusatz);
        }
        CloseComPort();
    } else if (hierGeoeffnet) {
        CloseComPort();
    }
    return code;
}

static int GewaehlteAdresse(void)
{
    int adresse = 0;
    GetCtrlVal(panelHandle, PANEL_ADRESSE, &adresse);
    return adresse;
}

// Identification buffer; the driver needs at least OKVTLX1_ID_PUFFER bytes.
static constexpr int ID_PUFFER = 32;
static_assert(ID_PUFFER >= OKVTLX1_ID_PUFFER);

// An identification counts as a TLX-1 when it starts with this text.
static constexpr char TLX1_KENNUNG[] = "OKV-TLX1";

// Progress text of the scan; the character at SUCHTEXT_ZIFFER becomes the address asked.
static constexpr char SUCHTEXT[] = "Suche nach Ger\xE4t x";
static constexpr int SUCHTEXT_ZIFFER = 17;
static_assert(sizeof SUCHTEXT == SUCHTEXT_ZIFFER + 2 && SUCHTEXT[SUCHTEXT_ZIFFER] == 'x');

static constexpr int SCAN_ERSTE_ADRESSE = 1;
static constexpr int SCAN_LETZTE_ADRESSE = 8;
static_assert(PANEL_LED8 - PANEL_LED1 == SCAN_LETZTE_ADRESSE - SCAN_ERSTE_ADRESSE);

// The device of the open port, as the service record names it.
static std::string Geraet(void)
{
    return ComOpenDevice(comPort);
}

// Notes (or, for null, forgets) the identification of the module at the address for the record.
static void KennungMerken(int adresse, const char *id)
{
    Protokoll_Kennung(Geraet().c_str(), adresse, id);
}

void ProtokollFehlerZeigen(void)
{
    const std::string meldung = Protokoll_Meldung();
    if (!meldung.empty())
        MessagePopup("Protokoll", Cp1252AusUtf8(meldung + "\n\nDie Werte wurden trotzdem an das Modul gesendet; "
                                                          "sie fehlen nur im Protokoll.")
                                      .c_str());
}

int IDLesen(void)
{
    return MitPort([] {
        SetCtrlVal(panelHandle, PANEL_IDSTRING, "");
        char id[ID_PUFFER] = {};
        const int adresse = GewaehlteAdresse();
        const int code = OKVTLX1_IDLesen(comPort, adresse, id);
        KennungMerken(adresse, code == 0 ? id : nullptr);
        if (code == 0)
            SetCtrlVal(panelHandle, PANEL_IDSTRING, id);
        return code;
    });
}

// The scan button's text, and its text while a scan runs (a press then stops the scan).
static constexpr const char *SCANN_TEXT = "Scann";
static constexpr const char *ABBRECHEN_TEXT = "Abbrechen";

// An LED that is off shows "no valid answer" in dark green, whatever its on-colour; it stays
// distinct in brightness from the red and the green of an answer and from the grey of "not asked".
static constexpr int KEINE_ANTWORT_FARBE = 0x005A00;

static int Lampe(int adresse)
{
    return PANEL_LED1 + (adresse - SCAN_ERSTE_ADRESSE);
}

// What the scan found at the address, as the LED's tooltip says it.
static void LampenHilfe(int adresse, const char *befund)
{
    char text[96];
    std::snprintf(text, sizeof text, "Adresse %d: %s", adresse, befund);
    SetCtrlAttribute(panelHandle, Lampe(adresse), ATTR_TOOLTIP, text);
}

// Dims an LED: nothing is known of its address.
static void NichtGefragt(int adresse)
{
    SetCtrlAttribute(panelHandle, Lampe(adresse), ATTR_DIMMED, 1);
    LampenHilfe(adresse, "nicht gefragt (Scann fragt die Adressen 1 bis 8)");
}

void ScanLampenVorbereiten(void)
{
    for (int adresse = SCAN_ERSTE_ADRESSE; adresse <= SCAN_LETZTE_ADRESSE; ++adresse) {
        SetCtrlAttribute(panelHandle, Lampe(adresse), ATTR_OFF_COLOR, KEINE_ANTWORT_FARBE);
        NichtGefragt(adresse);
    }
}

// Asks one address for its identification and shows the answer on its LED (see TLX1Scann).
static void AdresseAbfragen(int adresse, char *fortschritt)
{
    fortschritt[SUCHTEXT_ZIFFER] = static_cast<char>('0' + adresse);
    SetCtrlVal(panelHandle, PANEL_TEXT, fortschritt);

    const int led = Lampe(adresse);
    int nichtGefragt = 0;  // dimmed by a stopped scan
    GetCtrlAttribute(panelHandle, led, ATTR_DIMMED, &nichtGefragt);
    if (nichtGefragt)
        SetCtrlAttribute(panelHandle, led, ATTR_DIMMED, 0);
    char id[ID_PUFFER] = {};
    const int code = OKVTLX1_IDLesen(comPort, adresse, id);
    KennungMerken(adresse, code == 0 ? id : nullptr);
    char befund[64];
    if (code != 0) {
        SetCtrlVal(panelHandle, led, 0);  // the on-colour stays for the next valid answer
        std::snprintf(befund, sizeof befund, "keine g\xFCltige Antwort (Fehler %d)", -code);
        LampenHilfe(adresse, befund);
        return;
    }
    const bool istTlx1 = std::strncmp(id, TLX1_KENNUNG, sizeof TLX1_KENNUNG - 1) == 0;
    SetCtrlAttribute(panelHandle, led, ATTR_ON_COLOR, istTlx1 ? VAL_GREEN : VAL_RED);
    SetCtrlVal(panelHandle, led, 1);
    std::snprintf(befund, sizeof befund, istTlx1 ? "TLX-1, Kennung %s" : "anderes Ger\xE4t, Kennung %s", id);
    LampenHilfe(adresse, befund);
    if (istTlx1)
        SetCtrlVal(panelHandle, PANEL_IDSTRING, id);
}

int TLX1Scann(void)
{
    char fortschritt[sizeof SUCHTEXT];
    std::memcpy(fortschritt, SUCHTEXT, sizeof SUCHTEXT);

    return MitPort([&] {
        SetCtrlVal(panelHandle, PANEL_IDSTRING, "");
        SetCtrlAttribute(panelHandle, PANEL_SCANN, ATTR_LABEL_TEXT, ABBRECHEN_TEXT);
        int adresse = SCAN_ERSTE_ADRESSE;
        for (; adresse <= SCAN_LETZTE_ADRESSE; ++adresse) {
            if (adresse > SCAN_ERSTE_ADRESSE && StopRequested(panelHandle, PANEL_SCANN))
                break;
            AdresseAbfragen(adresse, fortschritt);
        }
        // Stopped: the LEDs of the addresses not asked do not tell anything about them.
        for (; adresse <= SCAN_LETZTE_ADRESSE; ++adresse)
            NichtGefragt(adresse);
        SetCtrlVal(panelHandle, PANEL_TEXT, "");
        SetCtrlAttribute(panelHandle, PANEL_SCANN, ATTR_LABEL_TEXT, SCANN_TEXT);
        return 0;
    });
}

int IstwertLesen(double *wert)
{
    return MitPort([&] {
        double volt = 0.0;
        const int code = OKVTLX1_ParameterLesen(comPort, GewaehlteAdresse(), "istwert1", &volt);
        if (code == 0 && wert != nullptr)
            *wert = volt;
        return code;
    });
}

int SollwertSchreiben(void)
{
    return MitPort([] {
        double wert = 0.0;
        GetCtrlVal(panelHandle, PANEL_SOLLWERT, &wert);
        return Protokoll_ParameterSchreiben(comPort, GewaehlteAdresse(), "soll1",
                                            Umrechnen_BenutzereinheitZuVolt(wert));
    });
}

int StellwertSchreiben(void)
{
    return MitPort([] {
        double volt = 0.0;
        GetCtrlVal(panelHandle, PANEL_STELLWERT, &volt);
        return Protokoll_ParameterSchreiben(comPort, GewaehlteAdresse(), "stellgroesse1", volt);
    });
}

// Origin of the panel's parameter set.
static int herkunft = HERKUNFT_VORGABE;
static int herkunftPort = -1;
static int herkunftAdresse = 0;
static char herkunftDatei[256] = "";

int SatzHerkunft(int *port, int *adresse)
{
    if (port != nullptr)
        *port = herkunftPort;
    if (adresse != nullptr)
        *adresse = herkunftAdresse;
    return herkunft;
}

// The set on the panel is the one the module at port and address holds.
static void HerkunftModul(int port, int adresse)
{
    herkunft = HERKUNFT_MODUL;
    herkunftPort = port;
    herkunftAdresse = adresse;
    herkunftDatei[0] = '\0';
}

void SatzHerkunftSetzen(int art, const char *datei)
{
    if (art == HERKUNFT_MODUL) {
        int port = 0;
        GetCtrlVal(panelHandle, PANEL_PORT, &port);
        HerkunftModul(port, GewaehlteAdresse());
        return;
    }
    herkunft = art == HERKUNFT_DATEI || art == HERKUNFT_VORSCHLAG ? art : HERKUNFT_VORGABE;
    herkunftPort = -1;
    herkunftAdresse = 0;
    herkunftDatei[0] = '\0';
    if (herkunft == HERKUNFT_DATEI && datei != nullptr) {
        const char *name = std::strrchr(datei, '/');
        // The path is spelled as the file system does (UTF-8); messages are Windows-1252.
        std::snprintf(herkunftDatei, sizeof herkunftDatei, "%s",
                      Cp1252AusUtf8(name != nullptr ? name + 1 : datei).c_str());
    }
}

const char *SatzHerkunftDatei(void)
{
    return herkunftDatei;
}

int SatzVonDiesemModul(void)
{
    int port = 0;
    GetCtrlVal(panelHandle, PANEL_PORT, &port);
    const int adresse = GewaehlteAdresse();
    return herkunft == HERKUNFT_MODUL && adresse != 9 && herkunftPort == port && herkunftAdresse == adresse;
}

void PanelSatzVolt(double volt[SATZ_ANZAHL])
{
    for (int i = 0; i < SATZ_ANZAHL; ++i) {
        GetCtrlVal(panelHandle, PARAMETERFELDER[i].control, &volt[i]);
        if (PARAMETERFELDER[i].skaliert)
            volt[i] = Umrechnen_BenutzereinheitZuVolt(volt[i]);
    }
}

int ModulSatzLesen(double volt[SATZ_ANZAHL])
{
    return MitPort([&] {
        const int adresse = GewaehlteAdresse();
        SetCtrlVal(panelHandle, PANEL_TEXT, "lese...");
        int code = 0;
        for (int i = 0; i < SATZ_ANZAHL && code == 0; ++i)
            code = OKVTLX1_ParameterLesen(comPort, adresse, PARAMETERFELDER[i].name, &volt[i]);
        SetCtrlVal(panelHandle, PANEL_TEXT, "");
        return code;
    });
}

int ParametersatzLesen(void)
{
    // All eight are read before any field changes, so a failure leaves the panel as it was.
    double werte[SATZ_ANZAHL] = {};
    if (const int code = ModulSatzLesen(werte); code != 0)
        return code;
    for (int i = 0; i < SATZ_ANZAHL; ++i) {
        const ParameterFeld &feld = PARAMETERFELDER[i];
        SetCtrlVal(panelHandle, feld.control, feld.skaliert ? Umrechnen_VoltZuBenutzereinheit(werte[i]) : werte[i]);
    }
    int port = 0;
    GetCtrlVal(panelHandle, PANEL_PORT, &port);
    HerkunftModul(port, GewaehlteAdresse());
    return 0;
}

int ParametersatzSchreiben(void)
{
    return MitPort([] {
        const int adresse = GewaehlteAdresse();
        double werte[SATZ_ANZAHL] = {};
        PanelSatzVolt(werte);
        SetCtrlVal(panelHandle, PANEL_TEXT, "schreibe...");
        int code = 0;
        for (int i = 0; i < SATZ_ANZAHL && code == 0; ++i)
            code = Protokoll_ParameterSchreiben(comPort, adresse, PARAMETERFELDER[i].name, werte[i]);
        SetCtrlVal(panelHandle, PANEL_TEXT, "");
        if (code == 0 && adresse != 9)
            HerkunftModul(comPort, adresse);
        return code;
    });
}

// Operating modes whose field is filled from the module after connecting.
static constexpr double MODUS_DIGITALER_SOLLWERT = 1.0;
static constexpr double MODUS_STELLBETRIEB = 3.0;

static double gelesenerSollwert = NAN;

double GelesenerSollwert(void)
{
    return gelesenerSollwert;
}

int SollwertOderStellwertEintragen(void)
{
    gelesenerSollwert = NAN;
    return MitPort([] {
        const int adresse = GewaehlteAdresse();
        double modus = 0.0;
        int code = OKVTLX1_ParameterLesen(comPort, adresse, "betriebsart1", &modus);
        if (code != 0)
            return code;
        double volt = 0.0;
        if (modus == MODUS_DIGITALER_SOLLWERT) {
            if ((code = OKVTLX1_ParameterLesen(comPort, adresse, "soll1", &volt)) != 0)
                return code;
            gelesenerSollwert = volt;
            SetCtrlVal(panelHandle, PANEL_SOLLWERT, Umrechnen_VoltZuBenutzereinheit(volt));
        } else if (modus == MODUS_STELLBETRIEB) {
            if ((code = OKVTLX1_ParameterLesen(comPort, adresse, "stellgroesse1", &volt)) != 0)
                return code;
            SetCtrlVal(panelHandle, PANEL_STELLWERT, volt);
        }
        return 0;
    });
}
