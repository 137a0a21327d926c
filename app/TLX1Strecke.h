// TLX1Strecke: "Analyse > Strecke identifizieren...": the plant test of the connected module run
// from the 10 Hz poll (TLX1Analyse's Streckentest), its first-order-plus-dead-time model drawn over
// the recorded response, and the PI proposal by Skogestad's SIMC rules, which "Übernehmen" puts
// into the main panel's P, I and D fields only.
#pragma once

// Loads the dialog ANALYSEPNL as a child of `parent`: its handle (> 0), or LoadPanel's code.
int Strecke_PanelLaden(int parent);

// The polled actual value (volts) for a test that runs; nothing otherwise. No result.
void Strecke_Istwert(double volt);

// Ends a test that runs (failed poll, disconnect, program end): the module gets its mode and output
// back; a restore that fails is shown in a popup. No result.
void Strecke_Abbrechen(void);

// 1 while a test runs (for tests).
int Strecke_Laeuft(void);

// ---- callbacks named by the panel catalogue ------------------------------------------------------

// "Analyse > Strecke identifizieren...": reads the module's output and limits and opens the dialog
// (connected to one module only).
void Callback_Menu_Strecke(int menuBar, int menuItem, void *callbackData, int panel);
// The dialog's close box: as "Schließen" (a test that runs is cancelled first).
int Callback_Analyse_Panel(int panel, int event, void *callbackData, int eventData1, int eventData2);
// "Test starten" (commit): asks for confirmation, then begins the test.
int Callback_Analyse_Starten(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
// The closed loop's time constant (commit): the proposal anew.
int Callback_Analyse_TauC(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
// "Übernehmen" (commit): the proposal's P, I, D into the main panel's fields; closes the dialog.
int Callback_Analyse_Uebernehmen(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
// "Schließen" (commit), "Abbrechen" while the test runs: cancels the test, or closes the dialog.
int Callback_Analyse_Schliessen(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
