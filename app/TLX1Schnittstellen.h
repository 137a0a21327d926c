// TLX1Schnittstellen: section "Schnittstellen" of the settings file. Items "com1" .. "com8" name the
// device COM n opens (a path or a network address; the serial service's COM map takes them), item
// "wiederverbinden" (0 or 1, off by default) lets a lost connection be taken up again by itself.
// The section is written back as it was read: items the program does not know or cannot use keep
// their exact text; only entries the program changed are put anew.
#pragma once

struct IniStore;

// Name of the section.
inline constexpr const char *SCHNITTSTELLEN_SEKTION = "Schnittstellen";

// Takes the section from a store read from the settings file, or forgets it for null (no file):
// the COM map entries of COM 1 .. COM 8 and the reconnect switch follow. No result.
void SchnittstellenAusIni(IniStore *ini);

// Puts the section into a store about to be written: the items as read, then the COM map entries
// and the reconnect switch where they differ from what was read. No result.
void SchnittstellenInIni(IniStore *ini);

// Takes the section from the settings file at `pfad` (for tlx1ctl). 0, -802109 (no such file),
// -801110 (the file cannot be read).
int SchnittstellenAusDatei(const char *pfad);

// The automatic reconnect: 1 on, 0 off.
int AutomatischWiederverbinden(void);
// Switches it (any non-zero value is on). No result.
void AutomatischWiederverbindenSetzen(int ein);
