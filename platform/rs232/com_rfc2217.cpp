// Network devices over Telnet with the COM port control option of RFC 2217: rfc2217://HOST:PORT.
// The open asks the server for the line settings (baud rate, data bits, parity, stop bits, no flow
// control) and goes on only when the server confirms each of them. Data bytes 0xFF travel doubled;
// without the binary option a CR travels as CR NUL.
#include "platform/rs232/com_intern.h"
#include "platform/rs232/rs232.h"

#include <algorithm>
#include <array>
#include <memory>

#include <unistd.h>

namespace com_intern {

namespace {

// Telnet commands and the options this client takes part in.
constexpr unsigned char IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;
constexpr unsigned char CR = 13;
constexpr unsigned char OPT_BINARY = 0, OPT_SGA = 3, OPT_COMPORT = 44;

// COM port control commands of the client; the server answers with the same number plus 100.
enum : unsigned char { SET_BAUDRATE = 1, SET_DATASIZE = 2, SET_PARITY = 3, SET_STOPSIZE = 4, SET_CONTROL = 5 };
constexpr unsigned char SERVER = 100;
constexpr unsigned char PARITY_NONE = 1, PARITY_ODD = 2, PARITY_EVEN = 3;
constexpr unsigned char CONTROL_NONE = 1;

// Bytes waiting to be sent beyond which a write queues nothing more (the peer does not read).
constexpr std::size_t kMaxWartend = 4096;

// One option as both sides have it (RFC 1143, without the queue: we never change our mind).
struct Option {
    unsigned char code;
    bool wir = false, er = false;                // enabled on our side, on the server's
    bool wirGefragt = false, erGefragt = false;  // our WILL / DO awaits an answer
};

struct Telnet {
    enum class Stand { Daten, Iac, Verhandlung, Sb, SbIac } stand = Stand::Daten;
    unsigned char verb = 0;
    std::string sb;
    bool crVorher = false;
    std::array<Option, 3> optionen{Option{OPT_BINARY}, Option{OPT_SGA}, Option{OPT_COMPORT}};
    bool comportAbgelehnt = false;
    std::array<long, SET_CONTROL + 1> antwort{-1, -1, -1, -1, -1, -1};  // the server's settings by command
    std::string wartend;                                                // encoded bytes not yet taken by the socket
    std::string vorab;  // printable text the server sent before the port was open (its complaint)
};

Telnet &Zustand(Kanal &k)
{
    return *static_cast<Telnet *>(k.zustand);
}

Option *Suchen(Telnet &t, unsigned char code)
{
    for (Option &o : t.optionen)
        if (o.code == code)
            return &o;
    return nullptr;
}

void Befehl(Telnet &t, unsigned char verb, unsigned char code)
{
    t.wartend += static_cast<char>(IAC);
    t.wartend += static_cast<char>(verb);
    t.wartend += static_cast<char>(code);
}

void Unterverhandlung(Telnet &t, unsigned char befehl, const std::string &daten)
{
    t.wartend += std::string{char(IAC), char(SB), char(OPT_COMPORT), char(befehl)};
    for (char c : daten) {
        t.wartend += c;
        if (static_cast<unsigned char>(c) == IAC)
            t.wartend += c;
    }
    t.wartend += std::string{char(IAC), char(SE)};
}

void Verhandeln(Telnet &t, unsigned char verb, unsigned char code)
{
    Option *o = Suchen(t, code);
    switch (verb) {
    case WILL:  // the server offers: binary and go-ahead suppression are welcome, nothing else
        if (o == nullptr || o->code == OPT_COMPORT) {
            Befehl(t, DONT, code);
        } else if (!o->er) {
            o->er = true;
            if (!o->erGefragt)
                Befehl(t, DO, code);
            o->erGefragt = false;
        }
        break;
    case WONT:
        if (o != nullptr && o->er) {
            o->er = false;
            Befehl(t, DONT, code);
        }
        if (o != nullptr)
            o->erGefragt = false;
        break;
    case DO:  // the server asks us
        if (o == nullptr) {
            Befehl(t, WONT, code);
        } else if (!o->wir) {
            o->wir = true;
            if (!o->wirGefragt)
                Befehl(t, WILL, code);
            o->wirGefragt = false;
        }
        break;
    case DONT:
        if (o != nullptr && o->wir) {
            o->wir = false;
            Befehl(t, WONT, code);
        }
        if (o != nullptr) {
            o->wirGefragt = false;
            t.comportAbgelehnt = t.comportAbgelehnt || code == OPT_COMPORT;
        }
        break;
    }
}

// The server's answer to one of our settings: the setting it now has.
void UnterverhandlungAuswerten(Telnet &t)
{
    if (t.sb.size() < 3 || static_cast<unsigned char>(t.sb[0]) != OPT_COMPORT)
        return;
    const unsigned befehl = static_cast<unsigned char>(t.sb[1]);
    if (befehl < SERVER + SET_BAUDRATE || befehl > SERVER + SET_CONTROL)
        return;  // notifications and other answers change nothing here
    const unsigned art = befehl - SERVER;
    long wert = 0;
    if (art == SET_BAUDRATE) {
        if (t.sb.size() < 6)
            return;
        for (int i = 2; i < 6; ++i)
            wert = wert * 256 + static_cast<unsigned char>(t.sb[i]);
    } else {
        wert = static_cast<unsigned char>(t.sb[2]);
    }
    t.antwort[art] = wert;
}

// Takes n received bytes apart: commands are handled (answers go to t.wartend), data bytes are
// written to out, which holds n bytes. Returns the number of data bytes.
int Verarbeiten(Telnet &t, const unsigned char *in, int n, unsigned char *out)
{
    constexpr std::size_t kMaxSb = 64;
    const bool binaer = Suchen(t, OPT_BINARY)->er;
    int m = 0;
    for (int i = 0; i < n; ++i) {
        const unsigned char c = in[i];
        switch (t.stand) {
        case Telnet::Stand::Daten:
            if (c == IAC) {
                t.stand = Telnet::Stand::Iac;
                break;
            }
            if (!binaer && t.crVorher && c == 0) {
                t.crVorher = false;
                break;
            }
            t.crVorher = c == CR;
            out[m++] = c;
            break;
        case Telnet::Stand::Iac:
            t.stand = Telnet::Stand::Daten;
            if (c == IAC) {
                t.crVorher = false;
                out[m++] = c;
            } else if (c >= WILL) {
                t.verb = c;
                t.stand = Telnet::Stand::Verhandlung;
            } else if (c == SB) {
                t.sb.clear();
                t.stand = Telnet::Stand::Sb;
            }
            break;  // any other command (NOP, GA, ...) carries nothing for us
        case Telnet::Stand::Verhandlung:
            Verhandeln(t, t.verb, c);
            t.stand = Telnet::Stand::Daten;
            break;
        case Telnet::Stand::Sb:
            if (c == IAC)
                t.stand = Telnet::Stand::SbIac;
            else if (t.sb.size() < kMaxSb)
                t.sb += static_cast<char>(c);
            break;
        case Telnet::Stand::SbIac:
            if (c == IAC) {
                if (t.sb.size() < kMaxSb)
                    t.sb += static_cast<char>(c);
                t.stand = Telnet::Stand::Sb;
                break;
            }
            UnterverhandlungAuswerten(t);
            t.stand = Telnet::Stand::Daten;
            if (c != SE) {  // a sub-negotiation cut short by another command
                t.stand = Telnet::Stand::Iac;
                --i;
            }
            break;
        }
    }
    return m;
}

// Hands waiting bytes to the socket until the deadline. 0 or COM_ERR_*.
int Schieben(int fd, Telnet &t, Clock::time_point frist)
{
    if (t.wartend.empty())
        return 0;
    const int n = SocketSenden(fd, t.wartend.data(), static_cast<int>(t.wartend.size()), frist);
    if (n < 0)
        return n;
    t.wartend.erase(0, static_cast<std::size_t>(n));
    return 0;
}

// Receives and handles commands until `fertig` holds or the deadline passes. 0 or COM_ERR_*.
template <class Bedingung>
int WartenBis(int fd, Telnet &t, Clock::time_point frist, Bedingung fertig)
{
    unsigned char roh[256], daten[256];
    while (!fertig()) {
        if (const int rc = Schieben(fd, t, frist); rc < 0)
            return rc;
        const int n = SocketLesen(fd, roh, sizeof roh, frist);
        if (n <= 0)
            return n;
        // Data before the port is open is stale, except a server's text saying why it gives up.
        const int m = Verarbeiten(t, roh, n, daten);
        for (int i = 0; i < m && t.vorab.size() < 160; ++i)
            if (daten[i] >= 0x20 && daten[i] < 0x7F)
                t.vorab += static_cast<char>(daten[i]);
    }
    return Schieben(fd, t, frist);
}

std::string Text(unsigned art, long wert)
{
    switch (art) {
    case SET_BAUDRATE: return std::to_string(wert) + " Baud";
    case SET_DATASIZE: return std::to_string(wert) + " Datenbits";
    case SET_PARITY:
        return wert == PARITY_NONE   ? "keine Parit\xE4t"
               : wert == PARITY_ODD  ? "ungerade Parit\xE4t"
               : wert == PARITY_EVEN ? "gerade Parit\xE4t"
                                     : "Parit\xE4t " + std::to_string(wert);
    case SET_STOPSIZE:
        return wert == 1   ? "1 Stoppbit"
               : wert == 2 ? "2 Stoppbits"
               : wert == 3 ? "1,5 Stoppbits"
                           : "Stoppbits " + std::to_string(wert);
    default:
        return wert == CONTROL_NONE ? "keine Flusssteuerung"
               : wert == 2          ? "Flusssteuerung XON/XOFF"
               : wert == 3          ? "Hardware-Flusssteuerung"
                                    : "Flusssteuerung " + std::to_string(wert);
    }
}

int Oeffnen(Kanal &k, const std::string &geraet, const Leitung &l, Clock::time_point frist, OeffnenFehler *f)
{
    std::string rechner, port;
    if (!AdresseZerlegen(geraet, "rfc2217", &rechner, &port)) {
        f->grund = Grund::AdresseUngueltig;
        return COM_ERR_DEVICE;
    }
    const int fd = Verbinden(rechner, port, frist, f);
    if (fd < 0)
        return COM_ERR_DEVICE;
    auto t = std::make_unique<Telnet>();
    const auto scheitern = [&](Grund g, std::string einzelheit) {
        close(fd);
        f->grund = g;
        f->einzelheit = std::move(einzelheit);
        return COM_ERR_SETTINGS;
    };

    Option &comport = *Suchen(*t, OPT_COMPORT);
    for (auto [verb, code] : {std::pair{WILL, OPT_COMPORT}, {WILL, OPT_BINARY}, {DO, OPT_BINARY}}) {
        Befehl(*t, verb, code);
        (verb == WILL ? Suchen(*t, code)->wirGefragt : Suchen(*t, code)->erGefragt) = true;
    }
    int rc = WartenBis(fd, *t, frist, [&] { return comport.wir || t->comportAbgelehnt; });
    if (rc == COM_ERR_LOST)
        return scheitern(Grund::ServerGetrennt, t->vorab);
    if (rc < 0 || !comport.wir)
        return scheitern(Grund::KeinRfc2217, "");

    const std::array<long, SET_CONTROL + 1> gewollt = {
        0,          l.baud,      l.dataBits, l.parity == 0 ? PARITY_NONE : l.parity == 1 ? PARITY_ODD : PARITY_EVEN,
        l.stopBits, CONTROL_NONE};
    const unsigned long b = static_cast<unsigned long>(l.baud);
    Unterverhandlung(*t, SET_BAUDRATE, {char(b >> 24), char(b >> 16), char(b >> 8), char(b)});
    for (unsigned art = SET_DATASIZE; art <= SET_CONTROL; ++art)
        Unterverhandlung(*t, static_cast<unsigned char>(art), std::string(1, static_cast<char>(gewollt[art])));
    rc = WartenBis(fd, *t, frist, [&] {
        for (unsigned art = SET_BAUDRATE; art <= SET_CONTROL; ++art)
            if (t->antwort[art] < 0)
                return false;
        return true;
    });
    std::string abweichung;
    for (unsigned art = SET_BAUDRATE; art <= SET_CONTROL; ++art) {
        if (t->antwort[art] == gewollt[art])
            continue;
        abweichung +=
            (abweichung.empty() ? "" : ", ") + Text(art, gewollt[art]) +
            (t->antwort[art] < 0 ? std::string(" (keine Antwort)") : " (meldet " + Text(art, t->antwort[art]) + ")");
    }
    if (rc == COM_ERR_LOST)
        return scheitern(Grund::ServerGetrennt, t->vorab);
    if (!abweichung.empty())
        return scheitern(Grund::NichtBestaetigt, abweichung);
    k.fd = fd;
    k.zustand = t.release();
    return 0;
}

void Schliessen(Kanal &k)
{
    close(k.fd);
    delete &Zustand(k);
    k = Kanal{};
}

int Lesen(Kanal &k, unsigned char *buf, int n, Clock::time_point frist)
{
    Telnet &t = Zustand(k);
    unsigned char roh[256];
    for (;;) {
        if (const int rc = Schieben(k.fd, t, Clock::time_point{}); rc < 0)
            return rc;
        const int got = SocketLesen(k.fd, roh, std::min<int>(n, sizeof roh), frist);
        if (got <= 0)
            return got;
        if (const int m = Verarbeiten(t, roh, got, buf); m > 0)
            return m;
    }
}

int Schreiben(Kanal &k, const char *buf, int n, Clock::time_point frist)
{
    Telnet &t = Zustand(k);
    if (t.wartend.size() > kMaxWartend)
        return 0;
    const bool binaer = Suchen(t, OPT_BINARY)->wir;
    for (int i = 0; i < n; ++i) {
        t.wartend += buf[i];
        if (static_cast<unsigned char>(buf[i]) == IAC)
            t.wartend += buf[i];
        else if (!binaer && static_cast<unsigned char>(buf[i]) == CR)
            t.wartend += '\0';
    }
    const int rc = Schieben(k.fd, t, frist);
    return rc < 0 ? rc : n;
}

int AusgabeLaenge(Kanal &k)
{
    Telnet &t = Zustand(k);
    if (const int rc = Schieben(k.fd, t, Clock::time_point{}); rc < 0)
        return rc;
    const int imSocket = SocketUngesendet(k.fd);
    return imSocket < 0 ? imSocket : imSocket + static_cast<int>(t.wartend.size());
}

int EingabeVerwerfen(Kanal &k)
{
    Telnet &t = Zustand(k);
    unsigned char roh[256], daten[256];
    for (;;) {
        const int n = SocketLesen(k.fd, roh, sizeof roh, Clock::time_point{});
        if (n < 0)
            return n;
        if (n == 0)
            break;
        Verarbeiten(t, roh, n, daten);
    }
    return Schieben(k.fd, t, Clock::time_point{});
}

// Bytes handed to the network count as sent.
int AusgabeVerwerfen(Kanal &)
{
    return 0;
}

}  // namespace

const Transport kRfc2217 = {Oeffnen, Schliessen, Lesen, Schreiben, AusgabeLaenge, EingabeVerwerfen, AusgabeVerwerfen};

}  // namespace com_intern
