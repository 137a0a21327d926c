#include "analysis/Streckenmodell.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kGrenzeRegler = 99999.0;  // the module's range of P, I and D

// Unit response of the model at time tau after the step.
double Phi(double tau, double T, double L)
{
    return tau <= L ? 0.0 : 1.0 - std::exp(-(tau - L) / T);
}

struct Anpassung {
    double sse;
    double a;  // y0
    double b;  // K * step
};

// For a fixed T and L the model is linear in y0 and K*step: solve those two by least squares.
Anpassung Linear(double sprung, const Messpunkt *p, std::size_t n, double T, double L)
{
    double s1 = 0, sf = 0, sff = 0, sy = 0, sfy = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double f = Phi(p[i].zeit - sprung, T, L);
        s1 += 1;
        sf += f;
        sff += f * f;
        sy += p[i].ist;
        sfy += f * p[i].ist;
    }
    const double det = s1 * sff - sf * sf;
    Anpassung r{std::numeric_limits<double>::infinity(), sy / s1, 0.0};
    if (det > 1e-12 * s1 * s1) {
        r.b = (s1 * sfy - sf * sy) / det;
        r.a = (sy - r.b * sf) / s1;
    }
    double sse = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double e = p[i].ist - r.a - r.b * Phi(p[i].zeit - sprung, T, L);
        sse += e * e;
    }
    r.sse = sse;
    return r;
}

}  // namespace

Streckenmodell StreckeAnpassen(double sprung, double alt, double neu, const Messpunkt *alle, std::size_t anzahl)
{
    // A long recording of a slow plant is thinned to every k-th sample, which keeps the fit to a
    // few tens of milliseconds (it runs in the window's timer tick) and costs nothing in accuracy:
    // the recording ends about six time constants after the step, so samples stay dense.
    std::vector<Messpunkt> duenn;
    const Messpunkt *punkte = alle;
    std::size_t n = anzahl;
    if (anzahl > kModellMaxPunkte) {
        const std::size_t k = (anzahl + kModellMaxPunkte - 1) / kModellMaxPunkte;
        for (std::size_t i = 0; i < anzahl; i += k)
            duenn.push_back(alle[i]);
        punkte = duenn.data();
        n = duenn.size();
    }
    Streckenmodell m{MODELL_ZU_WENIG_PUNKTE, kNaN, kNaN, kNaN, kNaN, kNaN};
    std::size_t nach = 0;
    for (std::size_t i = 0; i < n; ++i)
        nach += punkte[i].zeit > sprung;
    const double hub = neu - alt;
    if (nach < kModellMinPunkte || hub == 0.0 || !std::isfinite(hub))
        return m;
    const double spanne = punkte[n - 1].zeit - sprung;
    const double abstand = spanne / static_cast<double>(nach);

    // Coarse grid over ln T and L, then a pattern search from the best cell: the error surface has
    // one valley, but its floor is flat along L for noisy data, so the grid keeps the search in it.
    const double lnTmin = std::log(abstand / 4.0), lnTmax = std::log(10.0 * spanne);
    const double Lmax = 0.8 * spanne;
    constexpr int kRaster = 32;
    double bestLnT = lnTmin, bestL = 0, bestSse = std::numeric_limits<double>::infinity();
    for (int it = 0; it < kRaster; ++it) {
        for (int il = 0; il < kRaster; ++il) {
            const double lnT = lnTmin + (lnTmax - lnTmin) * it / (kRaster - 1);
            const double L = Lmax * il / (kRaster - 1);
            const double sse = Linear(sprung, punkte, n, std::exp(lnT), L).sse;
            if (sse < bestSse) {
                bestSse = sse;
                bestLnT = lnT;
                bestL = L;
            }
        }
    }
    double sT = (lnTmax - lnTmin) / (kRaster - 1), sL = Lmax / (kRaster - 1);
    for (int runde = 0; runde < 4000 && (sT > 1e-6 || sL > 1e-6 * spanne); ++runde) {
        bool besser = false;
        const double versuche[4][2] = {{sT, 0}, {-sT, 0}, {0, sL}, {0, -sL}};
        for (const auto &v : versuche) {
            const double lnT = std::clamp(bestLnT + v[0], lnTmin, lnTmax);
            const double L = std::clamp(bestL + v[1], 0.0, Lmax);
            const double sse = Linear(sprung, punkte, n, std::exp(lnT), L).sse;
            if (sse < bestSse) {
                bestSse = sse;
                bestLnT = lnT;
                bestL = L;
                besser = true;
            }
        }
        if (!besser) {
            sT /= 2;
            sL /= 2;
        }
    }

    const double T = std::exp(bestLnT);
    const Anpassung a = Linear(sprung, punkte, n, T, bestL);
    double mittel = 0, sst = 0;
    for (std::size_t i = 0; i < n; ++i)
        mittel += punkte[i].ist / static_cast<double>(n);
    for (std::size_t i = 0; i < n; ++i)
        sst += (punkte[i].ist - mittel) * (punkte[i].ist - mittel);
    const double rms = std::sqrt(a.sse / static_cast<double>(n));
    if (!(std::fabs(a.b) >= std::fmax(kSprungMin, 5.0 * rms)))
        return {MODELL_KEINE_REAKTION, kNaN, kNaN, kNaN, kNaN, kNaN};

    m.verstaerkung = a.b / hub;
    m.zeitkonstante = T;
    m.totzeit = bestL;
    m.anfangswert = a.a;
    m.bestimmtheitsmass = sst > 0 ? 1.0 - a.sse / sst : kNaN;
    if (!(m.bestimmtheitsmass >= kModellMinR2))
        m.zustand = MODELL_UNGENAU;
    else if (spanne - bestL < 2.0 * T)
        m.zustand = MODELL_ZU_KURZ;
    else
        m.zustand = MODELL_OK;
    return m;
}

double StreckeAntwort(const Streckenmodell &m, double sprung, double alt, double neu, double t)
{
    return m.anfangswert + m.verstaerkung * (neu - alt) * Phi(t - sprung, m.zeitkonstante, m.totzeit);
}

double SimcTauCVorgabe(const Streckenmodell &m)
{
    return std::fmax(m.totzeit, m.zeitkonstante / 4.0);
}

Reglereinstellung SimcEinstellung(const Streckenmodell &m, double tauC)
{
    Reglereinstellung e{EINSTELLUNG_KEIN_MODELL, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN};
    const double K = m.verstaerkung, T = m.zeitkonstante, L = m.totzeit;
    if (!std::isfinite(K) || K == 0.0 || !(T > 0.0) || !std::isfinite(T) || !(L >= 0.0) || !std::isfinite(L))
        return e;
    e.tauC = std::isfinite(tauC) && tauC > 0.0 ? tauC : SimcTauCVorgabe(m);
    e.kc = T / (K * (e.tauC + L));
    e.tauI = std::fmin(T, 4.0 * (e.tauC + L));
    e.tauD = 0.0;
    e.p = e.kc;
    e.i = e.kc / e.tauI;
    e.d = e.kc * e.tauD;
    e.zustand = std::fabs(e.p) <= kGrenzeRegler && std::fabs(e.i) <= kGrenzeRegler ? EINSTELLUNG_OK
                                                                                   : EINSTELLUNG_AUSSER_BEREICH;
    return e;
}
