#include "app/TLX1Konfig.h"

#include "app/TLX1Steuerung.h"
#include "platform/userint/userint.h"
#include "ui/TLX1Steuerung.h"

#include <cstring>

KonfigStruktur gKonfig = {0.0, 10.0, 0.0, 10.0, "V"};

void KonfigstrukturAufStandardwerte(void)
{
    gKonfig.vmin = 0.0;
    gKonfig.vmax = 10.0;
    gKonfig.einheitmin = 0.0;
    gKonfig.einheitmax = 10.0;
    std::strcpy(gKonfig.einheit, "V");
}

void KonfigStrukturZuGui(void)
{
    // The unit may come from a parameter-set file without a terminating zero: copy at most 5 bytes.
    char einheit[KONFIG_EINHEIT_MAX + 1] = {};
    std::memcpy(einheit, gKonfig.einheit, KONFIG_EINHEIT_MAX);

    SetCtrlVal(konfigpanelHandle, KONFIGPNL_SKALMIN_VOLT, gKonfig.vmin);
    SetCtrlVal(konfigpanelHandle, KONFIGPNL_SKALMAX_VOLT, gKonfig.vmax);
    SetCtrlVal(konfigpanelHandle, KONFIGPNL_SKALMIN_UMGERECHNET, gKonfig.einheitmin);
    SetCtrlVal(konfigpanelHandle, KONFIGPNL_SKALMAX_UMGERECHNET, gKonfig.einheitmax);
    SetCtrlVal(konfigpanelHandle, KONFIGPNL_SKAL_EINHEIT, einheit);
}
