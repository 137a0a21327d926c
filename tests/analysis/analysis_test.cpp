// Step-response figures and the plant model on synthetic responses whose answers are known: the
// samples come at 10 Hz like the window's poll, with noise and the module's 3 decimals.
#include "analysis/Sprungantwort.h"
#include "analysis/Streckenmodell.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

namespace {

using Antwort = std::function<double(double)>;  // normalised response 0 -> 1 over time since the step

constexpr double kStart = 10.037;  // the step lies between two samples
constexpr double kVon = 1.0, kAuf = 6.0;

// Samples of y = kVon + hub * x(t - kStart) every 0.1 s from about 1 s before the step to `bis`
// after it, with Gaussian noise (V) and rounded to 3 decimals as the module sends them.
std::vector<Messpunkt> Abtasten(const Antwort &x, double bis, double rauschen, unsigned saat = 1,
                                double hub = kAuf - kVon)
{
    std::mt19937 zufall(saat);
    std::normal_distribution<double> n(0.0, rauschen);
    std::vector<Messpunkt> p;
    for (int i = 0; 9.0 + 0.1 * i <= kStart + bis; ++i) {
        const double t = 9.0 + 0.1 * i;
        const double tau = t - kStart;
        const double y = kVon + hub * (tau > 0 ? x(tau) : 0.0) + (rauschen > 0 ? n(zufall) : 0.0);
        p.push_back({t, tau > 0 ? kAuf : kVon, std::round(y * 1000.0) / 1000.0});
    }
    return p;
}

Antwort ErsteOrdnung(double k, double T)
{
    return [=](double t) { return k * (1.0 - std::exp(-t / T)); };
}

Antwort ZweiteOrdnung(double zeta, double wn)
{
    return [=](double t) {
        const double wd = wn * std::sqrt(1 - zeta * zeta);
        return 1.0 -
               std::exp(-zeta * wn * t) * (std::cos(wd * t) + zeta / std::sqrt(1 - zeta * zeta) * std::sin(wd * t));
    };
}

// The figures of x itself, to 1 ms: first times of 10 % and 90 %, the peak, the last time outside
// the band.
Sprungkennwerte Genau(const Antwort &x, double bis)
{
    double t10 = NAN, t90 = NAN, spitze = 0, aussen = 0;
    for (int ms = 0; ms <= bis * 1e3; ++ms) {
        const double t = ms * 1e-3, v = x(t);
        if (std::isnan(t10) && v >= 0.1)
            t10 = t;
        if (std::isnan(t90) && v >= 0.9)
            t90 = t;
        spitze = std::max(spitze, v);
        if (std::fabs(v - 1.0) > kSprungBand)
            aussen = t;
    }
    const double ende = x(bis);
    return {SPRUNG_FERTIG,
            0,
            0,
            0,
            t90 - t10,
            std::max(0.0, spitze - 1) * 100,
            std::fabs(ende - 1.0) > kSprungBand ? NAN : aussen,
            (kAuf - kVon) * (1 - ende),
            bis};
}

void Nahe(double ist, double soll, double relativ, double absolut, const char *was)
{
    if (std::isnan(soll)) {
        EXPECT_TRUE(std::isnan(ist)) << was << " = " << ist << ", expected none";
        return;
    }
    EXPECT_NEAR(ist, soll, std::max(relativ * std::fabs(soll), absolut)) << was;
}

// Figures within 2 % of the exact ones, from batch and from the one-at-a-time tracker alike; a
// response that never gets to 90 % or into the band has no such figure.
TEST(Sprungantwort, FiguresOfFirstAndSecondOrderStepsWithNoiseAndQuantisation)
{
    const struct {
        const char *name;
        Antwort x;
        double bis;
    } faelle[] = {
        {"first order T 2 s", ErsteOrdnung(1.0, 2.0), 20.0},
        {"second order zeta 0.5", ZweiteOrdnung(0.5, 2.0), 12.0},
        {"second order zeta 0.8", ZweiteOrdnung(0.8, 1.0), 15.0},
        {"P only, stays 10 % short", ErsteOrdnung(0.9, 1.5), 12.0},
    };
    for (const auto &f : faelle) {
        SCOPED_TRACE(f.name);
        const std::vector<Messpunkt> p = Abtasten(f.x, f.bis, 0.001);
        const Sprungkennwerte soll = Genau(f.x, f.bis);
        const Sprungkennwerte k = SprungInAufzeichnung(p.data(), p.size());
        ASSERT_EQ(k.zustand, SPRUNG_FERTIG);
        EXPECT_NEAR(k.start, kStart + 0.063, 1e-9);  // the first sample with the new setpoint
        Nahe(k.anstiegszeit, soll.anstiegszeit, 0.02, 0.0, "rise time");
        Nahe(k.ueberschwingen, soll.ueberschwingen, 0.02, 0.1, "overshoot");
        // The batch step starts at the first sample after it, up to 0.1 s late.
        Nahe(k.ausregelzeit + 0.063, soll.ausregelzeit, 0.02, 0.0, "settling time");
        Nahe(k.bleibendeAbweichung, soll.bleibendeAbweichung, 0.02, 0.002, "remaining deviation");

        // The tracker told of the step at its exact moment.
        Sprungverfolgung v;
        v.fenster = f.bis - 0.5;
        int zustand = SPRUNG_KEINER;
        for (const Messpunkt &m : p) {
            if (m.zeit > kStart && !v.aktiv && zustand == SPRUNG_KEINER) {
                ASSERT_EQ(Sprungverfolgung_Sollwert(&v, kStart, kAuf), SPRUNG_LAEUFT);
            }
            zustand = Sprungverfolgung_Punkt(&v, m);
            if (zustand != SPRUNG_LAEUFT && zustand != SPRUNG_KEINER)
                break;
        }
        ASSERT_EQ(zustand, SPRUNG_FERTIG);
        Nahe(v.ergebnis.anstiegszeit, soll.anstiegszeit, 0.02, 0.0, "tracked rise time");
        Nahe(v.ergebnis.ausregelzeit, soll.ausregelzeit, 0.02, 0.0, "tracked settling time");
        // Final once it stayed in the band as long as it took to get there, not only at the window's end.
        if (!std::isnan(soll.ausregelzeit)) {
            EXPECT_LT(v.ergebnis.dauer, std::max(2.0 * soll.ausregelzeit, kSprungRuhe) + 0.5);
        }
    }
}

// A step cut short by another step, by a lost connection or by a gap in the samples has no figures.
TEST(Sprungantwort, InterruptedStepsAreIncomplete)
{
    std::vector<Messpunkt> p = Abtasten(ErsteOrdnung(1.0, 2.0), 10.0, 0.0);
    std::vector<Messpunkt> zweiterSprung = p;
    for (Messpunkt &m : zweiterSprung)
        if (m.zeit > kStart + 3.0)
            m.soll = 2.0;
    std::vector<Messpunkt> luecke = p;
    luecke.erase(luecke.begin() + 40, luecke.begin() + 70);
    std::vector<Messpunkt> ohneSprung = p;
    for (Messpunkt &m : ohneSprung)
        m.soll = kVon;
    const struct {
        const std::vector<Messpunkt> &punkte;
        int zustand;
    } faelle[] = {{zweiterSprung, SPRUNG_UNTERBROCHEN}, {luecke, SPRUNG_LUECKE}, {ohneSprung, SPRUNG_ZU_KLEIN}};
    for (const auto &f : faelle) {
        const Sprungkennwerte k = SprungInAufzeichnung(f.punkte.data(), f.punkte.size());
        EXPECT_EQ(k.zustand, f.zustand);
        EXPECT_TRUE(std::isnan(k.anstiegszeit) && std::isnan(k.ueberschwingen) && std::isnan(k.ausregelzeit) &&
                    std::isnan(k.bleibendeAbweichung));

        Sprungverfolgung v;
        int ende = SPRUNG_KEINER;
        for (const Messpunkt &m : f.punkte)
            if (const int z = Sprungverfolgung_Punkt(&v, m);
                z != SPRUNG_LAEUFT && z != SPRUNG_KEINER && ende == SPRUNG_KEINER)
                ende = z;
        EXPECT_EQ(ende, f.zustand == SPRUNG_ZU_KLEIN ? SPRUNG_KEINER : f.zustand);
    }

    // A lost connection; a second step by the operator; a step to where the value already is.
    Sprungverfolgung v;
    for (std::size_t i = 0; i < 30; ++i)
        Sprungverfolgung_Punkt(&v, p[i]);
    EXPECT_EQ(Sprungverfolgung_Abbrechen(&v, SPRUNG_VERBINDUNG), SPRUNG_VERBINDUNG);
    EXPECT_TRUE(std::isnan(v.ergebnis.anstiegszeit));
    EXPECT_EQ(Sprungverfolgung_Abbrechen(&v, SPRUNG_VERBINDUNG), SPRUNG_KEINER);
    EXPECT_EQ(Sprungverfolgung_Sollwert(&v, 20.0, 5.5), SPRUNG_LAEUFT);
    EXPECT_EQ(Sprungverfolgung_Sollwert(&v, 21.0, 5.0), SPRUNG_UNTERBROCHEN);
    EXPECT_TRUE(v.aktiv);
    EXPECT_EQ(Sprungverfolgung_Sollwert(&v, 22.0, v.letzterIst + 0.005), SPRUNG_UNTERBROCHEN);
    EXPECT_FALSE(v.aktiv);
}

// The fit finds gain, time constant and dead time within 5 % from a noisy, quantised response; a
// response too short or without a move says so.
TEST(Streckenmodell, FitRecoversFirstOrderPlusDeadTime)
{
    const struct {
        double K, T, L;
    } faelle[] = {{1.0, 2.0, 0.0}, {0.8, 5.0, 1.5}, {0.5, 1.0, 3.0}, {-0.6, 3.0, 0.4}};
    for (const auto &f : faelle) {
        SCOPED_TRACE(testing::Message() << "K " << f.K << " T " << f.T << " L " << f.L);
        const double stellAlt = 6.0, stellNeu = 2.0;
        const auto x = [&](double t) { return t <= f.L ? 0.0 : f.K * (1 - std::exp(-(t - f.L) / f.T)); };
        const std::vector<Messpunkt> p = Abtasten(x, f.L + 6 * f.T, 0.003, 7, stellNeu - stellAlt);
        const Streckenmodell m = StreckeAnpassen(kStart, stellAlt, stellNeu, p.data(), p.size());
        ASSERT_EQ(m.zustand, MODELL_OK);
        EXPECT_NEAR(m.verstaerkung, f.K, 0.05 * std::fabs(f.K));
        EXPECT_NEAR(m.zeitkonstante, f.T, 0.05 * f.T);
        EXPECT_NEAR(m.totzeit, f.L, std::max(0.05 * f.L, 0.02));
        EXPECT_GT(m.bestimmtheitsmass, 0.99);

        const Streckenmodell kurz =
            StreckeAnpassen(kStart, stellAlt, stellNeu, p.data(), static_cast<std::size_t>(10 + (f.L + f.T) * 10));
        EXPECT_EQ(kurz.zustand, MODELL_ZU_KURZ);
    }
    const std::vector<Messpunkt> flach = Abtasten([](double) { return 0.0; }, 10.0, 0.003);
    EXPECT_EQ(StreckeAnpassen(kStart, 2.0, 6.0, flach.data(), flach.size()).zustand, MODELL_KEINE_REAKTION);
    EXPECT_EQ(StreckeAnpassen(kStart, 2.0, 6.0, flach.data(), 12).zustand, MODELL_ZU_WENIG_PUNKTE);
}

// SIMC for the parallel form, with the default closed-loop speed (tauC = L, not below T/4) and a
// chosen one; no proposal from a model that has no gain or asks for more than the module takes.
TEST(Streckenmodell, SimcProposalForTheParallelForm)
{
    const struct {
        double K, T, L, tauC;
        double p, i;
    } faelle[] = {
        {1.0, 2.0, 0.0, 0, 4.0, 2.0},        // tauC = T/4 = 0.5: Kc = 2/0.5, tauI = min(2, 2)
        {2.0, 10.0, 4.0, 0, 0.625, 0.0625},  // tauC = L = 4: Kc = 10/(2*8), tauI = 10
        {2.0, 10.0, 1.0, 1.0, 2.5, 0.3125},  // Kc = 10/(2*2), tauI = min(10, 8)
    };
    for (const auto &f : faelle) {
        const Reglereinstellung e = SimcEinstellung({MODELL_OK, f.K, f.T, f.L, 0, 1}, f.tauC);
        ASSERT_EQ(e.zustand, EINSTELLUNG_OK);
        EXPECT_NEAR(e.p, f.p, 1e-12);
        EXPECT_NEAR(e.i, f.i, 1e-12);
        EXPECT_EQ(e.d, 0.0);
    }
    EXPECT_EQ(SimcEinstellung({MODELL_OK, 0.0, 2.0, 0.1, 0, 1}, 0).zustand, EINSTELLUNG_KEIN_MODELL);
    EXPECT_EQ(SimcEinstellung({MODELL_OK, NAN, 2.0, 0.1, 0, 1}, 0).zustand, EINSTELLUNG_KEIN_MODELL);
    EXPECT_EQ(SimcEinstellung({MODELL_OK, 1e-6, 2.0, 0.0, 0, 1}, 0).zustand, EINSTELLUNG_AUSSER_BEREICH);
}

}  // namespace
