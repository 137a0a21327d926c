#include "record/Protokoll.h"

#include "driver/okvtlx1.h"
#include "platform/rs232/rs232.h"
#include "platform/text/textformat.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kOrdner[] = "tlx1steuerung";
constexpr char kDatei[] = "protokoll.csv";

struct Zustand {
    std::mutex mutex;
    std::string programm = "tlx1steuerung";
    std::map<std::pair<std::string, int>, std::string> kennungen;  // (device, address) -> identification
    std::string fehler;                                            // reason of the first failure of the run
    bool gemeldet = false;
};

Zustand &Z()
{
    static Zustand z;
    return z;
}

std::string Grund(int fehler)
{
    switch (fehler) {
    case EACCES:
    case EPERM: return "keine Berechtigung";
    case ENOENT: return "nicht gefunden";
    case ENOTDIR: return "ein Teil des Pfades ist kein Verzeichnis";
    case EISDIR: return "ist ein Verzeichnis";
    case EROFS: return "Dateisystem nur lesbar";
    case ENOSPC:
    case EDQUOT: return "kein Platz auf dem Datenträger";
    case ENXIO: return "keine gewöhnliche Datei";
    default: return std::strerror(fehler);
    }
}

// A field as it goes into the line: control bytes (which would split the line) as \xNN, and the
// whole field quoted, quotes doubled, when it holds a comma or a quote.
std::string Feld(std::string_view text)
{
    std::string s;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02X", b);
            s += esc;
        } else {
            s += c;
        }
    }
    if (s.find_first_of(",\"") == std::string::npos)
        return s;
    std::string q = "\"";
    for (const char c : s)
        q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

// Creates every missing folder of `pfad` with mode 0700. "" or the reason.
std::string OrdnerAnlegen(const std::string &pfad)
{
    for (std::size_t pos = 1; pos <= pfad.size(); ++pos) {
        if (pos < pfad.size() && pfad[pos] != '/')
            continue;
        const std::string teil = pfad.substr(0, pos);
        if (mkdir(teil.c_str(), 0700) != 0 && errno != EEXIST)
            return teil + ": " + Grund(errno);
    }
    struct stat st {};
    if (stat(pfad.c_str(), &st) != 0)
        return pfad + ": " + Grund(errno);
    if (!S_ISDIR(st.st_mode))
        return pfad + ": kein Verzeichnis";
    return "";
}

bool GanzSchreiben(int fd, const std::string &text)
{
    ssize_t n = 0;
    do
        n = write(fd, text.data(), text.size());
    while (n < 0 && errno == EINTR);
    if (n >= 0 && static_cast<std::size_t>(n) != text.size())
        errno = ENOSPC;  // a short write to a regular file: the disk or the quota is full
    return n >= 0 && static_cast<std::size_t>(n) == text.size();
}

// Puts a new record with its header in place. The header is written into a private file first
// and linked in under the record's name, so the record never exists without it, and of two
// programs creating it at once one wins and the other appends to the winner's file.
std::string DateiAnlegen(const std::string &ordner, const std::string &datei)
{
    std::string temp = ordner + "/.protokoll.csv.XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);  // mode 0600
    if (fd < 0)
        return ordner + ": " + Grund(errno);
    const bool geschrieben = GanzSchreiben(fd, std::string(PROTOKOLL_KOPF) + "\n");
    const int fehler = errno;
    close(fd);
    std::string grund;
    if (!geschrieben)
        grund = datei + ": " + Grund(fehler);
    else if (link(temp.c_str(), datei.c_str()) != 0 && errno != EEXIST)
        grund = datei + ": " + Grund(errno);
    unlink(temp.c_str());
    return grund;
}

// Opens the record for appending, creating it when it is not there. The descriptor or -1 with the
// reason in *grund.
int Oeffnen(std::string *grund)
{
    const std::string datei = Protokoll_Pfad();
    if (datei.empty()) {
        *grund = "weder XDG_STATE_HOME noch HOME ist gesetzt";
        return -1;
    }
    const std::string ordner = datei.substr(0, datei.rfind('/'));
    // O_NONBLOCK: a FIFO in the record's place fails at once instead of waiting for a reader.
    constexpr int kModus = O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    int fd = open(datei.c_str(), kModus);
    if (fd < 0 && errno == ENOENT) {
        if ((*grund = OrdnerAnlegen(ordner)).empty() && (*grund = DateiAnlegen(ordner, datei)).empty())
            fd = open(datei.c_str(), kModus);
        else
            return -1;
    }
    if (fd < 0) {
        *grund = datei + ": " + Grund(errno);
        return -1;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        *grund = datei + ": keine gewöhnliche Datei";
        return -1;
    }
    return fd;
}

}  // namespace

