// TLX1Com: the error display of the main panel, the serial port the program holds, and the device
// operations that use it.
//
// Port rule for device operations: when no port is open, an operation opens the port of the PORT
// ring with OpenComPort and closes it again on every way out; while connected it uses the open port
// and leaves it open. When the device goes away during an operation (unplugged, hung up, network
// connection lost), the port is closed at once and the failure's text in the error display ends in
// "Verbindung zu <device> verloren"; a port that cannot be opened shows the device and the reason
// after its text. Both travel as the error library's user string (OKV_Fehleruserstring) to the next
// text shown.
#pragma once

#include "ui/TLX1Steuerung.h"

// ---- error display ------------------------------------------------------------------------------

// Shows an operation's result: clears the display for 0, else shows the code. No result.
void FehlerZeigen(int code);

// Lamp on, the code's text, the number -code. No result.
void FehlerSetzen(int code);

// Lamp off, empty text, number 0. No result.
void FehlerLoeschen(void);

// ---- port holder --------------------------------------------------------------------------------

// Makes the open port follow the PORT ring: nothing happens when it already does, otherwise the old
// port is closed and the new one opened with a 1.0 s time-out. 0, -100002 (no port open afterwards;
// the device and the reason are pending as user string), -111004 (port open, time-out not set).
int OpenComPort(void);

// Closes the open port, if any; close failures are ignored. Always 0.
int CloseComPort(void);

// ---- device operations --------------------------------------------------------------------------
// Each follows the port rule above and talks to the module at the address of the ADRESSE ring
// (the scan: to every address 1..8). Codes are those of OpenComPort and of the driver command named.

// Reads the identification of the selected module into IDSTRING (emptied first, left empty on
// failure). 0, OpenComPort's codes, OKVTLX1_IDLesen's codes (-400005 for "alle").
int IDLesen(void);

// Shows the LEDs 1..8 as not asked (dimmed), their off-colour dark green for "no answer", each with a
// tooltip naming its address. At start, before any scan. No result.
void ScanLampenVorbereiten(void);

// Asks addresses 1..8 for their identification, showing "Suche nach Ger\xE4t n" in TEXT meanwhile:
// LED n off for no valid answer, on and green for a TLX-1 ("OKV-TLX1..."), on and red for another
// text, its tooltip naming the address and what was found; IDSTRING ends with the text of the highest
// TLX-1 that answered. The reads' own failures are shown by the LEDs only. While it runs the SCANN
// button reads "Abbrechen": pressing it, or closing a window, ends the scan after the address being
// asked, and the LEDs of the addresses not asked are dimmed until they are asked again. 0 (also when
// stopped), OpenComPort's codes.
int TLX1Scann(void);

// Reads "istwert1" (volts) into *wert, which stays unchanged on failure (null: value discarded).
// 0, OpenComPort's codes, OKVTLX1_ParameterLesen's codes.
int IstwertLesen(double *wert);

// Sends SOLLWERT, converted from the user unit to volts, as "soll1".
// 0, OpenComPort's codes, OKVTLX1_ParameterSchreiben's codes.
int SollwertSchreiben(void);

// Sends STELLWERT (volts, unconverted) as "stellgroesse1".
// 0, OpenComPort's codes, OKVTLX1_ParameterSchreiben's codes.
int StellwertSchreiben(void);

// Reads P1, I1, D1, anfangssoll1, min1, max1, anstiegszeit1, betriebsart1 (TEXT "lese..." meanwhile)
// and fills the eight parameter fields only when all were read; the power-on setpoint and the slope
// are shown in the user unit. The set then counts as this module's.
// 0, OpenComPort's codes, the first OKVTLX1_ParameterLesen failure.
int ParametersatzLesen(void);

// Sends the eight parameter fields in the same order (TEXT "schreibe..." meanwhile), the power-on
// setpoint and the slope converted to volts; stops at the first failure, the ones before it stay
// written. When all went to one module (not "alle") the set counts as that module's.
// 0, OpenComPort's codes, the first OKVTLX1_ParameterSchreiben failure.
int ParametersatzSchreiben(void);

