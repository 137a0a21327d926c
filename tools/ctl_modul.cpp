// tlx1ctl: the commands that talk to a module (scan, id, status, get, set, read-set, write-set,
// monitor), and the parameter set moved between module and text.
#include "tools/ctl.h"

#include "driver/okvtlx1.h"
#include "driver/okvtlx1_frames.h"
#include "error/OKV_errorV3.h"
#include "platform/text/textformat.h"
#include "tools/ctl_text.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <sstream>

namespace tlx1ctl {

namespace {

constexpr int kScanAdressen = 8;
constexpr double kMinRate = 0.01;    // Hz
constexpr double kMaxRate = 100.0;
constexpr std::size_t kMaxEingabe = 64 * 1024;  // bytes of a write-set text
constexpr std::string_view kTLX1Kennung = "OKV-TLX1";

// Reads a write-set text into satz (record order). False, with the reason in *grund, for a
// malformed line, an unknown or repeated name, or a missing name.
bool SatzLesen(std::istream &ein, const std::string &quelle, std::array<double, 8> &satz,
               std::string *grund)
{
    std::array<int, kSatzNamen.size()> zeileVon{};  // 0: not seen yet
    std::string zeile;
    for (int nummer = 1; std::getline(ein, zeile); ++nummer) {
        const std::string ort = quelle + ", Zeile " + std::to_string(nummer) + ": ";
        std::string warum;
        const std::optional<SatzZeile> z = SatzZeileLesen(zeile, &warum);
        if (!z) {
            *grund = ort + warum;
            return false;
        }
        if (z->name.empty())
            continue;
        std::size_t i = 0;
        while (i < kSatzNamen.size() && kSatzNamen[i] != z->name)
            ++i;
        if (i == kSatzNamen.size()) {
            *grund = ort + "unbekannter Name \"" + Druckbar(z->name) + "\" (erlaubt: P1 I1 D1 min1 "
                     "max1 anfangssoll1 anstiegszeit1 betriebsart1)";
            return false;
        }
        if (zeileVon[i] != 0) {
            *grund = ort + z->name + " steht schon in Zeile " + std::to_string(zeileVon[i]);
            return false;
        }
        zeileVon[i] = nummer;
        satz[i] = z->wert;
    }
    std::string fehlend;
    for (std::size_t i = 0; i < kSatzNamen.size(); ++i)
        if (zeileVon[i] == 0)
            fehlend += (fehlend.empty() ? "" : " ") + std::string(kSatzNamen[i]);
    if (!fehlend.empty()) {
        *grund = quelle + ": es fehlt " + fehlend;
        return false;
    }
    return true;
}

// Reads a write-set text from the file `pfad` (standard input for nullptr) into *text. A
// parameter set is a few hundred bytes, so more than kMaxEingabe is refused rather than stored.
// Returns "" on success, else what went wrong.
std::string EingabeLesen(const char *pfad, std::string *text)
{
    std::FILE *f = pfad != nullptr ? std::fopen(pfad, "rb") : stdin;
    if (f == nullptr)
        return "kann nicht geöffnet werden: " + SystemFehler(errno);
    std::array<char, 4096> puffer{};
    std::size_t n = 0;
    while ((n = std::fread(puffer.data(), 1, puffer.size(), f)) > 0 && text->size() <= kMaxEingabe)
        text->append(puffer.data(), n);
    std::string fehler;
    if (std::ferror(f))
        fehler = "Lesefehler: " + SystemFehler(errno);
    else if (text->size() > kMaxEingabe)
        fehler = "zu lang für einen Parametersatz (mehr als " + std::to_string(kMaxEingabe) + " Bytes)";
    if (pfad != nullptr)
        std::fclose(f);
    return fehler;
}

// Waits until `frist`; true as soon as SIGINT or SIGTERM is there. The two stay blocked for the
// whole monitor run, so one that comes during a read waits here and the read's line is out first.
bool StoppBis(std::chrono::steady_clock::time_point frist, const sigset_t &stoppSignale)
{
    using namespace std::chrono;
    for (;;) {
        const auto rest = std::max(frist - steady_clock::now(), steady_clock::duration::zero());
        const auto ns = duration_cast<nanoseconds>(rest).count();
        const timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        if (sigtimedwait(&stoppSignale, nullptr, &ts) > 0)
            return true;
        if (errno == EAGAIN)
            return false;  // deadline reached; EINTR (another signal) waits on
    }
}

}  // namespace

int Scan(const Aufruf &, int port)
{
    for (int adresse = 1; adresse <= kScanAdressen; ++adresse) {
        std::array<char, 32> id{};
        const int rc = OKVTLX1_IDLesen(port, adresse, id.data());
        std::cout << adresse << " ";
        if (rc != 0) {
            std::cout << "- " << -rc << " " << Utf8AusCp1252(OKV_Fehlermeldung(rc));
        } else {
            const std::string_view text(id.data());
            std::cout << (text.starts_with(kTLX1Kennung) ? "TLX-1 " : "anderes ") << Druckbar(text);
        }
        std::cout << std::endl;  // one line per address as it comes: a silent one takes 1 s
    }
    return kOk;
}

int Id(const Aufruf &a, int port)
{
    std::array<char, 32> id{};
    if (const int rc = OKVTLX1_IDLesen(port, a.adresse, id.data()); rc != 0) {
        FehlerAusgeben(rc);
        return kFehler;
    }
    std::cout << Druckbar(id.data()) << "\n";
    return kOk;
}

int Status(const Aufruf &a, int port)
{
    int status = 0;
    if (const int rc = OKVTLX1_StatusLesen(port, a.adresse, &status); rc != 0) {
        FehlerAusgeben(rc);
        return kFehler;
    }
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "0x%02X %d", static_cast<unsigned>(status), status);
    std::cout << text.data() << "\n";
    return kOk;
}

