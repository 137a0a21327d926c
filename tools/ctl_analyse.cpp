// tlx1ctl: step and identify, the setpoint step and the plant test of the window program, driven
// from the tool's own 10 Hz loop. Both put the module back as it was when they fail or are stopped.
#include "tools/ctl.h"

#include "analysis/Aufzeichnung.h"
#include "app/TLX1Analyse.h"
#include "driver/okvtlx1.h"
#include "platform/text/textformat.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <iostream>
#include <string>

namespace tlx1ctl {

namespace {

constexpr double kAbfrage = 0.1;         // s between two reads of the actual value, as the window
constexpr double kMaxDauer = 3600.0;     // s
constexpr double kStepDauer = 30.0;      // s, default window of a setpoint step
constexpr double kIdentifyDauer = 60.0;  // s, default bound of a plant test

// How the polling loop ended.
enum class Ende { Fertig, Lesefehler, Signal };

// The signals that stop a test: blocked for the whole command and taken between two reads, so a
// stop never cuts an exchange in half and the module can be restored.
sigset_t StoppSignale()
{
    sigset_t s;
    sigemptyset(&s);
    sigaddset(&s, SIGINT);
    sigaddset(&s, SIGTERM);
    sigaddset(&s, SIGHUP);
    return s;
}

// Waits until `frist`; true as soon as a stop signal is there.
bool GestopptBis(std::chrono::steady_clock::time_point frist, const sigset_t &stopp)
{
    using namespace std::chrono;
    for (;;) {
        const auto ns =
            duration_cast<nanoseconds>(std::max(frist - steady_clock::now(), steady_clock::duration::zero())).count();
        const timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        if (sigtimedwait(&stopp, nullptr, &ts) > 0)
            return true;
        if (errno == EAGAIN)
            return false;
    }
}

// Reads the actual value every kAbfrage seconds and hands it to `punkt` with the middle of its
// exchange as its time, until `punkt` says the test is over. A failed read is printed.
template <class Punkt>
Ende Abfragen(int port, int adresse, const sigset_t &stopp, Punkt punkt)
{
    using namespace std::chrono;
    const auto periode = duration_cast<steady_clock::duration>(duration<double>(kAbfrage));
    const auto start = steady_clock::now();
    for (long k = 1;; ++k) {
        double ist = 0.0;
        const double vor = Analyse_Jetzt();
        const auto wand = system_clock::now();
        if (const int rc = OKVTLX1_ParameterLesen(port, adresse, "istwert1", &ist); rc != 0) {
            FehlerAusgeben(rc);
            return Ende::Lesefehler;
        }
        if (punkt((vor + Analyse_Jetzt()) / 2.0, wand, ist))
            return Ende::Fertig;
        const auto jetzt = steady_clock::now();
        if (start + k * periode < jetzt)
            k = (jetzt - start) / periode + 1;
        if (GestopptBis(start + k * periode, stopp))
            return Ende::Signal;
    }
}

void CodeAusgeben(int code)
{
    if (const char *text = AnalyseText(code))
        std::cerr << "tlx1ctl: " << Utf8AusCp1252(text) << "\n";
    else
        FehlerAusgeben(code);
}

// Says whether the module is back as it was; false when restoring failed.
bool WiederherstellungMelden(int fehler, std::string_view was)
{
    if (fehler == 0)
        return true;
    FehlerAusgeben(fehler);
    std::cerr << "tlx1ctl: Modul nicht wiederhergestellt: " << was << " bitte prüfen\n";
    return false;
}

std::string Gerundet(double wert, int stellen)
{
    const double f = std::pow(10.0, stellen);
    return ZahlText(std::round(wert * f) / f);
}

// The gains with the decimals the module keeps (4 below 10 down to 0 from 10000).
std::string Verstaerkung(double wert)
{
    int stellen = 4;
    for (double grenze = 10.0; stellen > 0 && std::fabs(wert) >= grenze; grenze *= 10.0)
        --stellen;
    return Gerundet(wert, stellen);
}

// A figure as NAME=WERT; one the response did not reach has no value and a note on stderr.
void Kennwert(std::string_view name, double wert, int stellen, std::string_view fehlt)
{
    std::cout << name << "=" << (std::isfinite(wert) ? Gerundet(wert, stellen) : "") << "\n";
    if (!std::isfinite(wert))
        std::cerr << "tlx1ctl: " << name << ": " << fehlt << "\n";
}

// The recorded points as a CSV file like `monitor --header` writes it; false after saying why not.
bool CsvSchreiben(const Aufruf &a, const std::string &kopf, const std::string &zeilen)
{
    if (a.csv.empty())
        return true;
    std::string grund;
    if (DateiErsetzen(a.csv.c_str(), kopf + "\n" + zeilen, &grund) == 0)
        return true;
    std::cerr << "tlx1ctl: " << a.csv << ": " << Utf8AusCp1252(grund) << "\n";
    return false;
}

std::string CsvZeile(std::chrono::system_clock::time_point t, double a, double b)
{
    return Zeitstempel(t) + "," + ZahlText(a) + "," + ZahlText(b) + "\n";
}

std::optional<int> DauerLesen(Aufruf &a, const Befehl &b, double vorgabe)
{
    a.dauer = vorgabe;
    if (const auto text = OptionWert(a, "--duration")) {
        const auto d = ZahlLesen(*text);
        if (!d || *d < kTestMinDauer || *d > kMaxDauer)
            return Aufruffehler(&b, "--duration braucht eine Dauer von 2 bis 3600 (Sekunden)");
        a.dauer = *d;
    }
    if (const auto text = OptionWert(a, "--csv")) {
        if (text->empty())
            return Aufruffehler(&b, "--csv braucht einen Dateinamen");
        a.csv = *text;
    }
    return std::nullopt;
}

std::optional<int> VoltLesen(Aufruf &a, const Befehl &b, std::string_view option)
{
    // The test reads back what it changes: one module, not the broadcast address or address 0.
    if (a.adresse < 1 || a.adresse > 8)
        return Aufruffehler(&b, "--address braucht eine Moduladresse von 1 bis 8");
    const auto text = OptionWert(a, option);
    const auto v = text ? ZahlLesen(*text) : std::nullopt;
    if (!v || *v < 0.0 || *v > 10.0)
        return Aufruffehler(&b, std::string(option) + " braucht einen Wert von 0 bis 10 (Volt)");
    a.wert = *v;
    return std::nullopt;
}

}  // namespace

std::optional<int> StepVorbereiten(Aufruf &a, const Befehl &b)
{
    if (const auto r = VoltLesen(a, b, "--to"))
        return r;
    return DauerLesen(a, b, kStepDauer);
}

int Step(const Aufruf &a, int port)
{
    const sigset_t stopp = StoppSignale();
    sigprocmask(SIG_BLOCK, &stopp, nullptr);

    double ist = 0.0;
    const auto wand0 = std::chrono::system_clock::now();
    if (const int rc = OKVTLX1_ParameterLesen(port, a.adresse, "istwert1", &ist); rc != 0) {
        FehlerAusgeben(rc);
        return kFehler;
    }
    Sollwertsprung s;
    if (const int rc = Sollwertsprung_Beginnen(&s, port, a.adresse, a.wert, a.dauer, ist); rc != 0) {
        CodeAusgeben(rc);
        if (s.phase == ANALYSE_FEHLER)
            WiederherstellungMelden(s.fehlerWiederherstellen, "soll1");
        return kFehler;
    }
    std::string zeilen = CsvZeile(wand0, s.alterSoll, ist);
    const Ende ende = Abfragen(port, a.adresse, stopp, [&](double zeit, auto wand, double wert) {
        zeilen += CsvZeile(wand, a.wert, wert);
        return Sollwertsprung_Punkt(&s, zeit, wert) != ANALYSE_AUFNAHME;
    });
    if (ende != Ende::Fertig) {
        if (ende == Ende::Signal)
            std::cerr << "tlx1ctl: step abgebrochen; der vorige Sollwert wird zurückgeschrieben\n";
        WiederherstellungMelden(Sollwertsprung_Abbrechen(&s), "soll1");
        CsvSchreiben(a, "zeit,soll1,istwert1", zeilen);
        return kFehler;
    }
    const bool csv = CsvSchreiben(a, "zeit,soll1,istwert1", zeilen);

    const Sprungkennwerte &k = s.verfolgung.ergebnis;
    if (k.zustand != SPRUNG_FERTIG) {
        std::cerr << "tlx1ctl: Sprung unvollständig ("
                  << (k.zustand == SPRUNG_LUECKE ? "Lücke in den Messwerten" : "Sprung zu klein")
                  << "), keine Kennwerte\n";
        return kFehler;
    }
    Kennwert("anstiegszeit_s", k.anstiegszeit, 3, "90 % des Sprungs im Fenster nicht erreicht");
    Kennwert("ueberschwingen_prozent", k.ueberschwingen, 2, "");
    Kennwert("ausregelzeit_s", k.ausregelzeit, 3, "am Ende des Fensters nicht im Band von ±2 %");
    Kennwert("bleibende_abweichung", k.bleibendeAbweichung, 4, "");
    return csv ? kOk : kFehler;
}

std::optional<int> IdentifyVorbereiten(Aufruf &a, const Befehl &b)
{
    if (const auto r = VoltLesen(a, b, "--output"))
        return r;
    if (const auto text = OptionWert(a, "--tau-c")) {
        const auto t = ZahlLesen(*text);
        if (!t || *t <= 0.0 || *t > kMaxDauer)
            return Aufruffehler(&b, "--tau-c braucht eine Zeitkonstante über 0 bis 3600 (Sekunden)");
        a.tauC = *t;
    }
    return DauerLesen(a, b, kIdentifyDauer);
}

int Identify(const Aufruf &a, int port)
{
    const sigset_t stopp = StoppSignale();
    sigprocmask(SIG_BLOCK, &stopp, nullptr);

    Streckentest t;
    if (const int rc = Streckentest_Beginnen(&t, port, a.adresse, a.wert, a.dauer); rc != 0) {
        CodeAusgeben(rc);
        if (t.phase == ANALYSE_FEHLER)
            WiederherstellungMelden(t.fehlerWiederherstellen, "betriebsart1 und stellgroesse1");
        return kFehler;
    }
    std::string zeilen;
    const Ende ende = Abfragen(port, a.adresse, stopp, [&](double zeit, auto wand, double wert) {
        const int phase = Streckentest_Punkt(&t, zeit, wert);
        zeilen += CsvZeile(wand, t.punkte.back().soll, wert);
        return phase != ANALYSE_VORLAUF && phase != ANALYSE_AUFNAHME;
    });
    if (ende != Ende::Fertig) {
        if (ende == Ende::Signal)
            std::cerr << "tlx1ctl: identify abgebrochen; Betriebsart und Stellgröße werden zurückgeschrieben\n";
        WiederherstellungMelden(Streckentest_Abbrechen(&t), "betriebsart1 und stellgroesse1");
        CsvSchreiben(a, "zeit,stellgroesse1,istwert1", zeilen);
        return kFehler;
    }
    const bool csv = CsvSchreiben(a, "zeit,stellgroesse1,istwert1", zeilen);
    if (t.phase == ANALYSE_FEHLER) {
        if (t.fehler != 0)
            FehlerAusgeben(t.fehler);
        WiederherstellungMelden(t.fehlerWiederherstellen, "betriebsart1 und stellgroesse1");
        return kFehler;
    }

    const Streckenmodell &m = t.modell;
    if (m.zustand == MODELL_ZU_WENIG_PUNKTE || m.zustand == MODELL_KEINE_REAKTION) {
        std::cerr << "tlx1ctl: "
                  << (m.zustand == MODELL_KEINE_REAKTION ? "der Istwert hat sich nicht deutlich bewegt"
                                                         : "zu wenige Messwerte nach dem Sprung")
                  << "; kein Modell\n";
        return kFehler;
    }
    std::cout << "strecke_verstaerkung=" << Gerundet(m.verstaerkung, 4) << "\n"
              << "strecke_zeitkonstante_s=" << Gerundet(m.zeitkonstante, 3) << "\n"
              << "strecke_totzeit_s=" << Gerundet(m.totzeit, 3) << "\n"
              << "bestimmtheitsmass=" << Gerundet(m.bestimmtheitsmass, 4) << "\n";
    if (m.zustand != MODELL_OK) {
        std::cerr << "tlx1ctl: kein Vorschlag: "
                  << (m.zustand == MODELL_UNGENAU
                          ? "das Modell beschreibt die Antwort schlecht (Bestimmtheitsmaß unter 0.9)"
                          : "die Aufnahme endete vor dem Einschwingen; mit längerer --duration wiederholen")
                  << "\n";
        return kFehler;
    }
    const Reglereinstellung e = SimcEinstellung(m, a.tauC);
    if (e.zustand != EINSTELLUNG_OK) {
        std::cerr << "tlx1ctl: kein Vorschlag: P1 oder I1 läge außerhalb von -99999 bis 99999\n";
        return kFehler;
    }
    std::cout << "P1=" << Verstaerkung(e.p) << "\n"
              << "I1=" << Verstaerkung(e.i) << "\n"
              << "D1=" << Verstaerkung(e.d) << "\n";
    std::cerr << "Einstellregel " << kEinstellregel << ", PI, Regelkreis-Zeitkonstante tau_c=" << Gerundet(e.tauC, 3)
              << " s\n";
    return csv ? kOk : kFehler;
}

}  // namespace tlx1ctl
