#include "app/TLX1Com.h"

#include "app/TLX1Steuerung.h"
#include "driver/okvtlx1.h"
#include "error/OKV_errorV3.h"
#include "platform/userint/userint.h"
#include "ui/TLX1Steuerung.h"

#include <climits>

// Number of the open COM port, -1 when none is open.
static int comPort = -1;

// Time-out of every read and write on the bus, in seconds.
static constexpr double COM_TIMEOUT_S = 1.0;

// ---- error display ------------------------------------------------------------------------------

void FehlerZeigen(int code)
{
    if (code == 0)
        FehlerLoeschen();
    else
        FehlerSetzen(code);
}

void FehlerSetzen(int code)
{
    SetCtrlVal(panelHandle, PANEL_FEHLERLED, 1);
    SetCtrlVal(panelHandle, PANEL_FEHLERSTRING, OKV_Fehlermeldung(code));
    // INT_MIN has no positive counterpart; no real code comes near it, but negating it would overflow.
    SetCtrlVal(panelHandle, PANEL_FEHLERNUMMER, code == INT_MIN ? INT_MAX : -code);
}

void FehlerLoeschen(void)
{
    SetCtrlVal(panelHandle, PANEL_FEHLERLED, 0);
    SetCtrlVal(panelHandle, PANEL_FEHLERSTRING, "");
    SetCtrlVal(panelHandle, PANEL_FEHLERNUMMER, 0);
}

// ---- port holder --------------------------------------------------------------------------------

int OpenComPort(void)
{
    const int alterPort = comPort;
    GetCtrlVal(panelHandle, PANEL_PORT, &comPort);
    if (comPort == alterPort)
        return 0;
    if (alterPort != -1)
        OKVTLX1_Close(alterPort);

    const int code = OKVTLX1_Open(comPort);
    if (code != 0) {
        comPort = -1;
        return code;
    }
    // A failed time-out setting leaves the port open; the next action uses it as it is.
    return OKVTLX1_Timeout(comPort, COM_TIMEOUT_S);
}

int CloseComPort(void)
{
    if (comPort != -1) {
        OKVTLX1_Close(comPort);
        comPort = -1;
    }
    return 0;
}

// ---- device operations --------------------------------------------------------------------------
// (each brackets its exchange with the port rule described in TLX1Com.h)
