#include "analysis/Sprungantwort.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Setpoints that differ by less are the same setpoint (volts converted from a user unit).
constexpr double kGleicherSoll = 1e-6;
// A recording that keeps a step's samples far beyond any sensible window ends it here.
constexpr std::size_t kMaxPunkte = 1u << 17;

Sprungkennwerte Leer(int zustand, double start, double anfang, double ziel)
{
    return {zustand, start, anfang, ziel, kNaN, kNaN, kNaN, kNaN, 0.0};
}

// Time at which the straight line from (t0, x0) to (t1, x1) reaches x.
double Schnitt(double t0, double x0, double t1, double x1, double x)
{
    return x1 == x0 ? t1 : t0 + (t1 - t0) * (x - x0) / (x1 - x0);
}

bool ImBand(double x)
{
    return std::fabs(x - 1.0) <= kSprungBand;
}

// Where the line from an outside x0 to an inside x1 crosses into the band.
double BandEintritt(double t0, double x0, double t1, double x1)
{
    return Schnitt(t0, x0, t1, x1, x0 > 1.0 ? 1.0 + kSprungBand : 1.0 - kSprungBand);
}

}  // namespace

Sprungkennwerte SprungAuswerten(double start, double anfang, double ziel, const Messpunkt *punkte, std::size_t n)
{
    const double hub = ziel - anfang;
    if (!(std::fabs(hub) >= kSprungMin))
        return Leer(SPRUNG_ZU_KLEIN, start, anfang, ziel);
    if (n == 0)
        return Leer(SPRUNG_LUECKE, start, anfang, ziel);

    // Normalised response x = 0 at the start, 1 at the setpoint; the step itself is the first point.
    double t10 = kNaN, t90 = kNaN, spitze = 0.0, eintritt = kNaN;
    double tAlt = start, xAlt = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = punkte[i].zeit;
        const double x = (punkte[i].ist - anfang) / hub;
        if (std::isnan(t10) && x >= 0.1)
            t10 = Schnitt(tAlt, xAlt, t, x, 0.1);
        if (std::isnan(t90) && x >= 0.9)
            t90 = Schnitt(tAlt, xAlt, t, x, 0.9);
        spitze = std::fmax(spitze, x);
        if (!ImBand(x))
            eintritt = kNaN;
        else if (!ImBand(xAlt))
            eintritt = BandEintritt(tAlt, xAlt, t, x);
        tAlt = t;
        xAlt = x;
    }

    Sprungkennwerte k = Leer(SPRUNG_FERTIG, start, anfang, ziel);
    k.dauer = punkte[n - 1].zeit - start;
    k.anstiegszeit = t90 - t10;
    k.ueberschwingen = std::fmax(0.0, spitze - 1.0) * 100.0;
    k.ausregelzeit = eintritt - start;
    // The mean of the last second, or of the last half of a shorter window, so one noisy sample
    // does not decide it.
    const double ab = punkte[n - 1].zeit - std::clamp(k.dauer / 2.0, 0.0, kSprungMittelung);
    double summe = 0.0;
    std::size_t anzahl = 0;
    for (std::size_t i = n; i-- > 0 && punkte[i].zeit >= ab;) {
        summe += punkte[i].ist;
        ++anzahl;
    }
    k.bleibendeAbweichung = ziel - summe / static_cast<double>(anzahl);
    return k;
}

Sprungkennwerte SprungInAufzeichnung(const Messpunkt *punkte, std::size_t n)
{
    std::size_t s = 1;
    while (s < n && std::fabs(punkte[s].soll - punkte[s - 1].soll) < kGleicherSoll)
        ++s;
    if (s >= n)
        return Leer(SPRUNG_ZU_KLEIN, kNaN, kNaN, kNaN);
    const double start = punkte[s].zeit, anfang = punkte[s - 1].ist, ziel = punkte[s].soll;
    std::size_t e = s;
    for (; e < n; ++e) {
        if (std::fabs(punkte[e].soll - ziel) >= kGleicherSoll)
            return Leer(SPRUNG_UNTERBROCHEN, start, anfang, ziel);
        if (punkte[e].zeit - (e > s ? punkte[e - 1].zeit : start) > kSprungMaxLuecke)
            return Leer(SPRUNG_LUECKE, start, anfang, ziel);
    }
    return SprungAuswerten(start, anfang, ziel, punkte + s, n - s);
}

// ---- following steps one sample at a time ----------------------------------------------------------

