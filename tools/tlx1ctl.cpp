// tlx1ctl: command-line access to TLX-1 modules for scripted commissioning.
//
// Every device action goes through the TLX-1 driver, exactly as the window program does it: open
// the COM port, set the 1.0 s time-out, run the commands, close the port. Failures print the number
// the operator knows and the German catalogue text. The tool's own texts are UTF-8 for the terminal.
// Exit status: 0 success, 1 failure reported by the driver (or the system), 2 wrong invocation.
#include "app/Parameterdatei.h"
#include "app/TLX1Func.h"
#include "app/TLX1Konfig.h"
#include "driver/okvtlx1.h"
#include "error/OKV_errorV3.h"
#include "platform/rs232/rs232.h"
#include "tools/ctl_text.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tlx1ctl;

namespace {

constexpr int kOk = 0;
constexpr int kFehler = 1;
constexpr int kAufruffehler = 2;

constexpr double kZeitlimit = 1.0;   // seconds, as the window program sets it after opening
constexpr int kScanAdressen = 8;
constexpr double kMinRate = 0.01;    // Hz
constexpr double kMaxRate = 100.0;
constexpr std::size_t kMaxEingabe = 64 * 1024;  // bytes of a write-set text
constexpr std::string_view kTLX1Kennung = "OKV-TLX1";

// What the command line asked for.
struct Aufruf {
    std::vector<std::string> argumente;   // after the command name
    int port = 1;
    std::string geraet;                   // --device, empty when not given
    bool portGegeben = false;
    int adresse = 1;
    bool adresseGegeben = false;
    double rate = 10.0;
    bool rateGegeben = false;
    long anzahl = 0;                      // 0: until interrupted
    bool anzahlGegeben = false;
    double wert = 0.0;                    // set: the value
    std::array<double, 8> satz{};         // write-set, load: the values in volts, record order
};

int Scan(const Aufruf &a, int port);
int Id(const Aufruf &a, int port);
int Status(const Aufruf &a, int port);
int Get(const Aufruf &a, int port);
int Set(const Aufruf &a, int port);
int ReadSet(const Aufruf &a, int port);
int WriteSet(const Aufruf &a, int port);
int Save(const Aufruf &a, int port);
int Load(const Aufruf &a, int port);
int Monitor(const Aufruf &a, int port);

struct Befehl {
    std::string_view name;
    int minArgumente;
    int maxArgumente;
    bool mitAdresse;        // takes --address
    bool mitMonitor;        // takes --rate and --count
    std::string_view aufruf;
    std::string_view kurz;     // one line for the overview
    std::string_view hilfe;
    int (*ausfuehren)(const Aufruf &, int port);
};

constexpr std::string_view kPortOptionen = "[--port N | --device PFAD]";

constexpr Befehl kBefehle[] = {
    {"scan", 0, 0, false, false, "scan",
     "Adressen 1 bis 8 nach TLX-1-Modulen absuchen",
     "Fragt die Adressen 1 bis 8 nach ihrer Kennung. Eine Zeile je Adresse:\n"
     "  ADRESSE TLX-1 KENNUNG     ein TLX-1 (Kennung beginnt mit \"OKV-TLX1\")\n"
     "  ADRESSE anderes KENNUNG   ein anderes Gerät\n"
     "  ADRESSE - NUMMER TEXT     keine gültige Antwort (Fehlernummer und Text)\n"
     "Jede stumme Adresse kostet 1 s. Exit-Status 0, sobald die Schnittstelle offen war.\n",
     Scan},
    {"id", 0, 0, true, false, "id",
     "Kennung des Moduls lesen",
     "Liest die Kennung des Moduls (Adresse 1 bis 8) und gibt sie aus.\n", Id},
    {"status", 0, 0, true, false, "status",
     "Statusbyte lesen",
     "Liest das Statusbyte des Moduls (Adresse 0 bis 8) und gibt es hexadezimal und dezimal\n"
     "aus, z. B. \"0x3F 63\".\n",
     Status},
    {"get", 1, 1, true, false, "get NAME",
     "einen Parameter lesen",
     "Liest einen Parameter und gibt seinen Wert aus (Dezimalpunkt, Einheit des Moduls: V, V/s).\n"
     "Namen: P1 I1 D1 soll1 anfangssoll1 max1 min1 betriebsart1 anstiegszeit1 stellgroesse1\n"
     "istwert1, und dieselben mit 2 am Ende für Kanal 2.\n",
     Get},
    {"set", 2, 2, true, false, "set NAME WERT",
     "einen Parameter schreiben",
     "Schreibt einen Parameter (Namen wie bei get, ohne istwert1/istwert2). Der Wert darf einen\n"
     "Punkt oder ein Komma als Dezimalzeichen haben. Ein Wert außerhalb der Grenzen wird\n"
     "abgelehnt, bevor etwas gesendet wird. Adresse 9 schreibt an alle Module (ohne Antwort).\n",
     Set},
    {"read-set", 0, 0, true, false, "read-set",
     "Parametersatz von Kanal 1 lesen (NAME=WERT)",
     "Liest den Parametersatz von Kanal 1 und gibt ihn als NAME=WERT aus, eine Zeile je Wert,\n"
     "in dieser Reihenfolge: P1 I1 D1 min1 max1 anfangssoll1 anstiegszeit1 betriebsart1 (Volt).\n"
     "Ausgegeben wird nur, wenn alle acht Werte gelesen wurden.\n",
     ReadSet},
    {"write-set", 0, 1, true, false, "write-set [DATEI|-]",
     "Parametersatz von Kanal 1 schreiben",
     "Schreibt den Parametersatz von Kanal 1 aus DATEI oder der Standardeingabe (ohne DATEI\n"
     "oder mit -). Zeilen wie bei read-set: NAME=WERT; Leerzeilen und Kommentare ab '#' sind\n"
     "erlaubt. Alle acht Namen müssen genau einmal vorkommen, sonst wird nichts gesendet.\n"
     "Geschrieben wird in der Reihenfolge P1 I1 D1 anfangssoll1 min1 max1 anstiegszeit1\n"
     "betriebsart1; beim ersten Fehler bricht der Befehl ab und nennt den Namen.\n",
     WriteSet},
    {"save", 1, 1, true, false, "save DATEI.tlx",
     "Parametersatz von Kanal 1 in eine Parametersatzdatei speichern",
     "Liest den Parametersatz von Kanal 1 und speichert ihn als Parametersatzdatei, wie das\n"
     "Fenster sie lädt: Skalierung 0 bis 10 V als 0 bis 10 \"V\", Zoom 0 bis 10. Die Datei wird\n"
     "erst ersetzt, wenn alles gelesen und die neue Datei vollständig geschrieben ist.\n",
     Save},
    {"load", 1, 1, true, false, "load DATEI.tlx",
     "Parametersatz aus einer Parametersatzdatei auf das Modul schreiben",
     "Schreibt den Parametersatz einer Parametersatzdatei auf Kanal 1 des Moduls. Sollwert beim\n"
     "Einschalten und Anstiegsgeschwindigkeit werden aus der Einheit der Datei in Volt\n"
     "umgerechnet. Die Datei wird ganz gelesen und geprüft, bevor etwas gesendet wird;\n"
     "Reihenfolge und Abbruch beim ersten Fehler wie bei write-set.\n",
     Load},
    {"monitor", 0, 0, true, true, "monitor [--rate HZ] [--count N]",
     "Istwert als CSV mit Zeitstempel ausgeben",
     "Liest den Istwert (istwert1) mit HZ Abfragen je Sekunde (Vorgabe 10, 0.01 bis 100) und\n"
     "gibt je Abfrage eine CSV-Zeile aus: Zeitstempel (ISO 8601, Ortszeit, Millisekunden),Wert.\n"
     "Endet nach N Zeilen oder bei Strg+C/SIGTERM nach der laufenden Zeile (Exit-Status 0).\n"
     "Ein Lesefehler beendet den Befehl mit seiner Fehlermeldung (Exit-Status 1).\n",
     Monitor},
};
static_assert(std::size(kBefehle) == 10);

// The channel-1 parameter set in record order (the order read-set prints) ...
constexpr std::array<std::string_view, 8> kSatzNamen = {
    "P1", "I1", "D1", "min1", "max1", "anfangssoll1", "anstiegszeit1", "betriebsart1",
};
// ... and the order in which the module is read and written (indices into kSatzNamen).
constexpr std::array<int, 8> kUebertragung = {0, 1, 2, 5, 3, 4, 6, 7};
static_assert(std::tuple_size_v<decltype(Aufruf::satz)> == kSatzNamen.size());

const Befehl *BefehlSuchen(std::string_view name)
{
    for (const Befehl &b : kBefehle)
        if (b.name == name)
            return &b;
    return nullptr;
}

void AllgemeineHilfe()
{
    std::cout << "Aufruf: tlx1ctl BEFEHL [ARGUMENTE] " << kPortOptionen << " [--address A]\n"
              << "\nBefehle:\n";
    for (const Befehl &b : kBefehle)
        std::cout << "  " << b.aufruf << std::string(b.aufruf.size() < 34 ? 34 - b.aufruf.size() : 1, ' ')
                  << b.kurz << "\n";
    std::cout << "\nOptionen:\n"
                 "  --port N       COM-Schnittstelle N (Vorgabe 1): das Gerät aus der Umgebungs-\n"
                 "                 variablen TLX1_COM<N>, sonst /dev/ttyS<N-1>\n"
                 "  --device PFAD  die serielle Schnittstelle PFAD statt --port\n"
                 "  --address A    Moduladresse (Vorgabe 1; 9 = alle Module, nur zum Schreiben)\n"
                 "  --help         Hilfe; \"tlx1ctl BEFEHL --help\" erklärt einen Befehl\n"
                 "\nFehler: NUMMER TEXT auf der Standardfehlerausgabe.\n"
                 "Exit-Status: 0 Erfolg, 1 Fehler, 2 falscher Aufruf.\n";
}

void BefehlHilfe(const Befehl &b)
{
    std::cout << "Aufruf: tlx1ctl " << b.aufruf << " " << kPortOptionen
              << (b.mitAdresse ? " [--address A]" : "") << "\n\n"
              << b.hilfe
              << "\n--port N: COM N (Vorgabe 1), Gerät aus TLX1_COM<N>, sonst /dev/ttyS<N-1>\n"
                 "--device PFAD: die serielle Schnittstelle PFAD\n"
              << (b.mitAdresse ? "--address A: Moduladresse (Vorgabe 1)\n" : "")
              << "Exit-Status: 0 Erfolg, 1 Fehler (NUMMER TEXT auf stderr), 2 falscher Aufruf\n";
}

// A wrong invocation: says what is wrong and how the command is called.
int Aufruffehler(const Befehl *b, const std::string &grund)
{
    std::cerr << "tlx1ctl: " << grund << "\n";
    if (b != nullptr)
        std::cerr << "Aufruf: tlx1ctl " << b->aufruf << " " << kPortOptionen
                  << (b->mitAdresse ? " [--address A]" : "") << "  (mehr: tlx1ctl " << b->name
                  << " --help)\n";
    else
        std::cerr << "Aufruf: tlx1ctl BEFEHL [ARGUMENTE] " << kPortOptionen
                  << " [--address A]  (mehr: tlx1ctl --help)\n";
    return kAufruffehler;
}

// The operator's number and the catalogue text, as the window program shows them.
void FehlerAusgeben(int code)
{
    std::cerr << -code << " " << Utf8AusCp1252(OKV_Fehlermeldung(code)) << "\n";
}

// A system error in the operator's language; the rare ones keep the C library's text.
std::string SystemFehler(int fehler)
{
    switch (fehler) {
    case ENOENT:
    case ENOTDIR: return "nicht gefunden";
    case EACCES:
    case EPERM: return "keine Berechtigung";
    case EISDIR: return "ist ein Verzeichnis";
    default: return std::strerror(fehler);
    }
}

// --- Opening the port ---------------------------------------------------------------------------

std::string BerechtigungHinweis(const std::string &pfad, const struct stat &st)
{
    const struct group *g = getgrgid(st.st_gid);
    const bool gruppeDarf = (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    if (g != nullptr && g->gr_name != nullptr && std::strcmp(g->gr_name, "root") != 0 && gruppeDarf) {
        const std::string gruppe = g->gr_name;
        return "keine Berechtigung für " + pfad + ": den Benutzer in die Gruppe \"" + gruppe +
               "\" aufnehmen, der das Gerät gehört (sudo usermod -aG " + gruppe +
               " BENUTZER, danach neu anmelden)";
    }
    return "keine Berechtigung für " + pfad + ": das Gerät gehört keiner Gruppe mit Lese- und "
           "Schreibrecht; üblich ist die Gruppe \"dialout\" (Rechte crw-rw----) mit dem Benutzer "
           "als Mitglied";
}

// Why the serial service could not open `pfad`, found by looking at the device the way the
// service opens it. Touches nothing: a trial open is closed again at once.
std::string OeffnenUrsache(const std::string &pfad)
{
    struct stat st{};
    if (stat(pfad.c_str(), &st) != 0) {
        return pfad + ": " + SystemFehler(errno);
    }
    if (!S_ISCHR(st.st_mode))
        return pfad + " ist keine serielle Schnittstelle";
    if (access(pfad.c_str(), R_OK | W_OK) != 0 && errno == EACCES)
        return BerechtigungHinweis(pfad, st);
    const int fd = open(pfad.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int fehler = errno;
        if (fehler == EBUSY)
            return pfad + " wird von einem anderen Programm benutzt";
        if (fehler == EACCES || fehler == EPERM)
            return BerechtigungHinweis(pfad, st);
        if (fehler == ENXIO || fehler == ENODEV || fehler == EIO)
            return "an " + pfad + " ist keine Schnittstelle vorhanden";
        return pfad + ": " + SystemFehler(fehler);
    }
    std::string grund;
    if (!isatty(fd))
        grund = pfad + " ist keine serielle Schnittstelle";
    else if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        grund = pfad + " wird von einem anderen Programm benutzt";
    else
        grund = pfad + ": Ursache unbekannt";
    close(fd);  // also drops the trial lock
    return grund;
}

// The COM number to open: --port, or for --device a number whose TLX1_COM<n> is not set, which
// then names the device, so the serial service opens it by its own mapping.
std::optional<int> PortWaehlen(const Aufruf &a)
{
    if (a.geraet.empty())
        return a.port;
    for (int n = COM_MAX_PORT; n >= 1; --n) {
        const std::string variable = "TLX1_COM" + std::to_string(n);
        if (const char *v = std::getenv(variable.c_str()); v != nullptr && v[0] != '\0')
            continue;
        if (setenv(variable.c_str(), a.geraet.c_str(), 1) != 0)
            return std::nullopt;
        return n;
    }
    return std::nullopt;
}

// Runs the command on an opened port with the 1.0 s time-out, and closes the port afterwards.
int MitPort(const Aufruf &a, const Befehl &b)
{
    const std::optional<int> port = PortWaehlen(a);
    if (!port) {
        std::cerr << "tlx1ctl: keine freie COM-Nummer für " << a.geraet << "\n";
        return kFehler;
    }
    if (const int rc = OKVTLX1_Open(*port); rc != 0) {
        FehlerAusgeben(rc);
        std::cerr << "Grund: " << OeffnenUrsache(a.geraet.empty() ? ComDevicePath(*port) : a.geraet)
                  << "\n";
        return kFehler;
    }
    int ergebnis = kFehler;
    if (const int rc = OKVTLX1_Timeout(*port, kZeitlimit); rc != 0)
        FehlerAusgeben(rc);
    else
        ergebnis = b.ausfuehren(a, *port);
    OKVTLX1_Close(*port);  // nothing left to do about a failed close
    return ergebnis;
}

// --- The commands -------------------------------------------------------------------------------

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

int Set(const Aufruf &a, int port)
{
    if (const int rc = OKVTLX1_ParameterSchreiben(port, a.adresse, a.argumente[0].c_str(), a.wert);
        rc != 0) {
        FehlerAusgeben(rc);
        return kFehler;
    }
    return kOk;
}

// Reads the channel-1 set from the module in transfer order, as the window program does, into
// satz (record order). False after printing the failure; satz is then incomplete.
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

// Writes satz (record order, volts) to the module in transfer order and stops at the first
// failure, which it prints with the names written and not sent. True when all eight went.
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

int WriteSet(const Aufruf &a, int port)
{
    // The text was read and checked whole before the port was opened (ArgumenteLesen).
    return SatzZumModul("write-set", port, a.adresse, a.satz) ? kOk : kFehler;
}

// --- Parameter-set files ------------------------------------------------------------------------
// Files are read and written by the window program's own functions, with its codes: saving
// through a temporary file that replaces an earlier file only once complete.

int Save(const Aufruf &a, int port)
{
    std::array<double, kSatzNamen.size()> satz{};
    if (!SatzVomModul("save", port, a.adresse, satz))
        return kFehler;  // the file stays as it was
    // Volts in the identity scaling: the window shows the set as it came from the module.
    KonfigstrukturAufStandardwerte();
    Parameterdatei datei{};
    datei.satz = {satz[0], satz[1], satz[2], satz[3], satz[4], satz[5], satz[6], satz[7]};
    datei.zoommin = 0.0;
    datei.zoommax = 10.0;
    datei.konfig = gKonfig;
    if (const int rc = Parameterdatei_Schreiben(a.argumente[0].c_str(), &datei); rc != 0) {
        FehlerAusgeben(rc);
        std::cerr << "save: " << a.argumente[0] << " nicht gespeichert\n";
        return kFehler;
    }
    return kOk;
}

int Load(const Aufruf &a, int port)
{
    // The file was read, checked and converted to volts before the port was opened.
    return SatzZumModul("load", port, a.adresse, a.satz) ? kOk : kFehler;
}

// Reads a parameter-set file into satz (record order), the power-on setpoint and the slope
// converted from the file's unit to volts with the file's scaling, as the window program does
// when it writes a loaded set. 0 or the file's error code.
int DateiSatz(const std::string &pfad, std::array<double, 8> &satz)
{
    Parameterdatei datei{};
    if (const int rc = Parameterdatei_Lesen(pfad.c_str(), &datei); rc != 0)
        return rc;
    gKonfig = datei.konfig;
    const Parametersatz &s = datei.satz;
    satz = {s.P, s.I, s.D, s.min, s.max, Umrechnen_BenutzereinheitZuVolt(s.anfangssoll),
            Umrechnen_BenutzereinheitZuVolt(s.anstiegszeit), s.betriebsart};
    return 0;
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

// --- Command line -------------------------------------------------------------------------------

// Reads the command line into `a`, and the input of write-set or the file of load, so that a bad
// input is found before the port is opened. Returns the exit status when it is already decided
// (help, a usage error, unreadable input), std::nullopt when the command is to run.
std::optional<int> ArgumenteLesen(int argc, char **argv, Aufruf &a, const Befehl *&befehl)
{
    bool hilfe = false;
    bool nurArgumente = false;
    std::vector<std::string> positionen;
    struct Wertoption {
        std::string name;
        std::string wert;
    };
    std::vector<Wertoption> optionen;
    std::string fehler;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        // "-5" and "-" are arguments (a negative value, standard input); options start with "--".
        if (nurArgumente || !(arg.starts_with("--") || arg == "-h")) {
            positionen.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            nurArgumente = true;
        } else if (arg == "--help" || arg == "-h") {
            hilfe = true;
        } else {
            std::string name(arg);
            std::string wert;
            bool mitWert = false;
            if (const auto gleich = name.find('='); gleich != std::string::npos) {
                wert = name.substr(gleich + 1);
                name.resize(gleich);
                mitWert = true;
            }
            if (name != "--port" && name != "--device" && name != "--address" && name != "--rate" &&
                name != "--count") {
                if (fehler.empty())
                    fehler = "unbekannte Option " + Druckbar(name);
                continue;
            }
            if (!mitWert) {
                if (i + 1 >= argc) {
                    if (fehler.empty())
                        fehler = name + " braucht einen Wert";
                    continue;
                }
                wert = argv[++i];
            }
            optionen.push_back({name, wert});
        }
    }

    befehl = positionen.empty() ? nullptr : BefehlSuchen(positionen.front());
    if (hilfe) {
        if (befehl != nullptr)
            BefehlHilfe(*befehl);
        else
            AllgemeineHilfe();
        return kOk;
    }
    if (positionen.empty())
        return Aufruffehler(nullptr, "kein Befehl angegeben");
    if (befehl == nullptr)
        return Aufruffehler(nullptr, "unbekannter Befehl \"" + Druckbar(positionen.front()) + "\"");
    if (!fehler.empty())
        return Aufruffehler(befehl, fehler);

    for (const Wertoption &o : optionen) {
        const auto doppelt = [&](bool &gegeben) {
            const bool war = gegeben;
            gegeben = true;
            return war;
        };
        if (o.name == "--port") {
            const auto n = GanzzahlLesen(o.wert, 1, COM_MAX_PORT);
            if (!n)
                return Aufruffehler(befehl, "--port braucht eine COM-Nummer von 1 bis " +
                                                std::to_string(COM_MAX_PORT));
            if (doppelt(a.portGegeben))
                return Aufruffehler(befehl, "--port oder --device nur einmal angeben");
            a.port = static_cast<int>(*n);
        } else if (o.name == "--device") {
            if (o.wert.empty())
                return Aufruffehler(befehl, "--device braucht einen Pfad");
            if (doppelt(a.portGegeben))
                return Aufruffehler(befehl, "--port oder --device nur einmal angeben");
            a.geraet = o.wert;
        } else if (o.name == "--address") {
            if (!befehl->mitAdresse)
                return Aufruffehler(befehl, befehl->name == "scan"
                                                ? "scan fragt alle Adressen ab; --address passt nicht"
                                                : "--address passt nicht zu diesem Befehl");
            const auto n = GanzzahlLesen(o.wert, 0, 9);
            if (!n)
                return Aufruffehler(befehl, "--address braucht eine Adresse von 0 bis 9");
            if (doppelt(a.adresseGegeben))
                return Aufruffehler(befehl, "--address nur einmal angeben");
            a.adresse = static_cast<int>(*n);
        } else if (!befehl->mitMonitor) {
            return Aufruffehler(befehl, o.name + " gibt es nur bei monitor");
        } else if (o.name == "--rate") {
            const auto r = ZahlLesen(o.wert);
            if (!r || *r < kMinRate || *r > kMaxRate)
                return Aufruffehler(befehl, "--rate braucht eine Rate von 0.01 bis 100 (Hz)");
            if (doppelt(a.rateGegeben))
                return Aufruffehler(befehl, "--rate nur einmal angeben");
            a.rate = *r;
        } else {
            const auto n = GanzzahlLesen(o.wert, 1, 1000000000L);
            if (!n)
                return Aufruffehler(befehl, "--count braucht eine Anzahl ab 1");
            if (doppelt(a.anzahlGegeben))
                return Aufruffehler(befehl, "--count nur einmal angeben");
            a.anzahl = *n;
        }
    }

    a.argumente.assign(positionen.begin() + 1, positionen.end());
    const int anzahl = static_cast<int>(a.argumente.size());
    if (anzahl < befehl->minArgumente)
        return Aufruffehler(befehl, "zu wenige Argumente");
    if (anzahl > befehl->maxArgumente)
        return Aufruffehler(befehl, "zu viele Argumente");
    if (befehl->name == "set") {
        const std::optional<double> wert = ZahlLesen(a.argumente[1]);
        if (!wert)
            return Aufruffehler(befehl, "\"" + Druckbar(a.argumente[1]) + "\" ist kein Zahlenwert");
        a.wert = *wert;
    }

    if (befehl->name == "load") {
        // Read and check the file before the port is opened: a bad file sends nothing.
        if (const int rc = DateiSatz(a.argumente[0], a.satz); rc != 0) {
            FehlerAusgeben(rc);
            std::cerr << "load: " << a.argumente[0] << " nicht geladen\n";
            return kFehler;
        }
    }
    if (befehl->name == "write-set") {
        // Read and check the whole text before the port is opened: a wrong line sends nothing.
        const bool vonStdin = anzahl == 0 || a.argumente[0] == "-";
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
            return Aufruffehler(befehl, grund);
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char **argv)
{
    Aufruf aufruf;
    const Befehl *befehl = nullptr;
    if (const std::optional<int> fertig = ArgumenteLesen(argc, argv, aufruf, befehl))
        return *fertig;
    const int ergebnis = MitPort(aufruf, *befehl);
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "tlx1ctl: Ausgabe konnte nicht geschrieben werden\n";
        return kFehler;
    }
    return ergebnis;
}
