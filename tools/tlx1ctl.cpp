// tlx1ctl: command-line access to TLX-1 modules for scripted commissioning.
//
// Every device action goes through the TLX-1 driver, exactly as the window program does it: open
// the COM port, set the 1.0 s time-out, run the commands, close the port. Failures print the number
// the operator knows and the German catalogue text. The tool's own texts are UTF-8 for the terminal.
// Exit status: 0 success, 1 failure reported by the driver (or the system), 2 wrong invocation,
// 128 + N when signal N came while write-set or load wrote a set.
//
// A command is a row of kBefehle and its functions in a ctl_*.cpp file (declared in ctl.h); an
// option is a row of kOptionen, named in the rows of the commands that take it.
#include "tools/ctl.h"

#include "error/OKV_errorV3.h"
#include "platform/rs232/rs232.h"
#include "platform/text/textformat.h"
#include "record/Protokoll.h"
#include "tlx1_version.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <iterator>

using namespace tlx1ctl;

namespace {

constexpr std::string_view kPortOptionen = "[--port N [--settings DATEI] | --device GERÄT]";

constexpr Befehl kBefehle[] = {
    // name, arguments min/max, --address, port, own options, call, overview line, help, check, run
    {"scan", 0, 0, false, true, "", "scan", "Adressen 1 bis 8 nach TLX-1-Modulen absuchen",
     "Fragt die Adressen 1 bis 8 nach ihrer Kennung. Eine Zeile je Adresse:\n"
     "  ADRESSE TLX-1 KENNUNG     ein TLX-1 (Kennung beginnt mit \"OKV-TLX1\")\n"
     "  ADRESSE anderes KENNUNG   ein anderes Gerät\n"
     "  ADRESSE - NUMMER TEXT     keine gültige Antwort (Fehlernummer und Text)\n"
     "Jede stumme Adresse kostet 1 s. Exit-Status 0, sobald die Schnittstelle offen war.\n",
     nullptr, Scan},
    {"id", 0, 0, true, true, "", "id", "Kennung des Moduls lesen",
     "Liest die Kennung des Moduls (Adresse 1 bis 8) und gibt sie aus.\n", nullptr, Id},
    {"status", 0, 0, true, true, "", "status", "Statusbyte lesen",
     "Liest das Statusbyte des Moduls (Adresse 0 bis 8) und gibt es hexadezimal und dezimal\n"
     "aus, z. B. \"0x3F 63\".\n",
     nullptr, Status},
    {"get", 1, 1, true, true, "", "get NAME", "einen Parameter lesen",
     "Liest einen Parameter und gibt seinen Wert aus (Dezimalpunkt, Einheit des Moduls: V, V/s).\n"
     "Namen: P1 I1 D1 soll1 anfangssoll1 max1 min1 betriebsart1 anstiegszeit1 stellgroesse1\n"
     "istwert1, und dieselben mit 2 am Ende für Kanal 2.\n",
     GetVorbereiten, Get},
    {"set", 2, 2, true, true, "", "set NAME WERT", "einen Parameter schreiben",
     "Schreibt einen Parameter (Namen wie bei get, ohne istwert1/istwert2). Der Wert darf einen\n"
     "Punkt oder ein Komma als Dezimalzeichen haben. Ein Wert außerhalb der Grenzen wird\n"
     "abgelehnt, bevor etwas gesendet wird. Adresse 9 schreibt an alle Module (ohne Antwort).\n",
     SetVorbereiten, Set},
    {"read-set", 0, 0, true, true, "", "read-set", "Parametersatz von Kanal 1 lesen (NAME=WERT)",
     "Liest den Parametersatz von Kanal 1 und gibt ihn als NAME=WERT aus, eine Zeile je Wert,\n"
     "in dieser Reihenfolge: P1 I1 D1 min1 max1 anfangssoll1 anstiegszeit1 betriebsart1 (Volt).\n"
     "Ausgegeben wird nur, wenn alle acht Werte gelesen wurden.\n",
     nullptr, ReadSet},
    {"write-set", 0, 1, true, true, "", "write-set [DATEI|-]", "Parametersatz von Kanal 1 schreiben",
     "Schreibt den Parametersatz von Kanal 1 aus DATEI oder der Standardeingabe (ohne DATEI\n"
     "oder mit -). Zeilen wie bei read-set: NAME=WERT; Leerzeilen und Kommentare ab '#' sind\n"
     "erlaubt. Alle acht Namen müssen genau einmal vorkommen und jeder Wert in seinen Grenzen\n"
     "liegen, sonst wird nichts gesendet. Geschrieben wird in der Reihenfolge P1 I1 D1\n"
     "anfangssoll1 min1 max1 anstiegszeit1 betriebsart1; lehnt das Modul einen Wert ab, bricht\n"
     "der Befehl ab und nennt den Namen. Strg+C, SIGTERM oder SIGHUP warten, bis der Satz\n"
     "geschrieben ist (Exit-Status 128+N); ein zweites gleiches Signal bricht sofort ab.\n",
     WriteSetVorbereiten, WriteSet},
    {"save", 1, 1, true, true, "", "save DATEI.tlx", "Parametersatz von Kanal 1 in eine Parametersatzdatei speichern",
     "Liest den Parametersatz von Kanal 1 und speichert ihn als Parametersatzdatei, wie das\n"
     "Fenster sie lädt: Skalierung 0 bis 10 V als 0 bis 10 \"V\", Zoom 0 bis 10. Die Datei wird\n"
     "erst ersetzt, wenn alles gelesen und die neue Datei vollständig geschrieben ist.\n",
     nullptr, Save},
    {"load", 1, 1, true, true, "", "load DATEI.tlx",
     "Parametersatz aus einer Parametersatzdatei auf das Modul schreiben",
     "Schreibt den Parametersatz einer Parametersatzdatei auf Kanal 1 des Moduls. Sollwert beim\n"
     "Einschalten und Anstiegsgeschwindigkeit werden aus der Einheit der Datei in Volt\n"
     "umgerechnet. Die Datei wird ganz gelesen und jeder Wert geprüft, bevor etwas gesendet\n"
     "wird; Reihenfolge, Abbruch beim ersten Fehler und Signale wie bei write-set.\n",
     LoadVorbereiten, Load},
    {"monitor", 0, 0, true, true, "--rate --count --header --values",
     "monitor [--rate HZ] [--count N] [--header] [--values NAME[,NAME...]]",
     "Istwert (oder andere Parameter) als CSV mit Zeitstempel ausgeben",
     "Liest mit HZ Abfragen je Sekunde (Vorgabe 10, 0.01 bis 100) den Istwert (istwert1) oder die\n"
     "mit --values genannten Parameter (jeder einmal je Abfrage, Namen wie bei get) und gibt je\n"
     "Abfrage eine CSV-Zeile aus: Zeitstempel (ISO 8601, Ortszeit, Millisekunden),Wert[,Wert...].\n"
     "--header setzt eine Kopfzeile davor: zeit,NAME[,NAME...]. Kann die Rate nicht gehalten\n"
     "werden, steht einmal \"Rate ... nicht erreichbar, erreicht ... Hz\" auf stderr.\n"
     "Endet nach N Zeilen oder bei Strg+C/SIGTERM nach der laufenden Zeile (Exit-Status 0).\n"
     "Ein Lesefehler beendet den Befehl mit seiner Fehlermeldung (Exit-Status 1).\n",
     MonitorVorbereiten, Monitor},
    {"step", 0, 0, true, true, "--to --duration --csv", "step --to WERT [--duration S] [--csv DATEI]",
     "Sollwertsprung schreiben und Kennwerte der Sprungantwort ausgeben",
     "Das Modul muss in Betriebsart 1 (Digitaler Sollwert) sein. Schreibt soll1 = WERT (Volt),\n"
     "liest den Istwert zehnmal je Sekunde und gibt danach die Kennwerte als NAME=WERT aus:\n"
     "  anstiegszeit_s          Zeit von 10 % bis 90 % des Sprungs\n"
     "  ueberschwingen_prozent  Überschwingen in % des Sprungs\n"
     "  ausregelzeit_s          Zeit bis zum letzten Eintritt in das Band ±2 % des Sprungs\n"
     "  bleibende_abweichung    Sollwert minus Istwert am Ende (Mittel der letzten Sekunde, V)\n"
     "Der Sprung wird vom Istwert beim Schreiben zum neuen Sollwert gemessen. Die Aufnahme endet,\n"
     "wenn der Istwert so lange im Band blieb, wie er bis dahin brauchte (mindestens 2 s), spätestens\n"
     "nach S Sekunden (Vorgabe 30, 2 bis 3600). Ein nicht erreichter Kennwert bleibt leer (Grund auf\n"
     "stderr). Der neue Sollwert bleibt stehen; bei einem Fehler, Strg+C oder SIGTERM wird der vorige\n"
     "zurückgeschrieben (Exit-Status 1). --csv DATEI schreibt die Messpunkte wie monitor --header\n"
     "(zeit,soll1,istwert1).\n",
     StepVorbereiten, Step},
    {"identify", 0, 0, true, true, "--output --duration --csv --tau-c",
     "identify --output WERT [--duration S] [--csv DATEI] [--tau-c S]",
     "Streckentest: Stellgrößensprung, Streckenmodell und PI-Vorschlag",
     "Liest Betriebsart, Stellgröße, min1 und max1, hält die Stellgröße in Betriebsart 3\n"
     "(Stellbetrieb), zeichnet 1 s Ruhe auf, springt auf WERT (Volt, zwischen min1 und max1) und\n"
     "zeichnet auf, bis der Istwert zur Ruhe kommt, höchstens S Sekunden (Vorgabe 60, 2 bis 3600).\n"
     "Danach werden Stellgröße und Betriebsart wie vorher geschrieben, auch bei einem Fehler,\n"
     "Strg+C oder SIGTERM. Ausgabe (NAME=WERT):\n"
     "  strecke_verstaerkung, strecke_zeitkonstante_s, strecke_totzeit_s   Modell erster Ordnung mit\n"
     "      Totzeit, nach kleinsten Quadraten angepasst\n"
     "  bestimmtheitsmass   R² der Anpassung\n"
     "  P1, I1, D1          PI-Vorschlag nach den SIMC-Regeln von Skogestad für die parallele Form\n"
     "                      des Moduls: P1 = Kc, I1 = Kc/tauI, D1 = 0 (Kc = T/(K(tau_c+L)),\n"
     "                      tauI = min(T, 4(tau_c+L)))\n"
     "--tau-c S wählt die Zeitkonstante des geschlossenen Kreises; Vorgabe: die Totzeit, aber nicht\n"
     "unter T/4. Kein Vorschlag (Exit-Status 1), wenn das Modell schlecht passt (R² unter 0.9) oder\n"
     "die Aufnahme vor dem Einschwingen endete. --csv DATEI: zeit,stellgroesse1,istwert1.\n",
     IdentifyVorbereiten, Identify},
    {"show", 1, 1, false, false, "", "show DATEI.tlx", "Parametersatzdatei als NAME=WERT-Zeilen ausgeben",
     "Gibt den Parametersatz einer Parametersatzdatei so aus wie read-set (NAME=WERT, Volt),\n"
     "so dass write-set die Ausgabe nimmt. Sollwert beim Einschalten und Anstiegsgeschwindigkeit\n"
     "werden mit der Skalierung der Datei in Volt umgerechnet; Skalierung und Zoom der Datei\n"
     "stehen als Kommentarzeilen (#) davor. Braucht keine Schnittstelle.\n",
     nullptr, Show},
    {"diff", 1, 1, true, true, "", "diff DATEI|-", "Parametersatz aus einer Datei mit dem Modul vergleichen",
     "Liest den Parametersatz des Moduls und vergleicht ihn mit DATEI: einer Parametersatzdatei\n"
     "(.tlx) oder einem Text wie von read-set (- liest ihn von der Standardeingabe). Je Unterschied\n"
     "eine Zeile NAME MODUL -> DATEI in Volt, z. B. \"P1 2 -> 0\". Gleich heißt: das Schreiben des\n"
     "Satzes ließe das Modul, wie es ist (der Wert wird so gesendet, wie das Modul ihn schon hat).\n"
     "Exit-Status wie bei diff und cmp: 0 gleich, 1 verschieden, 2 Fehler (auch Datei- und\n"
     "Modulfehler).\n",
     DiffVorbereiten, Diff, kAufruffehler},
    {"log", 0, 0, true, false, "--since", "log [--since ZEIT]", "Protokoll der geschriebenen Werte ausgeben",
     "Gibt das Protokoll aus: jede Zeile ein Wert, den das Fenster oder tlx1ctl an ein Modul\n"
     "geschrieben hat (CSV: zeit,programm,geraet,adresse,modul_id,parameter,wert,ergebnis;\n"
     "ergebnis 0 = angenommen, sonst die Fehlernummer). Das Protokoll liegt in\n"
     "$XDG_STATE_HOME/tlx1steuerung/protokoll.csv (sonst ~/.local/state/tlx1steuerung/).\n"
     "--address A: nur Zeilen dieser Adresse (9 = an alle Module).\n"
     "--since ZEIT: nur Zeilen ab ZEIT, z. B. 2026-12-07, \"2026-12-07 10:15\" oder\n"
     "2026-12-07T10:15:00+01:00 (ohne Angabe Ortszeit).\n",
     LogVorbereiten, Log},
    {"ports", 0, 0, false, false, "--settings", "ports [--settings DATEI]",
     "serielle Schnittstellen und die COM-Zuordnung anzeigen",
     "Listet die seriellen Schnittstellen, die das System jetzt kennt, eine Zeile je Gerät:\n"
     "  PFAD  BY-ID-NAME  HERSTELLER  PRODUKT  SERIENNUMMER   (durch Tabulatoren getrennt, - wenn\n"
     "unbekannt; Geräte mit Namen unter /dev/serial/by-id zuerst). Danach für COM1 bis COM8 das\n"
     "Gerät, das das Fenster und --port öffnen, mit seiner Quelle:\n"
     "  COMn  GERÄT  Umgebung|Einstellungsdatei|Vorgabe\n"
     "Umgebung: die Variable TLX1_COM<n>; Einstellungsdatei: Eintrag com<n> im Abschnitt\n"
     "[Schnittstellen] von tlx1steuerung.ini (oder --settings DATEI); Vorgabe: /dev/ttyS<n-1>.\n",
     nullptr, Ports},
};
// Every option the tool knows. --port, --device and --address are common; the others belong to
// the commands that name them in their row.
constexpr Option kOptionen[] = {
    {"--port", "N"},  {"--device", "GERÄT"}, {"--settings", "DATEI"}, {"--address", "A"},
    {"--rate", "HZ"}, {"--count", "N"},      {"--header", ""},        {"--values", "NAME[,NAME...]"},
    {"--to", "WERT"}, {"--output", "WERT"},  {"--duration", "S"},     {"--csv", "DATEI"},
    {"--tau-c", "S"}, {"--since", "ZEIT"},
};

const Option *OptionSuchen(std::string_view name)
{
    for (const Option &o : kOptionen)
        if (o.name == name)
            return &o;
    return nullptr;
}

// Whether the command names the option among its own.
bool NimmtOption(const Befehl &b, std::string_view name)
{
    for (std::string_view rest = b.optionen; !rest.empty();) {
        const auto ende = std::min(rest.find(' '), rest.size());
        if (rest.substr(0, ende) == name)
            return true;
        rest.remove_prefix(std::min(ende + 1, rest.size()));
    }
    return false;
}

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
        std::cout << "  " << b.aufruf
                  << (b.aufruf.size() < 34 ? std::string(34 - b.aufruf.size(), ' ') : "\n" + std::string(36, ' '))
                  << b.kurz << "\n";
    std::cout << "\nOptionen:\n"
                 "  --port N          COM-Schnittstelle N (Vorgabe 1) wie im Fenster: das Gerät aus der\n"
                 "                    Umgebungsvariablen TLX1_COM<N>, sonst aus dem Eintrag com<N> der\n"
                 "                    Einstellungsdatei, sonst /dev/ttyS<N-1>\n"
                 "  --settings DATEI  Einstellungsdatei für --port (Vorgabe: tlx1steuerung.ini im\n"
                 "                    aktuellen Ordner, wenn vorhanden)\n"
                 "  --device GERÄT    das Gerät statt --port: ein Pfad, tcp://RECHNER:PORT oder\n"
                 "                    rfc2217://RECHNER:PORT\n"
                 "  --address A       Moduladresse (Vorgabe 1; 9 = alle Module, nur zum Schreiben)\n"
                 "  --help            Hilfe; \"tlx1ctl BEFEHL --help\" erklärt einen Befehl\n"
                 "  --version         Version ausgeben\n"
                 "\nFehler: NUMMER TEXT auf der Standardfehlerausgabe.\n"
                 "Exit-Status: 0 Erfolg, 1 Fehler, 2 falscher Aufruf (diff: 0 gleich, 1 verschieden,\n"
                 "2 Fehler).\n";
}