static int Beenden(Sprungverfolgung *v, int zustand)
{
    v->ergebnis = zustand == SPRUNG_FERTIG
                      ? SprungAuswerten(v->start, v->anfang, v->ziel, v->punkte.data(), v->punkte.size())
                      : Leer(zustand, v->start, v->anfang, v->ziel);
    v->aktiv = false;
    v->punkte.clear();
    return v->ergebnis.zustand;
}

static int Beginnen(Sprungverfolgung *v, double zeit, double ziel)
{
    v->letzterSoll = ziel;
    v->start = zeit;
    v->ziel = ziel;
    v->anfangOffen = !v->hatPunkt;
    v->anfang = v->letzterIst;
    v->imBandSeit = kNaN;
    v->punkte.clear();
    if (!v->anfangOffen && !(std::fabs(ziel - v->anfang) >= kSprungMin))
        return SPRUNG_ZU_KLEIN;
    v->aktiv = true;
    return SPRUNG_LAEUFT;
}

int Sprungverfolgung_Sollwert(Sprungverfolgung *v, double zeit, double ziel)
{
    const int alt = v->aktiv ? Beenden(v, SPRUNG_UNTERBROCHEN) : SPRUNG_KEINER;
    const int neu = Beginnen(v, zeit, ziel);
    if (alt != SPRUNG_KEINER)
        return alt;
    if (neu == SPRUNG_ZU_KLEIN)
        v->ergebnis = Leer(SPRUNG_ZU_KLEIN, zeit, v->anfang, ziel);
    return neu;
}

int Sprungverfolgung_Punkt(Sprungverfolgung *v, const Messpunkt &p)
{
    int ende = SPRUNG_KEINER;
    if (v->aktiv && v->hatPunkt && p.zeit - v->letzteZeit > kSprungMaxLuecke)
        ende = Beenden(v, SPRUNG_LUECKE);
    if (v->hatPunkt && std::fabs(p.soll - v->letzterSoll) >= kGleicherSoll) {
        if (v->aktiv)
            ende = Beenden(v, SPRUNG_UNTERBROCHEN);
        if (Beginnen(v, p.zeit, p.soll) == SPRUNG_ZU_KLEIN && ende == SPRUNG_KEINER) {
            v->ergebnis = Leer(SPRUNG_ZU_KLEIN, p.zeit, v->anfang, p.soll);
            ende = SPRUNG_ZU_KLEIN;
        }
    }
    v->hatPunkt = true;
    v->letzteZeit = p.zeit;
    v->letzterIst = p.ist;
    v->letzterSoll = p.soll;
    if (!v->aktiv)
        return ende;
    if (v->anfangOffen) {
        // The step came before any sample: its start value is the first one seen.
        v->anfangOffen = false;
        v->anfang = p.ist;
        if (!(std::fabs(v->ziel - v->anfang) >= kSprungMin)) {
            v->aktiv = false;
            v->ergebnis = Leer(SPRUNG_ZU_KLEIN, v->start, v->anfang, v->ziel);
            return SPRUNG_ZU_KLEIN;
        }
    }
    if (p.zeit < v->start)
        return ende != SPRUNG_KEINER ? ende : SPRUNG_LAEUFT;  // taken before the step was written
    const double hub = v->ziel - v->anfang;
    const double x = (p.ist - v->anfang) / hub;
    if (!ImBand(x)) {
        v->imBandSeit = kNaN;
    } else if (std::isnan(v->imBandSeit)) {
        // The step itself is the point before the first sample.
        const Messpunkt vor = v->punkte.empty() ? Messpunkt{v->start, v->ziel, v->anfang} : v->punkte.back();
        v->imBandSeit = BandEintritt(vor.zeit, (vor.ist - v->anfang) / hub, p.zeit, x);
    }
    v->punkte.push_back(p);
    const double seit = p.zeit - v->start;
    const bool ruhig =
        !std::isnan(v->imBandSeit) && p.zeit - v->imBandSeit >= std::fmax(kSprungRuhe, v->imBandSeit - v->start);
    if (ruhig || seit >= v->fenster || v->punkte.size() >= kMaxPunkte)
        return Beenden(v, SPRUNG_FERTIG);
    return ende != SPRUNG_KEINER ? ende : SPRUNG_LAEUFT;
}

int Sprungverfolgung_Abbrechen(Sprungverfolgung *v, int zustand)
{
    return v->aktiv ? Beenden(v, zustand) : SPRUNG_KEINER;
}

double Analyse_Jetzt(void)
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}
