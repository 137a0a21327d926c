#pragma once
// Serial service: the eight port operations the TLX-1 driver needs, and what the operator must know
// about a port (which device it is, why it did not open, whether the device went away).
//
// A port is addressed by its COM number (1 = COM 1); commap.h says which device COM n opens. A
// device is a path (a serial device, USB adapter or pseudo-terminal, through termios) or a network
// address: tcp://HOST:PORT (raw bytes, as serial device servers offer them) or rfc2217://HOST:PORT
// (Telnet with the COM port control option; the line settings are asked of the server and must be
// confirmed). The driver above does not know which of them it talks to.
// Every operation returns zero or a count on success and one of the negative COM_ERR_* codes below
// on failure. Every wait is bounded: by the port's time-out (SetComTime), and an open by
// COM_OPEN_TIMEOUT. Call from one thread only.

// Failure codes of the serial service.
// clang-format off
enum : int {
    COM_ERR_PORT_NUMBER  = -1,   // port number outside 1..COM_MAX_PORT
    COM_ERR_ALREADY_OPEN = -2,   // this port number is already open in this process
    COM_ERR_NOT_OPEN     = -3,   // the port is not open
    COM_ERR_DEVICE       = -4,   // the device cannot be opened or reached (ComOpenFailure says why)
    COM_ERR_IN_USE       = -5,   // the device is held by another open (this or another process)
    COM_ERR_SETTINGS     = -6,   // not a serial device, or the line settings were refused
    COM_ERR_ARGUMENT     = -7,   // unsupported line setting, bad time-out, bad buffer or count
    COM_ERR_TIMEOUT      = -8,   // nothing arrived within the port's time-out
    COM_ERR_IO           = -9,   // read, write or ioctl failed
    COM_ERR_LOST         = -10,  // the device went away: hang-up, unplugged, network connection lost
};
// clang-format on

#include <string>

inline constexpr int COM_MAX_PORT = 255;
// Time-out of a freshly opened port, in seconds, until SetComTime changes it.
inline constexpr double COM_DEFAULT_TIMEOUT = 10.0;
// Longest time-out SetComTime accepts, in seconds.
inline constexpr double COM_MAX_TIMEOUT = 1.0e6;
// Longest time an open may take (name lookup, connecting, the RFC 2217 settings), in seconds.
inline constexpr double COM_OPEN_TIMEOUT = 3.0;

// Opens and configures COM port `port`, raw, no flow control, exclusively; deviceName "" (or
// nullptr) opens the device of the COM map (commap.h), any other text is opened as the device.
// parity: 0 none, 1 odd, 2 even; dataBits 5..8; stopBits 1 or 2; baud rates 50..230400; queue
// sizes are accepted and not used (the kernel owns the buffers). Both queues start empty. A
// terminal's line settings are restored when the port is closed, and also when the process ends
// through exit, SIGINT, SIGTERM or SIGHUP while the port is open.
// 0, COM_ERR_PORT_NUMBER, COM_ERR_ALREADY_OPEN, COM_ERR_ARGUMENT, COM_ERR_DEVICE,
// COM_ERR_IN_USE, COM_ERR_SETTINGS.
int OpenComConfig(int port, const char *deviceName, int baudRate, int parity, int dataBits, int stopBits,
                  int inputQueueSize, int outputQueueSize);

// Puts the line settings of every open terminal back as found at open, without closing anything;
// async-signal-safe, for a program that ends through _exit. No result.
void ComRestoreLines(void);

// Closes the port, releases its exclusive hold and puts a terminal's line settings back.
// 0, COM_ERR_PORT_NUMBER, COM_ERR_NOT_OPEN.
int CloseCom(int port);

// Sets the time-out of every later ComRdByte and ComWrt on the port (0 .. COM_MAX_TIMEOUT s;
// 0 means: do not wait). 0, COM_ERR_PORT_NUMBER, COM_ERR_NOT_OPEN, COM_ERR_ARGUMENT.
int SetComTime(int port, double seconds);

// Discards every received byte not yet read (over the network: every byte that has arrived).
// 0, COM_ERR_PORT_NUMBER, COM_ERR_NOT_OPEN, COM_ERR_IO, COM_ERR_LOST.
int FlushInQ(int port);

// Discards every byte not yet sent (on a pseudo-terminal and over the network every written byte
// counts as sent). 0, COM_ERR_PORT_NUMBER, COM_ERR_NOT_OPEN, COM_ERR_IO, COM_ERR_LOST.
int FlushOutQ(int port);

// Queues `count` bytes for sending, waiting for room at most the time-out. Returns the number
// of bytes queued; fewer than `count` means the time-out expired first.
// count, 0..count-1, COM_ERR_PORT_NUMBER, COM_ERR_NOT_OPEN, COM_ERR_ARGUMENT, COM_ERR_IO,
// COM_ERR_LOST.
int ComWrt(int port, const char *buf, int count);

// Number of bytes still waiting to be sent. count >= 0, COM_ERR_PORT_NUMBER, COM_ERR_NOT_OPEN,
// COM_ERR_IO, COM_ERR_LOST.
int GetOutQLen(int port);

// Next received byte, waiting at most the time-out. 0..255, COM_ERR_PORT_NUMBER,
// COM_ERR_NOT_OPEN, COM_ERR_TIMEOUT, COM_ERR_IO, COM_ERR_LOST.
int ComRdByte(int port);

// ---- what the operator is told ------------------------------------------------------------------

// 1 when the device of the open port went away (an operation returned COM_ERR_LOST; every later
// one returns it at once until the port is closed), else 0 (also for a port that is not open).
int ComLost(int port);

// The device the open port was opened on, as given (path or address); "" when it is not open.
std::string ComOpenDevice(int port);

// Why the last OpenComConfig of the port failed, as one sentence for the operator in Windows-1252
// that names the device: not found, no permission (with the group to join), in use by another
// program, not a serial device, the network address not reachable or refusing, the RFC 2217
// settings not confirmed, ... "" when the last open of the port succeeded or none was tried.
std::string ComOpenFailure(int port);
