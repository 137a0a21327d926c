// TLX1SchnittstellenFenster: the COM ring's labels and the dialog "Schnittstellen" (menu
// "Konfiguration"), where the operator chooses the device of COM 1 .. COM 8 and the automatic
// reconnect. What the dialog stores goes to the settings file with the other settings on exit.
#pragma once

// Handle of the dialog SCHNITTPNL, set by TLX1Steuerung_Main before any callback runs.
extern int schnittstellenpanelHandle;

// Labels the PORT ring's items with the device each COM port opens now: "COM 1 (/dev/ttyUSB0)".
// The ring's values stay 1 .. 8. No result.
void ComRingBeschriften(void);

// Menu "Konfiguration", "Schnittstellen...": fills the dialog (for each COM port its device and where
// it comes from, the devices found now as its list, the reconnect switch) and shows it as a modal
// popup. A port whose device an environment variable names is shown dimmed: the variable wins.
void Callback_Menu_Schnittstellen(int menuBar, int menuItem, void *callbackData, int panel);
// Dialog "OK" (commit): stores every device the operator changed (blanks around it dropped; an empty
// field returns the port to its default) and the reconnect switch, relabels the ring, closes the
// dialog.
int Callback_Schnittstellen_Ok(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
// Dialog "Abbruch" (commit): closes the dialog; nothing changes.
int Callback_Schnittstellen_Abbruch(int panel, int control, int event, void *callbackData, int eventData1,
                                    int eventData2);
// The dialog's close box (EVENT_CLOSE): as "Abbruch".
int Callback_Schnittstellen_Panel(int panel, int event, void *callbackData, int eventData1, int eventData2);
