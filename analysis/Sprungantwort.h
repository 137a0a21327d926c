#pragma once
// Step-response figures of the closed loop: rise time (10 % to 90 % of the step), overshoot
// (% of the step), settling time (last entry into a band of +-2 % of the step) and the remaining
// deviation at the end of the window, from sampled time, setpoint and actual value.
//
// Times are seconds on one clock of the caller's choice (the programs use Analyse_Jetzt()); values
// are volts. The step is measured from the actual value at its start to the new setpoint. Figures
// that the response did not reach are NaN; a step that was cut short has no figures at all.
#include <cstddef>
#include <vector>

// One sample: time (s), setpoint and actual value (V).
struct Messpunkt {
    double zeit;
    double soll;
    double ist;
};

// State of a step: running, finished with figures, or cut short (no figures).
enum Sprungzustand {
    SPRUNG_LAEUFT = 1,
    SPRUNG_FERTIG = 0,
    SPRUNG_UNTERBROCHEN = -1,  // another setpoint step came first
    SPRUNG_VERBINDUNG = -2,    // the connection was lost (Sprungverfolgung_Abbrechen)
    SPRUNG_LUECKE = -3,        // no sample for longer than kSprungMaxLuecke
    SPRUNG_ZU_KLEIN = -4,      // setpoint and actual value closer than kSprungMin
    SPRUNG_KEINER = 2,         // Sprungverfolgung: no step is running
};

inline constexpr double kSprungBand = 0.02;      // settling band, fraction of the step
inline constexpr double kSprungMin = 0.01;       // V: smaller steps drown in the 1 mV resolution
inline constexpr double kSprungMaxLuecke = 2.5;  // s: more than two poll time-outs without a value
inline constexpr double kSprungMittelung = 1.0;  // s: remaining deviation is the mean of the last second

struct Sprungkennwerte {
    int zustand;                 // Sprungzustand
    double start;                // time of the step
    double anfangswert;          // actual value at the step
    double zielwert;             // new setpoint
    double anstiegszeit;         // s from 10 % to 90 % of the step; NaN: 90 % not reached
    double ueberschwingen;       // % of the step beyond the setpoint, 0 when none
    double ausregelzeit;         // s from the step to the last entry into the band; NaN: not settled
    double bleibendeAbweichung;  // V, setpoint minus actual value at the end of the window
    double dauer;                // s of response seen
};

// Figures of the step to `ziel` at time `start` from the actual value `anfang`, over the samples
// punkte[0..n) taken after the step (their setpoint is not looked at). SPRUNG_FERTIG or
// SPRUNG_ZU_KLEIN; with no sample at all SPRUNG_LUECKE.
Sprungkennwerte SprungAuswerten(double start, double anfang, double ziel, const Messpunkt *punkte, std::size_t n);

// Figures of the first setpoint step in a recording: the step starts at the first sample whose
// setpoint differs from the one before, from the actual value of the sample before it. A second
// change of the setpoint makes it SPRUNG_UNTERBROCHEN, a gap SPRUNG_LUECKE; no step at all gives
// SPRUNG_ZU_KLEIN. Otherwise as SprungAuswerten.
Sprungkennwerte SprungInAufzeichnung(const Messpunkt *punkte, std::size_t n);

// Follows steps as the samples come in, one at a time (the 10 Hz poll), and says when a step's
// figures are final: when the actual value has stayed in the band for as long as it took to get
// there (at least kSprungRuhe), or when the window (fenster seconds) is over.
inline constexpr double kSprungRuhe = 2.0;

struct Sprungverfolgung {
    double fenster = 30.0;  // s, set before the first step
    bool aktiv = false;     // a step is running
    double start = 0, anfang = 0, ziel = 0;
    double letzteZeit = 0, letzterIst = 0, letzterSoll = 0;
    bool hatPunkt = false;
    bool anfangOffen = false;       // the step waits for its first sample's actual value
    double imBandSeit = 0;          // entry into the band; NaN while outside
    std::vector<Messpunkt> punkte;  // of the running step
    Sprungkennwerte ergebnis{};     // of the last step that ended
};

// A setpoint step to `ziel` at time `zeit` (the moment it was written), from the actual value of
// the last sample (without one, of the next). SPRUNG_LAEUFT, SPRUNG_ZU_KLEIN (nothing starts), or
// SPRUNG_UNTERBROCHEN when a step was still running: that one is in v->ergebnis, and v->aktiv says
// whether the new one runs.
int Sprungverfolgung_Sollwert(Sprungverfolgung *v, double zeit, double ziel);

// Takes the next sample. A setpoint that differs from the one before starts a step at this
// sample's time. SPRUNG_LAEUFT while a step runs; in the call in which a step ends its final state
// (SPRUNG_FERTIG, SPRUNG_UNTERBROCHEN, SPRUNG_LUECKE, SPRUNG_ZU_KLEIN; figures in v->ergebnis), even
// when a new step begins with the same sample (v->aktiv); SPRUNG_KEINER when no step runs.
int Sprungverfolgung_Punkt(Sprungverfolgung *v, const Messpunkt &p);

// Ends a running step as cut short with `zustand` (SPRUNG_VERBINDUNG when the connection was lost).
// That state, or SPRUNG_KEINER when no step was running.
int Sprungverfolgung_Abbrechen(Sprungverfolgung *v, int zustand);

// Seconds on the steady clock, the time base of the samples in both programs.
double Analyse_Jetzt(void);