void BefehlHilfe(const Befehl &b)
{
    std::cout << "Aufruf: tlx1ctl " << b.aufruf << (b.mitPort ? " " + std::string(kPortOptionen) : "")
              << (b.mitAdresse ? " [--address A]" : "") << "\n\n"
              << b.hilfe << "\n";
    if (b.mitPort)
        std::cout << "--port N: COM N (Vorgabe 1), Gerät aus TLX1_COM<N>, sonst aus com<N> der\n"
                     "  Einstellungsdatei (--settings DATEI, sonst tlx1steuerung.ini), sonst /dev/ttyS<N-1>\n"
                     "--device GERÄT: ein Pfad, tcp://RECHNER:PORT oder rfc2217://RECHNER:PORT\n";
    std::cout << (b.mitAdresse && b.mitPort ? "--address A: Moduladresse (Vorgabe 1)\n" : "");
    if (b.fehlerStatus == kFehler)
        std::cout << "Exit-Status: 0 Erfolg, 1 Fehler (NUMMER TEXT auf stderr), 2 falscher Aufruf\n";
}

}  // namespace

namespace tlx1ctl {

int Aufruffehler(const Befehl *b, const std::string &grund)
{
    std::cerr << "tlx1ctl: " << grund << "\n";
    if (b != nullptr)
        std::cerr << "Aufruf: tlx1ctl " << b->aufruf << (b->mitPort ? " " + std::string(kPortOptionen) : "")
                  << (b->mitAdresse ? " [--address A]" : "") << "  (mehr: tlx1ctl " << b->name << " --help)\n";
    else
        std::cerr << "Aufruf: tlx1ctl BEFEHL [ARGUMENTE] " << kPortOptionen
                  << " [--address A]  (mehr: tlx1ctl --help)\n";
    return kAufruffehler;
}

void FehlerAusgeben(int code)
{
    std::cerr << -code << " " << Utf8AusCp1252(OKV_Fehlermeldung(code)) << "\n";
}

std::string SystemFehler(int fehler)
{
    // The rare ones keep the C library's text.
    switch (fehler) {
    case ENOENT:
    case ENOTDIR: return "nicht gefunden";
    case EACCES:
    case EPERM: return "keine Berechtigung";
    case EISDIR: return "ist ein Verzeichnis";
    default: return std::strerror(fehler);
    }
}

std::optional<std::string> OptionWert(const Aufruf &a, std::string_view name)
{
    const auto it = a.optionen.find(name);
    if (it == a.optionen.end())
        return std::nullopt;
    return it->second;
}

}  // namespace tlx1ctl

