// TLX1Com: the error display of the main panel, the serial port the program holds, and the device
// operations that use it.
//
// Port rule for device operations: when no port is open, an operation opens the port of the PORT
// ring with OpenComPort and closes it again on every way out; while connected it uses the open port
// and leaves it open.
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
// port is closed and the new one opened with a 1.0 s time-out. 0, -100002 (no port open afterwards),
// -111004 (port open, time-out not set).
int OpenComPort(void);

// Closes the open port, if any; close failures are ignored. Always 0.
int CloseComPort(void);

// ---- device operations --------------------------------------------------------------------------
// (identification, scan, actual value, setpoint, manipulated value and parameter set follow here)
