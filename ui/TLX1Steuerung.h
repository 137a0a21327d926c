// The panel file "TLX1Steuerung.uir": panel numbers, control constants and the menu bar.
//
// Within each panel the controls are numbered in catalogue order, the first one 2 and each next one
// one higher. Code names controls by these constants only; no file stores the numbers.
#pragma once

// Name under which the panel file is registered and loaded.
#define TLX1STEUERUNG_UIR "TLX1Steuerung.uir"

// Makes the panels known to the toolkit under TLX1STEUERUNG_UIR (call again after UiTest_Reset).
void TLX1Steuerung_PanelDateiRegistrieren(void);

// ---- panels --------------------------------------------------------------------------------------
enum {
    ABOUTPANEL = 1,  // about box, modal popup
    KONFIGPNL = 2,   // scaling dialog
    PANEL = 3,       // main window
    SCHNITTPNL = 4,  // "Schnittstellen": the device of COM 1 .. COM 8, modal popup
    ANALYSEPNL = 5,  // plant test and tuning proposal
};

// ---- ABOUTPANEL ----------------------------------------------------------------------------------
enum {
    ABOUTPANEL_TEXTMSG = 2,
    ABOUTPANEL_VERSION,
    ABOUTPANEL_DATUM,
    ABOUTPANEL_TEXTMSG_4,
    ABOUTPANEL_TEXTMSG_5,
    ABOUTPANEL_OK,
    ABOUTPANEL_PICTURE,
    ABOUTPANEL_PROGRAMMVERSION,  // "Programmversion x.y.z", below the panel's own texts
};

// ---- KONFIGPNL -----------------------------------------------------------------------------------
enum {
    KONFIGPNL_TEXTMSG = 2,
    KONFIGPNL_SKALMIN_VOLT,
    KONFIGPNL_SKALMAX_VOLT,
    KONFIGPNL_TEXTMSG_2,
    KONFIGPNL_SKALMIN_UMGERECHNET,
    KONFIGPNL_SKALMAX_UMGERECHNET,
    KONFIGPNL_SKAL_EINHEIT,
    KONFIGPNL_AUFSTANDARDWERTE,
    KONFIGPNL_ABBRUCH,
    KONFIGPNL_OK,
};

// ---- PANEL ---------------------------------------------------------------------------------------
enum {
    PANEL_TEXTMSG = 2,
    PANEL_PANTEIL,
    PANEL_IANTEIL,
    PANEL_DANTEIL,
    PANEL_STELLMIN,
    PANEL_STELLMAX,
    PANEL_ANFANGSSOLLWERT,
    PANEL_ANSTIEGSZEIT,
    PANEL_BETRIEBSART,
    PANEL_LESEN,
    PANEL_SCHREIBEN,
    PANEL_VERBINDEN,
    PANEL_STELLWERT,
    PANEL_SOLLWERT,
    PANEL_ISTWERT,
    PANEL_GRAPHZOOMMIN,
    PANEL_GRAPHZOOMMAX,
    PANEL_GRAPHZOOMZURUECK,
    PANEL_TEXTMSG_3,
    PANEL_ADRESSE,
    PANEL_PORT,
    PANEL_LED1,
    PANEL_LED2,
    PANEL_LED3,
    PANEL_LED4,
    PANEL_LED5,
    PANEL_LED6,
    PANEL_LED7,
    PANEL_LED8,
    PANEL_SCANN,
    PANEL_IDLESEN,
    PANEL_FEHLERLED,
    PANEL_FEHLERSTRING,
    PANEL_FEHLERNUMMER,
    PANEL_TEXTMSG_2,
    PANEL_TIMER,
    PANEL_TEXT,
    PANEL_IDSTRING,
    PANEL_DECORATION,
    PANEL_DECORATION_2,
    PANEL_DECORATION_3,
    PANEL_ANFANGSSOLLWERTEINHEI,
    PANEL_ANSTEIGSZEITEINHEIT,
    PANEL_STELLWERTEINHEIT,
    PANEL_ISTWERTEINHEIT,
    PANEL_SOLLWERTEINHEIT,
    PANEL_STRIPCHART,
    PANEL_ZOOMMINEINHEIT,
    PANEL_ZOOMMAXEINHEIT,
    PANEL_TEXTMSG_4,
    PANEL_ZEITSPANNE,    // span of the chart: 20 s, 1 min, 5 min, 30 min
    PANEL_ANHALTEN,      // "Anhalten"/"Weiter": holds the chart
    PANEL_AUFZEICHNUNG,  // state of the running recording
    PANEL_SPRUENGE,      // the last setpoint steps and their figures
};