namespace {

// Reads the command line into `a` and lets the command check its arguments (and read its input),
// so that a bad input is found before the port is opened. Returns the exit status when it is
// already decided (help, a usage error, unreadable input), std::nullopt when the command is to run.
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
        } else if (arg == "--version") {
            std::cout << "tlx1ctl " << TLX1_VERSION << "\n";
            return kOk;
        } else {
            std::string name(arg);
            std::string wert;
            bool mitWert = false;
            if (const auto gleich = name.find('='); gleich != std::string::npos) {
                wert = name.substr(gleich + 1);
                name.resize(gleich);
                mitWert = true;
            }
            const Option *option = OptionSuchen(name);
            if (option == nullptr) {
                if (fehler.empty())
                    fehler = "unbekannte Option " + Druckbar(name);
                continue;
            }
            if (option->wert.empty()) {
                if (mitWert && fehler.empty())
                    fehler = name + " hat keinen Wert";
            } else if (!mitWert) {
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

    bool portGegeben = false;
    for (const Wertoption &o : optionen) {
        const auto doppelt = [&](bool &gegeben) {
            const bool war = gegeben;
            gegeben = true;
            return war;
        };
        // The first and the last branch refuse an option in the same words, for different reasons.
        // NOLINTNEXTLINE(bugprone-branch-clone)
        if ((o.name == "--port" || o.name == "--device") && !befehl->mitPort) {
            return Aufruffehler(befehl, o.name + " passt nicht zu " + std::string(befehl->name));
        } else if (o.name == "--port") {
            const auto n = GanzzahlLesen(o.wert, 1, COM_MAX_PORT);
            if (!n)
                return Aufruffehler(befehl, "--port braucht eine COM-Nummer von 1 bis " + std::to_string(COM_MAX_PORT));
            if (doppelt(portGegeben))
                return Aufruffehler(befehl, "--port oder --device nur einmal angeben");
            a.port = static_cast<int>(*n);
        } else if (o.name == "--device") {
            if (o.wert.empty())
                return Aufruffehler(befehl, "--device braucht einen Pfad");
            if (doppelt(portGegeben))
                return Aufruffehler(befehl, "--port oder --device nur einmal angeben");
            a.geraet = o.wert;
        } else if (o.name == "--settings" && (befehl->mitPort || NimmtOption(*befehl, o.name))) {
            if (o.wert.empty())
                return Aufruffehler(befehl, "--settings braucht eine Datei");
            if (!a.einstellungen.empty())
                return Aufruffehler(befehl, "--settings nur einmal angeben");
            a.einstellungen = o.wert;
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
        } else if (!NimmtOption(*befehl, o.name)) {
            return Aufruffehler(befehl, o.name + " passt nicht zu " + std::string(befehl->name));
        } else if (!a.optionen.emplace(o.name, o.wert).second) {
            return Aufruffehler(befehl, o.name + " nur einmal angeben");
        }
    }

    a.argumente.assign(positionen.begin() + 1, positionen.end());
    const int anzahl = static_cast<int>(a.argumente.size());
    if (anzahl < befehl->minArgumente)
        return Aufruffehler(befehl, "zu wenige Argumente");
    if (anzahl > befehl->maxArgumente)
        return Aufruffehler(befehl, "zu viele Argumente");
    if (befehl->vorbereiten != nullptr)
        return befehl->vorbereiten(a, *befehl);
    return std::nullopt;
}

}  // namespace

int main(int argc, char **argv)
{
    Protokoll_Starten("tlx1ctl");
    Aufruf aufruf;
    const Befehl *befehl = nullptr;
    if (const std::optional<int> fertig = ArgumenteLesen(argc, argv, aufruf, befehl))
        return *fertig;
    const int ergebnis = befehl->mitPort ? MitPort(aufruf, *befehl) : befehl->ausfuehren(aufruf, -1);
    if (const std::string meldung = Protokoll_Meldung(); !meldung.empty())
        std::cerr << "tlx1ctl: " << meldung << "\n";  // the writes themselves went on
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "tlx1ctl: Ausgabe konnte nicht geschrieben werden\n";
        return befehl->fehlerStatus;
    }
    return ergebnis;
}
