// TLX1Func: scaling of the main panel, display precision, the settings file, panel start-up and
// plotting.
#pragma once

// ---- scaling and display precision --------------------------------------------------------------

// User-unit value of a voltage under gKonfig (factor first, then product and sum). No error result.
double Umrechnen_VoltZuBenutzereinheit(double volt);

// Voltage of a user-unit value under gKonfig (factor first, then product and sum). No error result.
double Umrechnen_BenutzereinheitZuVolt(double wert);

// Applies the scaling of the configuration panel: takes it into gKonfig and rescales the main
// panel's setpoint fields, ranges, unit labels, chart axis and decimals. No result.
void NeueSkalierungSetzen(void);

// Sets the decimals of the P, I and D fields from their magnitudes (4 below 10 down to 0 from 10000).
// No result.
void SetPrecision(void);

// ---- settings file ------------------------------------------------------------------------------

// Name of the settings file, opened in the current working directory.
inline constexpr const char *TLX1_INI_DATEI = "tlx1steuerung.ini";

// Sets the defaults, then takes address, port, scaling and zoom from the settings file and applies
// the scaling. 0, -802109 (no such file), -801110 (file exists but cannot be read).
int LoadIni(void);

// Writes address, port, scaling and zoom (in volts) to the settings file, replacing it.
// 0, -800108.
int WriteIni(void);

// ---- panels -------------------------------------------------------------------------------------

// Fills in the about box's version and date, empties the status line, limits the unit field to
// 5 characters. No result.
void PanelsInitialisieren(const char *version, const char *datum);

// Plots the value (user unit) as the next point of the strip chart. No result.
void IstwertPlotten(double wert);