namespace {

using okvtlx1_intern::kParameter;
using okvtlx1_intern::ParameterName;
using okvtlx1_intern::ParameterSuchen;

// A name the module does not know is a usage error, found before any port is opened; the message
// lists the names that the command takes.
std::optional<int> NameGueltig(const std::string &name, bool zumSchreiben, const Befehl &b)
{
    const ParameterName *p = ParameterSuchen(name.c_str());
    if (p != nullptr && (p->schreibbar || !zumSchreiben))
        return std::nullopt;
    std::string namen;
    for (const ParameterName &q : kParameter)
        if (q.schreibbar || !zumSchreiben)
            namen += " " + std::string(q.name);
    return Aufruffehler(&b, (p != nullptr ? name + " kann nur gelesen werden"
                                          : "unbekannter Parameter \"" + Druckbar(name) + "\"") +
                                "; gültige Namen:" + namen);
}

}  // namespace

std::optional<int> GetVorbereiten(Aufruf &a, const Befehl &b)
{
    return NameGueltig(a.argumente[0], false, b);
}

int Get(const Aufruf &a, int port)
{
    double wert = 0.0;
    if (const int rc = OKVTLX1_ParameterLesen(port, a.adresse, a.argumente[0].c_str(), &wert);
        rc != 0) {
        FehlerAusgeben(rc);
        return kFehler;
    }
    std::cout << ZahlText(wert) << "\n";
    return kOk;
}

std::optional<int> SetVorbereiten(Aufruf &a, const Befehl &b)
{
    if (const auto fehler = NameGueltig(a.argumente[0], true, b))
        return fehler;
    const std::optional<double> wert = ZahlLesen(a.argumente[1]);
    if (!wert)
        return Aufruffehler(&b, "\"" + Druckbar(a.argumente[1]) + "\" ist kein Zahlenwert");
    a.wert = *wert;
    return std::nullopt;
}

int Set(const Aufruf &a, int port)
{
    if (const int rc = OKVTLX1_ParameterSchreiben(port, a.adresse, a.argumente[0].c_str(), a.wert);
        rc != 0) {
        FehlerAusgeben(rc);
        return kFehler;
    }
    return kOk;
}

bool SatzVomModul(std::string_view befehl, int port, int adresse, std::array<double, 8> &satz)
{
    for (const int i : kUebertragung) {
        const std::string name(kSatzNamen[i]);
        if (const int rc = OKVTLX1_ParameterLesen(port, adresse, name.c_str(), &satz[i]); rc != 0) {
            FehlerAusgeben(rc);
            std::cerr << befehl << ": " << name << " nicht gelesen\n";
            return false;
        }
    }
    return true;
}

