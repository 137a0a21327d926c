// TLX1Diagramm: the chart of the main window and what hangs on it: the actual value and the
// setpoint as two traces kept for an hour in volts, the span and the held screen, recordings (CSV of
// the kept points, a running CSV recording, the chart as a picture) and the figures of every
// setpoint step the operator writes while connected, with the list of the last steps.
#pragma once

#include "analysis/Sprungantwort.h"

// Sets up the chart's traces, the span and the empty step list once the panels are loaded. No result.
void Diagramm_Beginnen(void);

// Takes the scaling in gKonfig for the chart, the step list and the figures. No result.
void Diagramm_SkalierungUebernehmen(void);

// A polled actual value in volts: plotted with the setpoint last given or read, written to a running
// recording (a failure shows a popup once, the rows are kept), and fed to the step that runs. No result.
void Diagramm_Istwert(double volt);

// A timer tick without a value: a running recording is still flushed at least once a second. No result.
void Diagramm_Takt(void);

// The setpoint the module now holds, in volts: written by the operator (a step is followed when
// `verbunden`, the chart is marked there) or read from the module (NaN: not in mode 1). No result.
void Diagramm_SollwertGeschrieben(double volt, int verbunden);
void Diagramm_SollwertGelesen(double volt);

// The connection ended: a step that runs is shown as incomplete. No result.
void Diagramm_VerbindungBeendet(void);

// The program ends: a running recording writes what it holds and closes. No result.
void Diagramm_Beenden(void);

// The steps in the list, newest first (at most kSpruengeMax), for tests. Null beyond the list.
inline constexpr int kSpruengeMax = 20;
int Diagramm_Sprungzahl(void);
const Sprungkennwerte *Diagramm_Sprung(int index);

// ---- callbacks named by the panel catalogue ------------------------------------------------------

// "Zeitspanne" ring and "Anhalten"/"Weiter" toggle (commit): the chart's span, or holds it.
int Callback_Main_Diagramm(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
// "Datei > Aufzeichnung speichern...": the kept points as CSV through a temporary file.
void Callback_Menu_AufzeichnungSpeichern(int menuBar, int menuItem, void *callbackData, int panel);
// "Datei > Diagramm als Bild speichern...": the chart as PNG at its size on screen.
void Callback_Menu_BildSpeichern(int menuBar, int menuItem, void *callbackData, int panel);
// "Datei > Aufzeichnung starten...": every point from now on into a CSV file.
void Callback_Menu_AufzeichnungStarten(int menuBar, int menuItem, void *callbackData, int panel);
// "Datei > Aufzeichnung beenden": closes the running recording.
void Callback_Menu_AufzeichnungBeenden(int menuBar, int menuItem, void *callbackData, int panel);
