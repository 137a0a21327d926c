// Serial service: the port table and the eight operations, each handed to the transport of the
// port's device (com_termios.cpp, com_tcp.cpp, com_rfc2217.cpp).
#include "platform/rs232/rs232.h"

#include "platform/rs232/com_intern.h"
#include "platform/rs232/commap.h"

#include <array>
#include <string_view>

using namespace com_intern;

namespace {

struct Port {
    const Transport *transport = nullptr;  // null: not open
    Kanal kanal;
    std::string geraet;
    double timeout = COM_DEFAULT_TIMEOUT;
    bool verloren = false;
    // Bytes already taken from the device but not yet handed out by ComRdByte: one read
    // fetches a whole answer instead of one system call per byte. Part of the input queue.
    std::array<unsigned char, 256> rx{};
    int rxPos = 0;
    int rxLen = 0;
};

struct Fehlschlag {
    OeffnenFehler fehler;
    std::string geraet;
};

std::array<Port, COM_MAX_PORT + 1> ports;             // index = COM number; 0 unused
std::array<Fehlschlag, COM_MAX_PORT + 1> fehlschlag;  // the last failed open of each port

// The transport of a device: network addresses by their scheme, anything else is a path.
const Transport *TransportFuer(std::string_view geraet)
{
    if (geraet.starts_with("tcp://"))
        return &kTcp;
    if (geraet.starts_with("rfc2217://"))
        return &kRfc2217;
    if (geraet.find("://") != std::string_view::npos)
        return nullptr;
    return &kTermios;
}

// Looks up an open port; on failure stores the code in *error.
Port *OpenPort(int port, int *error)
{
    if (port < 1 || port > COM_MAX_PORT) {
        *error = COM_ERR_PORT_NUMBER;
        return nullptr;
    }
    if (ports[port].transport == nullptr) {
        *error = COM_ERR_NOT_OPEN;
        return nullptr;
    }
    if (ports[port].verloren) {
        *error = COM_ERR_LOST;
        return nullptr;
    }
    return &ports[port];
}

// Passes a transport's result on; a lost device stays lost until the port is closed.
int Ergebnis(Port &p, int rc)
{
    if (rc == COM_ERR_LOST)
        p.verloren = true;
    return rc;
}

Clock::time_point Frist(double sekunden)
{
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(sekunden));
}

}  // namespace

int OpenComConfig(int port, const char *deviceName, int baudRate, int parity, int dataBits, int stopBits,
                  int /*inputQueueSize*/, int /*outputQueueSize*/)
{
    if (port < 1 || port > COM_MAX_PORT)
        return COM_ERR_PORT_NUMBER;
    if (ports[port].transport != nullptr)
        return COM_ERR_ALREADY_OPEN;
    if (!BaudErlaubt(baudRate) || parity < 0 || parity > 2 || dataBits < 5 || dataBits > 8 || stopBits < 1 ||
        stopBits > 2)
        return COM_ERR_ARGUMENT;

    const std::string geraet =
        deviceName != nullptr && deviceName[0] != '\0' ? std::string(deviceName) : ComResolve(port).device;
    fehlschlag[port] = Fehlschlag{};
    const Transport *transport = TransportFuer(geraet);
    OeffnenFehler fehler;
    Kanal kanal;
    int rc = COM_ERR_DEVICE;
    if (transport == nullptr)
        fehler.grund = Grund::AdresseUngueltig;
    else
        rc = transport->oeffnen(kanal, geraet, Leitung{baudRate, parity, dataBits, stopBits}, Frist(COM_OPEN_TIMEOUT),
                                &fehler);
    if (rc != 0) {
        fehlschlag[port] = Fehlschlag{fehler, geraet};
        return rc;
    }
    ports[port] = Port{};
    ports[port].transport = transport;
    ports[port].kanal = kanal;
    ports[port].geraet = geraet;
    return 0;
}

int CloseCom(int port)
{
    if (port < 1 || port > COM_MAX_PORT)
        return COM_ERR_PORT_NUMBER;
    Port &p = ports[port];
    if (p.transport == nullptr)
        return COM_ERR_NOT_OPEN;
    p.transport->schliessen(p.kanal);
    p = Port{};
    return 0;
}

int SetComTime(int port, double seconds)
{
    if (port < 1 || port > COM_MAX_PORT)
        return COM_ERR_PORT_NUMBER;
    if (ports[port].transport == nullptr)
        return COM_ERR_NOT_OPEN;
    if (!(seconds >= 0.0 && seconds <= COM_MAX_TIMEOUT))  // also refuses NaN
        return COM_ERR_ARGUMENT;
    ports[port].timeout = seconds;
    return 0;
}

int FlushInQ(int port)
{
    int error = 0;
    Port *p = OpenPort(port, &error);
    if (p == nullptr)
        return error;
    p->rxPos = p->rxLen = 0;
    return Ergebnis(*p, p->transport->eingabeVerwerfen(p->kanal));
}

int FlushOutQ(int port)
{
    int error = 0;
    Port *p = OpenPort(port, &error);
    if (p == nullptr)
        return error;
    return Ergebnis(*p, p->transport->ausgabeVerwerfen(p->kanal));
}

int ComWrt(int port, const char *buf, int count)
{
    int error = 0;
    Port *p = OpenPort(port, &error);
    if (p == nullptr)
        return error;
    if (count < 0 || (buf == nullptr && count > 0))
        return COM_ERR_ARGUMENT;
    if (count == 0)
        return 0;
    return Ergebnis(*p, p->transport->schreiben(p->kanal, buf, count, Frist(p->timeout)));
}

int GetOutQLen(int port)
{
    int error = 0;
    Port *p = OpenPort(port, &error);
    if (p == nullptr)
        return error;
    return Ergebnis(*p, p->transport->ausgabeLaenge(p->kanal));
}

int ComRdByte(int port)
{
    if (port >= 1 && port <= COM_MAX_PORT && ports[port].rxPos < ports[port].rxLen)
        return ports[port].rx[ports[port].rxPos++];
    int error = 0;
    Port *p = OpenPort(port, &error);
    if (p == nullptr)
        return error;
    const int n = p->transport->lesen(p->kanal, p->rx.data(), static_cast<int>(p->rx.size()), Frist(p->timeout));
    if (n == 0)
        return COM_ERR_TIMEOUT;
    if (n < 0)
        return Ergebnis(*p, n);
    p->rxPos = 1;
    p->rxLen = n;
    return p->rx[0];
}

int ComLost(int port)
{
    return port >= 1 && port <= COM_MAX_PORT && ports[port].transport != nullptr && ports[port].verloren;
}

std::string ComOpenDevice(int port)
{
    return port >= 1 && port <= COM_MAX_PORT ? ports[port].geraet : std::string();
}

std::string ComOpenFailure(int port)
{
    if (port < 1 || port > COM_MAX_PORT || fehlschlag[port].fehler.grund == Grund::Keiner)
        return "";
    return UrsacheText(fehlschlag[port].fehler, fehlschlag[port].geraet);
}
