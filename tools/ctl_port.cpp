// tlx1ctl: opening the port a command asks for, and saying why it could not be opened.
#include "tools/ctl.h"

#include "driver/okvtlx1.h"
#include "platform/rs232/rs232.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tlx1ctl {

namespace {

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

}  // namespace

int MitPort(const Aufruf &a, const Befehl &b)
{
    const std::optional<int> port = PortWaehlen(a);
    if (!port) {
        std::cerr << "tlx1ctl: keine freie COM-Nummer für " << a.geraet << "\n";
        return b.fehlerStatus;
    }
    if (const int rc = OKVTLX1_Open(*port); rc != 0) {
        FehlerAusgeben(rc);
        std::cerr << "Grund: " << OeffnenUrsache(a.geraet.empty() ? ComDevicePath(*port) : a.geraet)
                  << "\n";
        return b.fehlerStatus;
    }
    int ergebnis = b.fehlerStatus;
    if (const int rc = OKVTLX1_Timeout(*port, kZeitlimit); rc != 0)
        FehlerAusgeben(rc);
    else
        ergebnis = b.ausfuehren(a, *port);
    OKVTLX1_Close(*port);  // nothing left to do about a failed close
    return ergebnis;
}

}  // namespace tlx1ctl
