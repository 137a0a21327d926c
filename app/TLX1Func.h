// TLX1Func: scaling of the main panel, display precision, the settings file and panel start-up.
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

// Name of the settings file.
inline constexpr const char *TLX1_INI_DATEI = "tlx1steuerung.ini";

// Chooses where the settings file lives: 0 in the current working directory (the start from a
// shell), 1 per user in $XDG_CONFIG_HOME/tlx1steuerung/ (default ~/.config/tlx1steuerung/, the
// start from the desktop), where the file dialogs then open in the user's documents folder. The
// folder is made (mode 0700) when missing. No result.
void EinstellungsortWaehlen(int proBenutzer);

// Path of the settings file as LoadIni and WriteIni use it (Windows-1252 for the window: use
// Einstellungsdatei_Anzeige to show it).
const char *Einstellungsdatei(void);
// The settings file's full path as the operator should read it in a message (Windows-1252).
const char *Einstellungsdatei_Anzeige(void);

// Folder the parameter-set file dialogs open in: "" (the current folder) or the documents folder.
const char *Dateiordner(void);

// Sets the defaults, then takes address, port, scaling and zoom from the settings file and applies
// the scaling; section "Schnittstellen" goes to TLX1Schnittstellen (COM map, reconnect switch). A
// number that is not finite counts as absent, and a scaling that cannot be applied is ignored as a
// whole (the defaults stay). 0, -802109 (no such file), -801110 (file exists but cannot be read, or
// is not a regular file).
int LoadIni(void);

// Writes address, port, scaling and zoom (in volts) to the settings file, replacing it (through a
// symbolic link, the file it points to), with section "Schnittstellen" as TLX1Schnittstellen keeps
// it; a number that is not finite is left out. Per user it first makes the folder when it is
// missing. 0, -800108 (WriteIni_Grund says why).
int WriteIni(void);

// Why the last WriteIni failed, as a German text for the operator (Windows-1252); "" after success.
const char *WriteIni_Grund(void);

// ---- panels -------------------------------------------------------------------------------------

// Fills in the about box's version and date and the line with the program's version, empties the
// status line, limits the unit field to 5 characters, sets the fields' tooltips and shows the scan
// LEDs as not asked. No result.
void PanelsInitialisieren(const char *version, const char *datum);

// ---- parameter-set files ------------------------------------------------------------------------

struct Parameterdatei;

// Asks for a file name ("Speichern", "*.tlx") and saves the main panel's parameter set and zoom with
// gKonfig as a 160-byte parameter-set file. The file is written beside the target under a temporary
// name and renamed over it only when complete, so a failed save leaves an earlier file as it was.
// 0 (saved, or the operator cancelled), -308101 (the file cannot be created or replaced: missing or
// write-protected folder, a folder, FIFO, device or write-protected file of that name, a dangling
// link), -301102 (not all 160 bytes reached the disk: short write, failed close or rename).
int SchreibeParameterInDatei(void);

// Asks for a file ("Laden", "*.tlx") and loads it: the file's scaling into gKonfig and the scaling
// dialog, applied to the main panel, then the stored values onto the main panel. Nothing changes
// unless the whole file was read and checked. 0 (loaded, or the operator cancelled), -308103 (cannot
// be opened, not a regular file), -304104 (shorter than 36 bytes), -302105 (not a parameter-set
// file), -303106 (version is not 2), -304107 (shorter than 160 bytes), -304108 (a value not finite,
// or a scaling that cannot be applied). A loaded set counts as coming from that file.
int LeseParameterAusDatei(void);

// Reads P, I, D, output limits, power-on setpoint, slope, mode and the two zoom limits from the main
// panel into the record's values; touches nothing else of the record. No result.
void LeseParameterAusGUI(Parameterdatei *datei);

// Puts the record's ten values into the same controls of the main panel. No result.
void SchreibeParameterInGUI(const Parameterdatei *datei);
