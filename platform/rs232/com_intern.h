#pragma once
// Inside the serial service: the table of functions each transport offers (termios, raw TCP,
// RFC 2217), what an open records when it fails, and the bounded wait they share. Only the files
// of platform/rs232 include this.
#include <chrono>
#include <string>

#include <termios.h>

namespace com_intern {

using Clock = std::chrono::steady_clock;

// Line settings an open asks for, already checked by the service.
struct Leitung {
    int baud;
    int parity;  // 0 none, 1 odd, 2 even
    int dataBits;
    int stopBits;
};

// Why an open failed. The service turns it into the operator's sentence (ComOpenFailure).
enum class Grund {
    Keiner,
    NichtGefunden,      // no such path
    KeineBerechtigung,  // the user may not open it (gid: the group owning the device)
    Belegt,             // another open holds it
    KeineSerielle,      // exists but is no terminal
    KeinGeraet,         // the node is there, no device behind it
    LeitungAbgelehnt,   // the terminal refused the line settings
    AdresseUngueltig,   // neither a path nor tcp:// or rfc2217:// with host and port
    RechnerUnbekannt,   // the host name cannot be resolved
    NichtErreichbar,    // no route, no answer within the open time-out
    Abgelehnt,          // the host refused the connection
    KeinRfc2217,        // the server refused the COM port control option
    ServerGetrennt,     // the server closed the connection before the port was ready (detail: its text)
    NichtBestaetigt,    // the server did not confirm the line settings (detail: what it said)
    Sonstiges,          // any other system error (fehlerNummer)
};

struct OeffnenFehler {
    Grund grund = Grund::Keiner;
    int fehlerNummer = 0;     // errno where one applies
    unsigned gruppe = 0;      // KeineBerechtigung: group id owning the device
    bool gruppeDarf = false;  // KeineBerechtigung: that group may read and write
    std::string einzelheit;   // NichtBestaetigt: the settings the server reported; ServerGetrennt: its text
};

// An open device: its descriptor and the transport's own state.
struct Kanal {
    int fd = -1;
    void *zustand = nullptr;
};

// A transport. Every function returns 0 or a count on success, else a COM_ERR_* code; COM_ERR_LOST
// when the device went away. No function waits past the deadline it is given.
struct Transport {
    // Opens `geraet`; on failure fills *fehler and returns COM_ERR_DEVICE, COM_ERR_IN_USE or
    // COM_ERR_SETTINGS (nothing stays open).
    int (*oeffnen)(Kanal &k, const std::string &geraet, const Leitung &leitung, Clock::time_point frist,
                   OeffnenFehler *fehler);
    void (*schliessen)(Kanal &k);
    // Up to n received bytes into buf as soon as at least one is there; 0 when none came by the deadline.
    int (*lesen)(Kanal &k, unsigned char *buf, int n, Clock::time_point frist);
    // Queues up to n bytes, waiting for room until the deadline; the count queued.
    int (*schreiben)(Kanal &k, const char *buf, int n, Clock::time_point frist);
    int (*ausgabeLaenge)(Kanal &k);
    int (*eingabeVerwerfen)(Kanal &k);
    int (*ausgabeVerwerfen)(Kanal &k);
};

extern const Transport kTermios;  // com_termios.cpp: paths
extern const Transport kTcp;      // com_tcp.cpp: tcp://HOST:PORT
extern const Transport kRfc2217;  // com_rfc2217.cpp: rfc2217://HOST:PORT

// Whether the baud rate is one the service offers (50 .. 230400, the standard rates).
bool BaudErlaubt(int baud);

// The operator's sentence for a failed open of `geraet` (com_ursache.cpp). Windows-1252.
std::string UrsacheText(const OeffnenFehler &fehler, const std::string &geraet);

// Waits until fd is ready for `events` or the deadline passes, restarting after signals.
// Returns the revents (0 when the deadline passed) or -1 when poll itself fails.
int Warten(int fd, short events, Clock::time_point frist);

// ---- line settings put back at exit and on SIGINT, SIGTERM, SIGHUP (com_leitung.cpp) -----------

// Remembers a terminal's settings found at open and whether it was exclusive, so that they are put
// back also when the process ends while it is open. Returns a slot for LeitungVergessen, -1 when
// every slot is taken (the settings are then put back on close only).
int LeitungMerken(int fd, const termios &alt, bool warExklusiv);
// The terminal is closed normally: its slot no longer applies.
void LeitungVergessen(int slot);

// ---- TCP connections (com_tcp.cpp), shared by both network transports ---------------------------

// Host and port of "scheme://HOST:PORT" (HOST may be [IPv6]). False for anything else.
bool AdresseZerlegen(const std::string &geraet, const char *schema, std::string *rechner, std::string *port);
// Connects to HOST:PORT by the deadline: the socket (non-blocking, no Nagle delay, lost peers
// noticed within seconds) or -1 with *fehler filled.
int Verbinden(const std::string &rechner, const std::string &port, Clock::time_point frist, OeffnenFehler *fehler);
// Socket primitives: a count, 0 (nothing before the deadline / would block), or COM_ERR_*.
int SocketLesen(int fd, unsigned char *buf, int n, Clock::time_point frist);
int SocketSenden(int fd, const char *buf, int n, Clock::time_point frist);
int SocketUngesendet(int fd);

}  // namespace com_intern
