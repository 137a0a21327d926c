// Serial service over POSIX termios. The only file that sees a serial file descriptor.
#include "platform/rs232/rs232.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Port {
    int fd = -1;
    bool pty = false;
    double timeout = COM_DEFAULT_TIMEOUT;
    // Bytes already taken from the device but not yet handed out by ComRdByte: one read
    // fetches a whole answer instead of one system call per byte. Part of the input queue.
    std::array<unsigned char, 256> rx{};
    size_t rxPos = 0;
    size_t rxLen = 0;
};

std::array<Port, COM_MAX_PORT + 1> ports;  // index = COM number; 0 unused

struct Baud {
    int rate;
    speed_t code;
};

constexpr Baud kBaudRates[] = {
    {50, B50},       {75, B75},       {110, B110},     {134, B134},     {150, B150},
    {200, B200},     {300, B300},     {600, B600},     {1200, B1200},   {1800, B1800},
    {2400, B2400},   {4800, B4800},   {9600, B9600},   {19200, B19200}, {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400},
};
static_assert(std::size(kBaudRates) == 18);

constexpr tcflag_t kDataBits[] = {CS5, CS6, CS7, CS8};  // index = data bits - 5
static_assert(std::size(kDataBits) == 4);

// The device path of COM n; the only place a device path is made.
std::string MappedPath(int port)
{
    const std::string var = "TLX1_COM" + std::to_string(port);
    if (const char *env = std::getenv(var.c_str()); env != nullptr && env[0] != '\0')
        return env;
    return "/dev/ttyS" + std::to_string(port - 1);
}

std::string DevicePath(int port, const char *deviceName)
{
    if (deviceName != nullptr && deviceName[0] != '\0')
        return deviceName;
    return MappedPath(port);
}

// Looks up an open port; on failure stores the code in *error.
Port *OpenPort(int port, int *error)
{
    if (port < 1 || port > COM_MAX_PORT) {
        *error = COM_ERR_PORT_NUMBER;
        return nullptr;
    }
    if (ports[port].fd < 0) {
        *error = COM_ERR_NOT_OPEN;
        return nullptr;
    }
    return &ports[port];
}

Clock::time_point Deadline(const Port &p)
{
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(
                              std::chrono::duration<double>(p.timeout));
}

// Waits until fd is ready for `events` or the deadline passes, restarting after signals.
// Returns the revents (0 when the deadline passed) or -1 when poll itself fails.
int WaitReady(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        const auto left = deadline - Clock::now();
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec ts{static_cast<time_t>(ns > 0 ? ns / 1000000000 : 0),
                          static_cast<long>(ns > 0 ? ns % 1000000000 : 0)};
        pollfd pfd{fd, events, 0};
        const int n = ppoll(&pfd, 1, &ts, nullptr);
        if (n > 0)
            return pfd.revents;
        if (n < 0 && errno != EINTR)
            return -1;
        if (n == 0 && ns <= 0)
            return 0;
        // Interrupted or woken early: wait again for the time that is left.
    }
}

// Unix98 pseudo-terminal slaves (/dev/pts/N) have the majors 136..143.
bool IsPseudoTerminal(int fd)
{
    struct stat st {};
    return fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 &&
           major(st.st_rdev) <= 143;
}

int ConfigureLine(int fd, speed_t speed, int parity, int dataBits, int stopBits)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return COM_ERR_SETTINGS;
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= kDataBits[dataBits - 5] | CLOCAL | CREAD;
    if (parity != 0)
        tio.c_cflag |= PARENB | (parity == 1 ? PARODD : 0);
    if (stopBits == 2)
        tio.c_cflag |= CSTOPB;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    // VMIN 1 with O_NONBLOCK: a read without data fails with EAGAIN, so 0 means hang-up.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0)
        return COM_ERR_SETTINGS;
    if (tcsetattr(fd, TCSANOW, &tio) == 0)
        return 0;
    // A pseudo-terminal has no line: it keeps 8 bits without parity whatever is asked, and the
    // C library then reports failure although every other setting was taken. Accept that there.
    termios now{};
    if (IsPseudoTerminal(fd) && tcgetattr(fd, &now) == 0 && cfgetospeed(&now) == speed &&
        now.c_iflag == tio.c_iflag && now.c_lflag == tio.c_lflag && now.c_oflag == tio.c_oflag &&
        (now.c_cflag & ~(CSIZE | PARENB)) == (tio.c_cflag & ~(CSIZE | PARENB)))
        return 0;
    return COM_ERR_SETTINGS;
}

}  // namespace

std::string ComDevicePath(int port)
{
    if (port < 1 || port > COM_MAX_PORT)
        return "";
    return MappedPath(port);
}

