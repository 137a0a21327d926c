#include "app/TLX1Steuerung.h"

#include "app/TLX1Com.h"
#include "app/TLX1Func.h"
#include "app/TLX1Konfig.h"
#include "platform/userint/userint.h"
#include "ui/TLX1Steuerung.h"

#include <array>
#include <cmath>

int panelHandle = 0;
int konfigpanelHandle = 0;
int aboutpanelHandle = 0;

static constexpr const char *VERSION = "V 1.1";
static constexpr const char *DATUM = "08/2008";

// The callbacks this program provides, by the names the panel catalogue gives. A control whose
// callback is not listed here stays without one.
static constexpr CallbackEntry CALLBACKS[] = {
    {"Callback_MainAndKonfig_Panel",            nullptr, Callback_MainAndKonfig_Panel, nullptr},
    {"Callback_Menu_Beenden",                   nullptr, nullptr, Callback_Menu_Beenden},
    {"Callback_Menu_Skalieren",                 nullptr, nullptr, Callback_Menu_Skalieren},
    {"Callback_Menu_Info",                      nullptr, nullptr, Callback_Menu_Info},
    {"Callback_Info_Button_Ok",                 Callback_Info_Button_Ok, nullptr, nullptr},
    {"Callback_Konfig_Button_Ok",               Callback_Konfig_Button_Ok, nullptr, nullptr},
    {"Callback_Konfig_Button_Abbruch",          Callback_Konfig_Button_Abbruch, nullptr, nullptr},
    {"Callback_Konfig_Button_AufStandardwerte", Callback_Konfig_Button_AufStandardwerte, nullptr, nullptr},
    // device actions: add their callbacks here
    // parameter-set files: add the two menu callbacks here
};
static constexpr int CALLBACK_ANZAHL = static_cast<int>(std::size(CALLBACKS));
static_assert(CALLBACK_ANZAHL == 8);

int TLX1Steuerung_Main(int argc, char *argv[])
{
    if (InitUserInterface(argc, argv) == 0)
        return -1;
    TLX1Steuerung_PanelDateiRegistrieren();
    InstallCallbackTable(CALLBACKS, CALLBACK_ANZAHL);

    if ((panelHandle = LoadPanel(0, TLX1STEUERUNG_UIR, PANEL)) < 0)
        return -1;
    if ((aboutpanelHandle = LoadPanel(panelHandle, TLX1STEUERUNG_UIR, ABOUTPANEL)) < 0)
        return -1;
    if ((konfigpanelHandle = LoadPanel(panelHandle, TLX1STEUERUNG_UIR, KONFIGPNL)) < 0)
        return -1;
    // Each window shows up on the desktop by itself with this toolkit; nothing to switch.

    PanelsInitialisieren(VERSION, DATUM);
    LoadIni();  // a missing or unreadable file leaves the defaults; the operator is not told
    SetPrecision();
    DisplayPanel(panelHandle);
    RunUserInterface();

    CloseComPort();
    WriteIni();  // a failure to write is not reported; the program still ends normally
    return 0;
}

int Callback_MainAndKonfig_Panel(int, int event, void *, int, int)
{
    if (event == EVENT_CLOSE)
        QuitUserInterface(0);
    return 0;
}

void Callback_Menu_Beenden(int, int, void *, int)
{
    QuitUserInterface(0);
}

void Callback_Menu_Skalieren(int, int, void *, int)
{
    DisplayPanel(konfigpanelHandle);
}

void Callback_Menu_Info(int, int, void *, int)
{
    InstallPopup(aboutpanelHandle);
}

int Callback_Info_Button_Ok(int, int, int event, void *, int, int)
{
    if (event == EVENT_COMMIT)
        RemovePopup(0);
    return 0;
}

// What is wrong with the scaling on the dialog, or null when it can be applied. The conversions
// divide by the two differences, so equal values, values that are not finite, and values so far
// apart that a factor or the image of 0 V, 10 V or 1000 V (the slope's range) leaves the range of
// doubles would turn the scaled fields into infinity or NaN.
static const char *SkalierungsFehler(void)
{
    double vmin = 0.0, vmax = 0.0, emin = 0.0, emax = 0.0;
    GetCtrlVal(konfigpanelHandle, KONFIGPNL_SKALMIN_VOLT, &vmin);
    GetCtrlVal(konfigpanelHandle, KONFIGPNL_SKALMAX_VOLT, &vmax);
    GetCtrlVal(konfigpanelHandle, KONFIGPNL_SKALMIN_UMGERECHNET, &emin);
    GetCtrlVal(konfigpanelHandle, KONFIGPNL_SKALMAX_UMGERECHNET, &emax);

    if (!std::isfinite(vmin) || !std::isfinite(vmax) || !std::isfinite(emin) || !std::isfinite(emax))
        return "Die Skalierung enth\xE4lt einen Wert, der keine endliche Zahl ist.\n"
               "Bitte vier g\xFCltige Zahlen eingeben.";
    if (vmin == vmax)
        return "Die beiden Spannungswerte sind gleich.\n"
               "F\xFCr die Umrechnung werden zwei verschiedene Spannungswerte ben\xF6tigt.";
    if (emin == emax)
        return "Die beiden Werte in der Einheit sind gleich.\n"
               "F\xFCr die Umrechnung werden zwei verschiedene Werte ben\xF6tigt.";

    // The same arithmetic as the two conversions.
    const double zuEinheit = (emax - emin) / (vmax - vmin);
    const double zuVolt = (vmax - vmin) / (emax - emin);
    bool berechenbar = std::isnormal(zuEinheit) && std::isnormal(zuVolt);
    for (double volt : {0.0, 10.0, 1000.0})
        berechenbar = berechenbar && std::isfinite((volt - vmin) * zuEinheit + emin);
    if (!berechenbar)
        return "Mit diesen Werten l\xE4sst sich die Skalierung nicht berechnen:\n"
               "Die Umrechnung \xFC" "berschreitet den darstellbaren Zahlenbereich.";
    return nullptr;
}

int Callback_Konfig_Button_Ok(int, int, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    if (const char *fehler = SkalierungsFehler()) {
        MessagePopup("Skalierung nicht \xFC" "bernommen", fehler);
        return 0;
    }
    NeueSkalierungSetzen();
    HidePanel(konfigpanelHandle);
    return 0;
}

int Callback_Konfig_Button_Abbruch(int, int, int event, void *, int, int)
{
    if (event == EVENT_COMMIT)
        HidePanel(konfigpanelHandle);
    return 0;
}

int Callback_Konfig_Button_AufStandardwerte(int, int, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    const KonfigStruktur angewendet = gKonfig;
    KonfigstrukturAufStandardwerte();
    KonfigStrukturZuGui();
    gKonfig = angewendet;
    return 0;
}
