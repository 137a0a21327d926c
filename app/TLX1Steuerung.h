// TLX1Steuerung: the program's main routine, its panels and the callbacks of the operator's actions.
#pragma once

// Handles of the three panels, set once by TLX1Steuerung_Main before any callback runs.
extern int panelHandle;        // main window PANEL
extern int konfigpanelHandle;  // scaling dialog KONFIGPNL
extern int aboutpanelHandle;   // about box ABOUTPANEL

// Runs the program: loads the panels and the settings (per user with --benutzereinstellungen), runs
// the event loop until the operator quits, then closes the serial port and writes the settings,
// asking the operator whether to try again when they cannot be written. 0, or -1 when the user
// interface or a panel cannot be loaded. The caller installs a view backend first (none: headless)
// and checks the command line (Befehlszeile_Pruefen).
int TLX1Steuerung_Main(int argc, char *argv[]);

// The clock of the automatic reconnect in seconds, steady (null: the system's steady clock); tests
// hand in their own. No result.
void TLX1Steuerung_UhrSetzen(double (*uhr)(void));

// ---- callbacks named by the panel catalogue ------------------------------------------------------
// Control and panel callbacks act on the event named and always return 0; menu callbacks act on
// every call.

// Main and configuration window: EVENT_CLOSE ends the event loop.
int Callback_MainAndKonfig_Panel(int panel, int event, void *callbackData, int eventData1, int eventData2);

// Menu "Datei", "Beenden": ends the event loop.
void Callback_Menu_Beenden(int menuBar, int menuItem, void *callbackData, int panel);
// Menu "Konfiguration", "Skalieren...": shows the scaling dialog as it last stood.
void Callback_Menu_Skalieren(int menuBar, int menuItem, void *callbackData, int panel);
// Menu "?", "Info...": shows the about box as a modal popup.
void Callback_Menu_Info(int menuBar, int menuItem, void *callbackData, int panel);

// About box "OK" (commit): removes the popup.
int Callback_Info_Button_Ok(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);

// Scaling dialog "Ok" (commit): applies the dialog's scaling and hides the dialog; a scaling that
// cannot be computed (equal or non-finite values) is refused with a message and the dialog stays.
int Callback_Konfig_Button_Ok(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
// Scaling dialog "Abbruch" (commit): hides the dialog, keeping its unapplied values.
int Callback_Konfig_Button_Abbruch(int panel, int control, int event, void *callbackData, int eventData1,
                                   int eventData2);
// Scaling dialog "auf Standardwerte zurücksetzen" (commit): shows the default scaling in the dialog
// without applying it.
int Callback_Konfig_Button_AufStandardwerte(int panel, int control, int event, void *callbackData, int eventData1,
                                            int eventData2);

// ---- callbacks of the device actions --------------------------------------------------------------
// Each hands the result of its device operation to the error display (FehlerZeigen); those that write
// to a module then show a failure of the service record once per run (ProtokollFehlerZeigen).

// A device that goes away during any of them while connected ends the connection at once.

// "verbinden"/"trennen" (commit): on connects with OpenComPort (the toggle falls back to 0 when that
// fails), shows the polling warning on the first connect of a run, starts polling and fills SOLLWERT
// or STELLWERT by the module's mode; off closes the port and stops polling. Either way a waiting
// automatic reconnect is given up.
int Callback_Main_Togglebutton_Verbinden(int panel, int control, int event, void *callbackData, int eventData1,
                                         int eventData2);
// Timer (EVENT_TIMER_TICK, every 0.1 s): while connected reads the actual value, shows it in the user
// unit and plots it; a failed read is shown and drops the connection. Not connected, after a device
// went away and with the automatic reconnect on, it connects again once the same device opens again
// (tried at most once a second, never while a popup is open).
int Callback_Main_Timer(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
// Zoom fields (commit): the chart's value axis spans the two fields, whichever is larger; "Zoom 1:1"
// sets both fields and the axis to the user-unit images of 0 V and 10 V.
int Callback_Main_MultipleControls_Graphzoom(int panel, int control, int event, void *callbackData, int eventData1,
                                             int eventData2);
// SOLLWERT (commit): sends the setpoint; the field stays the active control.
int Callback_Main_Numeric_Sollwert(int panel, int control, int event, void *callbackData, int eventData1,
                                   int eventData2);
// STELLWERT (commit): sends the manipulated value; the field stays the active control.
int Callback_Main_Numeric_Stellwert(int panel, int control, int event, void *callbackData, int eventData1,
                                    int eventData2);
// BETRIEBSART (commit): nothing; the mode goes to the module with "Schreiben".
int Callback_Main_Ring_Betriebsart(int panel, int control, int event, void *callbackData, int eventData1,
                                   int eventData2);
// "Lesen" (commit): reads the parameter set into the fields, then adjusts the gains' decimals; the
// status line says "Parametersatz gelesen".
int Callback_Main_ButtonLesen(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
// "Schreiben" (commit): asks first when the set did not come from this module (SchreibenBestaetigen),
// sends the parameter set; only when all was accepted reads it back, adjusts the gains' decimals and
// says in the status line what happened (SchreibenPruefen).
int Callback_Main_Button_Schreiben(int panel, int control, int event, void *callbackData, int eventData1,
                                   int eventData2);
// P, I, D, output limits, slope (commit): adjusts the gains' decimals; an I gain of exactly 0 becomes
// 0.0001; the limit just edited yields to the other one when they would cross.
int Callback_Main_Numerics_Parametereingabe(int panel, int control, int event, void *callbackData, int eventData1,
                                            int eventData2);
// "Scann" (commit): scans addresses 1..8.
int Callback_Main_Button_Scann(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
// "ID lesen" (commit): reads the selected module's identification.
int Callback_Main_Button_IDLesen(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);

// ---- callbacks of the parameter-set files ---------------------------------------------------------
// (menu "Datei", "Parametersatz laden" and "Parametersatz speichern")
// Each shows a failure in an error popup ("Fehler #<number>" and the catalogue text) and never touches
// the main panel's error display; success and a cancelled file dialog show nothing.

// "Parametersatz laden": loads a parameter-set file (LeseParameterAusDatei).
void Callback_Menu_Laden(int menuBar, int menuItem, void *callbackData, int panel);
// "Parametersatz speichern": saves the parameter set to a file (SchreibeParameterInDatei).
void Callback_Menu_Speichern(int menuBar, int menuItem, void *callbackData, int panel);
// "Vergleichen...": module, panel and a chosen file side by side (SatzVergleichen).
void Callback_Menu_Vergleichen(int menuBar, int menuItem, void *callbackData, int panel);
