#include "tools/ctl_text.h"

#include "platform/text/textformat.h"

namespace tlx1ctl {

namespace {

std::string_view Trimmen(std::string_view s)
{
    const auto leer = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && leer(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && leer(s.back()))
        s.remove_suffix(1);
    return s;
}

}  // namespace

std::optional<SatzZeile> SatzZeileLesen(std::string_view zeile, std::string *grund)
{
    if (const auto kommentar = zeile.find('#'); kommentar != std::string_view::npos)
        zeile = zeile.substr(0, kommentar);
    zeile = Trimmen(zeile);
    if (zeile.empty())
        return SatzZeile{};
    const auto gleich = zeile.find('=');
    if (gleich == std::string_view::npos) {
        *grund = "NAME=WERT erwartet";
        return std::nullopt;
    }
    const std::string_view name = Trimmen(zeile.substr(0, gleich));
    const std::string_view wert = Trimmen(zeile.substr(gleich + 1));
    if (name.empty()) {
        *grund = "Name fehlt";
        return std::nullopt;
    }
    const std::optional<double> zahl = ZahlLesen(wert);
    if (!zahl) {
        *grund = "kein Zahlenwert: \"" + Druckbar(wert) + "\"";
        return std::nullopt;
    }
    return SatzZeile{std::string(name), *zahl};
}

}  // namespace tlx1ctl
