// Serial devices through POSIX termios (real UARTs, USB adapters, pseudo-terminals): the only file
// that sees a terminal's descriptor.
#include "platform/rs232/com_intern.h"
#include "platform/rs232/rs232.h"

#include <cerrno>
#include <iterator>
#include <memory>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace com_intern {

namespace {

struct Baud {
    int rate;
    speed_t code;
};

// clang-format off
constexpr Baud kBaudRates[] = {
    {50, B50},       {75, B75},       {110, B110},     {134, B134},     {150, B150},
    {200, B200},     {300, B300},     {600, B600},     {1200, B1200},   {1800, B1800},
    {2400, B2400},   {4800, B4800},   {9600, B9600},   {19200, B19200}, {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400},
};
// clang-format on
static_assert(std::size(kBaudRates) == 18);

constexpr tcflag_t kDataBits[] = {CS5, CS6, CS7, CS8};  // index = data bits - 5
static_assert(std::size(kDataBits) == 4);

// What the service keeps of an open terminal.
struct Tty {
    bool pty = false;
    termios alt{};  // the settings found at open, put back on close
    bool warExklusiv = false;
    int platz = -1;  // slot of LeitungMerken
};

Tty &Zustand(Kanal &k)
{
    return *static_cast<Tty *>(k.zustand);
}

// Unix98 pseudo-terminal slaves (/dev/pts/N) have the majors 136..143.
bool IsPseudoTerminal(int fd)
{
    struct stat st {};
    return fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
}

// Errors after which the device is gone rather than merely failing.
bool Verschwunden(int fehler)
{
    return fehler == EIO || fehler == ENXIO || fehler == ENODEV || fehler == EPIPE;
}

int SystemErgebnis(int fehler)
{
    return Verschwunden(fehler) ? COM_ERR_LOST : COM_ERR_IO;
}

// The node of an open device was removed (the adapter was unplugged) although reads still wait.
bool KnotenEntfernt(int fd)
{
    struct stat st {};
    return fstat(fd, &st) == 0 && st.st_nlink == 0;
}

bool ConfigureLine(int fd, const termios &alt, speed_t speed, const Leitung &l)
{
    termios tio = alt;
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= kDataBits[l.dataBits - 5] | CLOCAL | CREAD;
    if (l.parity != 0)
        tio.c_cflag |= PARENB | (l.parity == 1 ? PARODD : 0);
    if (l.stopBits == 2)
        tio.c_cflag |= CSTOPB;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    // VMIN 1 with O_NONBLOCK: a read without data fails with EAGAIN, so 0 means hang-up.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0)
        return false;
    if (tcsetattr(fd, TCSANOW, &tio) == 0)
        return true;
    // A pseudo-terminal has no line: it keeps 8 bits without parity whatever is asked, and the
    // C library then reports failure although every other setting was taken. Accept that there.
    termios now{};
    return IsPseudoTerminal(fd) && tcgetattr(fd, &now) == 0 && cfgetospeed(&now) == speed &&
           now.c_iflag == tio.c_iflag && now.c_lflag == tio.c_lflag && now.c_oflag == tio.c_oflag &&
           (now.c_cflag & ~(CSIZE | PARENB)) == (tio.c_cflag & ~(CSIZE | PARENB));
}

// Fills *f from the errno of a failed open(2) and returns the service's code for it.
int OeffnenGescheitert(const std::string &pfad, int fehler, OeffnenFehler *f)
{
    f->fehlerNummer = fehler;
    switch (fehler) {
    case ENOENT:
    case ENOTDIR: f->grund = Grund::NichtGefunden; return COM_ERR_DEVICE;
    case EACCES:
    case EPERM: {
        f->grund = Grund::KeineBerechtigung;
        struct stat st {};
        if (stat(pfad.c_str(), &st) == 0) {
            f->gruppe = st.st_gid;
            f->gruppeDarf = (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
        }
        return COM_ERR_DEVICE;
    }
    case EBUSY: f->grund = Grund::Belegt; return COM_ERR_IN_USE;
    case ENXIO:
    case ENODEV:
    case EIO: f->grund = Grund::KeinGeraet; return COM_ERR_DEVICE;
    case EISDIR: f->grund = Grund::KeineSerielle; return COM_ERR_SETTINGS;
    default: f->grund = Grund::Sonstiges; return COM_ERR_DEVICE;
    }
}

// Puts back what the open changed: line settings and exclusive flag.
void Zurueck(int fd, const Tty &t)
{
    tcsetattr(fd, TCSANOW, &t.alt);
    if (!t.warExklusiv)
        ioctl(fd, TIOCNXCL);
}

int Oeffnen(Kanal &k, const std::string &pfad, const Leitung &l, Clock::time_point, OeffnenFehler *f)
{
    speed_t speed = 0;
    for (const Baud &b : kBaudRates)
        if (b.rate == l.baud)
            speed = b.code;
    // O_NONBLOCK: neither the open nor a read waits for the line.
    const int fd = open(pfad.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return OeffnenGescheitert(pfad, errno, f);
    const auto scheitern = [&](Grund g, int rc) {
        f->grund = g;
        f->fehlerNummer = errno;
        close(fd);
        return rc;
    };
    auto t = std::make_unique<Tty>();
    if (!isatty(fd) || tcgetattr(fd, &t->alt) != 0)
        return scheitern(Grund::KeineSerielle, COM_ERR_SETTINGS);
    // flock catches a second open from anywhere (even by root, whom TIOCEXCL lets through);
    // TIOCEXCL also stops programs that do not take the lock.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        return scheitern(errno == EWOULDBLOCK ? Grund::Belegt : Grund::Sonstiges, COM_ERR_IN_USE);
    int exklusiv = 0;
    t->warExklusiv = ioctl(fd, TIOCGEXCL, &exklusiv) == 0 && exklusiv != 0;
    if (ioctl(fd, TIOCEXCL) != 0)
        return scheitern(Grund::Sonstiges, COM_ERR_SETTINGS);
    if (!ConfigureLine(fd, t->alt, speed, l)) {
        Zurueck(fd, *t);
        return scheitern(Grund::LeitungAbgelehnt, COM_ERR_SETTINGS);
    }
    tcflush(fd, TCIOFLUSH);
    t->pty = IsPseudoTerminal(fd);
    t->platz = LeitungMerken(fd, t->alt, t->warExklusiv);
    k.fd = fd;
    k.zustand = t.release();
    return 0;
}

void Schliessen(Kanal &k)
{
    Tty *t = &Zustand(k);
    // Put back first and forget the slot after: a signal in between only puts back twice.
    Zurueck(k.fd, *t);
    LeitungVergessen(t->platz);
    close(k.fd);  // also drops the flock
    delete t;
    k = Kanal{};
}

int Lesen(Kanal &k, unsigned char *buf, int n, Clock::time_point frist)
{
    bool aufgelegt = false;  // poll reported hang-up or error: the next read says which
    for (;;) {
        const ssize_t got = read(k.fd, buf, static_cast<size_t>(n));
        if (got > 0)
            return static_cast<int>(got);
        if (got == 0)
            return COM_ERR_LOST;  // end of file: the other side hung up
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return SystemErgebnis(errno);
        if (aufgelegt)
            return COM_ERR_LOST;
        const int ready = Warten(k.fd, POLLIN, frist);
        if (ready < 0)
            return COM_ERR_IO;
        if (ready == 0)
            return KnotenEntfernt(k.fd) ? COM_ERR_LOST : 0;
        if ((ready & POLLNVAL) != 0)
            return COM_ERR_IO;
        aufgelegt = (ready & POLLIN) == 0;
    }
}

int Schreiben(Kanal &k, const char *buf, int n, Clock::time_point frist)
{
    int done = 0;
    while (done < n) {
        const ssize_t w = write(k.fd, buf + done, static_cast<size_t>(n - done));
        if (w > 0) {
            done += static_cast<int>(w);
            continue;
        }
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return SystemErgebnis(errno);
        const int ready = Warten(k.fd, POLLOUT, frist);
        if (ready < 0 || (ready & POLLNVAL) != 0)
            return COM_ERR_IO;
        if ((ready & (POLLERR | POLLHUP)) != 0)
            return COM_ERR_LOST;
        if (ready == 0)
            break;  // time-out: report how much was queued
    }
    return done;
}

int AusgabeLaenge(Kanal &k)
{
    int queued = 0;
    if (ioctl(k.fd, TIOCOUTQ, &queued) != 0)
        return SystemErgebnis(errno);
    return queued < 0 ? COM_ERR_IO : queued;
}

int EingabeVerwerfen(Kanal &k)
{
    return tcflush(k.fd, TCIFLUSH) == 0 ? 0 : SystemErgebnis(errno);
}

int AusgabeVerwerfen(Kanal &k)
{
    // A pseudo-terminal hands written bytes straight to the other side; flushing its output
    // would erase them from the other side's input, like bytes already on the wire.
    if (Zustand(k).pty)
        return 0;
    return tcflush(k.fd, TCOFLUSH) == 0 ? 0 : SystemErgebnis(errno);
}

}  // namespace

bool BaudErlaubt(int baud)
{
    for (const Baud &b : kBaudRates)
        if (b.rate == baud)
            return true;
    return false;
}

const Transport kTermios = {Oeffnen, Schliessen, Lesen, Schreiben, AusgabeLaenge, EingabeVerwerfen, AusgabeVerwerfen};

}  // namespace com_intern
