// tlx1ctl: a parameter-set file shown as text (show) and a set held against the module's (diff).
#include "tools/ctl.h"

#include "app/Parameterdatei.h"
#include "app/TLX1Konfig.h"
#include "driver/okvtlx1.h"
#include "platform/text/textformat.h"

#include <cmath>
#include <cstring>
#include <iostream>
#include <sstream>

namespace tlx1ctl {

namespace {

// diff's exit status when the sets differ (0 equal, 2 any failure, as diff and cmp).
constexpr int kVerschieden = 1;

// Record-order indices of the two values a file holds in its own unit.
constexpr int kAnfangssoll = 5;
constexpr int kAnstiegszeit = 6;

// A value converted from the file's unit, without the conversion's noise in the last digits.
std::string Zahl(int i, double wert)
{
    if ((i == kAnfangssoll || i == kAnstiegszeit) && std::isfinite(wert) && std::fabs(wert) < 1e6)
        wert = std::round(wert * 1e9) / 1e9;
    return ZahlText(wert);
}

// Equal when a write sends both as the same text, so writing one over the other changes nothing.
bool Gleich(int i, double a, double b)
{
    const std::string name(kSatzNamen[i]);
    char ta[32], tb[32];
    return OKVTLX1_WertText(name.c_str(), a, ta, sizeof ta) == 0 &&
           OKVTLX1_WertText(name.c_str(), b, tb, sizeof tb) == 0 && std::strcmp(ta, tb) == 0;
}

}  // namespace

int Show(const Aufruf &a, int)
{
    std::array<double, kSatzNamen.size()> satz{};
    Parameterdatei datei{};
    if (const int rc = DateiSatz(a.argumente[0], satz, &datei); rc != 0) {
        FehlerAusgeben(rc);
        std::cerr << "show: " << a.argumente[0] << " nicht gelesen\n";
        return kFehler;
    }
    const KonfigStruktur &k = datei.konfig;
    const std::string einheit = Druckbar(Utf8AusCp1252(std::string(k.einheit, strnlen(k.einheit, sizeof k.einheit))));
    std::cout << "# Parametersatzdatei " << a.argumente[0] << "\n"
              << "# Skalierung: " << ZahlText(k.vmin) << " V bis " << ZahlText(k.vmax) << " V entspricht "
              << ZahlText(k.einheitmin) << " bis " << ZahlText(k.einheitmax) << " " << einheit << "\n"
              << "# Zoom: " << ZahlText(datei.zoommin) << " bis " << ZahlText(datei.zoommax) << " " << einheit << "\n"
              << "# Werte in Volt (Anstiegsgeschwindigkeit in V/s)\n";
    for (std::size_t i = 0; i < kSatzNamen.size(); ++i)
        std::cout << kSatzNamen[i] << "=" << Zahl(static_cast<int>(i), satz[i]) << "\n";
    return kOk;
}

std::optional<int> DiffVorbereiten(Aufruf &a, const Befehl &b)
{
    // The set to compare is read and checked before the port is opened.
    const bool vonStdin = a.argumente[0] == "-";
    const std::string quelle = vonStdin ? "Standardeingabe" : a.argumente[0];
    std::string text;
    if (const std::string problem = EingabeLesen(vonStdin ? nullptr : quelle.c_str(), &text); !problem.empty()) {
        std::cerr << "tlx1ctl: " << quelle << ": " << problem << "\n";
        return kAufruffehler;
    }
    // A parameter-set file by its type text, or by its name, so a damaged one gets the file's own error.
    if (!vonStdin && (text.starts_with(PARAMETERDATEI_TYP) || quelle.ends_with(".tlx"))) {
        if (const int rc = DateiSatz(quelle, a.satz); rc != 0) {
            FehlerAusgeben(rc);
            std::cerr << "diff: " << quelle << " nicht gelesen\n";
            return kAufruffehler;
        }
        return std::nullopt;
    }
    std::istringstream ein(text);
    std::string grund;
    if (!SatzLesen(ein, quelle, a.satz, &grund))
        return Aufruffehler(&b, grund);
    return std::nullopt;
}

int Diff(const Aufruf &a, int port)
{
    std::array<double, kSatzNamen.size()> modul{};
    if (!SatzVomModul("diff", port, a.adresse, modul))
        return kAufruffehler;
    int status = kOk;
    for (std::size_t i = 0; i < kSatzNamen.size(); ++i) {
        const int k = static_cast<int>(i);
        if (Gleich(k, modul[i], a.satz[i]))
            continue;
        std::cout << kSatzNamen[i] << " " << ZahlText(modul[i]) << " -> " << Zahl(k, a.satz[i]) << "\n";
        status = kVerschieden;
    }
    return status;
}

}  // namespace tlx1ctl
