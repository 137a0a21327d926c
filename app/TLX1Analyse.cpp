#include "app/TLX1Analyse.h"

#include "driver/okvtlx1.h"
#include "record/Protokoll.h"

#include <algorithm>
#include <cmath>

namespace {

struct AnalyseMeldung {
    int code;
    const char *text;
};
// clang-format off
constexpr AnalyseMeldung kMeldungen[] = {
    {ANALYSE_GRENZEN,     "Die neue Stellgr\xF6\xDF" "e liegt au\xDF" "erhalb der Grenzen min1 bis max1 des Moduls."},
    {ANALYSE_ZU_KLEIN,    "Der Sprung ist zu klein (weniger als 0.01 V)."},
    {ANALYSE_BETRIEBSART, "Das Modul ist nicht in Betriebsart 1 (Digitaler Sollwert)."},
    {ANALYSE_LAEUFT,      "Es l\xE4uft schon ein Test."},
};
// clang-format on
static_assert(std::size(kMeldungen) == 4);

bool Laeuft(int phase)
{
    return phase == ANALYSE_VORLAUF || phase == ANALYSE_AUFNAHME;
}

// Puts mode and output back as they were, output first, so the module leaves mode 3 with the
// output it had. Both writes are tried even when the first fails. 0 or the first failure.
int Wiederherstellen(Streckentest *t)
{
    if (!t->veraendert)
        return 0;
    const int a = Protokoll_ParameterSchreiben(t->port, t->adresse, "stellgroesse1", t->alteStellgroesse);
    const int b = Protokoll_ParameterSchreiben(t->port, t->adresse, "betriebsart1", t->alteBetriebsart);
    if (a == 0 && b == 0)
        t->veraendert = false;
    return a != 0 ? a : b;
}

int Scheitern(Streckentest *t, int code)
{
    t->fehler = code;
    t->fehlerWiederherstellen = Wiederherstellen(t);
    t->phase = ANALYSE_FEHLER;
    return code;
}

double Mittel(const std::vector<Messpunkt> &p, double vonZeit, double bisZeit)
{
    double summe = 0;
    int n = 0;
    for (const Messpunkt &m : p)
        if (m.zeit >= vonZeit && m.zeit < bisZeit) {
            summe += m.ist;
            ++n;
        }
    return n > 0 ? summe / n : NAN;
}

// Whether the open-loop response has come to rest: it moved clearly away from the resting value,
// and over the last third of the time since the step it changed by less than 2 % of that move.
bool Eingeschwungen(const Streckentest *t, double zeit)
{
    const double seit = zeit - t->sprungzeit;
    if (seit < kTestMinDauer)
        return false;
    const double ruhe = Mittel(t->punkte, -INFINITY, t->sprungzeit);
    double streuung = 0;
    int n = 0;
    for (const Messpunkt &m : t->punkte)
        if (m.zeit < t->sprungzeit) {
            streuung += (m.ist - ruhe) * (m.ist - ruhe);
            ++n;
        }
    streuung = n > 1 ? std::sqrt(streuung / (n - 1)) : 0.0;
    const double hub = std::fabs(t->punkte.back().ist - ruhe);
    if (!(hub >= std::fmax(kSprungMin, 5.0 * streuung)))
        return false;
    double lo = INFINITY, hi = -INFINITY;
    int imFenster = 0;
    for (const Messpunkt &m : t->punkte)
        if (m.zeit >= zeit - seit / 3.0) {
            lo = std::fmin(lo, m.ist);
            hi = std::fmax(hi, m.ist);
            ++imFenster;
        }
    return imFenster >= 5 && hi - lo < kSprungBand * hub;
}

}  // namespace

const char *AnalyseText(int code)
{
    for (const AnalyseMeldung &m : kMeldungen)
        if (m.code == code)
            return m.text;
    return nullptr;
}

// ---- plant test ----------------------------------------------------------------------------------

int Streckentest_Beginnen(Streckentest *t, int port, int adresse, double stellNeu, double dauer)
{
    if (Laeuft(t->phase))
        return ANALYSE_LAEUFT;
    *t = Streckentest{};
    t->port = port;
    t->adresse = adresse;
    t->stellNeu = stellNeu;
    t->dauer = std::fmax(dauer, kTestMinDauer);
    const struct {
        const char *name;
        double *wert;
    } lesen[] = {{"betriebsart1", &t->alteBetriebsart},
                 {"stellgroesse1", &t->alteStellgroesse},
                 {"min1", &t->min},
                 {"max1", &t->max}};
    for (const auto &l : lesen)
        if (const int rc = OKVTLX1_ParameterLesen(port, adresse, l.name, l.wert); rc != 0)
            return t->fehler = rc;
    if (!(stellNeu >= t->min && stellNeu <= t->max))
        return t->fehler = ANALYSE_GRENZEN;
    if (!(std::fabs(stellNeu - t->alteStellgroesse) >= kSprungMin))
        return t->fehler = ANALYSE_ZU_KLEIN;

    t->veraendert = true;
    if (const int rc = Protokoll_ParameterSchreiben(port, adresse, "stellgroesse1", t->alteStellgroesse); rc != 0)
        return Scheitern(t, rc);
    if (const int rc = Protokoll_ParameterSchreiben(port, adresse, "betriebsart1", 3.0); rc != 0)
        return Scheitern(t, rc);
    t->vorlaufBis = Analyse_Jetzt() + kVorlaufDauer;
    t->phase = ANALYSE_VORLAUF;
    return 0;
}

