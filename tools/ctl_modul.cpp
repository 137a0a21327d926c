// tlx1ctl: the commands that talk to a module (scan, id, status, get, set, read-set, write-set,
// monitor), and the parameter set moved between module and text.
#include "tools/ctl.h"

#include "driver/okvtlx1.h"
#include "driver/okvtlx1_frames.h"
#include "error/OKV_errorV3.h"
#include "platform/rs232/rs232.h"
#include "platform/text/textformat.h"
#include "record/Protokoll.h"
#include "tools/ctl_text.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace tlx1ctl {

namespace {

constexpr int kScanAdressen = 8;
constexpr double kMinRate = 0.01;  // Hz
constexpr double kMaxRate = 100.0;
constexpr std::size_t kMaxEingabe = 64 * 1024;  // bytes of a write-set text
constexpr std::string_view kTLX1Kennung = "OKV-TLX1";
// The parameters a module answers, without the channel digit 1 or 2.
constexpr std::array<std::string_view, 11> kLesbar = {
    "P", "I", "D", "soll", "anfangssoll", "max", "min", "betriebsart", "anstiegszeit", "stellgroesse", "istwert",
};

}  // namespace

// Reads a write-set text into satz (record order). False, with the reason in *grund, for a
// malformed line, an unknown or repeated name, or a missing name.
bool SatzLesen(std::istream &ein, const std::string &quelle, std::array<double, 8> &satz, std::string *grund)
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
            *grund = ort + "unbekannter Name \"" + Druckbar(z->name) +
                     "\" (erlaubt: P1 I1 D1 min1 "
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

