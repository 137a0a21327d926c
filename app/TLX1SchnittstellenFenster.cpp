#include "app/TLX1SchnittstellenFenster.h"

#include "app/TLX1Schnittstellen.h"
#include "app/TLX1Steuerung.h"
#include "platform/rs232/comdevices.h"
#include "platform/rs232/commap.h"
#include "platform/userint/userint.h"
#include "ui/TLX1Steuerung.h"

#include <string>
#include <vector>

int schnittstellenpanelHandle = 0;

// What each device field showed when the dialog opened, and whether an environment variable named
// it; index 0 is COM 1. OK stores only what the operator changed.
static std::string angezeigt[COM_MAP_ENTRIES];
static bool ausUmgebung[COM_MAP_ENTRIES];

static std::string Getrimmt(const std::string &text)
{
    const size_t anfang = text.find_first_not_of(" \t");
    if (anfang == std::string::npos)
        return "";
    return text.substr(anfang, text.find_last_not_of(" \t") - anfang + 1);
}

void ComRingBeschriften(void)
{
    for (int n = 1; n <= COM_MAP_ENTRIES; ++n) {
        const std::string label = "COM " + std::to_string(n) + " (" + ComResolve(n).device + ")";
        SetListItemLabel(panelHandle, PANEL_PORT, n - 1, label.c_str());
    }
}

// "/dev/serial/by-id/usb-FTDI_... (/dev/ttyUSB0, FTDI, FT232R USB UART, Seriennummer A10K3XYZ)":
// the stable name first, then what the system knows of the adapter.
static std::string Beschreibung(const ComDeviceInfo &g)
{
    std::vector<std::string> teile;
    if (!g.byId.empty())
        teile.push_back(g.path);
    for (const std::string *t : {&g.maker, &g.product})
        if (!t->empty())
            teile.push_back(*t);
    if (!g.serial.empty())
        teile.push_back("Seriennummer " + g.serial);
    std::string text = g.byId.empty() ? g.path : g.byId;
    for (size_t i = 0; i < teile.size(); ++i)
        text += (i == 0 ? " (" : ", ") + teile[i];
    return teile.empty() ? text : text + ")";
}

static std::string Quelle(int port, ComSource quelle)
{
    if (quelle == ComSource::Environment)
        return "Umgebungsvariable TLX1_COM" + std::to_string(port) + " gilt";
    return ComSourceName(quelle);
}

void Callback_Menu_Schnittstellen(int, int, void *, int)
{
    const std::vector<ComDeviceInfo> geraete = ComFindDevices();
    for (int n = 1; n <= COM_MAP_ENTRIES; ++n) {
        const int feld = SCHNITTPNL_COM1 + n - 1;
        const ComMapping abbildung = ComResolve(n);
        ClearListCtrl(schnittstellenpanelHandle, feld);
        for (const ComDeviceInfo &g : geraete)
            InsertListItem(schnittstellenpanelHandle, feld, -1, Beschreibung(g).c_str(),
                           (g.byId.empty() ? g.path : g.byId).c_str());
        angezeigt[n - 1] = abbildung.device;
        ausUmgebung[n - 1] = abbildung.source == ComSource::Environment;
        SetCtrlVal(schnittstellenpanelHandle, feld, abbildung.device.c_str());
        SetCtrlAttribute(schnittstellenpanelHandle, feld, ATTR_DIMMED, int(ausUmgebung[n - 1]));
        SetCtrlVal(schnittstellenpanelHandle, SCHNITTPNL_QUELLE1 + n - 1, Quelle(n, abbildung.source).c_str());
    }
    SetCtrlVal(schnittstellenpanelHandle, SCHNITTPNL_WIEDERVERBINDEN, AutomatischWiederverbinden());
    InstallPopup(schnittstellenpanelHandle);
}

int Callback_Schnittstellen_Ok(int, int, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    for (int n = 1; n <= COM_MAP_ENTRIES; ++n) {
        char text[MAX_PATHNAME_LEN] = "";
        GetCtrlVal(schnittstellenpanelHandle, SCHNITTPNL_COM1 + n - 1, text, sizeof text);
        const std::string geraet = Getrimmt(text);
        if (!ausUmgebung[n - 1] && geraet != angezeigt[n - 1])
            ComMapSet(n, geraet);
    }
    int wiederverbinden = 0;
    GetCtrlVal(schnittstellenpanelHandle, SCHNITTPNL_WIEDERVERBINDEN, &wiederverbinden);
    AutomatischWiederverbindenSetzen(wiederverbinden);
    ComRingBeschriften();
    RemovePopup(0);
    return 0;
}

int Callback_Schnittstellen_Abbruch(int, int, int event, void *, int, int)
{
    if (event == EVENT_COMMIT)
        RemovePopup(0);
    return 0;
}

int Callback_Schnittstellen_Panel(int, int event, void *, int, int)
{
    if (event == EVENT_CLOSE)
        RemovePopup(0);
    return 0;
}
