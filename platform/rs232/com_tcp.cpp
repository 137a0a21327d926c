// Network devices over TCP: the connection (name lookup and connect within the open time-out) and
// the raw transport tcp://HOST:PORT, whose bytes are the line's bytes, as serial device servers
// and ser2net in raw mode offer them. RFC 2217 (com_rfc2217.cpp) builds on the same connection.
#include "platform/rs232/com_intern.h"
#include "platform/rs232/rs232.h"

#include <cerrno>
#include <cstdlib>
#include <memory>

#include <linux/sockios.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace com_intern {

namespace {

// A lost peer is noticed within seconds: probes after 2 s of silence, 1 s apart, 3 unanswered end
// the connection; data the peer does not acknowledge within 3 s ends it too.
constexpr int kKeepIdle = 2;
constexpr int kKeepIntervall = 1;
constexpr int kKeepAnzahl = 3;
constexpr unsigned kUnbestaetigtMs = 3000;

// Errors after which the connection is gone.
bool Verschwunden(int fehler)
{
    return fehler == ECONNRESET || fehler == EPIPE || fehler == ETIMEDOUT || fehler == ENOTCONN ||
           fehler == EHOSTUNREACH || fehler == ENETUNREACH || fehler == ECONNABORTED || fehler == ENETDOWN;
}

int SystemErgebnis(int fehler)
{
    return Verschwunden(fehler) ? COM_ERR_LOST : COM_ERR_IO;
}

// A name lookup that glibc runs on a thread of its own, so that it can be given up at the deadline.
struct Aufloesung {
    std::string rechner, port;
    addrinfo hinweis{};
    gaicb auftrag{};
};

// The addresses of HOST:PORT by the deadline, or null with *f filled. A lookup still running at
// the deadline is left to finish on its own; its few bytes are not freed, since glibc still
// writes into them.
addrinfo *Aufloesen(const std::string &rechner, const std::string &port, Clock::time_point frist, OeffnenFehler *f)
{
    auto a = std::make_unique<Aufloesung>();
    a->rechner = rechner;
    a->port = port;
    a->hinweis.ai_family = AF_UNSPEC;
    a->hinweis.ai_socktype = SOCK_STREAM;
    a->hinweis.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
    a->auftrag.ar_name = a->rechner.c_str();
    a->auftrag.ar_service = a->port.c_str();
    a->auftrag.ar_request = &a->hinweis;
    gaicb *liste[] = {&a->auftrag};
    if (getaddrinfo_a(GAI_NOWAIT, liste, 1, nullptr) != 0) {
        f->grund = Grund::RechnerUnbekannt;
        return nullptr;
    }
    while (gai_error(&a->auftrag) == EAI_INPROGRESS) {
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(frist - Clock::now()).count();
        if (ns <= 0)
            break;
        const timespec rest{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        gai_suspend(liste, 1, &rest);
    }
    int ergebnis = gai_error(&a->auftrag);
    if (ergebnis == EAI_INPROGRESS) {
        const int abbruch = gai_cancel(&a->auftrag);
        if (abbruch == EAI_ALLDONE) {
            ergebnis = gai_error(&a->auftrag);  // finished just now
        } else {
            if (abbruch != EAI_CANCELED)
                static_cast<void>(a.release());  // still running: glibc owns it now
            f->grund = Grund::NichtErreichbar;
            f->fehlerNummer = ETIMEDOUT;
            return nullptr;
        }
    }
    if (ergebnis != 0) {
        f->grund = Grund::RechnerUnbekannt;
        return nullptr;
    }
    return a->auftrag.ar_result;
}

void Einstellen(int fd)
{
    const int ein = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &ein, sizeof ein);
    setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &ein, sizeof ein);
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &ein, sizeof ein);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &kKeepIdle, sizeof kKeepIdle);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &kKeepIntervall, sizeof kKeepIntervall);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &kKeepAnzahl, sizeof kKeepAnzahl);
    setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &kUnbestaetigtMs, sizeof kUnbestaetigtMs);
}

int Oeffnen(Kanal &k, const std::string &geraet, const Leitung &, Clock::time_point frist, OeffnenFehler *f)
{
    std::string rechner, port;
    if (!AdresseZerlegen(geraet, "tcp", &rechner, &port)) {
        f->grund = Grund::AdresseUngueltig;
        return COM_ERR_DEVICE;
    }
    const int fd = Verbinden(rechner, port, frist, f);
    if (fd < 0)
        return COM_ERR_DEVICE;
    k.fd = fd;
    return 0;
}

void Schliessen(Kanal &k)
{
    close(k.fd);
    k = Kanal{};
}

int Lesen(Kanal &k, unsigned char *buf, int n, Clock::time_point frist)
{
    return SocketLesen(k.fd, buf, n, frist);
}

int Schreiben(Kanal &k, const char *buf, int n, Clock::time_point frist)
{
    return SocketSenden(k.fd, buf, n, frist);
}

int AusgabeLaenge(Kanal &k)
{
    return SocketUngesendet(k.fd);
}

