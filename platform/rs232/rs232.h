#pragma once
// Serial service: the eight port operations the TLX-1 driver needs, over POSIX termios.
//
// A port is addressed by its COM number (1 = COM 1). COM n opens the device named by the
// environment variable TLX1_COM<n> when it is set and not empty, else /dev/ttyS<n-1>.
// Every operation returns zero or a count on success and one of the negative COM_ERR_*
// codes below on failure. Every wait is bounded by the port's time-out (SetComTime).
// Single-threaded: call from one thread only.

// Failure codes of the serial service.
enum : int {
    COM_ERR_PORT_NUMBER  = -1,  // port number outside 1..COM_MAX_PORT
    COM_ERR_ALREADY_OPEN = -2,  // this port number is already open in this process
    COM_ERR_NOT_OPEN     = -3,  // the port is not open
    COM_ERR_DEVICE       = -4,  // the device cannot be opened (missing, no permission)
    COM_ERR_IN_USE       = -5,  // the device is held by another open (this or another process)
    COM_ERR_SETTINGS     = -6,  // not a terminal, or the line settings were refused
    COM_ERR_ARGUMENT     = -7,  // unsupported line setting, bad time-out, bad buffer or count
    COM_ERR_TIMEOUT      = -8,  // nothing arrived within the port's time-out
    COM_ERR_IO           = -9,  // read, write or ioctl failed, or the line hung up
};

#include <string>

inline constexpr int COM_MAX_PORT = 255;
// Time-out of a freshly opened port, in seconds, until SetComTime changes it.
inline constexpr double COM_DEFAULT_TIMEOUT = 10.0;
// Longest time-out SetComTime accepts, in seconds.
inline constexpr double COM_MAX_TIMEOUT = 1.0e6;

// Opens and configures COM port `port`, raw, no flow control, exclusively; deviceName ""
// (or nullptr) uses the mapping above, any other text is opened as the device path.
// parity: 0 none, 1 odd, 2 even; dataBits 5..8; stopBits 1 or 2; baud rates 50..230400;
// queue sizes are accepted and not used (the kernel owns the buffers). Both queues start empty.
// 0, COM_ERR_PORT_NUMBER, COM_ERR_ALREADY_OPEN, COM_ERR_ARGUMENT, COM_ERR_DEVICE,
// COM_ERR_IN_USE, COM_ERR_SETTINGS.
int OpenComConfig(int port, const char *deviceName, int baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int outputQueueSize);

// The device path COM n maps to (the mapping above); "" for a port number outside 1..COM_MAX_PORT.
std::string ComDevicePath(int port);

// Closes the port and releases its exclusive hold. 0, COM_ERR_PORT_NUMBER, COM_ERR_NOT_OPEN.
int CloseCom(int port);

// Sets the time-out of every later ComRdByte and ComWrt on the port (0 .. COM_MAX_TIMEOUT s;
// 0 means: do not wait). 0, COM_ERR_PORT_NUMBER, COM_ERR_NOT_OPEN, COM_ERR_ARGUMENT.
int SetComTime(int port, double seconds);

// Discards every received byte not yet read. 0, COM_ERR_PORT_NUMBER, COM_ERR_NOT_OPEN, COM_ERR_IO.
int FlushInQ(int port);

// Discards every byte not yet sent (on a pseudo-terminal every written byte counts as sent).
// 0, COM_ERR_PORT_NUMBER, COM_ERR_NOT_OPEN, COM_ERR_IO.
int FlushOutQ(int port);

// Queues `count` bytes for sending, waiting for room at most the time-out. Returns the number
// of bytes queued; fewer than `count` means the time-out expired first.
// count, 0..count-1, COM_ERR_PORT_NUMBER, COM_ERR_NOT_OPEN, COM_ERR_ARGUMENT, COM_ERR_IO.
int ComWrt(int port, const char *buf, int count);

// Number of bytes still waiting to be sent. count >= 0, COM_ERR_PORT_NUMBER, COM_ERR_NOT_OPEN,
// COM_ERR_IO.
int GetOutQLen(int port);

// Next received byte, waiting at most the time-out. 0..255, COM_ERR_PORT_NUMBER,
// COM_ERR_NOT_OPEN, COM_ERR_TIMEOUT, COM_ERR_IO.
int ComRdByte(int port);
