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

// Asks addresses 1..8 for their identification, showing "Suche nach Ger\xE4t n" in TEXT meanwhile:
// LED n off for no valid answer, on and green for a TLX-1 ("OKV-TLX1..."), on and red for another
// text; IDSTRING ends with the text of the highest TLX-1 that answered. The reads' own failures are
// shown by the LEDs only. 0, OpenComPort's codes.
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
// are shown in the user unit. 0, OpenComPort's codes, the first OKVTLX1_ParameterLesen failure.
int ParametersatzLesen(void);

// Sends the eight parameter fields in the same order (TEXT "schreibe..." meanwhile), the power-on
// setpoint and the slope converted to volts; stops at the first failure, the ones before it stay
// written. 0, OpenComPort's codes, the first OKVTLX1_ParameterSchreiben failure.
int ParametersatzSchreiben(void);

// Reads "betriebsart1"; in mode 1 fills SOLLWERT from "soll1" (in the user unit), in mode 3
// STELLWERT from "stellgroesse1" (volts), in any other mode nothing.
// 0, OpenComPort's codes, the first OKVTLX1_ParameterLesen failure.
int SollwertOderStellwertEintragen(void);

// The number of the open COM port, -1 when none is open (for tests and diagnostics).
int OffenerComPort(void);

// The device that went away during the last device operation (its port is closed now), "" when none
// did. No error result.
const char *VerlorenesGeraet(void);