namespace {

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
        KennungMerken(port, adresse, rc == 0 ? id.data() : nullptr);
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
    const int rc = OKVTLX1_IDLesen(port, a.adresse, id.data());
    KennungMerken(port, a.adresse, rc == 0 ? id.data() : nullptr);
    if (rc != 0) {
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
    return Aufruffehler(
        &b, (p != nullptr ? name + " kann nur gelesen werden" : "unbekannter Parameter \"" + Druckbar(name) + "\"") +
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
    if (const int rc = OKVTLX1_ParameterLesen(port, a.adresse, a.argumente[0].c_str(), &wert); rc != 0) {
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
    if (const int rc = Protokoll_ParameterSchreiben(port, a.adresse, a.argumente[0].c_str(), a.wert); rc != 0) {
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

namespace {

// Names of the set in transfer order from index `von` on, each after a blank; " nichts" for none.
std::string Namen(std::size_t von, std::size_t bis)
{
    std::string namen;
    for (std::size_t k = von; k < bis; ++k)
        namen += " " + std::string(kSatzNamen[kUebertragung[k]]);
    return namen.empty() ? " nichts" : namen;
}

// Stands guard over SIGINT, SIGTERM and SIGHUP while a set is written. They are blocked, so that a
// signal cannot leave the module with a mix of old and new values; a thread of its own takes them
// and remembers the first. A second signal of the same kind ends the program at once, naming what
// was written so far. The signals stay blocked afterwards: the program ends right after the set.
std::string VollstaendigText(int signal)
{
    return "Parametersatz vollst\u00e4ndig geschrieben, abgebrochen durch Signal " + std::to_string(signal) + "\n";
}

class SignalWache {
public:
    explicit SignalWache(std::string_view befehl) : befehl_(befehl)
    {
        sigemptyset(&signale_);
        for (const int s : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&signale_, s);
        pthread_sigmask(SIG_BLOCK, &signale_, nullptr);
        waechter_ = std::thread([this] { Wachen(); });
    }
    ~SignalWache() { Ende(); }
    SignalWache(const SignalWache &) = delete;
    SignalWache &operator=(const SignalWache &) = delete;

    // The value of transfer position k goes out now; those before it were written (k = 8: all).
    void Position(std::size_t k)
    {
        const std::lock_guard<std::mutex> sperre(mutex_);
        position_ = k;
    }
    // Ends the guard: the first signal taken, also one that came after the thread ended; 0 for none.
    int Ende()
    {
        if (waechter_.joinable()) {
            ende_ = true;
            waechter_.join();
        }
        const timespec sofort{0, 0};
        if (const int spaet = sigtimedwait(&signale_, nullptr, &sofort); erstes_ == 0 && spaet > 0)
            erstes_ = spaet;
        return erstes_;
    }

private:
    void Wachen()
    {
        const timespec takt{0, 20 * 1000 * 1000};  // how soon the guard ends after the set
        while (!ende_) {
            const int s = sigtimedwait(&signale_, nullptr, &takt);
            if (s <= 0)
                continue;
            const std::lock_guard<std::mutex> sperre(mutex_);
            if (erstes_ == 0) {
                erstes_ = s;
            } else if (s == erstes_) {
                // The value at position_ may or may not have reached the module.
                const std::string text =
                    position_ >= kUebertragung.size()
                        ? VollstaendigText(s)
                        : std::string(befehl_) + ": abgebrochen durch Signal " + std::to_string(s) + " bei " +
                              std::string(kSatzNamen[kUebertragung[position_]]) +
                              "; geschrieben:" + Namen(0, position_) +
                              "; nicht gesendet:" + Namen(position_ + 1, kUebertragung.size()) + "\n";
                [[maybe_unused]] const ssize_t n = write(STDERR_FILENO, text.data(), text.size());
                ComRestoreLines();  // _exit skips the close that would put a terminal back
                _exit(128 + s);
            }
        }
    }

    std::string_view befehl_;
    sigset_t signale_{};
    std::atomic<bool> ende_{false};
    std::mutex mutex_;
    int erstes_ = 0;            // first signal taken
    std::size_t position_ = 0;  // transfer position of the value being written
    std::thread waechter_;      // last: starts when everything above is ready
};

}  // namespace

bool SatzPruefen(std::string_view befehl, const std::array<double, 8> &satz)
{
    for (const int i : kUebertragung) {
        const std::string name(kSatzNamen[i]);
        if (const int rc = OKVTLX1_ParameterPruefen(name.c_str(), satz[i]); rc != 0) {
            FehlerAusgeben(rc);
            std::cerr << befehl << ": " << name << "=" << ZahlText(satz[i]) << " abgelehnt; nichts gesendet\n";
            return false;
        }
    }
    return true;
}

int SatzZumModul(std::string_view befehl, int port, int adresse, const std::array<double, 8> &satz)
{
    SignalWache wache(befehl);
    bool vollstaendig = true;
    for (std::size_t k = 0; k < kUebertragung.size(); ++k) {
        const int i = kUebertragung[k];
        const std::string name(kSatzNamen[i]);
        wache.Position(k);
        if (const int rc = Protokoll_ParameterSchreiben(port, adresse, name.c_str(), satz[i]); rc != 0) {
            FehlerAusgeben(rc);
            // The failing value itself may or may not have reached the module.
            std::cerr << befehl << ": abgebrochen bei " << name << "; geschrieben:" << Namen(0, k)
                      << "; nicht gesendet:" << Namen(k + 1, kUebertragung.size()) << "\n";
            vollstaendig = false;
            break;
        }
    }
    if (vollstaendig)
        wache.Position(kUebertragung.size());
    if (const int signal = wache.Ende(); signal != 0) {
        if (vollstaendig)
            std::cerr << VollstaendigText(signal);
        else
            std::cerr << befehl << ": abgebrochen durch Signal " << signal << "\n";
        return 128 + signal;
    }
    return vollstaendig ? kOk : kFehler;
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
    if (const std::string problem = EingabeLesen(vonStdin ? nullptr : quelle.c_str(), &text); !problem.empty()) {
        std::cerr << "tlx1ctl: " << quelle << ": " << problem << "\n";
        return kFehler;
    }
    std::istringstream ein(text);
    std::string grund;
    if (!SatzLesen(ein, quelle, a.satz, &grund))
        return Aufruffehler(&b, grund);
    if (!SatzPruefen("write-set", a.satz))
        return kFehler;
    return std::nullopt;
}

int WriteSet(const Aufruf &a, int port)
{
    // The text was read and every value checked before the port was opened (WriteSetVorbereiten).
    return SatzZumModul("write-set", port, a.adresse, a.satz);
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
    if (const auto text = OptionWert(a, "--values")) {
        a.werte.clear();
        for (std::string_view rest = *text;;) {
            const auto komma = std::min(rest.find(','), rest.size());
            const std::string name(rest.substr(0, komma));
            const bool bekannt = std::any_of(kLesbar.begin(), kLesbar.end(), [&](std::string_view s) {
                return name.size() == s.size() + 1 && name.starts_with(s) && (name.back() == '1' || name.back() == '2');
            });
            if (!bekannt)
                return Aufruffehler(&b,
                                    "--values: unbekannter Parameter \"" + Druckbar(name) + "\" (Namen wie bei get)");
            if (std::find(a.werte.begin(), a.werte.end(), name) != a.werte.end())
                return Aufruffehler(&b, "--values: " + name + " steht doppelt");
            a.werte.push_back(name);
            if (komma == rest.size())
                break;
            rest.remove_prefix(komma + 1);
        }
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
    if (OptionWert(a, "--header")) {
        std::cout << "zeit";
        for (const std::string &name : a.werte)
            std::cout << "," << name;
        std::cout << std::endl;
    }
    const auto periode = duration_cast<steady_clock::duration>(duration<double>(1.0 / a.rate));
    const auto start = steady_clock::now();
    bool rateGemeldet = false;
    for (long zeilen = 1, k = 1;; ++zeilen, ++k) {
        std::string zeile = Zeitstempel(system_clock::now());
        for (const std::string &name : a.werte) {
            double wert = 0.0;
            if (const int rc = OKVTLX1_ParameterLesen(port, a.adresse, name.c_str(), &wert); rc != 0) {
                FehlerAusgeben(rc);
                return kFehler;
            }
            zeile += "," + ZahlText(wert);
        }
        std::cout << zeile << std::endl;
        if (!std::cout)
            return kFehler;  // main says so
        if (zeilen == a.anzahl)
            return kOk;
        const auto jetzt = steady_clock::now();
        if (start + k * periode < jetzt) {
            k = (jetzt - start) / periode + 1;
            // Once a few ticks tell the rate the line allows: the reads of a tick take longer than
            // its period.
            const double erreicht = zeilen / duration<double>(jetzt - start).count();
            if (!rateGemeldet && zeilen >= 3 && erreicht < 0.95 * a.rate) {
                rateGemeldet = true;
                std::cerr << "tlx1ctl: Rate " << ZahlText(a.rate) << " Hz nicht erreichbar, erreicht "
                          << ZahlText(std::round(erreicht * 10.0) / 10.0) << " Hz" << std::endl;
            }
        }
        if (StoppBis(start + k * periode, stoppSignale))
            return kOk;
    }
}

}  // namespace tlx1ctl
