#pragma once
// A pseudo-terminal standing in for a serial line: the test holds the master side, the serial
// service opens the slave through TLX1_COM<n>.
#include <algorithm>
#include <string>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

// Whether two line settings are the same, member by member (termios has padding bytes).
inline bool SameLineSettings(const termios &a, const termios &b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
           std::equal(std::begin(a.c_cc), std::end(a.c_cc), std::begin(b.c_cc)) && cfgetispeed(&a) == cfgetispeed(&b) &&
           cfgetospeed(&a) == cfgetospeed(&b);
}

class PtyPair {
public:
    PtyPair() : master_(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC))
    {
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0)
            slave_ = ptsname(master_);
    }
    ~PtyPair() { CloseMaster(); }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool Ok() const { return master_ >= 0 && !slave_.empty(); }
    int Master() const { return master_; }
    const std::string &Slave() const { return slave_; }
    // Points COM `port` at the slave side.
    void MapTo(int port) const { setenv(("TLX1_COM" + std::to_string(port)).c_str(), slave_.c_str(), 1); }
    void Write(const std::string &b) const
    {
        if (write(master_, b.data(), b.size()) != ssize_t(b.size()))
            abort();
    }
    // Bytes arriving from the slave side until a CR, or until no byte came for `seconds`.
    std::string Read(double seconds) const
    {
        std::string got;
        pollfd pfd{master_, POLLIN, 0};
        char c = 0;
        while (got.find('\r') == std::string::npos && poll(&pfd, 1, static_cast<int>(seconds * 1000)) > 0 &&
               read(master_, &c, 1) == 1)
            got += c;
        return got;
    }
    void CloseMaster()
    {
        if (master_ >= 0)
            close(std::exchange(master_, -1));
    }

private:
    int master_;
    std::string slave_;
};
