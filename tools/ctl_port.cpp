// tlx1ctl: the COM map as the window program has it, opening the port a command asks for, and
// saying why it could not be opened.
#include "tools/ctl.h"

#include "app/TLX1Func.h"
#include "app/TLX1Schnittstellen.h"
#include "driver/okvtlx1.h"
#include "platform/rs232/commap.h"
#include "platform/rs232/rs232.h"
#include "platform/text/textformat.h"

#include <iostream>

namespace tlx1ctl {

namespace {

// The COM number to open: --port, or for --device a number beyond the settings file's and not
// mapped by the environment, whose entry in the COM map then names the device.
std::optional<int> PortWaehlen(const Aufruf &a)
{
    if (a.geraet.empty())
        return a.port;
    for (int n = COM_MAX_PORT; n > COM_MAP_ENTRIES; --n) {
        if (ComResolve(n).source == ComSource::Environment)
            continue;
        ComMapSet(n, a.geraet);
        return n;
    }
    return std::nullopt;
}

}  // namespace

std::optional<int> EinstellungenLesen(const Aufruf &a)
{
    const bool gegeben = !a.einstellungen.empty();
    const std::string pfad = gegeben ? a.einstellungen : TLX1_INI_DATEI;
    const int rc = SchnittstellenAusDatei(pfad.c_str());
    // Like the window, the tool goes on without a settings file of its own folder.
    if (rc == 0 || !gegeben)
        return std::nullopt;
    FehlerAusgeben(rc);
    std::cerr << "Einstellungsdatei: " << pfad << "\n";
    return kFehler;
}

int MitPort(const Aufruf &a, const Befehl &b)
{
    if (a.geraet.empty() && EinstellungenLesen(a))
        return b.fehlerStatus;
    const std::optional<int> port = PortWaehlen(a);
    if (!port) {
        std::cerr << "tlx1ctl: keine freie COM-Nummer für " << a.geraet << "\n";
        return b.fehlerStatus;
    }
    if (const int rc = OKVTLX1_Open(*port); rc != 0) {
        FehlerAusgeben(rc);
        std::cerr << "Grund: " << Utf8AusCp1252(ComOpenFailure(*port)) << "\n";
        return b.fehlerStatus;
    }
    int ergebnis = b.fehlerStatus;
    if (const int rc = OKVTLX1_Timeout(*port, kZeitlimit); rc != 0)
        FehlerAusgeben(rc);
    else
        ergebnis = b.ausfuehren(a, *port);
    OKVTLX1_Close(*port);  // nothing left to do about a failed close
    return ergebnis;
}

}  // namespace tlx1ctl
