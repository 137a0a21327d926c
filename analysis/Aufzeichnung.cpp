#include "analysis/Aufzeichnung.h"

#include "platform/fileio/fileio.h"
#include "platform/text/textformat.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The reason for errno `fehler` in the program's language (Windows-1252).
std::string Ursache(int fehler)
{
    switch (fehler) {
    case ENOSPC:
    case EDQUOT: return "Der Datentr\xE4ger ist voll.";
    case EACCES:
    case EPERM: return "Keine Berechtigung zum Schreiben.";
    case ENOENT:
    case ENOTDIR: return "Der Ordner existiert nicht.";
    case EROFS: return "Der Datentr\xE4ger ist schreibgesch\xFCtzt.";
    case EISDIR: return "Unter diesem Namen gibt es einen Ordner.";
    case EIO: return "Ein-/Ausgabefehler des Datentr\xE4gers.";
    case EINVAL: return "Das ist keine gew\xF6hnliche Datei.";
    default: return std::string("Systemfehler: ") + std::strerror(fehler);
    }
}

int Fehler(std::string *grund, const std::string &was, int fehler)
{
    if (grund != nullptr)
        *grund = was + " " + Ursache(fehler);
    return -1;
}

// Writes as much of `text` as the file takes; removes that part from `text`. errno of the
// failure, or 0 when all of it went.
int Schreiben(int fd, std::string &text)
{
    std::size_t fertig = 0;
    int fehler = 0;
    while (fertig < text.size()) {
        const ssize_t n = ::write(fd, text.data() + fertig, text.size() - fertig);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            fehler = n < 0 ? errno : ENOSPC;
            break;
        }
        fertig += static_cast<std::size_t>(n);
    }
    text.erase(0, fertig);
    return fehler;
}

}  // namespace

std::string CsvFeld(std::string_view utf8)
{
    if (utf8.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(utf8);
    std::string s = "\"";
    for (const char c : utf8) {
        if (c == '"')
            s += '"';
        s += c;
    }
    return s + "\"";
}

// A value of a row; a value that is not known (no setpoint in mode 3) leaves the field empty.
static std::string Wert(double v)
{
    return std::isfinite(v) ? ZahlText(v) : std::string();
}

std::string AufzeichnungZeile(const Aufzeichnungspunkt &p, std::string_view einheit)
{
    return Zeitstempel(p.zeit) + "," + Wert(p.sollwert) + "," + Wert(p.istwert) + "," +
           CsvFeld(Utf8AusCp1252(einheit)) + "," + Wert(p.sollwertV) + "," + Wert(p.istwertV) + "\n";
}

int Aufzeichnung_Starten(Aufzeichnung *a, const char *pfad, std::string_view kopf, std::string *grund)
{
    const std::string was = "Die Aufzeichnung kann nicht angelegt werden.";
    // Non-blocking, so a FIFO without a reader cannot hold the program; only a plain file is taken.
    int fd = -1;
    do
        fd = ::open(pfad, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return Fehler(grund, was, errno == ENXIO ? EINVAL : errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Fehler(grund, was, EINVAL);
    }
    std::string text = std::string(kopf) + "\n";
    if (const int fehler = Schreiben(fd, text); fehler != 0) {
        ::close(fd);
        return Fehler(grund, was, fehler);
    }
    a->fd = fd;
    a->offen.clear();
    a->letzterSync = std::chrono::steady_clock::now();
    a->synchronisiert = false;
    return Aufzeichnung_Takt(a, grund);
}

int Aufzeichnung_Zeile(Aufzeichnung *a, std::string_view zeile, std::string *grund)
{
    a->offen += zeile;
    if (a->fd < 0)
        return Fehler(grund, "Es l\xE4uft keine Aufzeichnung.", EBADF);
    if (const int fehler = Schreiben(a->fd, a->offen); fehler != 0)
        return Fehler(grund, "Die Aufzeichnung kann nicht weitergeschrieben werden.", fehler);
    a->synchronisiert = false;
    return Aufzeichnung_Takt(a, grund);
}

int Aufzeichnung_Takt(Aufzeichnung *a, std::string *grund)
{
    const auto jetzt = std::chrono::steady_clock::now();
    if (a->fd < 0 || a->synchronisiert || jetzt - a->letzterSync < std::chrono::duration<double>(kAufzeichnungSync))
        return 0;
    a->letzterSync = jetzt;
    if (::fdatasync(a->fd) != 0 && errno != EINVAL)
        return Fehler(grund, "Die Aufzeichnung kann nicht auf den Datentr\xE4ger geschrieben werden.", errno);
    a->synchronisiert = true;
    return 0;
}

int Aufzeichnung_Beenden(Aufzeichnung *a, std::string *grund)
{
    if (a->fd < 0)
        return 0;
    int fehler = Schreiben(a->fd, a->offen);
    if (::fdatasync(a->fd) != 0 && errno != EINVAL && fehler == 0)
        fehler = errno;
    if (::close(a->fd) != 0 && errno != EINTR && fehler == 0)
        fehler = errno;
    a->fd = -1;
    return fehler == 0 ? 0 : Fehler(grund, "Die Aufzeichnung kann nicht vollst\xE4ndig geschrieben werden.", fehler);
}

int DateiErsetzen(const char *pfad, std::string_view inhalt, std::string *grund)
{
    const std::string was = "Die Datei kann nicht gespeichert werden.";
    char temp[PATH_MAX + 64] = {};
    errno = 0;
    const int h = OpenTempFileBeside(pfad, temp, static_cast<int>(sizeof temp));
    if (h < 0)
        return Fehler(grund, was, errno != 0 ? errno : EACCES);
    int fehler = 0;
    for (std::size_t fertig = 0; fertig < inhalt.size() && fehler == 0;) {
        const int stueck = static_cast<int>(std::min<std::size_t>(inhalt.size() - fertig, 1 << 20));
        errno = 0;
        const int n = WriteFile(h, inhalt.data() + fertig, stueck);
        if (n != stueck)
            fehler = errno != 0 ? errno : ENOSPC;
        else
            fertig += static_cast<std::size_t>(n);
    }
    errno = 0;
    if (CloseFile(h) != 0 && fehler == 0)
        fehler = errno != 0 ? errno : EIO;
    errno = 0;
    if (fehler == 0 && RenameFile(temp, pfad) != 0)
        fehler = errno != 0 ? errno : EACCES;
    if (fehler != 0) {
        DeleteFile(temp);
        return Fehler(grund, was, fehler);
    }
    return 0;
}