int EingabeVerwerfen(Kanal &k)
{
    unsigned char weg[256];
    for (;;) {
        const int n = SocketLesen(k.fd, weg, sizeof weg, Clock::time_point{});
        if (n <= 0)
            return n;
    }
}

// Bytes handed to the network count as sent.
int AusgabeVerwerfen(Kanal &)
{
    return 0;
}

}  // namespace

bool AdresseZerlegen(const std::string &geraet, const char *schema, std::string *rechner, std::string *port)
{
    const std::string vorn = std::string(schema) + "://";
    if (geraet.compare(0, vorn.size(), vorn) != 0)
        return false;
    const std::string rest = geraet.substr(vorn.size());
    const std::size_t doppelpunkt = rest.rfind(':');
    if (doppelpunkt == std::string::npos || doppelpunkt == 0)
        return false;
    std::string host = rest.substr(0, doppelpunkt);
    const std::string nummer = rest.substr(doppelpunkt + 1);
    if (host.front() == '[') {
        if (host.size() < 3 || host.back() != ']')
            return false;
        host = host.substr(1, host.size() - 2);
    } else if (host.find(':') != std::string::npos) {
        return false;  // an IPv6 address needs its brackets
    }
    if (nummer.empty() || nummer.size() > 5 || nummer.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const long wert = std::strtol(nummer.c_str(), nullptr, 10);
    if (wert < 1 || wert > 65535 || host.find_first_of("/ \t") != std::string::npos)
        return false;
    *rechner = host;
    *port = nummer;
    return true;
}

int Verbinden(const std::string &rechner, const std::string &port, Clock::time_point frist, OeffnenFehler *f)
{
    addrinfo *adressen = Aufloesen(rechner, port, frist, f);
    if (adressen == nullptr)
        return -1;
    int fd = -1;
    for (addrinfo *a = adressen; a != nullptr && fd < 0; a = a->ai_next) {
        const int s = socket(a->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (s < 0) {
            f->grund = Grund::Sonstiges;
            f->fehlerNummer = errno;
            continue;
        }
        int fehler = 0;
        if (connect(s, a->ai_addr, a->ai_addrlen) != 0) {
            fehler = errno;
            if (fehler == EINPROGRESS) {
                const int ready = Warten(s, POLLOUT, frist);
                socklen_t laenge = sizeof fehler;
                if (ready == 0)
                    fehler = ETIMEDOUT;
                else if (ready < 0 || getsockopt(s, SOL_SOCKET, SO_ERROR, &fehler, &laenge) != 0)
                    fehler = errno;
            }
        }
        if (fehler == 0) {
            Einstellen(s);
            fd = s;
            break;
        }
        close(s);
        f->grund = fehler == ECONNREFUSED                                                   ? Grund::Abgelehnt
                   : fehler == ETIMEDOUT || fehler == ENETUNREACH || fehler == EHOSTUNREACH ? Grund::NichtErreichbar
                                                                                            : Grund::Sonstiges;
        f->fehlerNummer = fehler;
        if (Clock::now() >= frist)
            break;
    }
    freeaddrinfo(adressen);
    return fd;
}

int SocketLesen(int fd, unsigned char *buf, int n, Clock::time_point frist)
{
    bool aufgelegt = false;  // poll reported hang-up or error: the next receive says which
    for (;;) {
        const ssize_t got = recv(fd, buf, static_cast<size_t>(n), 0);
        if (got > 0) {
            // Acknowledge at once: a server that holds back its next small segment until the last
            // one is acknowledged (Nagle) would otherwise wait for the delayed acknowledgement.
            const int ein = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &ein, sizeof ein);
            return static_cast<int>(got);
        }
        if (got == 0)
            return COM_ERR_LOST;  // the peer closed the connection
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return SystemErgebnis(errno);
        if (aufgelegt)
            return COM_ERR_LOST;
        const int ready = Warten(fd, POLLIN, frist);
        if (ready <= 0)
            return ready < 0 ? COM_ERR_IO : 0;
        aufgelegt = (ready & POLLIN) == 0;
    }
}

int SocketSenden(int fd, const char *buf, int n, Clock::time_point frist)
{
    int done = 0;
    while (done < n) {
        const ssize_t w = send(fd, buf + done, static_cast<size_t>(n - done), MSG_NOSIGNAL);
        if (w > 0) {
            done += static_cast<int>(w);
            continue;
        }
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return SystemErgebnis(errno);
        const int ready = Warten(fd, POLLOUT, frist);
        if (ready < 0)
            return COM_ERR_IO;
        if ((ready & (POLLERR | POLLHUP)) != 0)
            return COM_ERR_LOST;
        if (ready == 0)
            break;
    }
    return done;
}

int SocketUngesendet(int fd)
{
    int n = 0;
    if (ioctl(fd, SIOCOUTQNSD, &n) != 0)
        return SystemErgebnis(errno);
    return n < 0 ? COM_ERR_IO : n;
}

const Transport kTcp = {Oeffnen, Schliessen, Lesen, Schreiben, AusgabeLaenge, EingabeVerwerfen, AusgabeVerwerfen};

}  // namespace com_intern
