// TLX1Vergleich: the parameter set of the panel held against the module's and a file's, so that
// "Schreiben" never overwrites a module's tuned values unseen, and the operator sees what a write
// did and how a saved file differs.
//
// Two values of a parameter count as equal when a write would send them as the same text (the
// module keeps what it is sent): P 12.34567 equals a module's 12.346.
#pragma once

// Before "Schreiben": 1 to go on, 0 to send nothing more. A set that came from the module the rings
// select goes on at once. For "alle" the operator confirms the write to every module. Otherwise the
// module's set is read and "Parametersatz schreiben?" lists what would change (name, module, panel,
// in the panel's units); when nothing would change the status line says so, nothing is written and
// the set counts as the module's; when the module cannot be read the dialog says so with code and
// text and still offers to write.
int SchreibenBestaetigen(void);

// After a successful "Schreiben" of the values `vorher` (the fields as they stood, panel units):
// reads the set back into the fields and says in the status line "Parametersatz geschrieben und
// gepr\xFCft", naming every value the module rounded ("P-Anteil 12.34567 -> 12.346"); to "alle",
// which cannot answer, "an alle Module geschrieben (ohne R\xFC" "ckmeldung)". The read-back's code goes
// to the error display. No result.
void SchreibenPruefen(const double vorher[8]);

// The parameter fields as they stand (panel units), in transfer order. No result.
void PanelSatz(double werte[8]);

// Menu "Vergleichen...": asks for a parameter-set file and shows module, panel and file side by side
// in the panel's units, differences marked, until the operator closes it; "Modul lesen" reads the
// module again. 0 (also when cancelled), Parameterdatei_Lesen's codes.
int SatzVergleichen(void);