// ---- the parameter set between panel and module ------------------------------------------------

// The parameter group of the main panel in the order both directions talk to the module. Arrays of
// a parameter set (SATZ_ANZAHL values) follow this order. The setpoint-related fields show the user
// unit; the module works in volts.
struct ParameterFeld {
    const char *name;  // module name (channel 1)
    int control;       // field on the main panel
    bool skaliert;     // shown in the user unit
    const char *text;  // the field's label in one line
};
// clang-format off
inline constexpr ParameterFeld PARAMETERFELDER[] = {
    {"P1",            PANEL_PANTEIL,         false, "P-Anteil"},
    {"I1",            PANEL_IANTEIL,         false, "I-Anteil"},
    {"D1",            PANEL_DANTEIL,         false, "D-Anteil"},
    {"anfangssoll1",  PANEL_ANFANGSSOLLWERT, true,  "Sollwert beim Einschalten"},
    {"min1",          PANEL_STELLMIN,        false, "min. Stellgr\xF6\xDF" "e"},
    {"max1",          PANEL_STELLMAX,        false, "max. Stellgr\xF6\xDF" "e"},
    {"anstiegszeit1", PANEL_ANSTIEGSZEIT,    true,  "max. Anstiegsgeschwindigkeit"},
    {"betriebsart1",  PANEL_BETRIEBSART,     false, "Betriebsart"},
};
// clang-format on
inline constexpr int SATZ_ANZAHL = 8;
static_assert(sizeof PARAMETERFELDER / sizeof PARAMETERFELDER[0] == SATZ_ANZAHL);

// Where the panel's parameter set came from.
enum {
    HERKUNFT_VORGABE = 0,  // the program's start values
    HERKUNFT_DATEI,        // a parameter-set file ("Parametersatz laden")
    HERKUNFT_MODUL,        // a successful "Lesen" or "Schreiben" at a port and address
    HERKUNFT_VORSCHLAG,    // P, I and D from the plant test's proposal ("\xDC" "bernehmen")
};

// The origin of the panel's set; for HERKUNFT_MODUL also its port and address (null: not wanted).
int SatzHerkunft(int *port, int *adresse);

// Notes that the panel's set now holds the defaults, the file `datei` (its name without the folder
// is kept for messages) or the set of the module the PORT and ADRESSE rings select. No result.
void SatzHerkunftSetzen(int herkunft, const char *datei);

// The file name noted with HERKUNFT_DATEI ("" otherwise).
const char *SatzHerkunftDatei(void);

// 1 when the panel's set came from the module the PORT and ADRESSE rings select now (never for
// "alle"), else 0.
int SatzVonDiesemModul(void);

// The eight values the parameter fields hold, in volts (as "Schreiben" sends them). No result.
void PanelSatzVolt(double volt[SATZ_ANZAHL]);

// Reads the module's set into volt (TEXT "lese..." meanwhile) without touching any field.
// 0, OpenComPort's codes, the first OKVTLX1_ParameterLesen failure (volt is then incomplete).
int ModulSatzLesen(double volt[SATZ_ANZAHL]);

// Shows a failure of the service record once per run, in a popup (after the action that wrote).
// No result.
void ProtokollFehlerZeigen(void);

// Reads "betriebsart1"; in mode 1 fills SOLLWERT from "soll1" (in the user unit), in mode 3
// STELLWERT from "stellgroesse1" (volts), in any other mode nothing.
// 0, OpenComPort's codes, the first OKVTLX1_ParameterLesen failure.
int SollwertOderStellwertEintragen(void);

// The setpoint (volts) the last SollwertOderStellwertEintragen read, NaN when the module was not in
// mode 1 or the read failed. No error result.
double GelesenerSollwert(void);

// The number of the open COM port, -1 when none is open (for tests and diagnostics).
int OffenerComPort(void);

// The device that went away during the last device operation (its port is closed now), "" when none
// did. No error result.
const char *VerlorenesGeraet(void);