void Protokoll_Starten(const char *programm)
{
    Zustand &z = Z();
    const std::lock_guard<std::mutex> lock(z.mutex);
    z.programm = programm != nullptr ? programm : "";
    z.kennungen.clear();
    z.fehler.clear();
    z.gemeldet = false;
}

std::string Protokoll_Pfad(void)
{
    std::string basis;
    if (const char *state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/') {
        basis = state;
    } else {
        const char *home = std::getenv("HOME");
        if (home == nullptr || home[0] != '/') {
            const struct passwd *pw = getpwuid(getuid());
            home = pw != nullptr ? pw->pw_dir : nullptr;
        }
        if (home == nullptr || home[0] != '/')
            return "";
        basis = std::string(home) + "/.local/state";
    }
    while (basis.size() > 1 && basis.back() == '/')
        basis.pop_back();
    return basis + "/" + kOrdner + "/" + kDatei;
}

void Protokoll_Kennung(const char *geraet, int adresse, const char *kennung)
{
    Zustand &z = Z();
    const std::lock_guard<std::mutex> lock(z.mutex);
    const auto schluessel = std::make_pair(std::string(geraet != nullptr ? geraet : ""), adresse);
    if (kennung == nullptr || kennung[0] == '\0')
        z.kennungen.erase(schluessel);
    else
        z.kennungen[schluessel] = kennung;
}

int Protokoll_Eintragen(const char *geraet, int adresse, const char *parameter, const char *wert, int ergebnis)
{
    Zustand &z = Z();
    const std::lock_guard<std::mutex> lock(z.mutex);
    const std::string g = geraet != nullptr ? geraet : "";
    const auto kennung = z.kennungen.find({g, adresse});
    const std::string zeile = Zeitstempel(std::chrono::system_clock::now()) + "," + Feld(z.programm) + "," + Feld(g) +
                              "," + std::to_string(adresse) + "," +
                              Feld(kennung != z.kennungen.end() ? kennung->second : "") + "," +
                              Feld(parameter != nullptr ? parameter : "") + "," + Feld(wert != nullptr ? wert : "") +
                              "," + std::to_string(ergebnis) + "\n";

    std::string grund;
    const int fd = Oeffnen(&grund);
    if (fd >= 0) {
        if (!GanzSchreiben(fd, zeile))
            grund = Protokoll_Pfad() + ": " + Grund(errno);
        close(fd);
    }
    if (grund.empty())
        return 0;
    if (z.fehler.empty())
        z.fehler = grund;
    return -1;
}

int Protokoll_ParameterSchreiben(int port, int adresse, const char *name, double wert)
{
    const int code = OKVTLX1_ParameterSchreiben(port, adresse, name, wert);
    char text[32];
    const std::string gesendet = OKVTLX1_WertText(name, wert, text, sizeof text) == 0 ? text : ZahlText(wert);
    Protokoll_Eintragen(ComOpenDevice(port).c_str(), adresse, name, gesendet.c_str(), code);
    return code;
}

std::string Protokoll_Meldung(void)
{
    Zustand &z = Z();
    const std::lock_guard<std::mutex> lock(z.mutex);
    if (z.fehler.empty() || z.gemeldet)
        return "";
    z.gemeldet = true;
    return "Protokoll nicht schreibbar: " + z.fehler;
}

bool Protokoll_Felder(const std::string &zeile, std::string felder[8])
{
    int n = 0;
    std::size_t i = 0;
    for (;;) {
        std::string feld;
        if (i < zeile.size() && zeile[i] == '"') {
            for (++i; i < zeile.size(); ++i) {
                if (zeile[i] != '"')
                    feld += zeile[i];
                else if (i + 1 < zeile.size() && zeile[i + 1] == '"')
                    feld += zeile[++i];
                else
                    break;
            }
            if (i >= zeile.size())
                return false;  // no closing quote
            ++i;
            if (i < zeile.size() && zeile[i] != ',')
                return false;
        } else {
            const std::size_t ende = std::min(zeile.find(',', i), zeile.size());
            feld = zeile.substr(i, ende - i);
            i = ende;
        }
        if (n == 8)
            return false;
        felder[n++] = feld;
        if (i >= zeile.size())
            break;
        ++i;  // the comma
    }
    return n == 8;
}
