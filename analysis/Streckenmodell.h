#pragma once
// The plant from an output step: a first-order-plus-dead-time model (gain K, time constant T,
// dead time L) fitted by least squares, and a PI proposal for the module's parallel PID form
// (P = Kc, I = Kc/tauI, D = Kc*tauD) by Skogestad's SIMC rules.
//
// Times are seconds, values volts, on the time base of Sprungantwort.h.
#include "analysis/Sprungantwort.h"

#include <cstddef>

// Result of the fit: MODELL_OK, or why the model is not to be trusted.
enum Modellzustand {
    MODELL_OK = 0,
    MODELL_ZU_WENIG_PUNKTE = -1,  // fewer than kModellMinPunkte samples after the step; no figures
    MODELL_KEINE_REAKTION = -2,   // the actual value did not move beyond its noise; no figures
    MODELL_ZU_KURZ = -3,          // recorded less than 2 T after the dead time: K and T extrapolated
    MODELL_UNGENAU = -4,          // R^2 below kModellMinR2: the model does not describe the response
};

inline constexpr std::size_t kModellMinPunkte = 8;
inline constexpr std::size_t kModellMaxPunkte = 1500;  // more samples are thinned out evenly
inline constexpr double kModellMinR2 = 0.9;

struct Streckenmodell {
    int zustand;               // Modellzustand
    double verstaerkung;       // K: change of the actual value per volt of output
    double zeitkonstante;      // T, s
    double totzeit;            // L, s
    double anfangswert;        // V, actual value before the step
    double bestimmtheitsmass;  // R^2 of the fit over all samples
};

// Fits y(t) = y0 + K*(neu - alt)*(1 - exp(-(t - sprung - L)/T)) for t > sprung + L, else y0, to the
// samples (their setpoint is not looked at); samples before `sprung` pin y0. The figures, with the
// zustand above (no figures: NaN). R^2 is taken over the samples used.
Streckenmodell StreckeAnpassen(double sprung, double alt, double neu, const Messpunkt *punkte, std::size_t n);

// The model's response at time t to the step at `sprung` from `alt` to `neu` (to draw it).
double StreckeAntwort(const Streckenmodell &m, double sprung, double alt, double neu, double t);

// ---- tuning proposal ---------------------------------------------------------------------------------

// The rule's name, for the window and the manual.
inline constexpr const char *kEinstellregel = "SIMC (Skogestad)";

enum Einstellzustand {
    EINSTELLUNG_OK = 0,
    EINSTELLUNG_KEIN_MODELL = -1,     // K is zero or a figure is not finite
    EINSTELLUNG_AUSSER_BEREICH = -2,  // P or I beyond the module's -99999..99999
};

struct Reglereinstellung {
    int zustand;  // Einstellzustand
    double tauC;  // closed-loop time constant used, s
    double kc, tauI, tauD;
    double p, i, d;  // the module's parallel form
};

// Closed-loop time constant when the operator chose none: SIMC's "tight" choice tauC = L, but not
// below T/4. A dead time near 0 would otherwise ask for an unbounded gain; T/4 keeps Kc <= 4/K, a
// closed loop four times faster than the plant, which the 0..10 V output can still follow.
double SimcTauCVorgabe(const Streckenmodell &m);

// SIMC PI for a first-order-plus-dead-time plant: Kc = T/(K*(tauC + L)), tauI = min(T, 4*(tauC + L)),
// tauD = 0; P = Kc, I = Kc/tauI, D = 0. tauC <= 0 (or not finite) takes SimcTauCVorgabe.
Reglereinstellung SimcEinstellung(const Streckenmodell &m, double tauC);