// ---- menu bar of PANEL -----------------------------------------------------------------------------
enum {
    MENUBAR = 1,
    MENUBAR_DATEI,
    MENUBAR_DATEI_PARAMETE,    // "Parametersatz laden"
    MENUBAR_DATEI_PARAMETE_2,  // "Parametersatz speichern"
    MENUBAR_DATEI_SEPARATOR,
    MENUBAR_DATEI_BEENDEN,
    MENUBAR_KONFIG,
    MENUBAR_KONFIG_SKALIERUNG,  // "Skalieren..."
    MENUBAR_MENU,
    MENUBAR_MENU_BER,               // "Info..."
    MENUBAR_DATEI_VERGLEICHEN,      // "Vergleichen...": module, panel and a file side by side
    MENUBAR_KONFIG_SCHNITTSTELLEN,  // "Schnittstellen...": the device of each COM port
    MENUBAR_MENU_HANDBUCH,          // "Handbuch": the operator manual in a help window (F1)
    MENUBAR_DATEI_SEPARATOR_2,
    MENUBAR_DATEI_AUFZEICHNUNG_SPEICHERN,  // "Aufzeichnung speichern...": the kept points as CSV
    MENUBAR_DATEI_BILD_SPEICHERN,          // "Diagramm als Bild speichern...": PNG
    MENUBAR_DATEI_AUFZEICHNUNG_STARTEN,    // "Aufzeichnung starten...": every point into a CSV file
    MENUBAR_DATEI_AUFZEICHNUNG_BEENDEN,    // "Aufzeichnung beenden"
    MENUBAR_ANALYSE,
    MENUBAR_ANALYSE_STRECKE,  // "Strecke identifizieren...": plant test and tuning proposal
};

// ---- SCHNITTPNL ----------------------------------------------------------------------------------
// One row per COM port: the device field (a list of the devices found, or typed) and where the
// device comes from. COM n is SCHNITTPNL_COM1 + n - 1 and SCHNITTPNL_QUELLE1 + n - 1.
enum {
    SCHNITTPNL_TEXTMSG = 2,
    SCHNITTPNL_COM1,
    SCHNITTPNL_COM2,
    SCHNITTPNL_COM3,
    SCHNITTPNL_COM4,
    SCHNITTPNL_COM5,
    SCHNITTPNL_COM6,
    SCHNITTPNL_COM7,
    SCHNITTPNL_COM8,
    SCHNITTPNL_QUELLE1,
    SCHNITTPNL_QUELLE2,
    SCHNITTPNL_QUELLE3,
    SCHNITTPNL_QUELLE4,
    SCHNITTPNL_QUELLE5,
    SCHNITTPNL_QUELLE6,
    SCHNITTPNL_QUELLE7,
    SCHNITTPNL_QUELLE8,
    SCHNITTPNL_HINWEIS,
    SCHNITTPNL_WIEDERVERBINDEN,  // check box "Automatisch wieder verbinden"
    SCHNITTPNL_ABBRUCH,
    SCHNITTPNL_OK,
};

// ---- ANALYSEPNL ----------------------------------------------------------------------------------
enum {
    ANALYSEPNL_TEXT = 2,
    ANALYSEPNL_STELLALT,
    ANALYSEPNL_STELLNEU,
    ANALYSEPNL_DAUER,
    ANALYSEPNL_STARTEN,
    ANALYSEPNL_STATUS,
    ANALYSEPNL_DIAGRAMM,
    ANALYSEPNL_K,
    ANALYSEPNL_T,
    ANALYSEPNL_L,
    ANALYSEPNL_R2,
    ANALYSEPNL_REGEL,
    ANALYSEPNL_TAUC,
    ANALYSEPNL_P,
    ANALYSEPNL_I,
    ANALYSEPNL_D,
    ANALYSEPNL_UEBERNEHMEN,
    ANALYSEPNL_SCHLIESSEN,
};

static_assert(PANEL_PANTEIL == 3 && PANEL_STRIPCHART == 48 && PANEL_TEXTMSG_4 == 51);
static_assert(SCHNITTPNL_COM8 - SCHNITTPNL_COM1 == 7 && SCHNITTPNL_QUELLE8 - SCHNITTPNL_QUELLE1 == 7);
static_assert(PANEL_SPRUENGE == 55 && ANALYSEPNL_SCHLIESSEN == 19);
static_assert(KONFIGPNL_OK == 11 && ABOUTPANEL_OK == 7 && ABOUTPANEL_PICTURE == 8 && ABOUTPANEL_PROGRAMMVERSION == 9);
