// tlx1ctl ports: the serial devices present and the COM map as the window program would use it.
#include "tools/ctl.h"

#include "platform/rs232/comdevices.h"
#include "platform/rs232/commap.h"
#include "platform/text/textformat.h"

#include <iostream>

namespace tlx1ctl {

namespace {

std::string Feld(const std::string &cp1252)
{
    return cp1252.empty() ? "-" : Utf8AusCp1252(cp1252);
}

}  // namespace

int Ports(const Aufruf &a, int)
{
    if (const std::optional<int> rc = EinstellungenLesen(a))
        return *rc;
    for (const ComDeviceInfo &g : ComFindDevices())
        std::cout << Feld(g.path) << '\t' << Feld(g.byId) << '\t' << Feld(g.maker) << '\t' << Feld(g.product) << '\t'
                  << Feld(g.serial) << '\n';
    for (int n = 1; n <= COM_MAP_ENTRIES; ++n) {
        const ComMapping m = ComResolve(n);
        std::cout << "COM" << n << '\t' << Feld(m.device) << '\t' << ComSourceName(m.source) << '\n';
    }
    return kOk;
}

}  // namespace tlx1ctl
