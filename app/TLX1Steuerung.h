// TLX1Steuerung: the program's main routine, its panels and the callbacks of the operator's actions.
#pragma once

// Handles of the three panels, set once by TLX1Steuerung_Main before any callback runs.
extern int panelHandle;        // main window PANEL
extern int konfigpanelHandle;  // scaling dialog KONFIGPNL
extern int aboutpanelHandle;   // about box ABOUTPANEL

// Runs the program: loads the panels and the settings, runs the event loop until the operator quits,
// then closes the serial port and writes the settings. 0, or -1 when the user interface or a panel
// cannot be loaded. The caller installs a view backend first (none: headless).
int TLX1Steuerung_Main(int argc, char *argv[]);

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
int Callback_Info_Button_Ok(int panel, int control, int event, void *callbackData, int eventData1,
                            int eventData2);

// Scaling dialog "Ok" (commit): applies the dialog's scaling and hides the dialog; a scaling that
// cannot be computed (equal or non-finite values) is refused with a message and the dialog stays.
int Callback_Konfig_Button_Ok(int panel, int control, int event, void *callbackData, int eventData1,
                              int eventData2);
// Scaling dialog "Abbruch" (commit): hides the dialog, keeping its unapplied values.
int Callback_Konfig_Button_Abbruch(int panel, int control, int event, void *callbackData, int eventData1,
                                   int eventData2);
// Scaling dialog "auf Standardwerte zurücksetzen" (commit): shows the default scaling in the dialog
// without applying it.
int Callback_Konfig_Button_AufStandardwerte(int panel, int control, int event, void *callbackData,
                                            int eventData1, int eventData2);

// ---- callbacks of the device actions --------------------------------------------------------------
// (connection, timer, zoom, setpoint, manipulated value, parameter set, scan, identification)

// ---- callbacks of the parameter-set files ---------------------------------------------------------
// (menu "Datei", "Parametersatz laden" and "Parametersatz speichern")
