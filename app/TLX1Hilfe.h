// TLX1Hilfe: help for the operator inside the program: the operator manual in a help window ("?" >
// "Handbuch", F1) and a tooltip on every field that says what it means, its range and its unit.
#pragma once

// Shows the operator manual handbuch.md in the help window: the first readable of the places below,
// or, when none is, a message naming every place looked at. 0, or -1 when none could be shown.
// Places: <program folder>/../share/doc/tlx1steuerung (installed under any prefix),
// /usr/share/doc/tlx1steuerung (the package), docs/ of the source tree the program was built from.
int Handbuch_Zeigen(void);

// Tests: the places looked at instead (a copy of the paths is kept); null or 0 places: the usual ones.
// No result.
void Handbuch_OrteSetzen(const char *const *orte, int anzahl);

// Menu "?", "Handbuch" (F1): Handbuch_Zeigen.
void Callback_Menu_Handbuch(int menuBar, int menuItem, void *callbackData, int panel);

// Sets the tooltips of the main panel's and the scaling dialog's fields and buttons: meaning, range
// and unit as the scaling now in force gives them. Call after every change of the scaling. No result.
void Feldhilfe_Setzen(void);