int OpenComConfig(int port, const char *deviceName, int baudRate, int parity, int dataBits,
                  int stopBits, int /*inputQueueSize*/, int /*outputQueueSize*/)
{
    if (port < 1 || port > COM_MAX_PORT)
        return COM_ERR_PORT_NUMBER;
    if (ports[port].fd >= 0)
        return COM_ERR_ALREADY_OPEN;
    const Baud *baud = nullptr;
    for (const Baud &b : kBaudRates)
        if (b.rate == baudRate)
            baud = &b;
    if (baud == nullptr || parity < 0 || parity > 2 || dataBits < 5 || dataBits > 8 ||
        stopBits < 1 || stopBits > 2)
        return COM_ERR_ARGUMENT;

    const std::string path = DevicePath(port, deviceName);
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EBUSY ? COM_ERR_IN_USE : COM_ERR_DEVICE;
    if (!isatty(fd)) {
        close(fd);
        return COM_ERR_SETTINGS;
    }
    // flock catches a second open from anywhere (even by root, whom TIOCEXCL lets through);
    // TIOCEXCL also stops programs that do not take the lock.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return COM_ERR_IN_USE;
    }
    if (ioctl(fd, TIOCEXCL) != 0) {
        close(fd);
        return COM_ERR_SETTINGS;
    }
    if (const int rc = ConfigureLine(fd, baud->code, parity, dataBits, stopBits); rc != 0) {
        ioctl(fd, TIOCNXCL);
        close(fd);
        return rc;
    }
    tcflush(fd, TCIOFLUSH);
    ports[port] = Port{};
    ports[port].fd = fd;
    ports[port].pty = IsPseudoTerminal(fd);
    return 0;
}

int CloseCom(int port)
{
    int error = 0;
    Port *p = OpenPort(port, &error);
    if (p == nullptr)
        return error;
    // A pseudo-terminal outlives our open; clear the exclusive flag so it can be opened again.
    ioctl(p->fd, TIOCNXCL);
    close(p->fd);  // also drops the flock
    *p = Port{};
    return 0;
}

int SetComTime(int port, double seconds)
{
    int error = 0;
    Port *p = OpenPort(port, &error);
    if (p == nullptr)
        return error;
    if (!(seconds >= 0.0 && seconds <= COM_MAX_TIMEOUT))  // also refuses NaN
        return COM_ERR_ARGUMENT;
    p->timeout = seconds;
    return 0;
}

int FlushInQ(int port)
{
    int error = 0;
    Port *p = OpenPort(port, &error);
    if (p == nullptr)
        return error;
    p->rxPos = p->rxLen = 0;
    return tcflush(p->fd, TCIFLUSH) == 0 ? 0 : COM_ERR_IO;
}

int FlushOutQ(int port)
{
    int error = 0;
    Port *p = OpenPort(port, &error);
    if (p == nullptr)
        return error;
    // A pseudo-terminal hands written bytes straight to the other side; flushing its output
    // would erase them from the other side's input, like bytes already on the wire.
    if (p->pty)
        return 0;
    return tcflush(p->fd, TCOFLUSH) == 0 ? 0 : COM_ERR_IO;
}

int ComWrt(int port, const char *buf, int count)
{
    int error = 0;
    Port *p = OpenPort(port, &error);
    if (p == nullptr)
        return error;
    if (count < 0 || (buf == nullptr && count > 0))
        return COM_ERR_ARGUMENT;
    const auto deadline = Deadline(*p);
    int done = 0;
    while (done < count) {
        const ssize_t n = write(p->fd, buf + done, static_cast<size_t>(count - done));
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return COM_ERR_IO;
        const int ready = WaitReady(p->fd, POLLOUT, deadline);
        if (ready < 0 || (ready & (POLLERR | POLLHUP | POLLNVAL)) != 0)
            return COM_ERR_IO;
        if (ready == 0)
            break;  // time-out: report how much was queued
    }
    return done;
}

int GetOutQLen(int port)
{
    int error = 0;
    Port *p = OpenPort(port, &error);
    if (p == nullptr)
        return error;
    int queued = 0;
    if (ioctl(p->fd, TIOCOUTQ, &queued) != 0 || queued < 0)
        return COM_ERR_IO;
    return queued;
}

int ComRdByte(int port)
{
    int error = 0;
    Port *p = OpenPort(port, &error);
    if (p == nullptr)
        return error;
    if (p->rxPos < p->rxLen)
        return p->rx[p->rxPos++];
    const auto deadline = Deadline(*p);
    for (;;) {
        const ssize_t n = read(p->fd, p->rx.data(), p->rx.size());
        if (n > 0) {
            p->rxPos = 1;
            p->rxLen = static_cast<size_t>(n);
            return p->rx[0];
        }
        if (n == 0)
            return COM_ERR_IO;  // end of file: the other side hung up
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return COM_ERR_IO;
        const int ready = WaitReady(p->fd, POLLIN, deadline);
        if (ready < 0)
            return COM_ERR_IO;
        if (ready == 0)
            return COM_ERR_TIMEOUT;
        if ((ready & POLLIN) == 0)
            return COM_ERR_IO;  // POLLHUP or POLLERR without data
    }
}
