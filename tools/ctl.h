#pragma once
// tlx1ctl's commands and what they share: the parsed command line, a row of the command table,
// the exit statuses and the helpers every command uses. Each command lives in a ctl_*.cpp file;
// tlx1ctl.cpp holds the tables, the command line and main.
#include <array>
#include <functional>
#include <istream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct Parameterdatei;

namespace tlx1ctl {

// Exit statuses: success, a failure reported by the driver (or the system), a wrong invocation.
inline constexpr int kOk = 0;
inline constexpr int kFehler = 1;
inline constexpr int kAufruffehler = 2;

// Seconds, as the window program sets it after opening the port.
inline constexpr double kZeitlimit = 1.0;

// What the command line asked for.
struct Aufruf {
    std::vector<std::string> argumente;  // after the command name
    int port = 1;                        // --port
    std::string geraet;                  // --device, empty when not given
    std::string einstellungen;           // --settings, empty: tlx1steuerung.ini of the current folder
    int adresse = 1;                     // --address
    bool adresseGegeben = false;
    // The command's own options by name, e.g. "--rate" -> "5" (a flag maps to "").
    std::map<std::string, std::string, std::less<>> optionen;
    // Filled by a command's preparation (Befehl::vorbereiten) before the port is opened.
    double rate = 10.0;                          // monitor: ticks per second
    long anzahl = 0;                             // monitor: lines, 0 until interrupted
    double wert = 0.0;                           // set: the value
    std::array<double, 8> satz{};                // write-set, load, diff: the values in volts, record order
    long long seit = 0;                          // log --since: milliseconds since the epoch
    std::vector<std::string> werte{"istwert1"};  // monitor: the parameters read each tick
    double dauer = 0.0;                          // step, identify: seconds to record at most
    double tauC = 0.0;                           // identify: closed-loop time constant, 0 for the default
    std::string csv;                             // step, identify: file for the recorded points
};

// One command: its row in the command table.
struct Befehl {
    std::string_view name;
    int minArgumente;
    int maxArgumente;
    bool mitAdresse;            // takes --address
    bool mitPort;               // opens the port (--port/--device); false: runs with port -1
    std::string_view optionen;  // its own options, blank-separated, e.g. "--rate --count"
    std::string_view aufruf;    // "monitor [--rate HZ] [--count N]"
    std::string_view kurz;      // one line for the overview
    std::string_view hilfe;
    // Reads and checks arguments, options and input files before any port is opened: std::nullopt
    // to go on, else the exit status. Null when there is nothing to check.
    std::optional<int> (*vorbereiten)(Aufruf &, const Befehl &);
    int (*ausfuehren)(const Aufruf &, int port);
    int fehlerStatus = kFehler;  // exit status of a failure (port, output); diff: 2, as diff and cmp
};

// An option the tool knows: its name and the placeholder of its value (empty for a flag).
struct Option {
    std::string_view name;
    std::string_view wert;
};

// ---- shared helpers ------------------------------------------------------------------------------

// A wrong invocation: says what is wrong and how the command is called. Returns kAufruffehler.
int Aufruffehler(const Befehl *befehl, const std::string &grund);
// The operator's number and the catalogue text on standard error, as the window program shows them.
void FehlerAusgeben(int code);
// A system error (errno) in the operator's language.
std::string SystemFehler(int fehler);
// The value of the command's option `name`, or std::nullopt when it was not given.
std::optional<std::string> OptionWert(const Aufruf &a, std::string_view name);

// Takes the COM map's entries from --settings, else from tlx1steuerung.ini in the current folder
// (which may be missing). std::nullopt, or kFehler after saying why --settings cannot be read.
std::optional<int> EinstellungenLesen(const Aufruf &a);

// Opens the port of --port (mapped as in the window) or --device with the 1.0 s time-out, runs the
// command, closes the port. A port that cannot be opened is reported with the reason. The command's
// exit status.
int MitPort(const Aufruf &a, const Befehl &b);

// ---- the channel-1 parameter set -------------------------------------------------------------------

// In record order (the order read-set prints) ...
inline constexpr std::array<std::string_view, 8> kSatzNamen = {
    "P1", "I1", "D1", "min1", "max1", "anfangssoll1", "anstiegszeit1", "betriebsart1",
};
// ... and the order in which the module is read and written (indices into kSatzNamen).
inline constexpr std::array<int, 8> kUebertragung = {0, 1, 2, 5, 3, 4, 6, 7};

// Reads the set from the module in transfer order into satz (record order). False after printing the
// failure; satz is then incomplete.
bool SatzVomModul(std::string_view befehl, int port, int adresse, std::array<double, 8> &satz);
// Checks all eight values of satz (record order, volts) in transfer order as the driver checks them
// before sending (finite, range, whole operating mode). False after printing the first refusal with
// the driver's number.
bool SatzPruefen(std::string_view befehl, const std::array<double, 8> &satz);
// Writes satz (record order, volts) in transfer order and stops at the first failure, which it prints
// with the names written and not sent. SIGINT, SIGTERM and SIGHUP wait until the set is written (a
// second one of the same kind ends the program at once, naming the values written). kOk when all
// eight went, kFehler after a failure, 128 + N after signal N.
int SatzZumModul(std::string_view befehl, int port, int adresse, const std::array<double, 8> &satz);

// Reads a parameter-set text (read-set's NAME=WERT lines) into satz (record order). False, with the
// reason in *grund, for a malformed line, an unknown or repeated name, or a missing name.
bool SatzLesen(std::istream &ein, const std::string &quelle, std::array<double, 8> &satz, std::string *grund);
// Reads the file `pfad` (standard input for nullptr) into *text, at most 64 KiB. "" or the problem.
std::string EingabeLesen(const char *pfad, std::string *text);
// Reads a parameter-set file into satz (record order), the power-on setpoint and the slope converted
// from the file's unit to volts with the file's scaling (left in gKonfig); *datei (if not null)
// receives the record. 0 or the file's error code.
int DateiSatz(const std::string &pfad, std::array<double, 8> &satz, Parameterdatei *datei = nullptr);

// ---- the service record (ctl_protokoll.cpp) -----------------------------------------------------------
// Every write goes through Protokoll_ParameterSchreiben (record/Protokoll.h); main reports a record
// that could not be written once, on standard error.
// Notes the identification just read at the address (null: the read failed) for the record.
void KennungMerken(int port, int adresse, const char *kennung);

// ---- the commands (ctl_modul.cpp, ctl_datei.cpp, ctl_analyse.cpp, ctl_vergleich.cpp, ctl_protokoll.cpp,
// ctl_ports.cpp) -----------------------------------------------------------------------------------------
int Scan(const Aufruf &a, int port);
int Id(const Aufruf &a, int port);
int Status(const Aufruf &a, int port);
std::optional<int> GetVorbereiten(Aufruf &a, const Befehl &b);
int Get(const Aufruf &a, int port);
std::optional<int> SetVorbereiten(Aufruf &a, const Befehl &b);
int Set(const Aufruf &a, int port);
int ReadSet(const Aufruf &a, int port);
std::optional<int> WriteSetVorbereiten(Aufruf &a, const Befehl &b);
int WriteSet(const Aufruf &a, int port);
std::optional<int> MonitorVorbereiten(Aufruf &a, const Befehl &b);
int Monitor(const Aufruf &a, int port);
int Save(const Aufruf &a, int port);
std::optional<int> LoadVorbereiten(Aufruf &a, const Befehl &b);
int Load(const Aufruf &a, int port);
int Show(const Aufruf &a, int port);
std::optional<int> DiffVorbereiten(Aufruf &a, const Befehl &b);
int Diff(const Aufruf &a, int port);
std::optional<int> LogVorbereiten(Aufruf &a, const Befehl &b);
int Log(const Aufruf &a, int port);
std::optional<int> StepVorbereiten(Aufruf &a, const Befehl &b);
int Step(const Aufruf &a, int port);
std::optional<int> IdentifyVorbereiten(Aufruf &a, const Befehl &b);
int Identify(const Aufruf &a, int port);
int Ports(const Aufruf &a, int port);

}  // namespace tlx1ctl
