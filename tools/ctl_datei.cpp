// tlx1ctl: parameter-set files, read and written by the window program's own functions with its
// codes: saving through a temporary file that replaces an earlier file only once complete.
#include "tools/ctl.h"

#include "app/Parameterdatei.h"
#include "app/TLX1Func.h"
#include "app/TLX1Konfig.h"

#include <iostream>

namespace tlx1ctl {

// As the window program converts a loaded set when it writes it.
int DateiSatz(const std::string &pfad, std::array<double, 8> &satz, Parameterdatei *gelesen)
{
    Parameterdatei datei{};
    if (const int rc = Parameterdatei_Lesen(pfad.c_str(), &datei); rc != 0)
        return rc;
    if (gelesen != nullptr)
        *gelesen = datei;
    gKonfig = datei.konfig;
    const Parametersatz &s = datei.satz;
    satz = {s.P,
            s.I,
            s.D,
            s.min,
            s.max,
            Umrechnen_BenutzereinheitZuVolt(s.anfangssoll),
            Umrechnen_BenutzereinheitZuVolt(s.anstiegszeit),
            s.betriebsart};
    return 0;
}

int Save(const Aufruf &a, int port)
{
    std::array<double, kSatzNamen.size()> satz{};
    if (!SatzVomModul("save", port, a.adresse, satz))
        return kFehler;  // the file stays as it was
    // Volts in the identity scaling: the window shows the set as it came from the module.
    KonfigstrukturAufStandardwerte();
    Parameterdatei datei{};
    datei.satz = {satz[0], satz[1], satz[2], satz[3], satz[4], satz[5], satz[6], satz[7]};
    datei.zoommin = 0.0;
    datei.zoommax = 10.0;
    datei.konfig = gKonfig;
    if (const int rc = Parameterdatei_Schreiben(a.argumente[0].c_str(), &datei); rc != 0) {
        FehlerAusgeben(rc);
        std::cerr << "save: " << a.argumente[0] << " nicht gespeichert\n";
        return kFehler;
    }
    return kOk;
}

std::optional<int> LoadVorbereiten(Aufruf &a, const Befehl &)
{
    // Read and check the file before the port is opened: a bad file sends nothing.
    if (const int rc = DateiSatz(a.argumente[0], a.satz); rc != 0) {
        FehlerAusgeben(rc);
        std::cerr << "load: " << a.argumente[0] << " nicht geladen\n";
        return kFehler;
    }
    if (!SatzPruefen("load", a.satz))
        return kFehler;
    return std::nullopt;
}

int Load(const Aufruf &a, int port)
{
    // The file was read, checked and converted to volts, and every value checked, before the port
    // was opened.
    return SatzZumModul("load", port, a.adresse, a.satz);
}

}  // namespace tlx1ctl
