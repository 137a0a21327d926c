// tlx1ctl: the service record. Every value the tool writes is entered in protokoll.csv (as the
// window program does, through Protokoll_ParameterSchreiben), and `log` prints the record, filtered
// by address and time.
#include "tools/ctl.h"

#include "platform/rs232/rs232.h"
#include "platform/text/textformat.h"
#include "record/Protokoll.h"

#include <chrono>
#include <ctime>
#include <fstream>
#include <iostream>

namespace tlx1ctl {

namespace {

// A point in time as the operator writes it: "2026-12-07", "2026-12-07 10:15", "2026-12-07T10:15:02",
// with optional milliseconds (".123") and an optional offset ("Z", "+01:00"); without one it is
// local time. Milliseconds since the epoch, or std::nullopt.
std::optional<long long> ZeitLesen(std::string_view text)
{
    const auto zahl = [&](std::size_t pos, std::size_t n, long lo, long hi) -> std::optional<long> {
        if (pos + n > text.size())
            return std::nullopt;
        return GanzzahlLesen(text.substr(pos, n), lo, hi);
    };
    const auto jahr = zahl(0, 4, 1970, 9999), monat = zahl(5, 2, 1, 12), tag = zahl(8, 2, 1, 31);
    if (!jahr || !monat || !tag || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = static_cast<int>(*jahr - 1900);
    tm.tm_mon = static_cast<int>(*monat - 1);
    tm.tm_mday = static_cast<int>(*tag);
    std::size_t pos = 10;
    long milli = 0;
    if (pos < text.size() && (text[pos] == 'T' || text[pos] == ' ')) {
        const auto h = zahl(pos + 1, 2, 0, 23), m = zahl(pos + 4, 2, 0, 59);
        if (!h || !m || text[pos + 3] != ':')
            return std::nullopt;
        tm.tm_hour = static_cast<int>(*h);
        tm.tm_min = static_cast<int>(*m);
        pos += 6;
        if (pos < text.size() && text[pos] == ':') {
            const auto s = zahl(pos + 1, 2, 0, 60);
            if (!s)
                return std::nullopt;
            tm.tm_sec = static_cast<int>(*s);
            pos += 3;
            if (pos < text.size() && text[pos] == '.') {
                const auto ms = zahl(pos + 1, 3, 0, 999);
                if (!ms)
                    return std::nullopt;
                milli = *ms;
                pos += 4;
            }
        }
    }
    std::time_t sekunden = 0;
    if (pos == text.size()) {
        tm.tm_isdst = -1;
        sekunden = std::mktime(&tm);
    } else if (text.substr(pos) == "Z" || text[pos] == '+' || text[pos] == '-') {
        long versatz = 0;
        if (text[pos] != 'Z') {
            const auto h = zahl(pos + 1, 2, 0, 23), m = zahl(pos + 4, 2, 0, 59);
            if (!h || !m || text[pos + 3] != ':' || pos + 6 != text.size())
                return std::nullopt;
            versatz = (text[pos] == '-' ? -1 : 1) * (*h * 3600 + *m * 60);
        }
        sekunden = timegm(&tm) - versatz;
    } else {
        return std::nullopt;
    }
    return static_cast<long long>(sekunden) * 1000 + milli;
}

}  // namespace

void KennungMerken(int port, int adresse, const char *kennung)
{
    Protokoll_Kennung(ComOpenDevice(port).c_str(), adresse, kennung);
}

std::optional<int> LogVorbereiten(Aufruf &a, const Befehl &b)
{
    if (const auto seit = OptionWert(a, "--since")) {
        const auto ms = ZeitLesen(*seit);
        if (!ms)
            return Aufruffehler(&b, "--since braucht einen Zeitpunkt wie 2026-12-07 oder 2026-12-07T10:15");
        a.seit = *ms;
    }
    return std::nullopt;
}

int Log(const Aufruf &a, int)
{
    const std::string pfad = Protokoll_Pfad();
    std::ifstream datei(pfad, std::ios::binary);
    if (pfad.empty() || !datei) {
        std::cerr << "tlx1ctl: kein Protokoll " << (pfad.empty() ? "(weder XDG_STATE_HOME noch HOME gesetzt)" : pfad)
                  << "\n";
        return kFehler;
    }
    const bool seitGegeben = OptionWert(a, "--since").has_value();
    std::cout << PROTOKOLL_KOPF << "\n";
    std::string zeile;
    while (std::getline(datei, zeile)) {
        if (zeile == PROTOKOLL_KOPF)
            continue;
        std::string felder[8];
        if (!Protokoll_Felder(zeile, felder)) {
            if (!a.adresseGegeben && !seitGegeben)
                std::cout << zeile << "\n";  // not ours to judge: shown when nothing is filtered
            continue;
        }
        if (a.adresseGegeben && felder[3] != std::to_string(a.adresse))
            continue;
        if (seitGegeben) {
            const auto zeit = ZeitLesen(felder[0]);
            if (!zeit || *zeit < a.seit)
                continue;
        }
        std::cout << zeile << "\n";
    }
    if (datei.bad()) {
        std::cerr << "tlx1ctl: " << pfad << ": Lesefehler\n";
        return kFehler;
    }
    return kOk;
}

}  // namespace tlx1ctl