int Streckentest_Punkt(Streckentest *t, double zeit, double istwert)
{
    if (!Laeuft(t->phase))
        return t->phase;
    const bool nachSprung = t->phase == ANALYSE_AUFNAHME;
    t->punkte.push_back({zeit, nachSprung ? t->stellNeu : t->alteStellgroesse, istwert});
    if (t->phase == ANALYSE_VORLAUF) {
        if (zeit < t->vorlaufBis || t->punkte.size() < 3)
            return t->phase;
        // The step's moment is the middle of its exchange: the module takes the value in between.
        const double vor = Analyse_Jetzt();
        if (const int rc = Protokoll_ParameterSchreiben(t->port, t->adresse, "stellgroesse1", t->stellNeu); rc != 0) {
            Scheitern(t, rc);
            return t->phase;
        }
        t->sprungzeit = (vor + Analyse_Jetzt()) / 2.0;
        t->phase = ANALYSE_AUFNAHME;
        return t->phase;
    }
    if (!Eingeschwungen(t, zeit) && zeit - t->sprungzeit < t->dauer)
        return t->phase;
    t->modell = StreckeAnpassen(t->sprungzeit, t->alteStellgroesse, t->stellNeu, t->punkte.data(), t->punkte.size());
    t->fehlerWiederherstellen = Wiederherstellen(t);
    t->phase = t->fehlerWiederherstellen == 0 ? ANALYSE_FERTIG : ANALYSE_FEHLER;
    return t->phase;
}

int Streckentest_Abbrechen(Streckentest *t)
{
    if (!Laeuft(t->phase))
        return 0;
    t->fehlerWiederherstellen = Wiederherstellen(t);
    t->phase = ANALYSE_ABGEBROCHEN;
    return t->fehlerWiederherstellen;
}

// ---- setpoint step -------------------------------------------------------------------------------

int Sollwertsprung_Beginnen(Sollwertsprung *s, int port, int adresse, double ziel, double dauer, double istwert)
{
    if (Laeuft(s->phase))
        return ANALYSE_LAEUFT;
    *s = Sollwertsprung{};
    s->port = port;
    s->adresse = adresse;
    double modus = 0;
    if (const int rc = OKVTLX1_ParameterLesen(port, adresse, "betriebsart1", &modus); rc != 0)
        return s->fehler = rc;
    if (modus != 1.0)
        return s->fehler = ANALYSE_BETRIEBSART;
    if (const int rc = OKVTLX1_ParameterLesen(port, adresse, "soll1", &s->alterSoll); rc != 0)
        return s->fehler = rc;
    if (!(std::fabs(ziel - istwert) >= kSprungMin))
        return s->fehler = ANALYSE_ZU_KLEIN;

    s->verfolgung.fenster = std::fmax(dauer, kTestMinDauer);
    const double jetzt = Analyse_Jetzt();
    Sprungverfolgung_Punkt(&s->verfolgung, {jetzt, s->alterSoll, istwert});
    s->geschrieben = true;
    const double vor = Analyse_Jetzt();
    if (const int rc = Protokoll_ParameterSchreiben(port, adresse, "soll1", ziel); rc != 0) {
        s->fehler = rc;
        s->fehlerWiederherstellen = Protokoll_ParameterSchreiben(port, adresse, "soll1", s->alterSoll);
        s->phase = ANALYSE_FEHLER;
        return rc;
    }
    Sprungverfolgung_Sollwert(&s->verfolgung, (vor + Analyse_Jetzt()) / 2.0, ziel);
    s->phase = ANALYSE_AUFNAHME;
    return 0;
}

int Sollwertsprung_Punkt(Sollwertsprung *s, double zeit, double istwert)
{
    if (!Laeuft(s->phase))
        return s->phase;
    if (Sprungverfolgung_Punkt(&s->verfolgung, {zeit, s->verfolgung.ziel, istwert}) != SPRUNG_LAEUFT)
        s->phase = ANALYSE_FERTIG;
    return s->phase;
}

int Sollwertsprung_Abbrechen(Sollwertsprung *s)
{
    if (!Laeuft(s->phase))
        return 0;
    Sprungverfolgung_Abbrechen(&s->verfolgung, SPRUNG_VERBINDUNG);
    if (s->geschrieben)
        s->fehlerWiederherstellen = Protokoll_ParameterSchreiben(s->port, s->adresse, "soll1", s->alterSoll);
    s->phase = ANALYSE_ABGEBROCHEN;
    return s->fehlerWiederherstellen;
}