bool SatzZumModul(std::string_view befehl, int port, int adresse, const std::array<double, 8> &satz)
{
    std::string geschrieben;
    for (std::size_t k = 0; k < kUebertragung.size(); ++k) {
        const int i = kUebertragung[k];
        const std::string name(kSatzNamen[i]);
        if (const int rc = OKVTLX1_ParameterSchreiben(port, adresse, name.c_str(), satz[i]); rc != 0) {
            FehlerAusgeben(rc);
            // The failing value itself may or may not have reached the module.
            std::string offen;
            for (std::size_t r = k + 1; r < kUebertragung.size(); ++r)
                offen += " " + std::string(kSatzNamen[kUebertragung[r]]);
            std::cerr << befehl << ": abgebrochen bei " << name << "; geschrieben:"
                      << (geschrieben.empty() ? " nichts" : geschrieben)
                      << "; nicht gesendet:" << (offen.empty() ? " nichts" : offen) << "\n";
            return false;
        }
        geschrieben += " " + name;
    }
    return true;
}

int ReadSet(const Aufruf &a, int port)
{
    std::array<double, kSatzNamen.size()> satz{};
    if (!SatzVomModul("read-set", port, a.adresse, satz))
        return kFehler;  // never half a set on standard output
    for (std::size_t i = 0; i < kSatzNamen.size(); ++i)
        std::cout << kSatzNamen[i] << "=" << ZahlText(satz[i]) << "\n";
    return kOk;
}

std::optional<int> WriteSetVorbereiten(Aufruf &a, const Befehl &b)
{
    // Read and check the whole text before the port is opened: a wrong line sends nothing.
    const bool vonStdin = a.argumente.empty() || a.argumente[0] == "-";
    const std::string quelle = vonStdin ? "Standardeingabe" : a.argumente[0];
    std::string text;
    if (const std::string problem = EingabeLesen(vonStdin ? nullptr : quelle.c_str(), &text);
        !problem.empty()) {
        std::cerr << "tlx1ctl: " << quelle << ": " << problem << "\n";
        return kFehler;
    }
    std::istringstream ein(text);
    std::string grund;
    if (!SatzLesen(ein, quelle, a.satz, &grund))
        return Aufruffehler(&b, grund);
    return std::nullopt;
}

int WriteSet(const Aufruf &a, int port)
{
    // The text was read and checked whole before the port was opened (WriteSetVorbereiten).
    return SatzZumModul("write-set", port, a.adresse, a.satz) ? kOk : kFehler;
}

std::optional<int> MonitorVorbereiten(Aufruf &a, const Befehl &b)
{
    if (const auto text = OptionWert(a, "--rate")) {
        const auto r = ZahlLesen(*text);
        if (!r || *r < kMinRate || *r > kMaxRate)
            return Aufruffehler(&b, "--rate braucht eine Rate von 0.01 bis 100 (Hz)");
        a.rate = *r;
    }
    if (const auto text = OptionWert(a, "--count")) {
        const auto n = GanzzahlLesen(*text, 1, 1000000000L);
        if (!n)
            return Aufruffehler(&b, "--count braucht eine Anzahl ab 1");
        a.anzahl = *n;
    }
    return std::nullopt;
}

int Monitor(const Aufruf &a, int port)
{
    using namespace std::chrono;
    // Not unblocked again: the program closes the port and ends right after the loop.
    sigset_t stoppSignale;
    sigemptyset(&stoppSignale);
    sigaddset(&stoppSignale, SIGINT);
    sigaddset(&stoppSignale, SIGTERM);
    sigprocmask(SIG_BLOCK, &stoppSignale, nullptr);

    // Absolute deadlines start + k * period keep the cadence whatever a read costs; a read
    // longer than the period skips the ticks it missed instead of bunching them up.
    const auto periode = duration_cast<steady_clock::duration>(duration<double>(1.0 / a.rate));
    const auto start = steady_clock::now();
    for (long zeilen = 1, k = 1;; ++zeilen, ++k) {
        double wert = 0.0;
        if (const int rc = OKVTLX1_ParameterLesen(port, a.adresse, "istwert1", &wert); rc != 0) {
            FehlerAusgeben(rc);
            return kFehler;
        }
        std::cout << Zeitstempel(system_clock::now()) << "," << ZahlText(wert) << std::endl;
        if (!std::cout)
            return kFehler;  // main says so
        if (zeilen == a.anzahl)
            return kOk;
        const auto jetzt = steady_clock::now();
        if (start + k * periode < jetzt)
            k = (jetzt - start) / periode + 1;
        if (StoppBis(start + k * periode, stoppSignale))
            return kOk;
    }
}

}  // namespace tlx1ctl
