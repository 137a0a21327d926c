// TLX1Analyse: the plant test and the setpoint step as small state machines that the caller feeds
// with the actual values it polls anyway (the window's 10 Hz timer, tlx1ctl's loop). Each call does
// at most a few exchanges with the module and never waits for the process: no extra polling on the
// bus and no blocking loop in a callback.
//
// Times are Analyse_Jetzt() seconds, values volts. Results are 0, the driver's codes of the
// exchange that failed, or the test's own refusals ANALYSE_GRENZEN .. ANALYSE_LAEUFT (texts from
// AnalyseText).
#pragma once

#include "analysis/Sprungantwort.h"
#include "analysis/Streckenmodell.h"

#include <vector>

// Where a test stands.
enum Analysephase {
    ANALYSE_AUS = 0,          // not started, or refused at the start (nothing was changed)
    ANALYSE_VORLAUF = 1,      // plant test: the output is held, the resting value is recorded
    ANALYSE_AUFNAHME = 2,     // the step is written, the response is recorded
    ANALYSE_FERTIG = 3,       // recorded and the module restored; figures ready
    ANALYSE_FEHLER = 4,       // a failure: the module restored as far as it answered (see fehler)
    ANALYSE_ABGEBROCHEN = 5,  // cut short by the caller; the module restored as far as it answered
};

// The test's own refusals, before anything is written.
enum {
    ANALYSE_GRENZEN = -1,      // the new output lies outside min1..max1 of the module
    ANALYSE_ZU_KLEIN = -2,     // the step is smaller than kSprungMin
    ANALYSE_BETRIEBSART = -3,  // setpoint step: the module is not in mode 1 (digital setpoint)
    ANALYSE_LAEUFT = -4,       // a test is already running
};

// German text (Windows-1252) of the codes above; null for any other code (a driver code: its text
// comes from the error catalogue).
const char *AnalyseText(int code);

inline constexpr double kVorlaufDauer = 1.0;  // s of resting output before the plant-test step
inline constexpr double kTestMinDauer = 2.0;  // s: the shortest recording the caller may ask for

// ---- plant test ----------------------------------------------------------------------------------

struct Streckentest {
    int phase = ANALYSE_AUS;
    int port = -1, adresse = 1;
    double stellNeu = 0, dauer = 60;
    double alteBetriebsart = 1, alteStellgroesse = 0, min = 0, max = 10;
    bool veraendert = false;  // the module was changed: restore mode and output
    double vorlaufBis = 0, sprungzeit = 0;
    std::vector<Messpunkt> punkte;   // .soll is the output in force
    int fehler = 0;                  // the failure that ended the test (driver code), 0 when none
    int fehlerWiederherstellen = 0;  // the first failure while restoring, 0 when restored
    Streckenmodell modell{};         // after ANALYSE_FERTIG
};

// Reads betriebsart1, stellgroesse1, min1 and max1, checks the new output, then holds the current
// output in mode 3 (stellgroesse1 first, so the switch is bumpless) and starts the rest period.
// `dauer` bounds the recording after the step (at least kTestMinDauer). 0 (ANALYSE_VORLAUF);
// ANALYSE_LAEUFT, ANALYSE_GRENZEN, ANALYSE_ZU_KLEIN, a read failure (ANALYSE_AUS, nothing changed);
// a write failure (ANALYSE_FEHLER, restored).
int Streckentest_Beginnen(Streckentest *t, int port, int adresse, double stellNeu, double dauer);

// Takes the next polled actual value. After the rest period it writes the output step; once the
// actual value has settled, or `dauer` after the step, it restores mode and output and fits the
// model. The phase after the call.
int Streckentest_Punkt(Streckentest *t, double zeit, double istwert);

// Ends a running test (operator, signal, failed poll): restores mode and output, so a caller that
// drops the connection calls it before closing the port. 0 or the first restore failure; the phase
// becomes ANALYSE_ABGEBROCHEN.
int Streckentest_Abbrechen(Streckentest *t);

// ---- setpoint step -------------------------------------------------------------------------------

struct Sollwertsprung {
    int phase = ANALYSE_AUS;
    int port = -1, adresse = 1;
    double alterSoll = 0;
    bool geschrieben = false;     // soll1 was written: restore it if the step is cut short
    Sprungverfolgung verfolgung;  // figures in verfolgung.ergebnis once finished
    int fehler = 0, fehlerWiederherstellen = 0;
};

// Reads betriebsart1 (must be 1) and soll1, writes soll1 = ziel and follows the response from the
// actual value `istwert` polled last; `dauer` is the window (at least kTestMinDauer).
// 0 (ANALYSE_AUFNAHME); ANALYSE_LAEUFT, ANALYSE_BETRIEBSART, ANALYSE_ZU_KLEIN, a read failure
// (ANALYSE_AUS); a failed write (ANALYSE_FEHLER, soll1 written back).
int Sollwertsprung_Beginnen(Sollwertsprung *s, int port, int adresse, double ziel, double dauer, double istwert);

// Takes the next polled actual value; the phase after the call (ANALYSE_FERTIG once the figures
// are final or the step ended incomplete: verfolgung.ergebnis.zustand says which). The new setpoint
// stays on the module.
int Sollwertsprung_Punkt(Sollwertsprung *s, double zeit, double istwert);

// Ends a running step (operator, signal, lost connection) and writes the previous setpoint back.
// 0 or the restore failure; the phase becomes ANALYSE_ABGEBROCHEN.
int Sollwertsprung_Abbrechen(Sollwertsprung *s);
